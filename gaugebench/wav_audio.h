// The bench's audio: the sounds the gauges played, decoded as streams by the sound decoder,
// mixed over the run's timeline and written as a WAV file.
#pragma once

#include <math.h>
#include <stdint.h>

#include <string>
#include <vector>

namespace bench {

// Output format: mono, 16-bit, at this rate. Inputs of any format are converted to it.
constexpr uint32_t AUDIO_RATE = 22050;

// One sound as the library played it: a one-shot from `start` to its end, or a loop from
// `start` on, either cut at `stop` (seconds of simulated time) when a stop, terminate or the
// library's unload silenced it.
struct AudioCue {
    std::string path;  // as the gauge named it, relative to the sounds folder
    double start = 0;
    bool loop = false;
    double stop = HUGE_VAL;  // never silenced
};

// Renders the cues over `length` seconds (longer if a one-shot runs past it) into a 22050 Hz 16-bit mono WAV file at `path`.
// Unreadable or undecodable sound files add one warning each and stay silent. false + error only when `path` cannot be written.
bool write_audio_file(const std::vector<AudioCue> &cues, double length, const std::string &sounds_dir, const std::string &path, std::vector<std::string> &warnings, std::string &error);

}  // namespace bench
