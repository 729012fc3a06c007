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
//   PRE_INITIALIZE (4), first for each instance: bind the sound library, taking a reference
//     only while no handle is held. Instances after the first must not take another, since
//     each kill gives one back and the library is loaded once for the whole module.
//   PRE_UPDATE (6), every panel cycle before the host updates the elements: find the library
//     again by name (another module's kill, or this one's own, may have unloaded it; the
//     stored handle cannot tell), loading it only when it is not in the process; bind; have
//     the host refresh each module variable in declaration order; run update_actions.
//   PRE_DRAW (10), when drawn: on the module's first draw only, run first_draw_actions.
//   PRE_KILL (12), last, once for each instance: find the library again as on update (it may
//     have been unloaded since), terminate every sound, give one reference back. The handle
//     is left as it is, stale: the next update finds the library by name in any case, and an
//     initialise of a new instance after a kill binds without loading, as the host expects.
//   Every other code: return at once.
void HOST_ENTRY gauge_dispatch(GAUGEHDR *gauge, int32_t service_id, uint32_t extra_data);

// Linkage's module routines, words 2 and 3. The host calls them when it maps and unmaps the
// module; the module does its work in the gauge's calls, so they do nothing.
void HOST_ENTRY gauge_module_init(void);
void HOST_ENTRY gauge_module_deinit(void);
