// VQT7_Drag_Drone: the gauge's background element, its module variables and its update
// actions, which keep the looping speed-brake sound going.
#include "gauge_records.h"
#include "sound_binding.h"

enum { DRAGDRONE_VAR_UNUSED, DRAGDRONE_VAR_GATE, DRAGDRONE_VAR_TRIGGER };

static MODULE_VAR dragdrone_vars[] = {
    {.token = 325},   // refreshed with the others; nothing reads it
    {.token = 61},    // gate
    {.token = 326},   // trigger
};

static const double DRAGDRONE_TRIGGER_THRESHOLD = 8000.0;
static const double DRAGDRONE_GATE_THRESHOLD = 100.0;

// Runs on every update, right after the host refreshed the three variables. The library holds
// whether "SPBR" plays: a repeated play leaves it playing, a stop of a silent name does nothing.
// A NaN compares false both ways, so it neither starts nor stops the sound.
static void dragdrone_update_actions(void)
{
    const double gate = dragdrone_vars[DRAGDRONE_VAR_GATE].value.number;
    const double trigger = dragdrone_vars[DRAGDRONE_VAR_TRIGGER].value.number;

    if (trigger > DRAGDRONE_TRIGGER_THRESHOLD && gate > DRAGDRONE_GATE_THRESHOLD)
        sound_play("sound\\QX\\Speed_Brake.wav", "SPBR", 1);
    if (trigger < DRAGDRONE_TRIGGER_THRESHOLD)
        sound_stop("SPBR");
}

static FAILURE_RECORD dragdrone_root_failures[] = {{0, 0, 0}};

static ELEMENT_STATIC_IMAGE dragdrone_root =
    GAUGE_BACKGROUND_ELEMENT(0, dragdrone_root_failures);

GAUGE_MODULE gauge_module = {
    .gauge_name = "VQT7_Drag_Drone",
    .root_element = {&dragdrone_root.header},
    .module_vars = dragdrone_vars,
    .module_var_count = sizeof dragdrone_vars / sizeof dragdrone_vars[0],
    .update_actions = dragdrone_update_actions,
    .first_draw_actions = 0,
};
