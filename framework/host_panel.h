// The panel host's records, service codes and services, as a gauge module uses them.
// Records are packed to 4 and use plain 32-bit pointers; every offset the host reads is pinned
// below its struct, so a layout slip fails the build instead of the simulator.
#pragma once

#include <stddef.h>
#include <stdint.h>

#if !defined(__i386__) && !defined(_M_IX86)
#error "gauge modules and their hosts are 32-bit x86 only"
#endif

// The host's calling convention: the called routine removes its arguments.
#define HOST_CALL __stdcall
// Routines the host calls: besides the host convention, realign the stack on entry, since a
// 32-bit host built with another compiler guarantees only 4-byte alignment.
#if defined(__GNUC__)
#define HOST_ENTRY __attribute__((force_align_arg_pointer)) __stdcall
#else
#define HOST_ENTRY __stdcall
#endif

// Service codes the host passes to the gauge callback. Only these four are acted on.
enum : int32_t {
    PANEL_SERVICE_PRE_INITIALIZE = 4,
    PANEL_SERVICE_PRE_UPDATE = 6,
    PANEL_SERVICE_PRE_DRAW = 10,
    PANEL_SERVICE_PRE_KILL = 12,
};

// Element types at byte 0 of every element.
enum : uint32_t {
    ELEMENT_TYPE_STATIC_IMAGE = 0,
    ELEMENT_TYPE_STRING = 2,
};

// Mouse rectangle types.
enum : uint32_t {
    MOUSE_RECT_EOL = 0,
    MOUSE_RECT_PARENT = 1,
    MOUSE_RECT_END_PARENT = 3,
};

// Image flags every element of these gauges carries.
#define IMAGE_FLAGS_GAUGE_DEFAULT 0x83u

// The words by which the host recognises a module's records.
#define IMPORT_TABLE_ID 0x0000000Fu     // at byte 0 of ImportTable
#define LINKAGE_MODULE_ID 0x13u          // at byte 0 of Linkage
#define LINKAGE_MODULE_VERSION 0x0800u   // at byte 20 of Linkage: 2048, not the header's 800
#define GAUGEHDR_VERSION 800u            // byte 0 of the gauge header: 0x320

// An element without an image resource; a mouse rectangle without a cursor.
#define RESOURCE_ID_NONE -1
#define CURSOR_NONE -1

#pragma pack(push, 4)

struct GAUGEHDR;
struct ELEMENT_HEADER;

typedef void(HOST_CALL *GAUGE_ROUTINE)(void);
typedef void(HOST_CALL *GAUGE_CALLBACK)(GAUGEHDR *gauge, int32_t service_id, uint32_t extra_data);

// A panel variable. The module sets only the token; the host's variable fetch fills the rest,
// and the module reads the 8-byte value at byte 12.
struct MODULE_VAR {
    uint32_t token;
    uint32_t host_data[2];
    union {
        double number;     // numeric variables
        uint32_t bits;     // low 32 bits, as a string element's source variable is read
        uint8_t bytes[8];
    } value;
    uint32_t host_tail[2];
};
static_assert(sizeof(MODULE_VAR) == 28, "MODULE_VAR is 28 bytes: an array of them has no gaps");
static_assert(offsetof(MODULE_VAR, token) == 0, "token at 0");
static_assert(offsetof(MODULE_VAR, value) == 12, "value at 12");

typedef void(HOST_CALL *FETCH_VAR_SERVICE)(MODULE_VAR *var);

// The host's service table. Its address arrives in ImportTable before the first call; the
// modules use only the variable fetch at byte 160 and treat the rest as opaque.
struct PANELS {
    uint32_t services_before_fetch[40];
    FETCH_VAR_SERVICE fetch_var;
};
static_assert(offsetof(PANELS, fetch_var) == 160, "variable fetch at 160");

// The record the host fills with its PANELS pointer; exported as ImportTable.
struct GAUGE_IMPORT_TABLE {
    uint32_t table_id;         // IMPORT_TABLE_ID
    PANELS *panels;            // written by the host
    uint32_t reserved[2];
};
static_assert(sizeof(GAUGE_IMPORT_TABLE) == 16, "ImportTable is four words");
static_assert(offsetof(GAUGE_IMPORT_TABLE, table_id) == 0, "identifier at byte 0");
static_assert(offsetof(GAUGE_IMPORT_TABLE, panels) == 4, "PANELS pointer at byte 4");

