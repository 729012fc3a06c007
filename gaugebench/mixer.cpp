// The mixer: a second of output at a time, each cue's sound read from the decoder only as far
// as the cue plays, so a long file in a short run costs what the run plays of it.
#include "mixer.h"

#include <string.h>
#include <windows.h>

#include <algorithm>
#include <map>
#include <memory>

#include "sound_decoder.h"
#include "toolbox.h"

namespace bench {

static const size_t BLOCK_FRAMES = MIX_RATE;
// A sound that ends within this many frames is decoded once and kept; a longer one is streamed
// by every cue that plays it.
static const size_t KEPT_FRAMES = 5 * MIX_RATE;

struct Sound {
    std::string file;
    bool playable = false;
    bool kept = false;          // the whole sound is in `samples`
    std::vector<float> samples;
};

struct Voice {
    const Sound *sound;
    bool loop;
    size_t start, end;  // frames of the output; a one-shot may end sooner, with its sound
    std::unique_ptr<sound_decoder::SoundStream> stream;
    size_t played = 0;
    bool rewound = false;
    bool done = false;
};

static size_t frame_at(double seconds)
{
    if (!(seconds < 1e9))
        return SIZE_MAX;  // never
    return seconds <= 0 ? 0 : (size_t)llround(seconds * MIX_RATE);
}

// Opens the sound once: one warning if it cannot play or plays with a fault, and the whole of it
// kept when it is short.
static void load_sound(Sound &sound, std::vector<std::string> &warnings)
{
    sound_decoder::SoundStream stream;
    sound_decoder::Failure failure;
    std::vector<std::string> faults;
    if (!stream.open(sound.file, MIX_RATE, failure, &faults)) {
        // A file that is not there, or locked, keeps the short message it always had.
        if (failure.kind == sound_decoder::FailureKind::CannotOpen)
            warnings.push_back("cannot open sound file " + sound.file + ": it stays silent");
        else
            warnings.push_back("cannot play sound file " + sound.file + " (" + failure.reason + "): it stays silent");
        return;
    }
    for (const std::string &fault : faults)
        warnings.push_back("sound file " + sound.file + ": " + fault + "; it plays what is there");
    sound.playable = true;
    sound.samples.resize(KEPT_FRAMES + 1);
    size_t got = stream.read(sound.samples.data(), sound.samples.size());
    sound.kept = got <= KEPT_FRAMES;
    sound.samples.resize(sound.kept ? got : 0);
    sound.samples.shrink_to_fit();
}

// Adds the voice's frames for output frames [from, to) into `mix` (which starts at `from`).
// Returns the output frame after the last one it added.
static size_t play_voice(Voice &voice, float *mix, size_t from, size_t to, std::vector<float> &scratch)
{
    size_t at = from;
    while (at < to && !voice.done) {
        size_t want = to - at, got = 0;
        if (voice.sound->kept) {
            const std::vector<float> &samples = voice.sound->samples;
            size_t offset = voice.loop && !samples.empty() ? voice.played % samples.size() : voice.played;
            got = offset < samples.size() ? std::min(want, samples.size() - offset) : 0;
            for (size_t i = 0; i < got; ++i)
                mix[at - from + i] += samples[offset + i];
            if (got == 0)
                voice.done = true;
        } else {
            scratch.resize(want);
            got = voice.stream->read(scratch.data(), want);
            for (size_t i = 0; i < got; ++i)
                mix[at - from + i] += scratch[i];
            if (got > 0)
                voice.rewound = false;
            if (got < want) {
                // A loop starts over; one that gives nothing right after starting over has ended.
                if (!voice.loop || voice.rewound || !voice.stream->rewind())
                    voice.done = true;
                voice.rewound = true;
            }
        }
        at += got;
        voice.played += got;
    }
    return at;
}

static void put_header(uint8_t *header, uint32_t data_bytes)
{
    const uint32_t fields[] = {36 + data_bytes, 16, 1 | 1 << 16, MIX_RATE, MIX_RATE * 2, 2 | 16 << 16, data_bytes};
    memcpy(header, "RIFF", 4);
    memcpy(header + 8, "WAVEfmt ", 8);
    memcpy(header + 36, "data", 4);
    const size_t offsets[] = {4, 16, 20, 24, 28, 32, 40};
    for (size_t i = 0; i < 7; ++i)
        memcpy(header + offsets[i], &fields[i], 4);
}

bool write_mix_file(const std::vector<AudioCue> &cues, double length, const std::string &sounds_dir, const std::string &path,
                    std::vector<std::string> &warnings, std::string &error)
{
    std::map<std::string, Sound> sounds;  // by the path the gauges gave
    std::vector<Voice> voices;
    size_t length_frames = frame_at(length);
    for (const AudioCue &cue : cues) {
        Sound &sound = sounds[cue.path];
        if (sound.file.empty()) {
            sound.file = sounds_dir.empty() ? cue.path : sounds_dir + "\\" + cue.path;
            load_sound(sound, warnings);
        }
        size_t stop = frame_at(cue.stop);
        if (sound.playable)
            voices.push_back({&sound, cue.loop, frame_at(cue.start), cue.loop ? std::min(stop, length_frames) : stop, nullptr});
    }

    HANDLE file = CreateFileW(toolbox::widen(path).c_str(), GENERIC_WRITE, 0, 0, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, 0);
    if (file == INVALID_HANDLE_VALUE) {
        error = "cannot write " + path;
        return false;
    }
    uint8_t header[MIX_HEADER_BYTES] = {};
    DWORD written = 0;
    bool ok = WriteFile(file, header, sizeof header, &written, 0) && written == sizeof header;
    std::vector<float> mix(BLOCK_FRAMES), scratch;
    std::vector<int16_t> pcm(BLOCK_FRAMES);
    uint64_t data_bytes = 0;
    for (size_t block = 0; ok; block += BLOCK_FRAMES) {
        size_t block_end = block + BLOCK_FRAMES, last = std::min(block_end, std::max(length_frames, block));
        bool more = block_end < length_frames;
        std::fill(mix.begin(), mix.end(), 0.0f);
        for (Voice &voice : voices) {
            if (voice.done)
                continue;
            size_t from = std::max(block, voice.start), to = std::min(block_end, voice.end);
            if (voice.start >= voice.end || from >= voice.end) {
                voice.done = true;
                continue;
            }
            if (from >= to) {
                more = true;  // starts later
                continue;
            }
            if (!voice.sound->kept && !voice.stream) {
                voice.stream.reset(new sound_decoder::SoundStream);
                sound_decoder::Failure failure;
                if (!voice.stream->open(voice.sound->file, MIX_RATE, failure)) {
                    voice.done = true;
                    continue;
                }
            }
            size_t reached = play_voice(voice, &mix[from - block], from, to, scratch);
            if (!voice.loop)
                last = std::max(last, reached);
            if (reached >= voice.end)
                voice.done = true;
            if (voice.done)
                voice.stream.reset();  // its file closes as soon as it has played
            else
                more = true;
        }
        size_t frames = last - block;
        for (size_t i = 0; i < frames; ++i) {
            float clipped = mix[i] > 1 ? 1 : mix[i] < -1 ? -1 : mix[i];
            pcm[i] = (int16_t)lrintf(clipped * 32767);
        }
        ok = WriteFile(file, pcm.data(), (DWORD)(frames * 2), &written, 0) && written == frames * 2;
        data_bytes += frames * 2;
        if (!more)
            break;
    }
    // A WAV file holds at most 4 GB of data: a longer render keeps its header at the limit.
    put_header(header, (uint32_t)std::min<uint64_t>(data_bytes, 0xFFFFFFFFu - 36));
    ok = ok && SetFilePointer(file, 0, 0, FILE_BEGIN) == 0 && WriteFile(file, header, sizeof header, &written, 0) &&
         written == sizeof header;
    ok = CloseHandle(file) && ok;
    if (!ok)
        error = "cannot write " + path;
    return ok;
}

}  // namespace bench
