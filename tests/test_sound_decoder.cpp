// The sound decoder on its own, on files built here chunk by chunk: its walk to the fmt and data
// chunks (offsets summed past 32 bits, chunks that run past the end, odd sizes with and without
// their pad byte), the narrowing of PCM layouts the system's converter does not take, and the
// first block decoded to prove a codec takes the data, with the kind of each refusal.
#include <math.h>

#include <functional>

#include "files_and_programs.h"
#include "media_files.h"
#include "sound_decoder.h"
#include "test_support.h"  // windows.h, which mmreg.h needs first
#include <mmreg.h>

using namespace test_support;
using sound_decoder::FailureKind;

namespace {

const uint32_t RATE = 22050;

// A table row's name as GoogleTest's parameter name.
struct RowName {
    template <class Info>
    std::string operator()(const Info &info) const
    {
        std::string name;
        for (const char *c = info.param.name; *c; ++c)
            name += isalnum((unsigned char)*c) ? *c : '_';
        return name;
    }
};

// The files live in a folder of this run's own, removed when the program ends.
std::string folder()
{
    char temporary[MAX_PATH];
    GetTempPathA(sizeof temporary, temporary);
    return std::string(temporary) + "sound_decoder_" + std::to_string(GetCurrentProcessId());
}

struct RemovedAtExit {
    ~RemovedAtExit() { remove_tree(folder()); }
} removed_at_exit;

std::string file_for(const std::string &name)
{
    return folder() + "\\" + name + ".wav";
}

struct Opened {
    bool ok = false;
    sound_decoder::Failure failure;
    sound_decoder::SoundFileInfo info;
    std::vector<std::string> warnings;
    std::vector<float> samples;  // read at the file's own rate
};

DWORD WINAPI run_job(void *job)
{
    (*(std::function<void()> *)job)();
    return 0;
}

// Opens the file through the decoder and reads up to `count` samples, with a limit: a walk that
// never ends is a failure of this program, not a stuck test run.
Opened open_file(const std::string &name, const std::vector<uint8_t> &bytes, size_t count = 64)
{
    Opened opened;
    std::string path = file_for(name);
    EXPECT_TRUE(write_file(path, bytes));
    std::function<void()> job = [&] {
        sound_decoder::SoundStream stream;
        opened.ok = stream.open(path, RATE, opened.failure, &opened.warnings);
        opened.info = stream.info();
        opened.samples.resize(count);
        opened.samples.resize(opened.ok ? stream.read(opened.samples.data(), count) : 0);
    };
    HANDLE thread = CreateThread(0, 0, run_job, &job, 0, 0);
    if (WaitForSingleObject(thread, 20000) == WAIT_TIMEOUT) {
        fprintf(stderr, "%s: the decoder is still opening it after 20 s\n", name.c_str());
        fflush(stderr);
        ExitProcess(1);
    }
    CloseHandle(thread);
    return opened;
}

std::vector<uint8_t> pcm16(std::initializer_list<int16_t> samples)
{
    std::vector<uint8_t> bytes;
    for (int16_t sample : samples)
        put_le(bytes, (uint16_t)sample, 2);
    return bytes;
}

const std::vector<uint8_t> FORMAT16 = wave_format(WAVE_FORMAT_PCM, 1, RATE, 16);
const std::vector<uint8_t> FOUR_SAMPLES = pcm16({1000, -1000, 2000, -2000});

// Where the walk finds the data, or why it finds none.
struct WalkCase {
    const char *name;
    std::vector<uint8_t> file;
    bool ok;
    FailureKind kind;
    uint64_t data_bytes;
    size_t warnings;
};
void PrintTo(const WalkCase &row, std::ostream *out) { *out << row.name; }

class SoundDecoderWalk : public ::testing::TestWithParam<WalkCase> {};

TEST_P(SoundDecoderWalk, FindsTheDataOrSaysWhyNot)
{
    const WalkCase &row = GetParam();
    Opened opened = open_file(row.name, row.file);
    ASSERT_EQ(opened.ok, row.ok) << opened.failure.reason;
    if (!row.ok) {
        EXPECT_EQ(opened.failure.kind, row.kind) << opened.failure.reason;
        EXPECT_FALSE(opened.failure.reason.empty());
        return;
    }
    EXPECT_EQ(opened.info.data_bytes, row.data_bytes);
    EXPECT_EQ(opened.warnings.size(), row.warnings) << (opened.warnings.empty() ? "" : opened.warnings[0]);
    // The data read from where the walk found it: the first samples are the ones written.
    ASSERT_GE(opened.samples.size(), 2u);
    EXPECT_EQ(opened.samples[0], 1000 / 32768.0f);
    EXPECT_EQ(opened.samples[1], -1000 / 32768.0f);
}

const uint8_t ODD[] = {'o', 'd', 'd'};
const WalkCase WALK_CASES[] = {
    {"an odd-sized chunk with its pad byte", riff({{"fmt ", FORMAT16}, {"LIST", {ODD, ODD + 3}}, {"data", FOUR_SAMPLES}}),
     true, FailureKind::CannotOpen, 8, 0},
    {"an odd-sized chunk without its pad byte",
     riff({{"fmt ", FORMAT16}, {"LIST", {ODD, ODD + 3}, -1, false}, {"data", FOUR_SAMPLES}}), true,
     FailureKind::CannotOpen, 8, 0},
    {"the data before the fmt chunk", riff({{"data", FOUR_SAMPLES}, {"fmt ", FORMAT16}}), true, FailureKind::CannotOpen,
     8, 0},
    // The JUNK chunk is at byte 36: 36 + 8 + 0xFFFFFFF8 is 36 again in 32 bits, and with the
    // odd size's pad byte too, so a walk that summed in 32 bits would go round forever.
    {"an even chunk size that a 32-bit sum wraps back onto the chunk",
     riff({{"fmt ", FORMAT16}, {"JUNK", {}, 0xFFFFFFF8}, {"data", FOUR_SAMPLES}}), false, FailureKind::NoData, 0, 0},
    {"an odd chunk size that a 32-bit sum wraps back onto the chunk",
     riff({{"fmt ", FORMAT16}, {"JUNK", {}, 0xFFFFFFF7}, {"data", FOUR_SAMPLES}}), false, FailureKind::NoData, 0, 0},
    {"a chunk before the data that runs past the end", riff({{"fmt ", FORMAT16}, {"LIST", {}, 4096}, {"data", FOUR_SAMPLES}}),
     false, FailureKind::NoData, 0, 0},
    {"a data chunk whose size runs past the end", riff({{"fmt ", FORMAT16}, {"data", FOUR_SAMPLES, 0xFFFFFFF0}}), true,
     FailureKind::CannotOpen, 8, 1},
    {"a file cut inside its data", riff({{"fmt ", FORMAT16}, {"data", pcm16({1000, -1000, 5, 6, 7})}}, 12 + 24 + 8 + 6),
     true, FailureKind::CannotOpen, 6, 1},
    {"no fmt chunk", riff({{"data", FOUR_SAMPLES}}), false, FailureKind::NoFormat, 0, 0},
    {"no data chunk", riff({{"fmt ", FORMAT16}}), false, FailureKind::NoData, 0, 0},
    {"an empty data chunk", riff({{"fmt ", FORMAT16}, {"data", {}}}), false, FailureKind::EmptyData, 0, 0},
    {"a data chunk the file holds nothing of", riff({{"fmt ", FORMAT16}, {"data", {}, 100}}), false,
     FailureKind::EmptyData, 0, 0},
    {"not a WAVE file", {'R', 'I', 'F', 'F', 4, 0, 0, 0, 'A', 'V', 'I', ' '}, false, FailureKind::NotWave, 0, 0},
    {"a format without channels", riff({{"fmt ", wave_format(WAVE_FORMAT_PCM, 0, RATE, 16, 1, 1)}, {"data", FOUR_SAMPLES}}),
     false, FailureKind::BadFormat, 0, 0},
    {"24-bit float", riff({{"fmt ", wave_format(WAVE_FORMAT_IEEE_FLOAT, 1, RATE, 24)}, {"data", FOUR_SAMPLES}}), false,
     FailureKind::BadFormat, 0, 0},
    {"a format no codec here takes", riff({{"fmt ", wave_format(0x1234, 1, RATE, 4, 11025, 1)}, {"data", FOUR_SAMPLES}}),
     false, FailureKind::NoCodec, 0, 0},
};

INSTANTIATE_TEST_SUITE_P(Files, SoundDecoderWalk, ::testing::ValuesIn(WALK_CASES), RowName());

TEST(SoundDecoderWalk, AFileThatIsNotThereCannotBeOpened)
{
    sound_decoder::SoundStream stream;
    sound_decoder::Failure failure;
    EXPECT_FALSE(stream.open(file_for("never written"), RATE, failure));
    EXPECT_EQ(failure.kind, FailureKind::CannotOpen);
}

// PCM of more than 16 bits and floats become 16-bit samples before the system's converter: the
// top 16 bits of an integer; a float clipped to -1..1, times 32767, rounded half away from zero,
// NaN silent; more than two channels their mean; a pair of channels their mean as read.
struct NarrowCase {
    const char *name;
    std::vector<uint8_t> format;
    std::vector<uint8_t> data;
    std::vector<int32_t> expected;  // sixteen-bit values: mono, or a pair's sum
    bool pairs;
};
void PrintTo(const NarrowCase &row, std::ostream *out) { *out << row.name; }

std::vector<uint8_t> ints(std::initializer_list<uint32_t> values, int bytes)
{
    std::vector<uint8_t> data;
    for (uint32_t value : values)
        put_le(data, value, bytes);
    return data;
}

template <class T>
std::vector<uint8_t> floats(std::initializer_list<T> values)
{
    std::vector<uint8_t> data;
    for (T value : values)
        data.insert(data.end(), (const uint8_t *)&value, (const uint8_t *)&value + sizeof value);
    return data;
}

class SoundDecoderNarrowing : public ::testing::TestWithParam<NarrowCase> {};

TEST_P(SoundDecoderNarrowing, GivesTheSixteenBitSamples)
{
    const NarrowCase &row = GetParam();
    Opened opened = open_file(row.name, riff({{"fmt ", row.format}, {"data", row.data}}));
    ASSERT_TRUE(opened.ok) << opened.failure.reason;
    ASSERT_EQ(opened.samples.size(), row.expected.size());
    for (size_t i = 0; i < row.expected.size(); ++i)
        EXPECT_EQ(opened.samples[i], row.expected[i] / (row.pairs ? 65536.0f : 32768.0f)) << "sample " << i;
}

const float NOT_A_NUMBER = nanf("");
const NarrowCase NARROW_CASES[] = {
    {"24-bit mono", wave_format(WAVE_FORMAT_PCM, 1, RATE, 24), ints({0x7FFFFF, 0x800000, 0x000100, 0xFFFF80, 0x0000FF}, 3),
     {32767, -32768, 1, -1, 0}, false},
    {"32-bit mono", wave_format(WAVE_FORMAT_PCM, 1, RATE, 32),
     ints({0x7FFFFFFF, 0x80000000, 0x00010000, 0x0000FFFF, 0xFFFF0000}, 4), {32767, -32768, 1, 0, -1}, false},
    {"32-bit float mono", wave_format(WAVE_FORMAT_IEEE_FLOAT, 1, RATE, 32),
     floats<float>({0.5f, -0.5f, 2.0f, -3.0f, NOT_A_NUMBER, 1.0f}), {16384, -16384, 32767, -32767, 0, 32767}, false},
    {"64-bit float mono", wave_format(WAVE_FORMAT_IEEE_FLOAT, 1, RATE, 64), floats<double>({0.25, -1.0, 1e300}),
     {8192, -32767, 32767}, false},
    {"16-bit, three channels", wave_format(WAVE_FORMAT_PCM, 3, RATE, 16),
     ints({300, 600, (uint16_t)-300, 0x8000, 0x8000, 0x8000, 3000, 0, 0}, 2), {200, -32768, 1000}, false},
    {"24-bit stereo", wave_format(WAVE_FORMAT_PCM, 2, RATE, 24), ints({0x7FFF00, 0x000100, 0x800000, 0xFFFF00}, 3),
     {32767 + 1, -32768 - 1}, true},
};

INSTANTIATE_TEST_SUITE_P(Layouts, SoundDecoderNarrowing, ::testing::ValuesIn(NARROW_CASES), RowName());

// The first block proves the codec takes the data, not only the format.
TEST(SoundDecoderFirstBlock, DescribesWhatDecodesAndRefusesWhatDoesNot)
{
    // IMA ADPCM, mono: a 4-byte block header then 4-bit codes, 505 samples a 256-byte block.
    std::vector<uint8_t> ima = wave_format(WAVE_FORMAT_IMA_ADPCM, 1, RATE, 4, RATE * 256 / 505, 256);
    put_le(ima, 2, 2), put_le(ima, 505, 2);
    std::vector<uint8_t> two_blocks(512, 0x11);
    struct Case {
        const char *name;
        std::vector<uint8_t> file;
        bool ok;
        const char *format;
        uint16_t bits;
    };
    const Case cases[] = {
        {"16-bit PCM", riff({{"fmt ", FORMAT16}, {"data", FOUR_SAMPLES}}), true, "PCM", 16},
        {"IMA ADPCM of whole blocks", riff({{"fmt ", ima}, {"data", two_blocks}}), true, "IMA ADPCM", 4},
        {"IMA ADPCM shorter than a block", riff({{"fmt ", ima}, {"data", std::vector<uint8_t>(100, 0x11)}}), false,
         "IMA ADPCM", 4},
    };
    for (const Case &row : cases) {
        SCOPED_TRACE(row.name);
        std::string path = file_for(row.name);
        ASSERT_TRUE(write_file(path, row.file));
        sound_decoder::SoundFileInfo info;
        sound_decoder::Failure failure;
        EXPECT_EQ(sound_decoder::describe_sound_file(path, info, failure), row.ok) << failure.reason;
        if (!row.ok)
            EXPECT_EQ(failure.kind, FailureKind::UndecodableData) << failure.reason;
        EXPECT_EQ(info.format_name, row.format);
        EXPECT_EQ(info.channels, 1);
        EXPECT_EQ(info.rate, RATE);
        EXPECT_EQ(info.bits, row.bits);
    }
}

}  // namespace
