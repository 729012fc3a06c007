// The files this release installs: each gauge's module and sound, carried inside gaugeinstall.exe
// as resources (numbered in panelcfg's release table) so that the program alone installs the
// release; and the modules of every release by their sums, to tell an older release's copy,
// which an install replaces, from a file that is none of ours.
#pragma once

#include <span>
#include <string>

#include "gauge_lines.h"
#include "known_releases.h"

namespace gaugeinstall {

struct Payload {
    std::string modules[panelcfg::GAUGE_COUNT];  // by gauge, as panelcfg::RELEASE_GAUGES lists them
    std::string sounds[panelcfg::GAUGE_COUNT];   // the sound each gauge plays
    std::span<const panelcfg::ReleasedFile> known_modules;
};

// From the running program's own resources, with the known modules the build wrote. False with a
// reason when a resource is missing or empty (a damaged download).
bool load_payload(Payload &payload, std::string &reason);

}  // namespace gaugeinstall
