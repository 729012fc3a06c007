// The files this release installs: the two gauge modules and their two sounds, carried inside
// gaugeinstall.exe as resources so that the program alone installs the release.
#pragma once

#include <string>

namespace gaugeinstall {

// Resource numbers, in the order of panelcfg::GAUGE_NAMES and panelcfg::SOUND_FILES.
#define PAYLOAD_MODULE_FIRST 101
#define PAYLOAD_SOUND_FIRST 201

struct Payload {
    std::string modules[2];  // VQT7_Boomcue.gau, VQT7_Drag_Drone.gau
    std::string sounds[2];   // sound\QX\Supersonic.wav, sound\QX\Speed_Brake.wav
};

// From the running program's own resources. False with a reason when one is missing or empty
// (a damaged download).
bool load_payload(Payload &payload, std::string &reason);

}  // namespace gaugeinstall
