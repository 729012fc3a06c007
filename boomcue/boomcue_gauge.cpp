// VQT7_Boomcue: the gauge's elements and module variables. The readout element is the root
// element's only child; the host fills its source variable and text pointer.
#include "boomcue.h"
#include "gauge_records.h"

char gauge_name[] = "VQT7_Boomcue";

// Refreshed on every update although nothing reads them: the frequency comes from the
// readout element's own source variable.
static MODULE_VAR boomcue_vars[] = {
    {.token = 3}, {.token = 4}, {.token = 5}, {.token = 8}, {.token = 0}, {.token = 875},
};

static FAILURE_RECORD boomcue_root_failures[] = {{0, 0, 0}};
static FAILURE_RECORD boomcue_readout_failures[] = {{0, 0, 0}};

static ELEMENT_STRING boomcue_readout = {
    .header = {
        .element_type = ELEMENT_TYPE_STRING,
        .resource_id = -1,
        .position_x = 1,
        .position_y = 1,
        .gauge_header = &gauge_header,
        .previous_element = 0,
        .next_element = 0,
        .failure_list = boomcue_readout_failures,
        .image_flags = IMAGE_FLAGS_GAUGE_DEFAULT,
    },
    .source_var = {{.token = 870}, {.token = 0}, {.token = 0}},
    .string = 0,
    .size_x = 41,
    .size_y = 10,
    .fg_color = 0x008F8F8F,
    .bg_color = 0,
    .hilite_color = 0,
    .font_face = "Courier New",
    .setting_280 = 100,
    .setting_284 = 1,
    .setting_288 = 0,
    .setting_292 = 0x4240,
    .update_cb = boomcue_readout_update,
};

static ELEMENT_HEADER *boomcue_root_next[] = {&boomcue_readout.header, 0};

static ELEMENT_STATIC_IMAGE boomcue_root =
    GAUGE_BACKGROUND_ELEMENT(boomcue_root_next, boomcue_root_failures);

ELEMENT_HEADER *gauge_elements[] = {&boomcue_root.header};

GAUGE_MODULE gauge_module = {
    .module_vars = boomcue_vars,
    .module_var_count = sizeof boomcue_vars / sizeof boomcue_vars[0],
    .update_actions = 0,                     // the readout callback does the module's work
    .first_draw_actions = boomcue_rearm_cue,
};
