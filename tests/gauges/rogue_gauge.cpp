// Test-only gauge modules that misbehave on their first update, to check how the bench reports
// it: Rogue_Service calls the PANELS entry at byte 44, which no bench provides; Rogue_Crash
// (built with ROGUE_CRASH) writes through a null pointer. Rogue_Unreadable (ROGUE_UNREADABLE)
// never gets that far: its Linkage lists a gauge header at an address no module is mapped at;
// nor does Rogue_Entry (ROGUE_ENTRY), whose entry point writes through a null pointer.
// Rogue_Registers (ROGUE_REGISTERS) returns from its update with EBX changed, which the host
// relies on keeping. Rogue_Holder (ROGUE_HOLDER) behaves, but on its first update opens the file
// that ROGUE_HOLD_FILE names as a media player would (reading and writing shared, deleting not)
// and holds it to the process's end: a target taken after the bench's start check.
#include <windows.h>

#include "host_panel.h"

extern "C" GAUGE_IMPORT_TABLE ImportTable;

// A service the bench does not provide, by its byte in the host's service table.
constexpr uint32_t UNPROVIDED_SERVICE_AT = 44;

#ifdef ROGUE_CRASH
static volatile uintptr_t service_id_null;  // 0, and the compiler cannot know it
#endif

#ifdef ROGUE_HOLDER
static void hold_the_named_file(void)
{
    static bool held;
    wchar_t path[MAX_PATH];
    DWORD length = GetEnvironmentVariableW(L"ROGUE_HOLD_FILE", path, MAX_PATH);
    if (held || length == 0 || length >= MAX_PATH)
        return;
    held = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, 0, OPEN_EXISTING, 0, 0) !=
           INVALID_HANDLE_VALUE;
}
#endif

#ifdef ROGUE_REGISTERS
// The clobber is not declared, so neither this routine nor its caller saves EBX: the host gets
// it back changed.
__attribute__((noinline)) static void overwrite_ebx(void)
{
    __asm__ volatile("movl $0x5A5A5A5A, %%ebx" ::: "memory");
}
#endif

static void HOST_CALL rogue_callback(GAUGEHDR *, int32_t service_id, uint32_t)
{
    typedef void(HOST_CALL * SERVICE)(void);
    if (service_id != PANEL_SERVICE_PRE_UPDATE)
        return;
#if defined(ROGUE_CRASH)
    *(volatile uint32_t *)service_id_null = 1;
#elif defined(ROGUE_REGISTERS)
    overwrite_ebx();
#elif defined(ROGUE_HOLDER)
    hold_the_named_file();
#else
    ((SERVICE *)ImportTable.panels)[UNPROVIDED_SERVICE_AT / sizeof(SERVICE)]();
#endif
}

#if defined(ROGUE_ENTRY)
static char rogue_name[] = "Rogue_Entry";
static volatile uintptr_t entry_null;

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID)
{
    if (reason == DLL_PROCESS_ATTACH)
        *(volatile uint32_t *)entry_null = 1;
    return TRUE;
}
#elif defined(ROGUE_UNREADABLE)
static char rogue_name[] = "Rogue_Unreadable";
#elif defined(ROGUE_CRASH)
static char rogue_name[] = "Rogue_Crash";
#elif defined(ROGUE_REGISTERS)
static char rogue_name[] = "Rogue_Registers";
#elif defined(ROGUE_HOLDER)
static char rogue_name[] = "Rogue_Holder";
#else
static char rogue_name[] = "Rogue_Service";
#endif
static MOUSERECT rogue_mouse[] = {{.rect_type = MOUSE_RECT_EOL, .box = {0, 0, 0, 0}, .cursor = CURSOR_NONE, .host_data_24 = {}}};
static GAUGEHDR rogue_header = {
    .gauge_header_version = GAUGEHDR_VERSION,
    .gauge_name = rogue_name,
    .elements_list = 0,
    .mouse_rect = rogue_mouse,
    .gauge_callback = rogue_callback,
};

static void HOST_CALL rogue_nothing(void) {}

extern "C" {
GAUGE_IMPORT_TABLE ImportTable = {.table_id = IMPORT_TABLE_ID, .panels = 0, .reserved = {0, 0}};
GAUGE_LINKAGE Linkage = {
    .module_id = LINKAGE_MODULE_ID,
    .module_init = rogue_nothing,
    .module_deinit = rogue_nothing,
    .reserved = {0, 0},
    .module_version = LINKAGE_MODULE_VERSION,
#ifdef ROGUE_UNREADABLE
    // In the first page of the address space, which is never mapped.
    .gauge_header_list = {(GAUGEHDR *)0x10, 0},
#else
    .gauge_header_list = {&rogue_header, 0},
#endif
};
}
