// gaugebench's outputs (--snapshot, --audio, --report and the timeline) as a user meets them:
// earlier files survive a failed run byte for byte, a target taken during the run is named and
// nothing is replaced, a timeline that cannot be written is one line, and a snapshot time past
// the end says the time used. Runs in this process, to see its temporaries at the moment the
// run ends and what memory a run holds.
#include <algorithm>

#include "bench_runs.h"
#include "files_and_programs.h"
#include "run_state.h"
#include "test_support.h"
#include "toolbox.h"

using namespace test_support;

namespace {

// The files in a folder whose names start with `prefix`.
std::vector<std::string> files_in(const std::string &folder, const std::string &prefix)
{
    std::vector<std::string> names;
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW(toolbox::widen(folder + prefix + "*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return names;
    do
        names.push_back(toolbox::narrow(found.cFileName));
    while (FindNextFileW(search, &found));
    FindClose(search);
    return names;
}

TEST(BenchOutputs, EarlierFilesSurviveAFailedRunByteForByte)
{
    std::string dir = test_folder();
    std::string png = dir + "faces.png", wav = dir + "sound.wav", html = dir + "run.html", scenario = dir + "bad.txt";
    ASSERT_TRUE(write_file(scenario, "at 1 870=0x2400\nat 0 1=1\n"));
    std::string outputs = "--snapshot " + quote(png) + " --audio " + quote(wav) + " --report " + quote(html) +
                          " --sounds " + quote(exe_folder() + "..\\sounds") + " ";
    std::string gauges = exe_folder() + "..\\test-gauges\\";
    // What stands in the way of replacing the earlier audio file during the run.
    enum class AudioTarget { Free, OpenInAPlayer, ReadOnly };
    struct Case {
        const char *name;
        std::string modules;
        std::string more;
        DWORD exit_code;
        AudioTarget audio_target = AudioTarget::Free;
        bool report_read_only = false;
    };
    const Case cases[] = {
        {"audio target open without delete sharing", both_modules(), "", 1, AudioTarget::OpenInAPlayer},
        {"audio target read-only", both_modules(), "", 1, AudioTarget::ReadOnly},
        {"report target read-only", both_modules(), "", 1, AudioTarget::Free, true},
        {"bad scenario", both_modules(), "--scenario " + quote(scenario) + " ", 2},
        {"unreadable module", quote(gauges + "Rogue_Unreadable.gau"), "", 4},
        {"gauge that calls a missing service", quote(module_path(BOOMCUE_FILE)) + " " + quote(gauges + "Rogue_Service.gau"), "", 3},
        {"gauge that crashes mid-run", quote(module_path(BOOMCUE_FILE)) + " " + quote(gauges + "Rogue_Crash.gau"), "", 4},
        {"successful run", both_modules(), "", 0},
    };
    const std::string earlier_png = "an earlier snapshot\r\n\x89", earlier_wav = std::string("RIFF\0\0earlier", 13);
    const std::string earlier_html = "<!DOCTYPE html><p>an earlier report\r\n";
    for (const Case &row : cases) {
        SCOPED_TRACE(row.name);
        ASSERT_TRUE(write_file(png, earlier_png));
        ASSERT_TRUE(write_file(wav, earlier_wav));
        ASSERT_TRUE(write_file(html, earlier_html));
        // A media player's way: reading and writing shared, deleting not.
        HANDLE player = INVALID_HANDLE_VALUE;
        if (row.audio_target == AudioTarget::OpenInAPlayer) {
            player = CreateFileW(toolbox::widen(wav).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, 0,
                                 OPEN_EXISTING, 0, 0);
            ASSERT_NE(player, INVALID_HANDLE_VALUE);
        }
        if (row.audio_target == AudioTarget::ReadOnly)
            ASSERT_TRUE(SetFileAttributesW(toolbox::widen(wav).c_str(), FILE_ATTRIBUTE_READONLY));
        if (row.report_read_only)
            ASSERT_TRUE(SetFileAttributesW(toolbox::widen(html).c_str(), FILE_ATTRIBUTE_READONLY));
        ProgramRun result = run_gaugebench(outputs + row.more + row.modules);
        if (player != INVALID_HANDLE_VALUE)
            CloseHandle(player);
        SetFileAttributesW(toolbox::widen(wav).c_str(), FILE_ATTRIBUTE_NORMAL);
        SetFileAttributesW(toolbox::widen(html).c_str(), FILE_ATTRIBUTE_NORMAL);
        if (row.report_read_only)
            EXPECT_EQ(result.err, "gaugebench: error: cannot write " + html + ": it is read-only\n");
        EXPECT_EQ(result.exit_code, row.exit_code) << result.err;
        if (row.audio_target != AudioTarget::Free) {
            std::string expected = "gaugebench: error: cannot write " + wav + ": " +
                                   (row.audio_target == AudioTarget::ReadOnly ? "it is read-only\n" : "cannot replace it (");
            EXPECT_EQ(result.err.substr(0, expected.size()), expected) << "stderr: " << result.err;
            EXPECT_EQ(std::count(result.err.begin(), result.err.end(), '\n'), 1) << "one line: " << result.err;
        }
        if (row.exit_code) {
            // Compared as a whole, so that a replaced file fails without being printed.
            EXPECT_TRUE(read_file(png) == earlier_png) << "the earlier snapshot, byte for byte";
            EXPECT_TRUE(read_file(wav) == earlier_wav) << "the earlier audio, byte for byte";
            EXPECT_TRUE(read_file(html) == earlier_html) << "the earlier report, byte for byte";
        } else {
            EXPECT_EQ(read_file(png).substr(0, 4), "\x89PNG") << "replaced by the new snapshot";
            EXPECT_EQ(read_file(wav).substr(0, 4), "RIFF");
            EXPECT_GT(read_file(wav).size(), 13u * 22050 * 2) << "replaced by the new audio";
            std::string page = read_file(html);
            EXPECT_EQ(page.substr(0, 15), "<!DOCTYPE html>") << "replaced by the new report";
            // The report's table holds the text timeline's lines, header aside, one row each.
            size_t rows = 0;
            for (size_t at = 0; (at = page.find("<tr class=\"", at)) != std::string::npos; ++at)
                ++rows;
            EXPECT_EQ(rows + 1, lines_of(result.out).size());
        }
        EXPECT_EQ(files_in(dir, "~"), std::vector<std::string>()) << "no temporary file left";
    }
}

// Each target taken after the run's start check, here by a gauge that opens it as a media player
// would on its first update: the run ends with one line naming that target, and replaces none,
// not even the targets that are free.
TEST(BenchOutputs, ATargetTakenDuringTheRunIsNamedAndNothingIsReplaced)
{
    std::string dir = test_folder();
    const std::string targets[] = {dir + "held.png", dir + "held.wav", dir + "held.html"};
    const std::string earlier[] = {"an earlier snapshot\r\n\x89", std::string("RIFF\0\0earlier", 13),
                                   "<!DOCTYPE html><p>an earlier report\r\n"};
    std::string arguments = "--snapshot " + quote(targets[0]) + " --audio " + quote(targets[1]) + " --report " +
                            quote(targets[2]) + " --sounds " + quote(exe_folder() + "..\\sounds") + " " +
                            both_modules() + " " + quote(exe_folder() + "..\\test-gauges\\Rogue_Holder.gau");
    for (const std::string &held : targets) {
        SCOPED_TRACE(held);
        for (int i = 0; i < 3; ++i)
            ASSERT_TRUE(write_file(targets[i], earlier[i]));
        SetEnvironmentVariableW(L"ROGUE_HOLD_FILE", toolbox::widen(held).c_str());
        ProgramRun result = run_gaugebench(arguments);
        SetEnvironmentVariableW(L"ROGUE_HOLD_FILE", 0);
        EXPECT_EQ(result.exit_code, 1u) << result.err;
        std::string expected = "gaugebench: error: cannot write " + held + ": cannot replace it (";
        size_t line = result.err.rfind("gaugebench: error: ");
        ASSERT_NE(line, std::string::npos) << result.err;
        EXPECT_EQ(result.err.substr(line, expected.size()), expected) << result.err;
        EXPECT_EQ(result.err.find("gaugebench: error: "), line) << "one error line: " << result.err;
        for (int i = 0; i < 3; ++i)
            EXPECT_TRUE(read_file(targets[i]) == earlier[i]) << targets[i] << " as it was, byte for byte";
        EXPECT_EQ(files_in(dir, "~"), std::vector<std::string>()) << "no temporary file left";
    }
}

// A gauge that ends the run from inside its call (a service no bench provides) leaves no
// temporary output behind when the run returns, before anything destroys the run: an exit that
// never unwinds would leave them for good.
TEST(BenchOutputs, ARunEndedInAGaugesCallRemovesItsTemporariesItself)
{
    std::string dir = test_folder();
    bench::Options options;
    std::string message;
    ASSERT_TRUE(bench::parse_options({"--snapshot", dir + "ended.png", "--audio", dir + "ended.wav", "--report",
                                      dir + "ended.html", "--sounds", exe_folder() + "..\\sounds",
                                      module_path(BOOMCUE_FILE), exe_folder() + "..\\test-gauges\\Rogue_Service.gau"},
                                     options, message))
        << message;
    FILE *out = _wfopen(toolbox::widen(dir + "run.out").c_str(), L"w"), *err = _wfopen(toolbox::widen(dir + "run.err").c_str(), L"w");
    ASSERT_TRUE(out && err);
    {
        bench::Runner runner(options, out, err);
        EXPECT_EQ(runner.run(), bench::EXIT_UNPROVIDED);
        EXPECT_EQ(files_in(dir, "~"), std::vector<std::string>()) << "temporaries left to a destructor";
    }
    fclose(out);
    fclose(err);
    EXPECT_NE(read_file(dir + "run.err").find("Rogue_Service"), std::string::npos) << read_file(dir + "run.err");
    EXPECT_EQ(files_in(dir, "ended"), std::vector<std::string>()) << "no output written";
}

// A plain run holds what it holds in its first minute for an hour: nothing it keeps grows with
// the cycles. Ten minutes against one, 16 instances of each module and the variables changing,
// measured from each run's own start after a first run has loaded what stays loaded.
TEST(BenchOutputs, MemoryStaysFlatAsTheRunGrowsLonger)
{
    std::string dir = test_folder();
    auto run_for = [&](int seconds) {
        std::string scenario = dir + "run" + std::to_string(seconds) + ".txt";
        EXPECT_TRUE(write_file(scenario, "instances VQT7_Boomcue 16\ninstances VQT7_Drag_Drone 16\nat 0 870=0x1800\n"
                                         "at 10 870=0x2400 61=150 326=9000\nat 30 870=0x2405 326=100\nat 50 326=9000\n"
                                         "end " + std::to_string(seconds) + "\n"));
        bench::Options options;
        std::string message;
        EXPECT_TRUE(bench::parse_options({"--scenario", scenario, module_path(BOOMCUE_FILE), module_path(DRAGDRONE_FILE)},
                                         options, message))
            << message;
        FILE *out = _wfopen(toolbox::widen(scenario + ".out").c_str(), L"w");
        EXPECT_TRUE(out);
        MemoryGrowth growth = memory_growth_of([&] { EXPECT_EQ(bench::Runner(options, out, stderr).run(), bench::EXIT_OK); });
        fclose(out);
        return growth;
    };
    run_for(60);
    MemoryGrowth minute = run_for(60), ten_minutes = run_for(600);
    const SIZE_T slack = 2 << 20;  // the heap's own rounding, a timeline buffer
    EXPECT_LT(ten_minutes.committed, minute.committed + slack)
        << "committed: " << minute.committed << " bytes more for a minute, " << ten_minutes.committed << " for ten";
    EXPECT_LT(ten_minutes.working, minute.working + slack)
        << "in use: " << minute.working << " bytes more for a minute, " << ten_minutes.working << " for ten";
}

TEST(BenchOutputs, TimelineThatCannotBeWrittenIsExitOneWithOneLine)
{
    // A pipe whose reader has gone, as when the consumer of --json quits early.
    SECURITY_ATTRIBUTES inherit = {sizeof inherit, 0, TRUE};
    HANDLE reader = 0, writer = 0;
    ASSERT_TRUE(CreatePipe(&reader, &writer, &inherit, 0));
    ASSERT_TRUE(CloseHandle(reader));
    ProgramRun result = run_gaugebench("--json " + both_modules(), writer);
    ASSERT_TRUE(CloseHandle(writer));
    EXPECT_EQ(result.exit_code, 1u);
    EXPECT_EQ(result.err, "gaugebench: error: cannot write the timeline (the disk is full or the output was closed)\n");
}

TEST(BenchOutputs, SnapshotTimePastTheEndWarnsWithTheTimeUsed)
{
    std::string png = test_folder() + "late.png", html = test_folder() + "late.html";
    ProgramRun result =
        run_gaugebench("--snapshot " + quote(png) + " --snapshot-at 20 --report " + quote(html) + " " + both_modules());
    EXPECT_EQ(result.exit_code, 0u) << result.err;
    EXPECT_EQ(result.err, "gaugebench: warning: --snapshot-at 20 s is past the run's last cycle; the snapshot "
                          "shows cycle 233 at 12.944 s\n");
    EXPECT_NE(result.out.find("  12.944    233  snapshot "), std::string::npos) << result.out;
    // The report's summary lists the same warning, as HTML text.
    EXPECT_NE(read_file(html).find("<ul class=\"warnings\"><li>--snapshot-at 20 s is past the run&#39;s last cycle; "
                                   "the snapshot shows cycle 233 at 12.944 s</li></ul>"),
              std::string::npos);
}

}  // namespace
