// The payload read from the program's RCDATA resources.
#include "payload.h"

#include <windows.h>

#include "release_sums.h"

namespace gaugeinstall {

static bool resource_bytes(int id, std::string &bytes)
{
    HRSRC found = FindResourceW(0, MAKEINTRESOURCEW(id), RT_RCDATA);
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
    payload.known_modules = gaugecheck::KNOWN_MODULES;
    for (int gauge = 0; gauge < panelcfg::GAUGE_COUNT; ++gauge) {
        const panelcfg::ReleaseGauge &row = panelcfg::RELEASE_GAUGES[gauge];
        const char *missing = !resource_bytes(row.module_resource, payload.modules[gauge]) ? row.module_file
                              : !resource_bytes(row.sound_resource, payload.sounds[gauge]) ? row.sound_file
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
