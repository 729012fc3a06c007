// Inside the sound decoder: a RIFF WAVE file opened through mmio and walked chunk by chunk to
// its fmt and data chunks, with every offset checked against the file's real size.
#pragma once

#include <windows.h>
#include <mmsystem.h>

#include <string>
#include <vector>

namespace sound_decoder {

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

bool open_wave_file(const std::string &utf8_path, WaveFile &file, std::string &reason);
void close_wave_file(WaveFile &file);
bool walk_wave_file(WaveFile &file, WaveLayout &layout, std::string &reason, std::vector<std::string> *warnings);

}  // namespace sound_decoder
