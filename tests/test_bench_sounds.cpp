// The bench's audio over sound files made here: every format the system's codecs take (coded by
// ACM itself where it has an encoder) and every way real files break. Each file is rendered as
// a cue, and the output shows where it sounds and at what pitch, or which warning it got.
#include <math.h>

#include <functional>

#include "bench_runs.h"
#include "files_and_programs.h"
#include "media_files.h"
#include "test_support.h"  // windows.h, which the headers below need first
#include "mixer.h"
#include <mmreg.h>
#include <msacm.h>
#include <winioctl.h>

using namespace test_support;

namespace {

// The bench's output: 22050 Hz mono. The test tone: 440 Hz at half scale for 0.6 s.
const double RATE = 22050, TONE_HZ = 440, TONE_SECONDS = 0.6, CUE_AT = 0.5, RENDER_SECONDS = 2.0;

// The sounds folder, as the bench is given it: without a trailing separator.
std::string sounds_folder()
{
    char path[MAX_PATH];
    GetTempPathA(sizeof path, path);
    std::string folder = std::string(path) + "bench_sounds_" + std::to_string(GetCurrentProcessId());
    CreateDirectoryA(folder.c_str(), 0);
    return folder;
}

std::string in_sounds(const std::string &file)
{
    return sounds_folder() + "\\" + file;
}

std::vector<int16_t> tone(uint32_t rate, double seconds = TONE_SECONDS)
{
    std::vector<int16_t> samples((size_t)(rate * seconds));
    for (size_t i = 0; i < samples.size(); ++i)
        samples[i] = (int16_t)lrint(16384 * sin(2 * 3.14159265358979 * TONE_HZ * i / rate));
    return samples;
}

// The tone as linear samples in `bits`-bit integers or floats: in every channel, or in
// `only_channel` alone with the others silent.
std::vector<uint8_t> linear(uint16_t channels, uint32_t rate, uint16_t bits, bool is_float = false, int only_channel = -1)
{
    std::vector<uint8_t> data;
    for (int16_t tone_sample : tone(rate))
        for (uint16_t c = 0; c < channels; ++c) {
            int16_t sample = only_channel < 0 || only_channel == c ? tone_sample : 0;
            float value = sample / 32768.0f;
            if (is_float)
                data.insert(data.end(), (uint8_t *)&value, (uint8_t *)&value + 4);
            else if (bits == 8)
                data.push_back((uint8_t)(128 + (sample >> 8)));
            else  // the sample in the top 16 bits
                put_le(data, (uint32_t)(uint16_t)sample << (bits - 16), bits / 8);
        }
    return data;
}

// The tone coded by the system's own encoder for `tag`; the format as ACM describes it.
bool acm_coded(uint16_t tag, uint32_t rate, std::vector<uint8_t> &format, std::vector<uint8_t> &data)
{
    std::vector<int16_t> pcm = tone(rate);
    WAVEFORMATEX source = {WAVE_FORMAT_PCM, 1, rate, rate * 2, 2, 16, 0};
    format.assign(512, 0);
    WAVEFORMATEX *coded = (WAVEFORMATEX *)format.data();
    coded->wFormatTag = tag;
    HACMSTREAM stream;
    DWORD size = 0;
    if (acmFormatSuggest(0, &source, coded, (DWORD)format.size(), ACM_FORMATSUGGESTF_WFORMATTAG) ||
        acmStreamOpen(&stream, 0, &source, coded, 0, 0, 0, ACM_STREAMOPENF_NONREALTIME))
        return false;
    acmStreamSize(stream, (DWORD)pcm.size() * 2, &size, ACM_STREAMSIZEF_SOURCE);
    data.resize(size);
    ACMSTREAMHEADER header = {sizeof header, 0, 0, (BYTE *)pcm.data(), (DWORD)pcm.size() * 2, 0, 0, data.data(), size};
    bool ok = !acmStreamPrepareHeader(stream, &header, 0) && !acmStreamConvert(stream, &header, ACM_STREAMCONVERTF_END);
    acmStreamUnprepareHeader(stream, &header, 0);
    acmStreamClose(stream, 0);
    data.resize(header.cbDstLengthUsed);
    format.resize(sizeof(WAVEFORMATEX) + coded->cbSize);
    return ok;
}

// Wine's ACM decodes MS ADPCM but has no encoder: the tone is coded here with the first of the
// format's standard predictors (the previous sample), 2036 samples a 1024-byte block.
void ms_adpcm(std::vector<uint8_t> &format, std::vector<uint8_t> &data)
{
    const int adapt[16] = {230, 230, 230, 230, 307, 409, 512, 614, 768, 614, 512, 409, 307, 230, 230, 230};
    const int16_t coefficients[14] = {256, 0, 512, -256, 0, 0, 192, 64, 240, 0, 460, -208, 392, -232};
    const uint32_t rate = 22050, per_block = 2036, block = 1024;
    format = wave_format(WAVE_FORMAT_ADPCM, 1, rate, 4, rate * block / per_block, block);
    put_le(format, 32, 2), put_le(format, per_block, 2), put_le(format, 7, 2);
    for (int16_t c : coefficients)
        put_le(format, (uint16_t)c, 2);
    std::vector<int16_t> pcm = tone(rate);
    data.clear();
    for (size_t at = 0; at + per_block <= pcm.size(); at += per_block) {
        int delta = 64, newer = pcm[at + 1], older = pcm[at];
        data.push_back(0);
        put_le(data, (uint16_t)delta, 2), put_le(data, (uint16_t)newer, 2), put_le(data, (uint16_t)older, 2);
        for (size_t i = 2; i < per_block; ++i) {
            int nibble = (int)lrint((pcm[at + i] - newer) / (double)delta);
            nibble = nibble < -8 ? -8 : nibble > 7 ? 7 : nibble;
            int sample = newer + nibble * delta;
            newer = sample < -32768 ? -32768 : sample > 32767 ? 32767 : sample;
            delta = std::max(16, adapt[nibble & 15] * delta / 256);
            if (i % 2 == 0)
                data.push_back((uint8_t)(nibble << 4));
            else
                data.back() |= (uint8_t)(nibble & 15);
        }
    }
}

DWORD WINAPI run_job(void *job)
{
    return (*(std::function<bool()> *)job)();
}

// Renders the cues with a minute's limit: a hang is a failure, not a stuck test run.
::testing::AssertionResult render(const std::vector<bench::AudioCue> &cues, double length, std::vector<float> &samples,
                                  std::vector<std::string> &warnings)
{
    std::string out = in_sounds("render.wav"), error;
    std::function<bool()> job = [&] { return bench::write_mix_file(cues, length, sounds_folder(), out, warnings, error); };
    HANDLE thread = CreateThread(0, 0, run_job, &job, 0, 0);
    if (WaitForSingleObject(thread, 60000) == WAIT_TIMEOUT)
        return ::testing::AssertionFailure() << "still rendering after a minute";
    DWORD code = 0;
    GetExitCodeThread(thread, &code);
    CloseHandle(thread);
    if (!code)
        return ::testing::AssertionFailure() << error;
    return read_mono_wav(read_file(out), samples);
}

double peak(const std::vector<float> &samples, double from, double to)
{
    float level = 0;
    for (size_t i = (size_t)(from * RATE); i < (size_t)(to * RATE) && i < samples.size(); ++i)
        level = std::max(level, fabsf(samples[i]));
    return level;
}

// Zero crossings a second, halved: the pitch of a tone.
double pitch(const std::vector<float> &samples, double from, double to)
{
    int crossings = 0;
    for (size_t i = (size_t)(from * RATE) + 1; i < (size_t)(to * RATE) && i < samples.size(); ++i)
        crossings += (samples[i - 1] < 0) != (samples[i] < 0);
    return crossings / 2.0 / (to - from);
}

TEST(BenchSounds, EveryFormatPlaysAndEveryBrokenFileWarns)
{
    std::vector<uint8_t> pcm16 = linear(1, 22050, 16), ima_format, ima, alaw_format, alaw, mulaw_format, mulaw,
                         msadpcm_format, msadpcm;
    ASSERT_TRUE(acm_coded(WAVE_FORMAT_IMA_ADPCM, 22050, ima_format, ima));
    ASSERT_TRUE(acm_coded(WAVE_FORMAT_ALAW, 8000, alaw_format, alaw));
    ASSERT_TRUE(acm_coded(WAVE_FORMAT_MULAW, 8000, mulaw_format, mulaw));
    ms_adpcm(msadpcm_format, msadpcm);
    // Six channels as WAVE_FORMAT_EXTENSIBLE, its sub-format PCM.
    std::vector<uint8_t> six = wave_format(WAVE_FORMAT_EXTENSIBLE, 6, 22050, 16);
    put_le(six, 22, 2), put_le(six, 16, 2), put_le(six, 0x3F, 4), put_le(six, WAVE_FORMAT_PCM, 2);
    const uint8_t guid_tail[14] = {0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};
    six.insert(six.end(), guid_tail, guid_tail + 14);
    // GSM 6.10 and MPEG layer-3 have no encoder here: frames of silence, to see the codec is found.
    std::vector<uint8_t> gsm = wave_format(WAVE_FORMAT_GSM610, 1, 8000, 0, 1625, 65);
    put_le(gsm, 2, 2), put_le(gsm, 320, 2);  // 320 samples a 65-byte block
    std::vector<uint8_t> mp3 = wave_format(WAVE_FORMAT_MPEGLAYER3, 1, 44100, 0, 16000, 1);
    put_le(mp3, 12, 2), put_le(mp3, 1, 2), put_le(mp3, 2, 4), put_le(mp3, 417, 2), put_le(mp3, 1, 2), put_le(mp3, 1393, 2);  // MPEG-1, 417-byte frames
    std::vector<uint8_t> mp3_frames;
    for (int i = 0; i < 32; ++i) {
        const uint8_t header[4] = {0xFF, 0xFB, 0x90, 0xC0};  // MPEG-1 layer III, 128 kbit/s, 44.1 kHz, mono
        mp3_frames.insert(mp3_frames.end(), header, header + 4);
        mp3_frames.resize(mp3_frames.size() + 413);
    }
    std::vector<uint8_t> format16 = wave_format(WAVE_FORMAT_PCM, 1, 22050, 16);
    std::vector<uint8_t> odd_list(13, 'x');

    struct Case {
        const char *name;
        std::vector<uint8_t> file;
        double seconds;       // how long the tone sounds; 0: silent; -1: not a tone (only the warning counts)
        const char *warning;  // in the one warning it gets, or none
        double level = 0.5;   // the tone's peak in the mono output: the mean over the channels
    };
    const Case cases[] = {
        {"PCM 8-bit mono 11025 Hz", plain(wave_format(1, 1, 11025, 8), linear(1, 11025, 8)), TONE_SECONDS, 0},
        // The tone in one channel, not the first: a mix-down that kept one channel, or added
        // them, would show at another level.
        {"PCM 16-bit stereo 44100 Hz", plain(wave_format(1, 2, 44100, 16), linear(2, 44100, 16, false, 1)), TONE_SECONDS, 0, 0.25},
        {"PCM 24-bit stereo 48000 Hz", plain(wave_format(1, 2, 48000, 24), linear(2, 48000, 24, false, 1)), TONE_SECONDS, 0, 0.25},
        {"PCM 32-bit mono 22050 Hz", plain(wave_format(1, 1, 22050, 32), linear(1, 22050, 32)), TONE_SECONDS, 0},
        {"IEEE float mono 22050 Hz", plain(wave_format(3, 1, 22050, 32), linear(1, 22050, 32, true)), TONE_SECONDS, 0},
        {"PCM 16-bit, 6 channels, extensible", plain(six, linear(6, 22050, 16, false, 4)), TONE_SECONDS, 0, 0.5 / 6},
        {"IMA ADPCM", plain(ima_format, ima), TONE_SECONDS, 0},
        {"MS ADPCM", plain(msadpcm_format, msadpcm), 6 * 2036 / 22050.0, 0},  // whole blocks only
        {"A-law", plain(alaw_format, alaw), TONE_SECONDS, 0},
        {"mu-law", plain(mulaw_format, mulaw), TONE_SECONDS, 0},
        {"GSM 6.10", plain(gsm, std::vector<uint8_t>(65 * 25)), -1, 0},
        {"MPEG layer-3", plain(mp3, mp3_frames), 0, 0},
        {"format no codec has", plain(wave_format(0x1234, 1, 22050, 4, 11025, 1), pcm16), 0, "no codec on this system for format 0x1234"},
        {"text", std::vector<uint8_t>(100, 'a'), 0, "not a RIFF WAVE file"},
        {"data before fmt", riff({{"data", pcm16}, {"fmt ", format16}}), TONE_SECONDS, 0},
        {"data size 0xFFFFFFF8", riff({{"fmt ", format16}, {"data", pcm16, 0xFFFFFFF8}}), TONE_SECONDS, "runs past the end"},
        {"chunk before data sized 0xFFFFFFF8", riff({{"fmt ", format16}, {"LIST", odd_list, 0xFFFFFFF8}, {"data", pcm16}}), 0,
         "no data chunk"},
        {"truncated mid-sample", riff({{"fmt ", format16}, {"data", pcm16}}, 44 + 22050 / 2 * 2 + 1), 0.5, "runs past the end"},
        {"empty data", riff({{"fmt ", format16}, {"data", {}}}), 0, "the data chunk is empty"},
        {"odd chunk without its pad byte", riff({{"fmt ", format16}, {"LIST", odd_list, -1, false}, {"data", pcm16}}), TONE_SECONDS, 0},
        {"no fmt", riff({{"data", pcm16}}), 0, "no fmt chunk"},
    };
    std::vector<bench::AudioCue> cues;
    for (size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i) {
        std::string file = "case" + std::to_string(i) + ".wav";
        ASSERT_TRUE(write_file(in_sounds(file), cases[i].file));
        cues.push_back({file, CUE_AT, false});
    }
    for (size_t i = 0; i < cues.size(); ++i) {
        const Case &row = cases[i];
        SCOPED_TRACE(row.name);
        std::vector<float> out;
        std::vector<std::string> warnings;
        ASSERT_TRUE(render({cues[i]}, RENDER_SECONDS, out, warnings));
        EXPECT_EQ(out.size(), (size_t)(RENDER_SECONDS * RATE));
        EXPECT_EQ(warnings.size(), row.warning ? 1u : 0u) << (warnings.empty() ? "" : warnings[0]);
        if (row.warning && !warnings.empty()) {
            EXPECT_NE(warnings[0].find(row.warning), std::string::npos) << warnings[0];
            EXPECT_NE(warnings[0].find(in_sounds(cues[i].path)), std::string::npos) << "names the file";
        }
        if (row.seconds < 0)
            continue;
        EXPECT_EQ(peak(out, 0, CUE_AT), 0) << "silent before the cue";
        double end = CUE_AT + row.seconds;
        EXPECT_LT(peak(out, end + 0.03, RENDER_SECONDS), 0.01) << "silent after the sound's " << row.seconds << " s";
        for (double t = CUE_AT + 0.02; t + 0.05 < end - 0.02; t += 0.05)
            EXPECT_NEAR(peak(out, t, t + 0.05), row.level, row.level * 0.16) << "at " << t << " s";
        if (row.seconds > 0)
            EXPECT_NEAR(pitch(out, CUE_AT + 0.05, end - 0.05), TONE_HZ, TONE_HZ * 0.03);
    }
}

// A 1.5 GB file (sparse where the file system can: the tone, then nothing written) looped for
// 13 s costs what 13 s of it costs: the render reads no more and holds no more, where reading
// it whole ran out of memory.
TEST(BenchSounds, HugeFilePlaysOnlyWhatTheRunPlays)
{
    const uint64_t data_bytes = 1536ull << 20;
    std::string path = in_sounds("huge.wav");
    std::vector<uint8_t> start = riff({{"fmt ", wave_format(WAVE_FORMAT_PCM, 1, 22050, 16)}, {"data", linear(1, 22050, 16)}});
    uint32_t sizes[2] = {(uint32_t)(data_bytes + 36), (uint32_t)data_bytes};
    memcpy(&start[4], &sizes[0], 4);
    memcpy(&start[40], &sizes[1], 4);
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, 0, CREATE_ALWAYS, 0, 0);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    DWORD written;
    // Sparse, on Windows' NTFS the unwritten 1.5 GB take no room in the user's temporary
    // folder; where that is refused (Wine, FAT) the file is plain and deleted at the end.
    DeviceIoControl(file, FSCTL_SET_SPARSE, 0, 0, 0, 0, &written, 0);
    LARGE_INTEGER end;
    end.QuadPart = 44 + data_bytes;
    bool made = WriteFile(file, start.data(), (DWORD)start.size(), &written, 0) && SetFilePointerEx(file, end, 0, FILE_BEGIN) &&
                SetEndOfFile(file);
    CloseHandle(file);
    ASSERT_TRUE(made);
    std::vector<float> out;
    std::vector<std::string> warnings;
    ::testing::AssertionResult rendered = ::testing::AssertionSuccess();
    MemoryGrowth growth = memory_growth_of([&] { rendered = render({{"huge.wav", 0.0, true, 13.0}}, 13.0, out, warnings); });
    DeleteFileA(path.c_str());
    ASSERT_TRUE(rendered);
    EXPECT_TRUE(warnings.empty()) << warnings[0];
    EXPECT_EQ(out.size(), (size_t)(13 * RATE));
    EXPECT_NEAR(pitch(out, 0.05, TONE_SECONDS - 0.05), TONE_HZ, TONE_HZ * 0.03);
    EXPECT_EQ(peak(out, TONE_SECONDS + 0.01, 13.0), 0) << "then the file's silence";
    // The 13 s output itself is 1.1 MB of floats, and the sampler's own thread a stack.
    EXPECT_LT(growth.committed, (SIZE_T)(64 << 20)) << "at most 64 MB more committed";
    EXPECT_LT(growth.working, (SIZE_T)(64 << 20)) << "at most 64 MB more in use";
}