// Terminating entry of every element's failure list: all zero.
struct FAILURE_RECORD {
    uint32_t failure_key;
    uint32_t action;
    uint32_t reserved;
};
static_assert(sizeof(FAILURE_RECORD) == 12, "FAILURE_RECORD is 12 bytes");

// The fields every element starts with, at the same bytes in every element type.
struct ELEMENT_HEADER {
    uint32_t element_type;
    int32_t resource_id;
    int32_t position_x;
    int32_t position_y;
    uint32_t host_data_16[4];
    GAUGEHDR *gauge_header;
    ELEMENT_HEADER *previous_element;
    ELEMENT_HEADER **next_element;      // null-ended list, or null
    FAILURE_RECORD *failure_list;
    uint32_t image_flags;
    uint32_t host_data_52[2];
};
static_assert(sizeof(ELEMENT_HEADER) == 60, "element header ends at 60");
static_assert(offsetof(ELEMENT_HEADER, element_type) == 0, "type at 0");
static_assert(offsetof(ELEMENT_HEADER, resource_id) == 4, "resource id at 4");
static_assert(offsetof(ELEMENT_HEADER, position_x) == 8, "x at 8");
static_assert(offsetof(ELEMENT_HEADER, position_y) == 12, "y at 12");
static_assert(offsetof(ELEMENT_HEADER, gauge_header) == 32, "gauge header at 32");
static_assert(offsetof(ELEMENT_HEADER, previous_element) == 36, "previous at 36");
static_assert(offsetof(ELEMENT_HEADER, next_element) == 40, "next list at 40");
static_assert(offsetof(ELEMENT_HEADER, failure_list) == 44, "failure list at 44");
static_assert(offsetof(ELEMENT_HEADER, image_flags) == 48, "image flags at 48");

struct ELEMENT_STATIC_IMAGE {
    ELEMENT_HEADER header;
    uint32_t host_data_60[9];
};
static_assert(sizeof(ELEMENT_STATIC_IMAGE) == 96, "ELEMENT_STATIC_IMAGE is 96 bytes");

struct ELEMENT_STRING;
typedef double(HOST_CALL *STRING_UPDATE_CALLBACK)(ELEMENT_STRING *element);

struct ELEMENT_STRING {
    ELEMENT_HEADER header;
    MODULE_VAR source_var[3];       // refreshed by the host before the update callback
    uint32_t host_data_144[10];
    char *string;                   // text buffer, provided by the host
    uint32_t host_data_188;
    int32_t size_x;
    int32_t size_y;
    uint32_t host_data_200[2];
    uint32_t fg_color;
    uint32_t bg_color;
    uint32_t hilite_color;
    uint32_t host_data_220[7];
    char font_face[32];
    uint32_t setting_280;           // the host's own settings, carried unchanged
    uint32_t setting_284;
    uint32_t setting_288;
    uint32_t setting_292;
    uint32_t host_data_296[4];
    STRING_UPDATE_CALLBACK update_cb;
    uint32_t host_data_316[2];
};
static_assert(sizeof(ELEMENT_STRING) == 324, "ELEMENT_STRING is 324 bytes");
static_assert(offsetof(ELEMENT_STRING, source_var) == 60, "first source variable at 60");
static_assert(offsetof(ELEMENT_STRING, source_var[1]) == 88, "second source variable at 88");
static_assert(offsetof(ELEMENT_STRING, source_var[2]) == 116, "third source variable at 116");
static_assert(offsetof(ELEMENT_STRING, source_var[0].value) == 72, "frequency read at 72");
static_assert(offsetof(ELEMENT_STRING, string) == 184, "text buffer pointer at 184");
static_assert(offsetof(ELEMENT_STRING, size_x) == 192, "width at 192");
static_assert(offsetof(ELEMENT_STRING, size_y) == 196, "height at 196");
static_assert(offsetof(ELEMENT_STRING, fg_color) == 208, "foreground at 208");
static_assert(offsetof(ELEMENT_STRING, bg_color) == 212, "background at 212");
static_assert(offsetof(ELEMENT_STRING, hilite_color) == 216, "highlight at 216");
static_assert(offsetof(ELEMENT_STRING, font_face) == 248, "font face at 248");
static_assert(offsetof(ELEMENT_STRING, setting_280) == 280, "setting at 280");
static_assert(offsetof(ELEMENT_STRING, setting_284) == 284, "setting at 284");
static_assert(offsetof(ELEMENT_STRING, setting_288) == 288, "setting at 288");
static_assert(offsetof(ELEMENT_STRING, setting_292) == 292, "setting at 292");
static_assert(offsetof(ELEMENT_STRING, update_cb) == 312, "update callback at 312");

