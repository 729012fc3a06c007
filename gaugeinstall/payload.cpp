// The payload read from the program's RCDATA resources.
#include "payload.h"

#include <windows.h>

#include "gauge_lines.h"

namespace gaugeinstall {

static bool resource_bytes(int id, std::string &bytes)
{
    HRSRC found = FindResourceW(0, MAKEINTRESOURCEW(id), MAKEINTRESOURCEW(10));  // RT_RCDATA
    HGLOBAL loaded = found ? LoadResource(0, found) : 0;
    const char *data = loaded ? (const char *)LockResource(loaded) : 0;
    DWORD size = found ? SizeofResource(0, found) : 0;
    if (!data || !size)
        return false;
    bytes.assign(data, size);
    return true;
}

bool load_payload(Payload &payload, std::string &reason)
{
    for (int i = 0; i < 2; ++i) {
        const char *missing = !resource_bytes(PAYLOAD_MODULE_FIRST + i, payload.modules[i]) ? panelcfg::GAUGE_NAMES[i]
                              : !resource_bytes(PAYLOAD_SOUND_FIRST + i, payload.sounds[i]) ? panelcfg::SOUND_FILES[i]
                                                                                             : 0;
        if (missing) {
            reason = std::string("this gaugeinstall.exe does not carry ") + missing +
                     ": it is damaged; download the release again";
            return false;
        }
    }
    return true;
}

}  // namespace gaugeinstall
