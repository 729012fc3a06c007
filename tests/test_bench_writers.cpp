// The bench's text timeline on its own: the folding of repeated calls. The snapshot is read
// back in test_bench_run, the audio of every sound format in test_bench_sounds.
#include <gtest/gtest.h>

#include <stdio.h>
#include <string.h>

#include "timeline.h"

using namespace bench;

namespace {

TEST(BenchTimeline, TextFoldsRepeatedCallsThatChangeNothing)
{
    FILE *file = tmpfile();
    ASSERT_TRUE(file);
    TimelineWriter writer(file, false, false);
    auto stop = [](uint32_t cycle, const char *effect) {
        TimelineEvent event;
        event.kind = EventKind::Sound;
        event.cycle = cycle;
        event.time = cycle / 18.0;
        event.gauge = "G";
        event.instance = 1;
        event.phase = "update";
        event.call = "stop";
        event.name = "SPBR";
        event.effect = effect;
        return event;
    };
    // Cycles 0-4 repeat a stop that changes nothing; cycle 5 has none; cycle 6 starts again.
    for (uint32_t cycle = 0; cycle < 5; ++cycle)
        writer.write_step(cycle, {stop(cycle, "not playing")});
    writer.write_step(5, {});
    writer.write_step(6, {stop(6, "not playing")});
    writer.write_step(7, {stop(7, "not playing")});
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
