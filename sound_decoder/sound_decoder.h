// Sound files through Windows' own multimedia APIs: the RIFF WAVE file walked with mmio, its
// samples decoded by whatever codecs the system's Audio Compression Manager offers. Shared by
// the bench, which mixes the sounds, and the install checker, which reports on them.
#pragma once

#include <stdint.h>

#include <memory>
#include <string>
#include <vector>

namespace sound_decoder {

// Why a sound file cannot be played: the kind for the caller to act on, the reason for people.
enum class FailureKind {
    CannotOpen,       // missing, locked or not ours to read
    CannotRead,       // opened, but its size or its bytes cannot be read
    NotWave,          // not a RIFF WAVE file
    NoFormat,         // no fmt chunk
    NoData,           // no data chunk
    EmptyData,        // a data chunk with nothing in the file
    BadFormat,        // a fmt chunk without channels, rate or block size, or a sample layout not read here
    NoCodec,          // no codec on this system for its format
    NoConverter,      // the system's PCM converter does not take what the codec gives
    UndecodableData,  // its codec takes the format but not the data
};

struct Failure {
    FailureKind kind = FailureKind::CannotOpen;
    std::string reason;  // "not a RIFF WAVE file", "no codec on this system for IMA ADPCM", ...
};

struct SoundFileInfo {
    uint16_t format_tag = 0;   // WAVE_FORMAT_* (the sub-format's tag for WAVE_FORMAT_EXTENSIBLE)
    std::string format_name;   // "PCM", "IMA ADPCM", "MS ADPCM", "A-law", "mu-law", "IEEE float", "GSM 6.10", "MPEG layer-3", or "format 0xNNNN"
    uint16_t channels = 0;
    uint32_t rate = 0;
    uint16_t bits = 0;
    uint64_t data_bytes = 0;   // as far as the file really holds them
    double seconds = 0;
};

// Walks the RIFF WAVE file with mmio, checks that the system's codecs can decode its format to
// PCM (ACM) and decodes a first block of its data. On failure returns false and the failure.
// Warnings that do not stop playback (size field past the end of the file, truncated) go to
// `warnings`.
bool describe_sound_file(const std::string &utf8_path, SoundFileInfo &info, Failure &failure,
                         std::vector<std::string> *warnings = nullptr);

// A sound file decoded on demand to mono samples (-1..1) at one rate. Only as much of the file
// is read and converted as the caller asks for, so a file of any size costs what is played.
class SoundStream {
public:
    SoundStream();
    ~SoundStream();
    SoundStream(const SoundStream &) = delete;
    SoundStream &operator=(const SoundStream &) = delete;

    // Opens the file and the codecs that take it to 16-bit PCM at `rate`. On failure returns
    // false and the failure.
    bool open(const std::string &utf8_path, uint32_t rate, Failure &failure, std::vector<std::string> *warnings = nullptr);
    // Up to `count` samples into `samples`; fewer only when the sound has ended.
    size_t read(float *samples, size_t count);
    // Back to the first sample, for a loop. False if the file can no longer be read.
    bool rewind();
    // Reads no more than the first `bytes` of the data from here on: the sound ends there. For a
    // probe of the data, whose cost must not grow with the file.
    void read_at_most(uint64_t bytes);
    const SoundFileInfo &info() const;

    struct State;

private:
    std::unique_ptr<State> state_;
};

}  // namespace sound_decoder
