// The gauge callback shared by every module: keeps the sound binding current, has the host
// refresh the module variables, and runs the module's two hooks.
#pragma once

#include "host_panel.h"

typedef void (*GAUGE_HOOK)(void);

// What a module hands the skeleton. Each module defines exactly one, named gauge_module.
struct GAUGE_MODULE {
    MODULE_VAR *module_vars;   // refreshed in this order on every update
    uint32_t module_var_count;
    // Runs on every update, after the host has refreshed every module variable. May be null.
    GAUGE_HOOK update_actions;
    // Runs on the first draw after the module is loaded, once whatever the number of
    // instances. May be null.
    GAUGE_HOOK first_draw_actions;
};

extern GAUGE_MODULE gauge_module;
extern "C" GAUGE_IMPORT_TABLE ImportTable;

// 0 at load, 1 from the first draw on; never cleared.
extern uint32_t gauge_first_draw_done;

// The gauge callback every module's header points at.
void HOST_ENTRY gauge_dispatch(GAUGEHDR *gauge, int32_t service_id, uint32_t extra_data);

// The module routines of Linkage: the module does its work in the gauge's calls, not here.
void HOST_ENTRY gauge_module_init(void);
void HOST_ENTRY gauge_module_deinit(void);
