// The files this release installs: each gauge's module and sound, carried inside gaugeinstall.exe
// as resources (numbered in panelcfg's release table) so that the program alone installs the
// release.
#pragma once

#include <string>

#include "gauge_lines.h"

namespace gaugeinstall {

struct Payload {
    std::string modules[panelcfg::GAUGE_COUNT];  // by gauge, as panelcfg::RELEASE_GAUGES lists them
    std::string sounds[panelcfg::GAUGE_COUNT];   // the sound each gauge plays
};

// From the running program's own resources. False with a reason when one is missing or empty
// (a damaged download).
bool load_payload(Payload &payload, std::string &reason);

}  // namespace gaugeinstall
