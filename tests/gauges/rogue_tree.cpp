// Rogue_Tree: the service gauge of rogue_gauge.cpp, given at load an element tree 30 levels
// deep in which every element lists the next one twice. Every record lies inside the module and
// the tree is finite, but a host that walks it as a tree makes 2^30 visits. On the way it raises
// and handles a C++ throw's exception and an access violation, as a library's own error handling
// may during a load that then succeeds: neither is a crash in its entry point.
#include <windows.h>

#include "host_panel.h"

extern "C" GAUGE_LINKAGE Linkage;

constexpr int TREE_LEVELS = 30;
// What a C++ throw raises: a library's own error handling, not a crash.
constexpr DWORD CPP_EXCEPTION_CODE = 0xE06D7363;

static char tree_name[] = "Rogue_Tree";
static ELEMENT_STATIC_IMAGE tree_elements[TREE_LEVELS + 1];
static ELEMENT_HEADER *tree_lists[TREE_LEVELS][3];
static ELEMENT_HEADER *tree_root[2];

// Handles the exceptions raise_handled() raises, after any handler the host put first.
static LONG WINAPI continue_after_own(EXCEPTION_POINTERS *pointers)
{
    DWORD code = pointers->ExceptionRecord->ExceptionCode;
    bool own = code == CPP_EXCEPTION_CODE || code == EXCEPTION_ACCESS_VIOLATION;
    return own ? EXCEPTION_CONTINUE_EXECUTION : EXCEPTION_CONTINUE_SEARCH;
}

static void raise_handled()
{
    void *handler = AddVectoredExceptionHandler(0, continue_after_own);
    RaiseException(CPP_EXCEPTION_CODE, 0, 0, 0);
    RaiseException(EXCEPTION_ACCESS_VIOLATION, 0, 0, 0);
    RemoveVectoredExceptionHandler(handler);
}

// Runs with the module's static initialisers, before the loader returns to the host.
static bool build_tree()
{
    raise_handled();
    for (int i = 0; i <= TREE_LEVELS; ++i) {
        ELEMENT_HEADER &element = tree_elements[i].header;
        element.element_type = ELEMENT_TYPE_STATIC_IMAGE;
        element.resource_id = RESOURCE_ID_NONE;
        element.image_flags = IMAGE_FLAGS_GAUGE_DEFAULT;
        if (i < TREE_LEVELS) {
            tree_lists[i][0] = tree_lists[i][1] = &tree_elements[i + 1].header;
            tree_lists[i][2] = 0;
            element.next_element = tree_lists[i];
        }
    }
    tree_root[0] = &tree_elements[0].header;
    GAUGEHDR *gauge = Linkage.gauge_header_list[0];
    gauge->gauge_name = tree_name;
    gauge->elements_list = tree_root;
    return true;
}

[[maybe_unused]] static bool tree_built = build_tree();
