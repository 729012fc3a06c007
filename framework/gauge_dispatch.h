// What a module hands the framework (one GAUGE_MODULE record) and the gauge callback that the
// framework runs for it: keeps the sound binding current, has the host refresh the module
// variables, and runs the module's two hooks.
#pragma once

#include "host_panel.h"

typedef void (*GAUGE_HOOK)(void);

// Room for the gauge's name and its terminator: "VQT7_Drag_Drone" fills it. A longer name
// does not compile.
#define GAUGE_NAME_BYTES 16

// Everything a module supplies, in one definition named gauge_module; the framework builds
// the gauge header, Linkage and ImportTable around it (gauge_records.cpp). The host reads the
// name and the root element's pointer in place, through the gauge header.
struct GAUGE_MODULE {
    // The module's file name without extension: the host finds the gauge by it.
    char gauge_name[GAUGE_NAME_BYTES];
    // The gauge header's element list: a single pointer to the root element.
    ELEMENT_HEADER *root_element[1];
    // Refreshed in this order on every update.
    MODULE_VAR *module_vars;
    uint32_t module_var_count;
    // Runs on every update, after the host has refreshed every module variable and before it
    // updates the gauge's elements. May be null.
    GAUGE_HOOK update_actions;
    // Runs on the first draw after the module is loaded, once whatever the number of
    // instances. May be null.
    GAUGE_HOOK first_draw_actions;
};

extern GAUGE_MODULE gauge_module;

// The gauge callback, slot 84 of the gauge header. The host calls it for each instance of the
// gauge, from one thread at a time, with one of these codes; every instance shares the
// module's state. What each code may do:
//   PRE_INITIALIZE (4), first for each instance: load the sound library only when no handle
//     is stored, then bind. The module keeps one handle, not a count of references: a second
//     load while a handle is stored would take a reference that nothing records. Every kill
//     gives one back all the same, so the library can leave the process while other instances,
//     or the other module, still run; hence update and kill never trust the stored handle.
//   PRE_UPDATE (6), every panel cycle before the host updates the elements: find the library
//     by name (GetModuleHandleA takes no reference), loading it only when it is not in the
//     process; bind; have the host refresh each module variable in declaration order; run
//     update_actions.
//   PRE_DRAW (10), when drawn: on the module's first draw only, run first_draw_actions.
//   PRE_KILL (12), last, once for each instance: find the library as on update (a kill may
//     come when it is not in the process at all), terminate every sound, give one reference
//     back. The handle is left stale: the next update finds the library by name in any case,
//     and an initialise after a kill binds against the stale handle without loading.
//   Every other code: return at once.
void HOST_ENTRY gauge_dispatch(GAUGEHDR *gauge, int32_t service_id, uint32_t extra_data);

// Linkage's module routines, at bytes 4 and 8. The host may call them at any time around the
// module's life; the module does its work in the gauge's calls, so they do nothing.
void HOST_ENTRY gauge_module_init(void);
void HOST_ENTRY gauge_module_deinit(void);
