// Linkage, ImportTable and the gauge header, the same in every module. All writable: the host
// writes its service table's address into ImportTable before its first call.
#include "gauge_records.h"

GAUGE_IMPORT_TABLE ImportTable = {.table_id = 0x0000000F, .panels = 0, .reserved = {0, 0}};

// A parent rectangle with an empty box and no cursor: the gauge takes no mouse input.
static MOUSERECT gauge_mouse_rects[] = {
    {.rect_type = MOUSE_RECT_PARENT, .box = {0, 0, 0, 0}, .cursor = -1},
    {.rect_type = MOUSE_RECT_END_PARENT, .box = {0, 0, 0, 0}, .cursor = -1},
    {.rect_type = MOUSE_RECT_EOL, .box = {0, 0, 0, 0}, .cursor = -1},
};

GAUGEHDR gauge_header = {
    .gauge_header_version = 800,
    .gauge_name = gauge_name,
    .elements_list = gauge_elements,
    .size_x_mm = 100,
    .size_y_mm = 0,
    .mouse_rect = gauge_mouse_rects,
    .gauge_callback = gauge_dispatch,
};

GAUGE_LINKAGE Linkage = {
    .module_id = 0x13,
    .module_init = gauge_module_init,
    .module_deinit = gauge_module_deinit,
    .reserved = {0, 0},
    .module_version = 0x0800,
    .gauge_header_list = {&gauge_header, 0},
};
