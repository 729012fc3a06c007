// The built-in demo through gaugebench.exe: the JSON and text timelines show the cues where the
// scenario puts them, the snapshot shows the faces (read back through WIC's PNG decoder), and
// the audio sounds where the timeline says and nowhere else.
#include <math.h>

#include <map>

#include <nlohmann/json.hpp>

#include "bench_runs.h"
#include "files_and_programs.h"
#include "media_files.h"
#include "test_support.h"
#include "timeline.h"
#include "toolbox.h"

using namespace test_support;

namespace {

TEST(BenchDemo, JsonTimelineShowsEveryCueWhereTheScenarioPutsIt)
{
    ProgramRun result = run_gaugebench("--json " + both_modules());
    ASSERT_EQ(result.exit_code, 0u) << result.err;
    EXPECT_EQ(result.err, "");
    std::vector<nlohmann::json> records = json_lines(result.out);
    ASSERT_GT(records.size(), 10u);
    // What each sound call did, by cycle: "cycle gauge[instance] phase call effect".
    std::vector<std::string> cue_calls, loop_changes, kills;
    std::map<std::string, int> repeats;
    for (const nlohmann::json &record : records) {
        ASSERT_TRUE(record.is_object()) << record;
        std::string event = record.value("event", ""), cycle = std::to_string(record.value("cycle", -1));
        std::string who = record.value("gauge", "") + "[" + std::to_string(record.value("instance", 0)) + "]";
        if (event == "sound") {
            std::string call = record.value("call", ""), effect = record.value("effect", "");
            std::string what = cycle + " " + who + " " + record.value("phase", "") + " " + call + " " + effect;
            if (record.value("path", "") == "sound\\QX\\Supersonic.wav") {
                EXPECT_EQ(record.at("name"), "");
                EXPECT_EQ(record.at("loop"), 0);
                cue_calls.push_back(what);
            } else if (effect == "already playing" || effect == "not playing") {
                repeats[effect]++;
            } else if (call != "load") {
                loop_changes.push_back(what + " " + record.at("playing").dump());
            }
        }
        if (event == "kill")
            kills.push_back(cycle + " " + who);
    }
    // The cue at 124.00 (cycle 18) and again after 124.05 re-armed it (cycle 90); one cue
    // serves both instances, and coming back from 123.50 (cycle 54) stays silent.
    EXPECT_EQ(cue_calls, (std::vector<std::string>{
                             "18 VQT7_Boomcue[1] string update play played once",
                             "90 VQT7_Boomcue[1] string update play played once",
                         }));
    // The loop starts at 6 s, stops at 7 s, stays off while the gate is at 50 (8 s), starts
    // when the gate passes 100 (9 s), survives the gate falling (10 s), stops at 11 s, runs
    // again from 12 s and is terminated by the first kill at 13 s; the library is unloaded
    // by the second, and the last kill loads it again to terminate and release it.
    EXPECT_EQ(loop_changes, (std::vector<std::string>{
                                "108 VQT7_Drag_Drone[1] update play started loop [\"SPBR\"]",
                                "126 VQT7_Drag_Drone[1] update stop stopped []",
                                "162 VQT7_Drag_Drone[1] update play started loop [\"SPBR\"]",
                                "198 VQT7_Drag_Drone[1] update stop stopped []",
                                "216 VQT7_Drag_Drone[1] update play started loop [\"SPBR\"]",
                                "234 VQT7_Boomcue[1] kill terminate terminated []",
                                "234 VQT7_Boomcue[2] kill terminate terminated []",
                                "234 VQT7_Boomcue[2] kill unload  []",
                                "234 VQT7_Drag_Drone[1] kill terminate terminated []",
                                "234 VQT7_Drag_Drone[1] kill unload  []",
                            }));
    // Play repeats while the loop runs with the gate up (6-7, 9-10, 12-13 s, less each
    // starting cycle; from 10 s the gate is down and no call is made at all), stop repeats
    // while the trigger is low (0-6, 7-8, 11-12 s, less each stopping cycle).
    EXPECT_EQ(repeats["already playing"], 17 + 17 + 17);
    EXPECT_EQ(repeats["not playing"], 108 + 17 + 17);
    EXPECT_EQ(kills, (std::vector<std::string>{"234 VQT7_Boomcue[1]", "234 VQT7_Boomcue[2]", "234 VQT7_Drag_Drone[1]"}));
    EXPECT_EQ(records.back()["event"], "end");
    EXPECT_EQ(records.front()["gauges"], nlohmann::json({"VQT7_Boomcue[1]", "VQT7_Boomcue[2]", "VQT7_Drag_Drone[1]"}))
        << records.front();
}

TEST(BenchDemo, TextTimelineListsEveryReadoutChange)
{
    ProgramRun result = run_gaugebench(both_modules());
    ASSERT_EQ(result.exit_code, 0u) << result.err;
    std::vector<std::string> texts;
    for (const std::string &line : lines_of(result.out))
        if (line.find("  text     VQT7_Boomcue[2] ") != std::string::npos)
            texts.push_back(line.substr(0, 15) + " " + line.substr(line.find("] ") + 2));
    EXPECT_EQ(texts, (std::vector<std::string>{
                         "   0.000      0 \"\" -> \"118.00\"",
                         "   1.000     18 \"118.00\" -> \"124.00\"",
                         "   2.000     36 \"124.00\" -> \"123.50\"",
                         "   3.000     54 \"123.50\" -> \"124.00\"",
                         "   4.000     72 \"124.00\" -> \"124.05\"",
                         "   5.000     90 \"124.05\" -> \"124.00\"",
                     }));
}

TEST(BenchDemo, SnapshotShowsTheBackgroundAndTheReadoutText)
{
    const int scale = 3, margin = 4, face = 40;
    const uint32_t canvas = 0x404040, background = 0x000000, text = 0x8F8F8F;
    std::string end_png = test_folder() + "end.png", early_png = test_folder() + "early.png";
    ProgramRun end = run_gaugebench("--snapshot " + quote(end_png) + " --scale 3 " + both_modules());
    ASSERT_EQ(end.exit_code, 0u) << end.err;
    ProgramRun early = run_gaugebench("--snapshot " + quote(early_png) + " --snapshot-at 2.5 --scale=3 " + both_modules());
    ASSERT_EQ(early.exit_code, 0u) << early.err;
    Pixels at_end, at_2_5;
    std::string png = read_file(end_png);
    ASSERT_TRUE(decode_png(png, at_end));
    ASSERT_TRUE(decode_png(read_file(early_png), at_2_5));
    EXPECT_LE(png.size(), at_end.rgb.size() / 20) << "compressed far below the raw pixels";
    // Three faces of 40 x 40 side by side, each with a margin around it.
    EXPECT_EQ(at_end.width, (uint32_t)((margin + 3 * (face + margin)) * scale));
    EXPECT_EQ(at_end.height, (uint32_t)((face + 2 * margin) * scale));
    for (int f = 0; f < 3; ++f) {
        SCOPED_TRACE("face " + std::to_string(f));
        int left = (margin + f * (face + margin)) * scale, top = margin * scale;
        EXPECT_EQ(at_end.at(left - 1, top), canvas);
        EXPECT_EQ(at_end.at(left + face * scale, top), canvas) << "the readout's box is clipped to the face";
        EXPECT_EQ(at_end.at(left, top - 1), canvas);
        EXPECT_EQ(at_end.at(left, top + face * scale), canvas);
        // The readout's box: x 1 to 42, y 1 to 11 of the face (gauge pixels), clipped at 40.
        int text_pixels = 0, differing = 0, other = 0;
        for (int y = 0; y < face * scale; ++y)
            for (int x = 0; x < face * scale; ++x) {
                uint32_t pixel = at_end.at(left + x, top + y);
                bool in_box = x >= 1 * scale && y >= 1 * scale && y < 11 * scale;
                if (!in_box || f == 2) {
                    if (pixel != background)
                        ++other;
                    continue;
                }
                if (pixel == text)
                    ++text_pixels;
                else if (pixel != background)
                    ++other;
                differing += pixel != at_2_5.at(left + x, top + y);
            }
        EXPECT_EQ(other, 0) << "only the background's black and the text's grey on a face";
        if (f < 2) {
            EXPECT_GT(text_pixels, 60) << "\"124.00\" drawn in the readout's colour";
            EXPECT_GT(differing, 0) << "\"123.50\" at 2.5 s differs from \"124.00\" at the end";
        } else {
            EXPECT_EQ(text_pixels, 0) << "the drag cue gauge draws only its background";
        }
    }
}

// The release's sounds, as the demo plays them.
std::string release_sounds() { return exe_folder() + "..\\sounds"; }

// The cue's samples as its file holds them: 22050 Hz 16-bit mono, the bench's own output format.
std::vector<float> cue_samples()
{
    std::vector<float> cue;
    EXPECT_TRUE(read_mono_wav(read_file(release_sounds() + "\\sound\\QX\\Supersonic.wav"), cue));
    return cue;
}

TEST(BenchDemo, AudioIsSilentOrSoundingWhereTheTimelineSays)
{
    std::string wav = test_folder() + "demo.wav";
    ProgramRun result = run_gaugebench("--audio " + quote(wav) + " --sounds " + quote(release_sounds()) + " " +
                                        both_modules());
    ASSERT_EQ(result.exit_code, 0u) << result.err;
    EXPECT_EQ(result.err, "") << "both sounds are found";
    std::vector<float> mono, cue = cue_samples();
    ASSERT_TRUE(read_mono_wav(read_file(wav), mono));
    ASSERT_FALSE(cue.empty());
    EXPECT_EQ(mono.size(), 13u * AUDIO_RATE) << "the scenario's 13 seconds";
    auto peak = [&](double from, double to) {
        float level = 0;
        for (size_t i = (size_t)llround(from * AUDIO_RATE); i < (size_t)llround(to * AUDIO_RATE) && i < mono.size(); ++i)
            level = std::max(level, fabsf(mono[i]));
        return level;
    };
    // The cue plays from the cycles at 1 s and 5 s for as long as its file lasts. Where nothing
    // else plays, the render is the cue's own samples (one step of rounding: the decoder divides
    // by 32768, the mixer multiplies by 32767) and exactly zero where no cue is sounding.
    const size_t cue_starts[] = {AUDIO_RATE, 5 * AUDIO_RATE};
    auto differs_from_the_cues_alone = [&](double from, double to, std::string &first) {
        int count = 0;
        for (size_t i = (size_t)llround(from * AUDIO_RATE); i < (size_t)llround(to * AUDIO_RATE) && i < mono.size(); ++i) {
            bool sounding = false;
            float expected = 0;
            for (size_t start : cue_starts)
                if (i >= start && i - start < cue.size())
                    sounding = true, expected += cue[i - start];
            bool wrong = sounding ? fabsf(mono[i] - expected) > 1.5f / 32768 : mono[i] != 0.0f;
            if (wrong && count++ == 0)
                first = "frame " + std::to_string(i) + ": " + std::to_string(mono[i]) + ", not " + std::to_string(expected);
        }
        return count;
    };
    struct Window {
        double from, to;
        bool sound;  // sounding in every tenth of a second; else nothing but the cues' own samples
        const char *why;
    };
    const Window windows[] = {
        {0.0, 1.0, false, "118.00, nothing plays"},
        {1.0, 1.3, true, "the cue at 124.00"},
        {1.0, 5.0, false, "the cue plays out; 123.50, 124.00 and 124.05 play nothing"},
        {5.0, 5.3, true, "the re-armed cue"},
        {5.0, 6.0, false, "nothing but the re-armed cue before the loop"},
        {6.0, 7.0, true, "the loop"},
        {7.0, 9.0, false, "trigger low, then gate low"},
        {9.0, 11.0, true, "the loop, through the gate falling at 10 s"},
        {11.0, 12.0, false, "trigger low"},
        {12.0, 13.0, true, "the loop until the kill"},
    };
    for (const Window &window : windows) {
        SCOPED_TRACE(std::to_string(window.from) + " to " + std::to_string(window.to) + " s: " + window.why);
        if (!window.sound) {
            std::string first;
            EXPECT_EQ(differs_from_the_cues_alone(window.from, window.to, first), 0) << first;
            continue;
        }
        for (double t = window.from; t + 0.1 <= window.to + 1e-9; t += 0.1)
            EXPECT_GT(peak(t, t + 0.1), 0.05f) << "at " << t << " s";
    }
}

TEST(BenchDemo, MissingSoundFilesWarnAndStaySilent)
{
    std::string empty = test_folder() + "no_sounds";
    ASSERT_TRUE(CreateDirectoryW(toolbox::widen(empty).c_str(), 0) || GetLastError() == ERROR_ALREADY_EXISTS);
    std::string wav = test_folder() + "silent.wav";
    // Given with forward slashes, the folder is still named with one separator style.
    std::string forward = empty;
    std::replace(forward.begin(), forward.end(), '\\', '/');
    ProgramRun result = run_gaugebench("--audio " + quote(wav) + " --sounds " + quote(forward) + " " + both_modules());
    EXPECT_EQ(result.exit_code, 0u) << "the run goes on";
    EXPECT_NE(result.err.find("warning: cannot open sound file " + empty + "\\sound\\QX\\Supersonic.wav"),
              std::string::npos) << result.err;
    EXPECT_NE(result.err.find("warning: cannot open sound file " + empty + "\\sound\\QX\\Speed_Brake.wav"),
              std::string::npos) << result.err;
    std::vector<float> mono;
    ASSERT_TRUE(read_mono_wav(read_file(wav), mono));
    EXPECT_EQ(mono.size(), 13u * AUDIO_RATE);
    EXPECT_EQ(std::count(mono.begin(), mono.end(), 0.0f), (long)mono.size());
}

// The kill's terminate silences a one-shot still sounding, as it does loops: the cue played at
// 0 s ends with the run at 0.2 s, well before its file does.
TEST(BenchDemo, KillCutsAOneShotStillSounding)
{
    std::string dir = test_folder();
    ASSERT_TRUE(write_file(dir + "short.txt", "at 0 870=0x2400\nend 0.2\n"));
    std::string wav = dir + "short.wav";
    ProgramRun result = run_gaugebench("--scenario " + quote(dir + "short.txt") + " --audio " + quote(wav) +
                                        " --sounds " + quote(release_sounds()) + " " + quote(module_path(BOOMCUE_FILE)));
    ASSERT_EQ(result.exit_code, 0u) << result.err;
    std::vector<float> mono, cue = cue_samples();
    ASSERT_TRUE(read_mono_wav(read_file(wav), mono));
    ASSERT_GT(cue.size(), AUDIO_RATE / 5 + AUDIO_RATE / 10) << "a cue that would sound on past the kill";
    EXPECT_EQ(mono.size(), AUDIO_RATE / 5) << "0.2 s: nothing after the kill";
    ASSERT_GT(mono.size(), 441u);
    float level = 0;
    for (size_t i = mono.size() - 441; i < mono.size(); ++i)
        level = std::max(level, fabsf(mono[i]));
    EXPECT_GT(level, 0.01f) << "the cue sounds in the last 20 ms before the kill";
}

}  // namespace
