// Shared test helpers; see test_support.h.
#include "test_support.h"

#include "toolbox.h"

#include <stdio.h>
#include <stdlib.h>

namespace test_support {

// VQT7_TEST_CRASH=teardown makes a test program die of a page fault after its last test has
// passed but before GoogleTest writes its report; =exit, after the report, while the program
// exits. Both must come back failed from CTest: this is how that is shown.
namespace {
volatile uintptr_t crash_address;  // 0, and the compiler cannot know it

void crash_now()
{
    *(volatile uint32_t *)crash_address = 1;
}

class CrashOnRequest : public ::testing::Environment {
public:
    void TearDown() override
    {
        const char *when = getenv("VQT7_TEST_CRASH");
        if (when && strcmp(when, "teardown") == 0)
            crash_now();
        if (when && strcmp(when, "exit") == 0)
            atexit(crash_now);
    }
};

::testing::Environment *const crash_on_request = ::testing::AddGlobalTestEnvironment(new CrashOnRequest);

// A fault nothing handles ends the program at once with the fault's code as its exit status.
// Left to Wine, a fault while the program exits, after GoogleTest's report, now and then came
// back as status 0.
LONG WINAPI end_on_fault(EXCEPTION_POINTERS *pointers)
{
    fprintf(stderr, "test program: unhandled exception 0x%08lX at %p\n",
            (unsigned long)pointers->ExceptionRecord->ExceptionCode, pointers->ExceptionRecord->ExceptionAddress);
    fflush(stderr);
    TerminateProcess(GetCurrentProcess(), pointers->ExceptionRecord->ExceptionCode);
    return EXCEPTION_EXECUTE_HANDLER;
}

const LPTOP_LEVEL_EXCEPTION_FILTER earlier_fault_filter = SetUnhandledExceptionFilter(end_on_fault);
}  // namespace

const ModuleCase MODULE_CASES[2] = {
    {BOOMCUE_FILE, {3, 4, 5, 8, 0, 875}},
    {DRAGDRONE_FILE, {325, 61, 326}},
};
const char *const MODULE_FILES[2] = {BOOMCUE_FILE, DRAGDRONE_FILE};

bool is_boomcue(const char *file)
{
    return strcmp(file, BOOMCUE_FILE) == 0;
}

std::string short_name(const char *file)
{
    return std::string(file).substr(5, 4);
}

std::vector<uint32_t> fetched_tokens()
{
    std::vector<uint32_t> tokens;
    for (const panel_host::Fetch &fetch : panel_host::fetches())
        tokens.push_back(fetch.token);
    return tokens;
}

std::string exe_folder()
{
    return toolbox::program_folder();
}

std::vector<std::string> sound_calls(uint32_t from, bool with_attach_detach)
{
    std::vector<std::string> calls;
    for (const SOUND_EVENT &event : panel_host::sound_events(from)) {
        std::string name = event.name_is_null ? "(null)" : event.name + std::string(event.name_truncated ? "..." : "");
        std::string path = event.path_is_null ? "(null)" : event.path + std::string(event.path_truncated ? "..." : "");
        if (event.kind == SOUND_EVENT_PLAY)
            calls.push_back("play(" + path + "," + name + "," + std::to_string(event.loop) + ")");
        else if (event.kind == SOUND_EVENT_STOP)
            calls.push_back("stop(" + name + ")");
        else if (event.kind == SOUND_EVENT_TERMINATE)
            calls.push_back("terminate()");
        else if (with_attach_detach)
            calls.push_back(event.kind == SOUND_EVENT_ATTACH ? "attach" : "detach");
    }
    return calls;
}

std::vector<std::string> playing_sounds()
{
    std::vector<std::string> names;
    SOUND_JOURNAL *journal = panel_host::sound_journal();
    for (uint32_t i = 0; i < journal->playing_count; ++i)
        names.push_back(journal->playing[i].name);
    return names;
}

uint32_t sound_mark()
{
    return panel_host::sound_journal()->event_count;
}

void reset_host()
{
    panel_host::clear_vars();
    panel_host::clear_fetches();
    panel_host::clear_sound_journal();
    panel_host::use_sound_library("full");
}

LoadedModule::LoadedModule(const char *file)
{
    std::string error;
    if (!panel_host::load_module(module_path(file), module, error))
        ADD_FAILURE() << error;
}

LoadedModule::~LoadedModule()
{
    panel_host::unload_module(module);
}

MappedModule::MappedModule(const char *file)
    : handle(LoadLibraryExA(module_path(file).c_str(), 0, LOAD_WITH_ALTERED_SEARCH_PATH))
{
    if (!handle)
        ADD_FAILURE() << module_path(file) << ": error " << GetLastError();
}

MappedModule::~MappedModule()
{
    if (handle)
        FreeLibrary(handle);
}

const IMAGE_NT_HEADERS32 *nt_headers(HMODULE module)
{
    auto dos = (const IMAGE_DOS_HEADER *)module;
    return (const IMAGE_NT_HEADERS32 *)((const uint8_t *)module + dos->e_lfanew);
}

std::vector<const IMAGE_SECTION_HEADER *> sections(HMODULE module)
{
    const IMAGE_NT_HEADERS32 *nt = nt_headers(module);
    const IMAGE_SECTION_HEADER *first = IMAGE_FIRST_SECTION(nt);
    std::vector<const IMAGE_SECTION_HEADER *> list;
    for (unsigned i = 0; i < nt->FileHeader.NumberOfSections; ++i)
        list.push_back(first + i);
    return list;
}

bool inside(HMODULE module, const void *start, size_t size)
{
    uintptr_t base = (uintptr_t)module;
    uintptr_t end = base + nt_headers(module)->OptionalHeader.SizeOfImage;
    return start && (uintptr_t)start >= base && (uintptr_t)start + size <= end;
}

DWORD protection(const void *address)
{
    MEMORY_BASIC_INFORMATION info = {};
    if (!VirtualQuery(address, &info, sizeof info))
        return 0;
    return info.Protect & 0xFF;
}

bool writable(const void *start, size_t size)
{
    for (const void *at : {start, (const void *)((const uint8_t *)start + size - 1)}) {
        DWORD page = protection(at);
        if (page != PAGE_READWRITE && page != PAGE_WRITECOPY)
            return false;
    }
    return true;
}

bool code_in(HMODULE module, const void *routine)
{
    DWORD page = protection(routine);
    return inside(module, routine, 1) && (page == PAGE_EXECUTE || page == PAGE_EXECUTE_READ ||
                                          page == PAGE_EXECUTE_READWRITE || page == PAGE_EXECUTE_WRITECOPY);
}

void **import_slot(HMODULE module, const char *dll, const char *function)
{
    const uint8_t *base = (const uint8_t *)module;
    const IMAGE_DATA_DIRECTORY &imports = nt_headers(module)->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    for (auto d = (const IMAGE_IMPORT_DESCRIPTOR *)(base + imports.VirtualAddress); d->Name; ++d) {
        if (_stricmp((const char *)base + d->Name, dll) != 0)
            continue;
        auto names = (const IMAGE_THUNK_DATA32 *)(base + (d->OriginalFirstThunk ? d->OriginalFirstThunk : d->FirstThunk));
        for (uint32_t i = 0; names[i].u1.AddressOfData; ++i) {
            if (names[i].u1.Ordinal & IMAGE_ORDINAL_FLAG32)
                continue;
            auto name = (const IMAGE_IMPORT_BY_NAME *)(base + names[i].u1.AddressOfData);
            if (strcmp((const char *)name->Name, function) == 0)
                return (void **)(base + d->FirstThunk) + i;
        }
    }
    return 0;
}

Snapshot writable_sections(HMODULE module)
{
    Snapshot snapshot;
    snapshot.base = (uintptr_t)module;
    for (const IMAGE_SECTION_HEADER *section : sections(module))
        if (section->Characteristics & IMAGE_SCN_MEM_WRITE) {
            const uint8_t *start = (const uint8_t *)module + section->VirtualAddress;
            snapshot.sections.push_back({section->VirtualAddress, {start, start + section->Misc.VirtualSize}});
        }
    return snapshot;
}

std::vector<uint32_t> changed_offsets(const Snapshot &before, const Snapshot &after, size_t limit)
{
    std::vector<uint32_t> offsets;
    for (size_t s = 0; s < before.sections.size() && s < after.sections.size(); ++s) {
        const std::vector<uint8_t> &a = before.sections[s].second, &b = after.sections[s].second;
        for (size_t i = 0; i < a.size() && i < b.size() && offsets.size() < limit; ++i)
            if (a[i] != b[i])
                offsets.push_back(before.sections[s].first + (uint32_t)i);
    }
    return offsets;
}

std::string describe(const panel_host::CallRecord &record)
{
    std::string text;
    for (int i = 0; i < panel_host::SAVED_COUNT; ++i) {
        char line[64];
        snprintf(line, sizeof line, "%s%s %08X -> %08X", i ? ", " : "", panel_host::SAVED_NAMES[i], record.handed[i],
                 record.returned[i]);
        text += line;
    }
    return text;
}

}  // namespace test_support
