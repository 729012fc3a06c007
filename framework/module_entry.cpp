// The library entry point of a gauge module. All work happens in the host's calls, so there is
// no C runtime to start and nothing to do here.
#include <windows.h>

extern "C" BOOL WINAPI gauge_dll_entry(HINSTANCE, DWORD, LPVOID)
{
    return TRUE;
}
