// The records every module carries the same way: Linkage, ImportTable, the one gauge header,
// its mouse rectangles and the background image element. A module supplies its GAUGE_MODULE
// (gauge_dispatch.h) and its elements; the rest is defined once here.
#pragma once

#include "gauge_dispatch.h"

// Exported by name: the host writes its service table's address into ImportTable before its
// first call, and finds the gauge through Linkage.
extern "C" GAUGE_IMPORT_TABLE ImportTable;
extern "C" GAUGE_LINKAGE Linkage;

extern GAUGEHDR gauge_header;

// Bitmap resource 256: the gauge's 40 x 40 black background.
#define GAUGE_BACKGROUND_BITMAP 256

// The gauge's default size in millimetres, as panel.cfg does not give one.
#define GAUGE_DEFAULT_WIDTH_MM 100
#define GAUGE_DEFAULT_HEIGHT_MM 0

// The root element: the background image at (0, 0), followed by the elements of next_list.
#define GAUGE_BACKGROUND_ELEMENT(next_list, failures)                                        \
    {                                                                                        \
        .header = {                                                                          \
            .element_type = ELEMENT_TYPE_STATIC_IMAGE,                                       \
            .resource_id = GAUGE_BACKGROUND_BITMAP,                                          \
            .position_x = 0,                                                                 \
            .position_y = 0,                                                                 \
            .gauge_header = &gauge_header,                                                   \
            .previous_element = 0,                                                           \
            .next_element = (next_list),                                                     \
            .failure_list = (failures),                                                      \
            .image_flags = IMAGE_FLAGS_GAUGE_DEFAULT,                                        \
        },                                                                                   \
    }
