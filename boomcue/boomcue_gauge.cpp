// VQT7_Boomcue: the gauge's elements and module variables. The readout element is the root
// element's only child; the host fills its source variable and text pointer.
#include "boomcue.h"
#include "gauge_records.h"

// Refreshed on every update although nothing reads them: the frequency comes from the
// readout element's own source variable.
static MODULE_VAR boomcue_vars[] = {
    {.token = 3}, {.token = 4}, {.token = 5}, {.token = 8}, {.token = 0}, {.token = 875},
};

// The readout's box in panel units and its text colour, red, green and blue 143.
#define BOOMCUE_READOUT_WIDTH 41
#define BOOMCUE_READOUT_HEIGHT 10
#define BOOMCUE_READOUT_GREY 0x008F8F8Fu
// Settings whose meaning is the host's own, carried at their places unchanged.
#define BOOMCUE_READOUT_SETTING_280 100
#define BOOMCUE_READOUT_SETTING_284 1
#define BOOMCUE_READOUT_SETTING_292 0x4240

static FAILURE_RECORD boomcue_root_failures[] = {{0, 0, 0}};
static FAILURE_RECORD boomcue_readout_failures[] = {{0, 0, 0}};

static ELEMENT_STRING boomcue_readout = {
    .header = {
        .element_type = ELEMENT_TYPE_STRING,
        .resource_id = RESOURCE_ID_NONE,
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
    .size_x = BOOMCUE_READOUT_WIDTH,
    .size_y = BOOMCUE_READOUT_HEIGHT,
    .fg_color = BOOMCUE_READOUT_GREY,
    .bg_color = 0,
    .hilite_color = 0,
    .font_face = "Courier New",
    .setting_280 = BOOMCUE_READOUT_SETTING_280,
    .setting_284 = BOOMCUE_READOUT_SETTING_284,
    .setting_288 = 0,
    .setting_292 = BOOMCUE_READOUT_SETTING_292,
    .update_cb = boomcue_readout_update,
};

static ELEMENT_HEADER *boomcue_root_next[] = {&boomcue_readout.header, 0};

static ELEMENT_STATIC_IMAGE boomcue_root =
    GAUGE_BACKGROUND_ELEMENT(boomcue_root_next, boomcue_root_failures);

GAUGE_MODULE gauge_module = {
    .gauge_name = "VQT7_Boomcue",
    .root_element = {&boomcue_root.header},
    .module_vars = boomcue_vars,
    .module_var_count = sizeof boomcue_vars / sizeof boomcue_vars[0],
    .update_actions = 0,                     // the readout callback does the module's work
    .first_draw_actions = boomcue_rearm_cue,
};
