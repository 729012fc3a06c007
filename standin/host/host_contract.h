// The panel host's side of the contract with a gauge module, as the host sees it: which codes it
// sends, which bytes of the module's records it reads and writes, and how it calls the sound
// library. Kept apart from the modules' own header on purpose, so that a slip on either side
// shows as a disagreement (tests/test_contract.cpp) instead of being shared by both.
#pragma once

#include <stdint.h>
#include <string.h>

namespace host_contract {

// Calls from the host into gauge code remove their own arguments; the host's services do too.
#define HOST_CONTRACT_HOST_CALL __stdcall
// The sound library's entries leave their arguments for the caller to remove.
#define HOST_CONTRACT_SOUND_CALL __cdecl

// Codes the host passes to a gauge callback, in the order of a gauge's life.
constexpr int32_t SERVICE_PRE_INITIALIZE = 4;
constexpr int32_t SERVICE_PRE_UPDATE = 6;
constexpr int32_t SERVICE_PRE_DRAW = 10;
constexpr int32_t SERVICE_PRE_KILL = 12;

// What the host looks up in a module by name.
inline constexpr char LINKAGE_EXPORT[] = "Linkage";
inline constexpr char IMPORT_TABLE_EXPORT[] = "ImportTable";

// ImportTable: an identifying word, then the word the host writes its service table's address to.
constexpr uint32_t IMPORT_TABLE_BYTES = 16;
constexpr uint32_t IMPORT_TABLE_ID_AT = 0;
constexpr uint32_t IMPORT_TABLE_ID = 0x0000000F;
constexpr uint32_t IMPORT_TABLE_PANELS_AT = 4;

// The host's service table: a module finds the variable fetch at this byte.
constexpr uint32_t PANELS_FETCH_VAR_AT = 160;

// Linkage.
constexpr uint32_t LINKAGE_BYTES = 32;
constexpr uint32_t LINKAGE_ID_AT = 0;
constexpr uint32_t LINKAGE_ID = 0x13;
constexpr uint32_t LINKAGE_MODULE_INIT_AT = 4;
constexpr uint32_t LINKAGE_MODULE_DEINIT_AT = 8;
constexpr uint32_t LINKAGE_VERSION_AT = 20;
constexpr uint32_t LINKAGE_VERSION = 0x0800;
constexpr uint32_t LINKAGE_GAUGE_LIST_AT = 24;  // gauge header pointers up to a null one

// The gauge header.
constexpr uint32_t GAUGEHDR_BYTES = 88;
constexpr uint32_t GAUGEHDR_VERSION_AT = 0;
constexpr uint32_t GAUGEHDR_VERSION = 800;
constexpr uint32_t GAUGEHDR_NAME_AT = 4;
constexpr uint32_t GAUGEHDR_ELEMENTS_AT = 8;     // a pointer to the root element's pointer
// The seven per-gauge routines the host would call if set: query, install, initialise,
// update, generate, draw, kill.
constexpr uint32_t GAUGEHDR_ROUTINES_AT[7] = {12, 16, 20, 24, 28, 32, 36};
constexpr uint32_t GAUGEHDR_SIZE_X_MM_AT = 44;
constexpr uint32_t GAUGEHDR_SIZE_Y_MM_AT = 48;
constexpr uint32_t GAUGEHDR_MOUSE_RECTS_AT = 80;
constexpr uint32_t GAUGEHDR_CALLBACK_AT = 84;

// Every element starts with the same fields, in its first 60 bytes.
constexpr uint32_t ELEMENT_COMMON_BYTES = 60;
constexpr uint32_t ELEMENT_TYPE_AT = 0;
constexpr uint32_t ELEMENT_RESOURCE_ID_AT = 4;
// The bitmap resource the host draws as a gauge's face, at the root element's position.
constexpr uint32_t BACKGROUND_BITMAP_ID = 256;
constexpr uint32_t ELEMENT_POSITION_X_AT = 8;
constexpr uint32_t ELEMENT_POSITION_Y_AT = 12;
constexpr uint32_t ELEMENT_GAUGE_HEADER_AT = 32;
constexpr uint32_t ELEMENT_PREVIOUS_AT = 36;
constexpr uint32_t ELEMENT_NEXT_LIST_AT = 40;    // null, or element pointers up to a null one
constexpr uint32_t ELEMENT_FAILURES_AT = 44;
constexpr uint32_t ELEMENT_IMAGE_FLAGS_AT = 48;
constexpr uint32_t ELEMENT_TYPE_STATIC_IMAGE = 0;
constexpr uint32_t ELEMENT_TYPE_STRING = 2;
constexpr uint32_t IMAGE_FLAGS_GAUGE = 0x83;
constexpr uint32_t STATIC_IMAGE_BYTES = 96;
constexpr uint32_t FAILURE_RECORD_BYTES = 12;

// A string element: the host refreshes its source variables, points it at a text buffer of
// its own, calls its update routine and draws the text it finds.
constexpr uint32_t STRING_BYTES = 324;
constexpr uint32_t STRING_SOURCE_VARS_AT = 60;
constexpr uint32_t STRING_SOURCE_VAR_COUNT = 3;
constexpr uint32_t STRING_TEXT_AT = 184;
constexpr uint32_t STRING_SIZE_X_AT = 192;
constexpr uint32_t STRING_SIZE_Y_AT = 196;
constexpr uint32_t STRING_FG_COLOR_AT = 208;
constexpr uint32_t STRING_BG_COLOR_AT = 212;
constexpr uint32_t STRING_HILITE_COLOR_AT = 216;
constexpr uint32_t STRING_FONT_FACE_AT = 248;
constexpr uint32_t STRING_FONT_FACE_BYTES = 32;
constexpr uint32_t STRING_SETTINGS_AT[4] = {280, 284, 288, 292};
constexpr uint32_t STRING_UPDATE_AT = 312;

// A module variable: the module sets the token, the fetch writes the 8-byte value.
constexpr uint32_t MODULE_VAR_BYTES = 28;
constexpr uint32_t MODULE_VAR_TOKEN_AT = 0;
constexpr uint32_t MODULE_VAR_VALUE_AT = 12;

// Mouse rectangles.
constexpr uint32_t MOUSERECT_BYTES = 44;
constexpr uint32_t MOUSERECT_TYPE_AT = 0;
constexpr uint32_t MOUSERECT_BOX_AT = 4;
constexpr uint32_t MOUSERECT_CURSOR_AT = 20;
constexpr uint32_t MOUSERECT_END_OF_LIST = 0;
constexpr uint32_t MOUSERECT_PARENT = 1;
constexpr uint32_t MOUSERECT_END_OF_PARENT = 3;

// How the host calls into a module, and how it is called back.
typedef void(HOST_CONTRACT_HOST_CALL *gauge_callback)(void *gauge_header, int32_t service, uint32_t extra);
typedef double(HOST_CONTRACT_HOST_CALL *string_update)(void *string_element);
typedef void(HOST_CONTRACT_HOST_CALL *module_routine)(void);
typedef void(HOST_CONTRACT_HOST_CALL *fetch_var_service)(void *module_var);

// The sound library, as the simulator's add-on installs it and the modules find it.
inline constexpr char SOUND_LIBRARY_NAME[] = "GaugeSound";
inline constexpr char SOUND_PLAY_ENTRY[] = "GaugePlaySound";
inline constexpr char SOUND_STOP_ENTRY[] = "GaugeStopSound";
inline constexpr char SOUND_TERMINATE_ENTRY[] = "TerminateSounds";
typedef int(HOST_CONTRACT_SOUND_CALL *sound_play)(const char *wav_path, const char *sound_name, int32_t loop);
typedef int(HOST_CONTRACT_SOUND_CALL *sound_stop)(const char *sound_name);
typedef int(HOST_CONTRACT_SOUND_CALL *sound_terminate)(void);

// Reading and writing a record's field by its byte position, as the host does.
template <class T>
inline T read_at(const void *record, uint32_t offset)
{
    T value;
    memcpy(&value, (const uint8_t *)record + offset, sizeof value);
    return value;
}

template <class T>
inline void write_at(void *record, uint32_t offset, T value)
{
    memcpy((uint8_t *)record + offset, &value, sizeof value);
}

template <class T>
inline T *pointer_at(const void *record, uint32_t offset)
{
    return (T *)(uintptr_t)read_at<uint32_t>(record, offset);
}

}  // namespace host_contract
