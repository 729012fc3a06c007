// The bench's writers on their own: the snapshot's PNG read back through WIC, and the text
// timeline's folding of repeated calls. The demo's snapshot is read in test_bench_run, the
// audio of every sound format in test_bench_sounds.
#include <gtest/gtest.h>

#include <stdio.h>
#include <string.h>

#include "files_and_programs.h"
#include "media_files.h"
#include "snapshot_png.h"
#include "test_support.h"
#include "timeline.h"

using namespace bench;

namespace {

// Noise and an odd width (rows not a multiple of four bytes) come back pixel for pixel.
TEST(BenchPng, WrittenImagesReadBackPixelForPixel)
{
    char temp[MAX_PATH];
    GetTempPathA(sizeof temp, temp);
    std::string path = std::string(temp) + "bench_png_" + std::to_string(GetCurrentProcessId()) + ".png";
    uint32_t seed = 12345;
    struct Case {
        const char *name;
        uint32_t width, height;
    };
    const Case cases[] = {{"one pixel", 1, 1}, {"odd width", 61, 47}, {"wide and flat", 300, 3}};
    for (const Case &row : cases) {
        SCOPED_TRACE(row.name);
        Image image;
        image.width = row.width;
        image.height = row.height;
        std::vector<uint8_t> rgb;  // what reads back; the image holds each pixel blue first
        for (uint32_t i = 0; i < row.width * row.height * 3; ++i)
            rgb.push_back((uint8_t)((seed = seed * 1103515245u + 12345u) >> 16));
        for (size_t i = 0; i < rgb.size(); i += 3)
            image.bgr.insert(image.bgr.end(), {rgb[i + 2], rgb[i + 1], rgb[i]});
        std::string error;
        ASSERT_TRUE(write_png_file(image, path, error)) << error;
        test_support::Pixels back;
        ASSERT_TRUE(test_support::decode_png(test_support::read_file(path), back));
        EXPECT_EQ(back.width, row.width);
        EXPECT_EQ(back.height, row.height);
        EXPECT_TRUE(back.rgb == rgb) << "pixels differ";
    }
    DeleteFileA(path.c_str());
}

TEST(BenchTimeline, TextFoldsRepeatedCallsThatChangeNothing)
{
    FILE *file = tmpfile();
    ASSERT_TRUE(file);
    TimelineWriter writer(file, false, false);
    auto stop = [](uint32_t cycle, SoundEffect effect) {
        TimelineEvent event;
        event.kind = EventKind::Sound;
        event.cycle = cycle;
        event.time = cycle / 18.0;
        event.gauge = "G";
        event.instance = 1;
        event.phase = CallPhase::Update;
        event.call = SoundCall::Stop;
        event.name = "SPBR";
        event.effect = effect;
        return event;
    };
    // Cycles 0-4 repeat a stop that changes nothing; cycle 5 has none; cycle 6 starts again.
    for (uint32_t cycle = 0; cycle < 5; ++cycle)
        writer.write_step(cycle, {stop(cycle, SoundEffect::NotPlaying)});
    writer.write_step(5, {});
    writer.write_step(6, {stop(6, SoundEffect::NotPlaying)});
    writer.write_step(7, {stop(7, SoundEffect::NotPlaying)});
    writer.finish();
    rewind(file);
    std::vector<std::string> lines;
    char line[512];
    while (fgets(line, sizeof line, file))
        lines.push_back(line);
    fclose(file);
    ASSERT_EQ(lines.size(), 5u);
    EXPECT_NE(lines[1].find("     0  sound    G[1] update: stop(\"SPBR\") -> not playing"), std::string::npos) << lines[1];
    EXPECT_NE(lines[2].find("     4  sound"), std::string::npos) << lines[2];
    EXPECT_NE(lines[2].find("[the same on every cycle to here: 4 more]"), std::string::npos) << lines[2];
    EXPECT_NE(lines[3].find("     6  sound"), std::string::npos) << lines[3];
    EXPECT_NE(lines[4].find(": 1 more]"), std::string::npos) << lines[4];
}

}  // namespace
