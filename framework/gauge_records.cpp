// Linkage, ImportTable and the gauge header, the same in every module. All writable: the host
// writes its service table's address into ImportTable before its first call.
#include "gauge_records.h"

GAUGE_IMPORT_TABLE ImportTable = {.table_id = IMPORT_TABLE_ID, .panels = 0, .reserved = {0, 0}};

// A parent rectangle with an empty box and no cursor: the gauge takes no mouse input.
static MOUSERECT gauge_mouse_rects[] = {
    {.rect_type = MOUSE_RECT_PARENT, .box = {0, 0, 0, 0}, .cursor = CURSOR_NONE},
    {.rect_type = MOUSE_RECT_END_PARENT, .box = {0, 0, 0, 0}, .cursor = CURSOR_NONE},
    {.rect_type = MOUSE_RECT_EOL, .box = {0, 0, 0, 0}, .cursor = CURSOR_NONE},
};

// No per-gauge routines: the gauge callback does all the work.
GAUGEHDR gauge_header = {
    .gauge_header_version = GAUGEHDR_VERSION,
    .gauge_name = gauge_module.gauge_name,
    .elements_list = gauge_module.root_element,
    .size_x_mm = GAUGE_DEFAULT_WIDTH_MM,
    .size_y_mm = GAUGE_DEFAULT_HEIGHT_MM,
    .mouse_rect = gauge_mouse_rects,
    .gauge_callback = gauge_dispatch,
};

GAUGE_LINKAGE Linkage = {
    .module_id = LINKAGE_MODULE_ID,
    .module_init = gauge_module_init,
    .module_deinit = gauge_module_deinit,
    .reserved = {0, 0},
    .module_version = LINKAGE_MODULE_VERSION,
    .gauge_header_list = {&gauge_header, 0},
};
