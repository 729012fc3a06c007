// The contract as the modules describe it: their record types, codes, names and conventions.
#include "contract_facts.h"

#include "gauge_records.h"
#include "sound_binding.h"

std::vector<ContractFact> module_side_facts()
{
    return {
        fact("service PRE_INITIALIZE", PANEL_SERVICE_PRE_INITIALIZE),
        fact("service PRE_UPDATE", PANEL_SERVICE_PRE_UPDATE),
        fact("service PRE_DRAW", PANEL_SERVICE_PRE_DRAW),
        fact("service PRE_KILL", PANEL_SERVICE_PRE_KILL),

        fact("ImportTable bytes", sizeof(GAUGE_IMPORT_TABLE)),
        fact("ImportTable identifier at", offsetof(GAUGE_IMPORT_TABLE, table_id)),
        fact("ImportTable identifier", IMPORT_TABLE_ID),
        fact("ImportTable PANELS pointer at", offsetof(GAUGE_IMPORT_TABLE, panels)),
        fact("PANELS variable fetch at", offsetof(PANELS, fetch_var)),

        fact("Linkage bytes", sizeof(GAUGE_LINKAGE)),
        fact("Linkage identifier at", offsetof(GAUGE_LINKAGE, module_id)),
        fact("Linkage identifier", LINKAGE_MODULE_ID),
        fact("Linkage module init at", offsetof(GAUGE_LINKAGE, module_init)),
        fact("Linkage module deinit at", offsetof(GAUGE_LINKAGE, module_deinit)),
        fact("Linkage version at", offsetof(GAUGE_LINKAGE, module_version)),
        fact("Linkage version", LINKAGE_MODULE_VERSION),
        fact("Linkage gauge list at", offsetof(GAUGE_LINKAGE, gauge_header_list)),

        fact("GAUGEHDR bytes", sizeof(GAUGEHDR)),
        fact("GAUGEHDR version at", offsetof(GAUGEHDR, gauge_header_version)),
        fact("GAUGEHDR version", GAUGEHDR_VERSION),
        fact("GAUGEHDR name at", offsetof(GAUGEHDR, gauge_name)),
        fact("GAUGEHDR element list at", offsetof(GAUGEHDR, elements_list)),
        fact("GAUGEHDR query routine at", offsetof(GAUGEHDR, query_routine)),
        fact("GAUGEHDR install routine at", offsetof(GAUGEHDR, install_routine)),
        fact("GAUGEHDR initialise routine at", offsetof(GAUGEHDR, initialize_routine)),
        fact("GAUGEHDR update routine at", offsetof(GAUGEHDR, update_routine)),
        fact("GAUGEHDR generate routine at", offsetof(GAUGEHDR, generate_routine)),
        fact("GAUGEHDR draw routine at", offsetof(GAUGEHDR, draw_routine)),
        fact("GAUGEHDR kill routine at", offsetof(GAUGEHDR, kill_routine)),
        fact("GAUGEHDR width mm at", offsetof(GAUGEHDR, size_x_mm)),
        fact("GAUGEHDR height mm at", offsetof(GAUGEHDR, size_y_mm)),
        fact("GAUGEHDR mouse rectangles at", offsetof(GAUGEHDR, mouse_rect)),
        fact("GAUGEHDR callback at", offsetof(GAUGEHDR, gauge_callback)),

        fact("element type at", offsetof(ELEMENT_HEADER, element_type)),
        fact("element resource at", offsetof(ELEMENT_HEADER, resource_id)),
        fact("element x at", offsetof(ELEMENT_HEADER, position_x)),
        fact("element y at", offsetof(ELEMENT_HEADER, position_y)),
        fact("element gauge header at", offsetof(ELEMENT_HEADER, gauge_header)),
        fact("element previous at", offsetof(ELEMENT_HEADER, previous_element)),
        fact("element next list at", offsetof(ELEMENT_HEADER, next_element)),
        fact("element failure list at", offsetof(ELEMENT_HEADER, failure_list)),
        fact("element image flags at", offsetof(ELEMENT_HEADER, image_flags)),
        fact("element type static image", ELEMENT_TYPE_STATIC_IMAGE),
        fact("element type string", ELEMENT_TYPE_STRING),
        fact("image flags", IMAGE_FLAGS_GAUGE_DEFAULT),
        fact("static image bytes", sizeof(ELEMENT_STATIC_IMAGE)),
        fact("failure record bytes", sizeof(FAILURE_RECORD)),

        fact("string bytes", sizeof(ELEMENT_STRING)),
        fact("string source variables at", offsetof(ELEMENT_STRING, source_var)),
        fact("string source variables", sizeof(ELEMENT_STRING::source_var) / sizeof(MODULE_VAR)),
        fact("string text pointer at", offsetof(ELEMENT_STRING, string)),
        fact("string width at", offsetof(ELEMENT_STRING, size_x)),
        fact("string height at", offsetof(ELEMENT_STRING, size_y)),
        fact("string foreground at", offsetof(ELEMENT_STRING, fg_color)),
        fact("string background at", offsetof(ELEMENT_STRING, bg_color)),
        fact("string highlight at", offsetof(ELEMENT_STRING, hilite_color)),
        fact("string font face at", offsetof(ELEMENT_STRING, font_face)),
        fact("string font face bytes", sizeof(ELEMENT_STRING::font_face)),
        fact("string setting 1 at", offsetof(ELEMENT_STRING, setting_280)),
        fact("string setting 2 at", offsetof(ELEMENT_STRING, setting_284)),
        fact("string setting 3 at", offsetof(ELEMENT_STRING, setting_288)),
        fact("string setting 4 at", offsetof(ELEMENT_STRING, setting_292)),
        fact("string update routine at", offsetof(ELEMENT_STRING, update_cb)),

        fact("MODULE_VAR bytes", sizeof(MODULE_VAR)),
        fact("MODULE_VAR token at", offsetof(MODULE_VAR, token)),
        fact("MODULE_VAR value at", offsetof(MODULE_VAR, value)),

        fact("MOUSERECT bytes", sizeof(MOUSERECT)),
        fact("MOUSERECT type at", offsetof(MOUSERECT, rect_type)),
        fact("MOUSERECT box at", offsetof(MOUSERECT, box)),
        fact("MOUSERECT cursor at", offsetof(MOUSERECT, cursor)),
        fact("MOUSERECT end of list", MOUSE_RECT_EOL),
        fact("MOUSERECT parent", MOUSE_RECT_PARENT),
        fact("MOUSERECT end of parent", MOUSE_RECT_END_PARENT),

        convention("gauge callback", GAUGE_CALLBACK{}),
        convention("string update routine", STRING_UPDATE_CALLBACK{}),
        convention("module routine", GAUGE_ROUTINE{}),
        convention("variable fetch service", FETCH_VAR_SERVICE{}),

        text_fact("sound library", SOUND_LIBRARY_NAME),
        text_fact("sound play entry", SOUND_PLAY_ENTRY),
        text_fact("sound stop entry", SOUND_STOP_ENTRY),
        text_fact("sound terminate entry", SOUND_TERMINATE_ENTRY),
        convention("sound play", GAUGE_PLAY_SOUND{}),
        convention("sound stop", GAUGE_STOP_SOUND{}),
        convention("sound terminate", TERMINATE_SOUNDS{}),
    };
}
