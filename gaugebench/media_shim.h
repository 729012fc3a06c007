// Stand-in for the output writers until the WIC/mmio writers land: the same calls over the
// old encoders.
#pragma once

#include <string>
#include <vector>

#include "snapshot.h"
#include "wav_audio.h"

namespace bench {
bool write_png_file(const Image &image, const std::string &path, std::string &error);
bool write_audio_file(const std::vector<AudioCue> &cues, double length, const std::string &sounds_dir,
                      const std::string &path, std::vector<std::string> &warnings, std::string &error);
}  // namespace bench
