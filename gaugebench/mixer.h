// The bench's mixer: the sounds the gauges played, decoded as streams by the sound decoder,
// mixed over the run's timeline and written as a WAV file.
#pragma once

#include <math.h>
#include <stdint.h>

#include <string>
#include <vector>

namespace bench {

// Output format: mono, 16-bit, at this rate, after a canonical 44-byte header. Inputs of any
// format are converted to it.
constexpr uint32_t MIX_RATE = 22050;
constexpr uint32_t MIX_HEADER_BYTES = 44;

// One sound as the library played it: a one-shot from `start` to its end, or a loop from
// `start` on, either cut at `stop` (seconds of simulated time) when a stop, terminate or the
// library's unload silenced it.
struct AudioCue {
    std::string path;  // as the gauge named it, relative to the sounds folder
    double start = 0;
    bool loop = false;
    double stop = HUGE_VAL;  // never silenced
};

// Mixes the cues over `length` seconds (longer if a one-shot runs past it) into a WAV file of
// the output format at `path`. An unreadable or undecodable sound file adds one warning (a
// message without a "warning:" lead) and stays silent. False and `error` only when `path` cannot
// be written.
bool write_mix_file(const std::vector<AudioCue> &cues, double length, const std::string &sounds_dir,
                    const std::string &path, std::vector<std::string> &warnings, std::string &error);

}  // namespace bench
