// The contract as the host describes it (host_contract.h), row for row with the module's side.
#include "contract_facts.h"

#include "host_contract.h"

using namespace host_contract;

std::vector<ContractFact> host_side_facts()
{
    return {
        fact("service PRE_INITIALIZE", SERVICE_PRE_INITIALIZE),
        fact("service PRE_UPDATE", SERVICE_PRE_UPDATE),
        fact("service PRE_DRAW", SERVICE_PRE_DRAW),
        fact("service PRE_KILL", SERVICE_PRE_KILL),

        fact("ImportTable bytes", IMPORT_TABLE_BYTES),
        fact("ImportTable identifier at", IMPORT_TABLE_ID_AT),
        fact("ImportTable identifier", IMPORT_TABLE_ID),
        fact("ImportTable PANELS pointer at", IMPORT_TABLE_PANELS_AT),
        fact("PANELS variable fetch at", PANELS_FETCH_VAR_AT),

        fact("Linkage bytes", LINKAGE_BYTES),
        fact("Linkage identifier at", LINKAGE_ID_AT),
        fact("Linkage identifier", LINKAGE_ID),
        fact("Linkage module init at", LINKAGE_MODULE_INIT_AT),
        fact("Linkage module deinit at", LINKAGE_MODULE_DEINIT_AT),
        fact("Linkage version at", LINKAGE_VERSION_AT),
        fact("Linkage version", LINKAGE_VERSION),
        fact("Linkage gauge list at", LINKAGE_GAUGE_LIST_AT),

        fact("GAUGEHDR bytes", GAUGEHDR_BYTES),
        fact("GAUGEHDR version at", GAUGEHDR_VERSION_AT),
        fact("GAUGEHDR version", GAUGEHDR_VERSION),
        fact("GAUGEHDR name at", GAUGEHDR_NAME_AT),
        fact("GAUGEHDR element list at", GAUGEHDR_ELEMENTS_AT),
        fact("GAUGEHDR query routine at", GAUGEHDR_ROUTINES_AT[0]),
        fact("GAUGEHDR install routine at", GAUGEHDR_ROUTINES_AT[1]),
        fact("GAUGEHDR initialise routine at", GAUGEHDR_ROUTINES_AT[2]),
        fact("GAUGEHDR update routine at", GAUGEHDR_ROUTINES_AT[3]),
        fact("GAUGEHDR generate routine at", GAUGEHDR_ROUTINES_AT[4]),
        fact("GAUGEHDR draw routine at", GAUGEHDR_ROUTINES_AT[5]),
        fact("GAUGEHDR kill routine at", GAUGEHDR_ROUTINES_AT[6]),
        fact("GAUGEHDR width mm at", GAUGEHDR_SIZE_X_MM_AT),
        fact("GAUGEHDR height mm at", GAUGEHDR_SIZE_Y_MM_AT),
        fact("GAUGEHDR mouse rectangles at", GAUGEHDR_MOUSE_RECTS_AT),
        fact("GAUGEHDR callback at", GAUGEHDR_CALLBACK_AT),

        fact("element type at", ELEMENT_TYPE_AT),
        fact("element resource at", ELEMENT_RESOURCE_ID_AT),
        fact("background bitmap resource", BACKGROUND_BITMAP_ID),
        fact("element x at", ELEMENT_POSITION_X_AT),
        fact("element y at", ELEMENT_POSITION_Y_AT),
        fact("element gauge header at", ELEMENT_GAUGE_HEADER_AT),
        fact("element previous at", ELEMENT_PREVIOUS_AT),
        fact("element next list at", ELEMENT_NEXT_LIST_AT),
        fact("element failure list at", ELEMENT_FAILURES_AT),
        fact("element image flags at", ELEMENT_IMAGE_FLAGS_AT),
        fact("element type static image", ELEMENT_TYPE_STATIC_IMAGE),
        fact("element type string", ELEMENT_TYPE_STRING),
        fact("image flags", IMAGE_FLAGS_GAUGE),
        fact("static image bytes", STATIC_IMAGE_BYTES),
        fact("failure record bytes", FAILURE_RECORD_BYTES),

        fact("string bytes", STRING_BYTES),
        fact("string source variables at", STRING_SOURCE_VARS_AT),
        fact("string source variables", STRING_SOURCE_VAR_COUNT),
        fact("string text pointer at", STRING_TEXT_AT),
        fact("string width at", STRING_SIZE_X_AT),
        fact("string height at", STRING_SIZE_Y_AT),
        fact("string foreground at", STRING_FG_COLOR_AT),
        fact("string background at", STRING_BG_COLOR_AT),
        fact("string highlight at", STRING_HILITE_COLOR_AT),
        fact("string font face at", STRING_FONT_FACE_AT),
        fact("string font face bytes", STRING_FONT_FACE_BYTES),
        fact("string setting 1 at", STRING_SETTINGS_AT[0]),
        fact("string setting 2 at", STRING_SETTINGS_AT[1]),
        fact("string setting 3 at", STRING_SETTINGS_AT[2]),
        fact("string setting 4 at", STRING_SETTINGS_AT[3]),
        fact("string update routine at", STRING_UPDATE_AT),

        fact("MODULE_VAR bytes", MODULE_VAR_BYTES),
        fact("MODULE_VAR token at", MODULE_VAR_TOKEN_AT),
        fact("MODULE_VAR value at", MODULE_VAR_VALUE_AT),

        fact("MOUSERECT bytes", MOUSERECT_BYTES),
        fact("MOUSERECT type at", MOUSERECT_TYPE_AT),
        fact("MOUSERECT box at", MOUSERECT_BOX_AT),
        fact("MOUSERECT cursor at", MOUSERECT_CURSOR_AT),
        fact("MOUSERECT end of list", MOUSERECT_END_OF_LIST),
        fact("MOUSERECT parent", MOUSERECT_PARENT),
        fact("MOUSERECT end of parent", MOUSERECT_END_OF_PARENT),

        convention("gauge callback", gauge_callback{}),
        convention("string update routine", string_update{}),
        convention("module routine", module_routine{}),
        convention("variable fetch service", fetch_var_service{}),

        text_fact("sound library", SOUND_LIBRARY_NAME),
        text_fact("sound play entry", SOUND_PLAY_ENTRY),
        text_fact("sound stop entry", SOUND_STOP_ENTRY),
        text_fact("sound terminate entry", SOUND_TERMINATE_ENTRY),
        convention("sound play", sound_play{}),
        convention("sound stop", sound_stop{}),
        convention("sound terminate", sound_terminate{}),
    };
}
