// WAV reading, conversion, mixing and writing.
#include "wav_audio.h"

#include <math.h>
#include <stdio.h>
#include <string.h>

#include <map>

#include "png_writer.h"

namespace bench {

static uint32_t get16(const uint8_t *p) { return p[0] | (p[1] << 8); }
static uint32_t get32(const uint8_t *p) { return p[0] | (p[1] << 8) | (p[2] << 16) | ((uint32_t)p[3] << 24); }

static void put16(std::vector<uint8_t> &out, uint32_t value)
{
    out.push_back((uint8_t)value);
    out.push_back((uint8_t)(value >> 8));
}

static void put32(std::vector<uint8_t> &out, uint32_t value)
{
    put16(out, value & 0xFFFF);
    put16(out, value >> 16);
}

std::vector<uint8_t> wav_bytes(uint32_t rate, uint16_t channels, uint16_t bits, const std::vector<uint8_t> &data)
{
    std::vector<uint8_t> out = {'R', 'I', 'F', 'F'};
    put32(out, 36 + (uint32_t)data.size() + (data.size() & 1));
    out.insert(out.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
    put32(out, 16);
    put16(out, 1);  // PCM
    put16(out, channels);
    put32(out, rate);
    put32(out, rate * channels * (bits / 8));
    put16(out, channels * (bits / 8));
    put16(out, bits);
    out.insert(out.end(), {'d', 'a', 't', 'a'});
    put32(out, (uint32_t)data.size());
    out.insert(out.end(), data.begin(), data.end());
    if (data.size() & 1)
        out.push_back(0);  // chunks are padded to an even size
    return out;
}

bool decode_wav(const std::vector<uint8_t> &bytes, std::vector<float> &mono, std::string &error)
{
    mono.clear();
    if (bytes.size() < 12 || memcmp(bytes.data(), "RIFF", 4) != 0 || memcmp(bytes.data() + 8, "WAVE", 4) != 0) {
        error = "not a RIFF WAVE file";
        return false;
    }
    const uint8_t *fmt = 0;
    const uint8_t *data = 0;
    size_t data_size = 0;
    for (size_t at = 12; at + 8 <= bytes.size();) {
        uint32_t size = get32(&bytes[at + 4]);
        size_t available = bytes.size() - (at + 8);
        if (memcmp(&bytes[at], "fmt ", 4) == 0 && size >= 16 && available >= 16)
            fmt = &bytes[at + 8];
        if (memcmp(&bytes[at], "data", 4) == 0) {
            data = &bytes[at + 8];
            data_size = size < available ? size : available;  // a truncated file keeps what it has
        }
        at += 8 + (size_t)size + (size & 1);
    }
    if (!fmt) {
        error = "no fmt chunk";
        return false;
    }
    uint32_t tag = get16(fmt), channels = get16(fmt + 2), rate = get32(fmt + 4), bits = get16(fmt + 14);
    // WAVE_FORMAT_EXTENSIBLE: the sub-format's first two bytes hold the real tag.
    if (tag == 0xFFFE && get16(fmt + 16) >= 22)
        tag = get16(fmt + 24);
    char text[96];
    if (tag != 1) {
        snprintf(text, sizeof text, "not PCM (format tag %u)", tag);
        error = text;
        return false;
    }
    if (bits != 8 && bits != 16) {
        snprintf(text, sizeof text, "%u-bit samples (8 or 16 bit only)", bits);
        error = text;
        return false;
    }
    if (channels != 1 && channels != 2) {
        snprintf(text, sizeof text, "%u channels (mono or stereo only)", channels);
        error = text;
        return false;
    }
    if (rate < 1000 || rate > 384000) {
        snprintf(text, sizeof text, "sample rate %u Hz out of range", rate);
        error = text;
        return false;
    }
    if (!data) {
        error = "no data chunk";
        return false;
    }
    size_t frame_bytes = channels * bits / 8;
    size_t frames = data_size / frame_bytes;
    std::vector<float> source(frames);
    for (size_t i = 0; i < frames; ++i) {
        const uint8_t *frame = data + i * frame_bytes;
        float sum = 0;
        for (uint32_t c = 0; c < channels; ++c)
            sum += bits == 8 ? (frame[c] - 128) / 128.0f : (int16_t)get16(frame + 2 * c) / 32768.0f;
        source[i] = sum / channels;
    }
    // Linear interpolation to the output rate.
    size_t out_frames = (size_t)((double)frames * AUDIO_RATE / rate + 0.5);
    mono.resize(out_frames);
    double step = (double)rate / AUDIO_RATE;
    for (size_t i = 0; i < out_frames; ++i) {
        double position = i * step;
        size_t index = (size_t)position;
        double fraction = position - index;
        float a = index < frames ? source[index] : 0;
        float b = index + 1 < frames ? source[index + 1] : a;
        mono[i] = (float)(a + (b - a) * fraction);
    }
    return true;
}

std::vector<uint8_t> encode_wav(const std::vector<float> &mono)
{
    std::vector<uint8_t> data;
    data.reserve(mono.size() * 2);
    for (float sample : mono) {
        float clipped = sample > 1 ? 1 : sample < -1 ? -1 : sample;
        int value = (int)lrintf(clipped * 32767);
        put16(data, (uint16_t)(int16_t)value);
    }
    return wav_bytes(AUDIO_RATE, 1, 16, data);
}

std::vector<float> mix_cues(const std::vector<AudioCue> &cues, double length, const std::string &sounds_dir,
                            std::vector<std::string> &warnings)
{
    std::map<std::string, std::vector<float>> sounds;  // by path; empty when unreadable
    for (const AudioCue &cue : cues) {
        if (sounds.count(cue.path))
            continue;
        std::string file = sounds_dir.empty() ? cue.path : sounds_dir + "\\" + cue.path;
        std::vector<uint8_t> bytes;
        std::string error;
        std::vector<float> &samples = sounds[cue.path];
        if (!read_file(file, bytes))
            warnings.push_back("warning: cannot open sound file " + file + ": it stays silent");
        else if (!decode_wav(bytes, samples, error))
            warnings.push_back("warning: cannot read sound file " + file + " (" + error + "): it stays silent");
    }
    auto frame_at = [](double seconds) { return (size_t)llround(seconds * AUDIO_RATE); };
    size_t total = frame_at(length);
    for (const AudioCue &cue : cues)
        if (!cue.loop)
            total = std::max(total, frame_at(cue.start) + sounds[cue.path].size());
    std::vector<float> mix(total, 0.0f);
    for (const AudioCue &cue : cues) {
        const std::vector<float> &samples = sounds[cue.path];
        if (samples.empty())
            continue;
        size_t start = frame_at(cue.start);
        size_t end = cue.loop ? std::min(frame_at(cue.stop), total) : std::min(start + samples.size(), total);
        for (size_t i = start; i < end; ++i)
            mix[i] += samples[(i - start) % samples.size()];
    }
    return mix;
}

}  // namespace bench
