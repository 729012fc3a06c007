// Inside the sound decoder: a RIFF WAVE file opened through mmio and walked chunk by chunk to
// its fmt and data chunks, with every offset checked against the file's real size.
#pragma once

#include <windows.h>
#include <mmsystem.h>

#include <string>
#include <vector>

#include "sound_decoder.h"

namespace sound_decoder {

inline bool fail(Failure &failure, FailureKind kind, const std::string &reason)
{
    failure.kind = kind;
    failure.reason = reason;
    return false;
}

struct WaveFile {
    HANDLE handle = INVALID_HANDLE_VALUE;
    HMMIO mmio = 0;
    uint64_t size = 0;
};

struct WaveLayout {
    std::vector<uint8_t> format;  // the fmt chunk as a WAVEFORMATEX, cbSize cut to what the chunk holds
    uint32_t data_offset = 0;
    uint64_t data_bytes = 0;      // as far as the file holds them
};

bool open_wave_file(const std::string &utf8_path, WaveFile &file, Failure &failure);
void close_wave_file(WaveFile &file);
bool walk_wave_file(WaveFile &file, WaveLayout &layout, Failure &failure, std::vector<std::string> *warnings);

}  // namespace sound_decoder
