// The gauge service dispatcher, written once for every module; gauge_dispatch.h says what each
// service code may do and why.
#include "gauge_dispatch.h"

#include "gauge_records.h"
#include "sound_binding.h"

// 0 at load, 1 from the module's first draw on; never cleared.
static uint32_t gauge_first_draw_done;

static void refresh_module_vars(void)
{
    FETCH_VAR_SERVICE fetch_var = ImportTable.panels->fetch_var;
    for (uint32_t i = 0; i < gauge_module.module_var_count; ++i)
        fetch_var(&gauge_module.module_vars[i]);
}

void HOST_ENTRY gauge_dispatch(GAUGEHDR *, int32_t service_id, uint32_t)
{
    switch (service_id) {
    case PANEL_SERVICE_PRE_INITIALIZE:
        sound_load_if_unset();
        sound_bind();
        return;
    case PANEL_SERVICE_PRE_UPDATE:
        sound_find_or_load();
        sound_bind();
        refresh_module_vars();
        if (gauge_module.update_actions)
            gauge_module.update_actions();
        return;
    case PANEL_SERVICE_PRE_DRAW:
        if (!gauge_first_draw_done) {
            gauge_first_draw_done = 1;
            if (gauge_module.first_draw_actions)
                gauge_module.first_draw_actions();
        }
        return;
    case PANEL_SERVICE_PRE_KILL:
        sound_find_or_load();
        sound_bind();
        sound_terminate_and_release();
        return;
    default:
        // Query, install, post-update and the other draw and kill phases: nothing to do.
        return;
    }
}

void HOST_ENTRY gauge_module_init(void) {}
void HOST_ENTRY gauge_module_deinit(void) {}
