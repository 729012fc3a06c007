// A panel.cfg or aircraft.cfg read from disk through the simulator-reading core: its lines over
// its own bytes, and its text shown in UTF-8 whatever its encoding. gaugecheck and gaugeinstall
// both read through here.
#pragma once

#include <string>

#include "sim_reading.h"

namespace gaugecheck {

using simreading::CfgFile;
using simreading::CfgRead;

// `reason` says why for a user when the result is not ok.
CfgRead read_cfg(const std::string &path, CfgFile &cfg, std::string &reason);

}  // namespace gaugecheck