// A one-shot is cut where terminate or the unload silenced it; a loop starts over from its
// first sample, whether its sound is short or longer than the mixer keeps whole; a one-shot
// nothing silenced runs past the end of the run. One name is outside every ANSI code page.
TEST(BenchSounds, CutsOneShotsAndLoopsSounds)
{
    std::vector<uint8_t> format = wave_format(WAVE_FORMAT_PCM, 1, 22050, 16);
    std::vector<int16_t> long_tone = tone(22050, 7.0);
    ASSERT_TRUE(write_file(in_sounds("short \u58f0\u00e9.wav"), plain(format, linear(1, 22050, 16))));
    ASSERT_TRUE(write_file(in_sounds("long.wav"),
                           plain(format, std::vector<uint8_t>((uint8_t *)long_tone.data(), (uint8_t *)(long_tone.data() + long_tone.size())))));
    std::vector<float> out;
    std::vector<std::string> warnings;
    const std::string name = "short \u58f0\u00e9.wav";
    ASSERT_TRUE(render({{name, 0.1, false, 0.3}, {name, 1.0, true, 2.5}, {"long.wav", 3.0, true, 12.0}, {name, 12.8, false}},
                       13.0, out, warnings));
    EXPECT_TRUE(warnings.empty()) << warnings[0];
    const double tone_seconds = tone(22050).size() / RATE;
    EXPECT_EQ(out.size(), (size_t)llround(12.8 * RATE) + tone(22050).size()) << "the last one-shot runs on";
    struct Window {
        double from, to;
        bool sounds;
    };
    const Window windows[] = {{0.0, 0.1, false}, {0.1, 0.3, true},  {0.3, 1.0, false}, {1.0, 2.5, true},
                              {2.5, 3.0, false}, {3.0, 12.0, true}, {12.0, 12.8, false}, {12.8, 13.4, true}};
    for (const Window &window : windows) {
        SCOPED_TRACE(std::to_string(window.from) + " to " + std::to_string(window.to) + " s");
        if (!window.sounds) {
            EXPECT_EQ(peak(out, window.from + 0.001, window.to), 0);
            continue;
        }
        for (double t = window.from + 0.001; t + 0.05 <= window.to; t += 0.05)
            EXPECT_GT(peak(out, t, t + 0.05), 0.4) << t;
    }
    // Where each loop starts over, the tone starts over: at its first sample, a rising zero.
    for (double restart : {1.0 + tone_seconds, 1.0 + 2 * tone_seconds, 3.0 + 7.0}) {
        size_t at = (size_t)llround(restart * RATE);
        EXPECT_EQ(out[at], 0) << restart;
        EXPECT_GT(out[at + 1], 0.05) << restart;
    }
}

}  // namespace
