// The bench's audio: reads the PCM WAV files the gauges name, converts them to one format,
// mixes them over the run's timeline and writes the result as a WAV file.
#pragma once

#include <stdint.h>

#include <string>
#include <vector>

namespace bench {

// Output format: mono, 16-bit, at this rate. Inputs of any format are converted to it.
constexpr uint32_t AUDIO_RATE = 22050;

// A WAV file's bytes: RIFF header, fmt chunk (PCM), data chunk.
std::vector<uint8_t> wav_bytes(uint32_t rate, uint16_t channels, uint16_t bits, const std::vector<uint8_t> &data);
// PCM 8 or 16 bit, mono or stereo, any rate, to mono floats (-1..1) at AUDIO_RATE.
bool decode_wav(const std::vector<uint8_t> &bytes, std::vector<float> &mono, std::string &error);
// Mono floats at AUDIO_RATE to a 16-bit WAV file's bytes, clipped to full scale.
std::vector<uint8_t> encode_wav(const std::vector<float> &mono);

// One sound as the library played it: a one-shot from `start`, or a loop from `start` until
// `stop` (seconds of simulated time).
struct AudioCue {
    std::string path;  // as the gauge named it, relative to the sounds folder
    double start;
    bool loop;
    double stop;
};

// Mixes the cues into `length` seconds (longer if a one-shot runs past it). A file that
// cannot be read adds one warning naming it and stays silent.
std::vector<float> mix_cues(const std::vector<AudioCue> &cues, double length, const std::string &sounds_dir,
                            std::vector<std::string> &warnings);

}  // namespace bench