struct MOUSERECT {
    uint32_t rect_type;
    int32_t box[4];
    int32_t cursor;
    uint32_t host_data_24[5];
};
static_assert(sizeof(MOUSERECT) == 44, "MOUSERECT is 44 bytes");
static_assert(offsetof(MOUSERECT, rect_type) == 0, "type at 0");
static_assert(offsetof(MOUSERECT, box) == 4, "box at 4");
static_assert(offsetof(MOUSERECT, cursor) == 20, "cursor at 20");

struct GAUGEHDR {
    uint32_t gauge_header_version;  // GAUGEHDR_VERSION
    char *gauge_name;
    ELEMENT_HEADER **elements_list;
    GAUGE_ROUTINE query_routine;
    GAUGE_ROUTINE install_routine;
    GAUGE_ROUTINE initialize_routine;
    GAUGE_ROUTINE update_routine;
    GAUGE_ROUTINE generate_routine;
    GAUGE_ROUTINE draw_routine;
    GAUGE_ROUTINE kill_routine;
    uint32_t host_data_40;
    int32_t size_x_mm;
    int32_t size_y_mm;
    uint32_t host_data_52[7];       // user data, parameters, flags: none
    MOUSERECT *mouse_rect;
    GAUGE_CALLBACK gauge_callback;
};
static_assert(sizeof(GAUGEHDR) == 88, "GAUGEHDR ends after the callback");
static_assert(offsetof(GAUGEHDR, gauge_header_version) == 0, "version at 0");
static_assert(offsetof(GAUGEHDR, gauge_name) == 4, "name at 4");
static_assert(offsetof(GAUGEHDR, elements_list) == 8, "element list at 8");
static_assert(offsetof(GAUGEHDR, query_routine) == 12, "query routine at 12");
static_assert(offsetof(GAUGEHDR, install_routine) == 16, "install routine at 16");
static_assert(offsetof(GAUGEHDR, initialize_routine) == 20, "initialise routine at 20");
static_assert(offsetof(GAUGEHDR, update_routine) == 24, "update routine at 24");
static_assert(offsetof(GAUGEHDR, generate_routine) == 28, "generate routine at 28");
static_assert(offsetof(GAUGEHDR, draw_routine) == 32, "draw routine at 32");
static_assert(offsetof(GAUGEHDR, kill_routine) == 36, "kill routine at 36");
static_assert(offsetof(GAUGEHDR, size_x_mm) == 44, "width at 44");
static_assert(offsetof(GAUGEHDR, size_y_mm) == 48, "height at 48");
static_assert(offsetof(GAUGEHDR, mouse_rect) == 80, "mouse rectangles at 80");
static_assert(offsetof(GAUGEHDR, gauge_callback) == 84, "gauge callback at 84");

// The exported Linkage record: how the host finds the module's gauges.
struct GAUGE_LINKAGE {
    uint32_t module_id;              // LINKAGE_MODULE_ID
    GAUGE_ROUTINE module_init;
    GAUGE_ROUTINE module_deinit;
    uint32_t reserved[2];
    uint32_t module_version;         // LINKAGE_MODULE_VERSION
    GAUGEHDR *gauge_header_list[2];  // the one gauge, then null
};
static_assert(sizeof(GAUGE_LINKAGE) == 32, "Linkage is eight words");
static_assert(offsetof(GAUGE_LINKAGE, module_id) == 0, "identifier at byte 0");
static_assert(offsetof(GAUGE_LINKAGE, module_init) == 4, "init routine at byte 4");
static_assert(offsetof(GAUGE_LINKAGE, module_deinit) == 8, "deinit routine at byte 8");
static_assert(offsetof(GAUGE_LINKAGE, module_version) == 20, "version at byte 20");
static_assert(offsetof(GAUGE_LINKAGE, gauge_header_list) == 24, "gauge list from byte 24");

#pragma pack(pop)
