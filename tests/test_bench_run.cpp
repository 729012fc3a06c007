// gaugebench.exe run as a user runs it, as a child process: every bad input gets a clear
// message and its exit code, earlier outputs survive a failed run, any name Windows allows
// works, the scenario's limits hold at the edge, and every JSON record stays valid. One run in
// this process, to see its outputs' temporaries at the moment the run ends.
#include <math.h>

#include <map>

#include <nlohmann/json.hpp>

#include "bench_runs.h"
#include "files_and_programs.h"
#include "media_files.h"
#include "run_state.h"
#include "test_support.h"
#include "timeline.h"
#include "toolbox.h"

using namespace test_support;

namespace {

TEST(BenchBadInput, ClearMessageAndExitCodeNeverACrashOrHang)
{
    std::string dir = test_folder();
    ASSERT_TRUE(write_file(dir + "bad.txt", "# a scenario with a typo\nat 1 870=0x2400\nat 2 326=lots\n"));
    ASSERT_TRUE(write_file(dir + "unknown_gauge.txt", "instances VQT7_Boomcoo 2\n"));
    ASSERT_TRUE(write_file(dir + "not_a_module.gau", "this is a text file\n"));
    ASSERT_TRUE(write_file(dir + "utf16.txt", std::string("\xFF\xFE" "a\0t\0 \0" "1\0", 10)));
    // A built module with its machine field changed to x86-64.
    std::string image = read_file(module_path(BOOMCUE_FILE));
    ASSERT_GT(image.size(), 0x100u);
    uint32_t pe;
    memcpy(&pe, &image[60], 4);
    ASSERT_LT(pe + 6, image.size());
    image[pe + 4] = 0x64;
    image[pe + 5] = (char)0x86;
    ASSERT_TRUE(write_file(dir + "x64.gau", image));
    ASSERT_TRUE(CopyFileW(toolbox::widen(module_path(BOOMCUE_FILE)).c_str(), toolbox::widen(dir + "Copy.gau").c_str(), FALSE));
    std::string rogue = exe_folder() + "..\\test-gauges\\Rogue_Service.gau";
    std::string unreadable = exe_folder() + "..\\test-gauges\\Rogue_Unreadable.gau";

    struct Case {
        std::string name;
        std::string arguments;
        DWORD exit_code;
        std::string message;  // must appear in stderr
        bool timeline = false;  // whether a timeline was begun before the failure
        std::string message_end = "";  // must follow the message in stderr, when given
    };
    const Case cases[] = {
        {"unknown option", "--frobnicate " + both_modules(), 2, "error: unknown option '--frobnicate' (see --help)"},
        {"no module", "--json", 2, "error: no gauge module given"},
        {"option without its value", both_modules() + " --scenario", 2, "error: --scenario expects a scenario file"},
        {"bad scale", "--scale 0 " + both_modules(), 2, "error: --scale expects a whole number from 1 to 16, got '0'"},
        {"bad snapshot time", "--snapshot x.png --snapshot-at soon " + both_modules(), 2,
         "error: --snapshot-at expects a time in seconds, got 'soon'"},
        {"audio without sounds", "--audio x.wav " + both_modules(), 2, "error: --audio needs --sounds DIR"},
        {"missing sounds folder", "--audio " + quote(dir + "a.wav") + " --sounds " + quote(dir + "nowhere") + " " +
                                      both_modules(), 2, "nowhere does not exist"},
        {"missing scenario", "--scenario " + quote(dir + "absent.txt") + " " + both_modules(), 2,
         "error: cannot read the scenario file " + dir + "absent.txt"},
        {"scenario line", "--scenario " + quote(dir + "bad.txt") + " " + both_modules(), 2,
         "error: " + dir + "bad.txt:3: expected a decimal or 0x-hex value after '326=', got 'lots'"},
        {"unknown gauge in scenario", "--scenario " + quote(dir + "unknown_gauge.txt") + " " + both_modules(), 2,
         "unknown_gauge.txt:1: expected the name of a loaded gauge (VQT7_Boomcue, VQT7_Drag_Drone), got 'VQT7_Boomcoo'"},
        {"same module twice", quote(module_path(BOOMCUE_FILE)) + " " + quote(module_path(BOOMCUE_FILE)), 2,
         "use 'instances GAUGE 2'"},
        {"missing module", quote(dir + "absent.gau"), 1, "error: " + dir + "absent.gau: cannot open the file"},
        {"not a module", quote(dir + "not_a_module.gau"), 1, "not a Windows module (no MZ/PE header)"},
        {"not 32-bit", quote(dir + "x64.gau"), 1, "x64.gau: not a 32-bit x86 module (machine 0x8664)"},
        {"a DLL that is no gauge", quote(exe_folder() + "sound\\full\\GaugeSound.dll"), 1,
         "no Linkage export (not a gauge module)"},
        {"unprovided host service", quote(rogue), 3,
         "error: Rogue_Service[1] (" + rogue + ") called the host service at byte 44 of PANELS, which the bench "
         "does not provide (it provides only the variable fetch at byte 160) during update at 0.000 s (cycle 0)", true},
        {"gauge that crashes", quote(exe_folder() + "..\\test-gauges\\Rogue_Crash.gau"), 4,
         "error: Rogue_Crash[1] (" + exe_folder() + "..\\test-gauges\\Rogue_Crash.gau) crashed: exception 0xC0000005", true},
        {"gauge that breaks the caller's EBX", quote(exe_folder() + "..\\test-gauges\\Rogue_Registers.gau"), 4,
         "error: Rogue_Registers[1] (" + exe_folder() + "..\\test-gauges\\Rogue_Registers.gau) broke the caller's EBX "
         "(handed 0x", true, "returned 0x5A5A5A5A) during update at 0.000 s (cycle 0)"},
        {"module whose gauge list points at no memory", quote(module_path(BOOMCUE_FILE)) + " " + quote(unreadable), 4,
         "error: " + unreadable + ": cannot be read safely: its gauge list points outside the module (at 0x00000010)"},
        {"module whose entry point crashes", quote(exe_folder() + "..\\test-gauges\\Rogue_Entry.gau"), 4,
         "error: " + exe_folder() + "..\\test-gauges\\Rogue_Entry.gau crashed in its entry point: exception 0xC0000005"},
        {"output that cannot be written", "--snapshot " + quote(dir + "nowhere\\x.png") + " " + both_modules(), 1,
         "error: cannot write " + dir + "nowhere\\x.png"},
        {"scale without a snapshot", "--scale 2 " + both_modules(), 2, "error: --scale needs --snapshot FILE.png"},
        {"one file for two outputs", "--snapshot " + quote(dir + "Out.png") + " --audio " + quote(dir + "sub\\..\\OUT.PNG") +
         " --sounds " + quote(dir + ".") + " " + both_modules(), 2, "error: --snapshot and --audio name the same file"},
        {"one file for the audio and the report", "--audio " + quote(dir + "run.html") + " --sounds " + quote(dir + ".") +
         " --report " + quote(dir + "RUN.HTML") + " " + both_modules(), 2, "error: --audio and --report name the same file"},
        {"report that cannot be written", "--report " + quote(dir + "nowhere\\r.html") + " " + both_modules(), 1,
         "error: cannot write " + dir + "nowhere\\r.html"},
        {"two gauges of one name", quote(module_path(BOOMCUE_FILE)) + " " + quote(dir + "Copy.gau"), 2,
         "error: two gauges are named VQT7_Boomcue (in " + module_path(BOOMCUE_FILE) + " and " + dir + "Copy.gau)"},
        {"UTF-16 scenario", "--scenario " + quote(dir + "utf16.txt") + " " + both_modules(), 2,
         "error: " + dir + "utf16.txt: the file is UTF-16 little-endian text; save it as UTF-8"},
    };
    for (const Case &row : cases) {
        SCOPED_TRACE(row.name + ": gaugebench " + row.arguments);
        ProgramRun result = run_gaugebench(row.arguments);
        EXPECT_FALSE(result.timed_out);
        EXPECT_EQ(result.exit_code, row.exit_code) << result.err;
        size_t at = result.err.find(row.message);
        EXPECT_NE(at, std::string::npos) << "stderr: " << result.err;
        if (!row.message_end.empty() && at != std::string::npos)
            EXPECT_NE(result.err.find(row.message_end, at), std::string::npos) << "stderr: " << result.err;
        EXPECT_EQ(std::count(result.err.begin(), result.err.end(), '\n'), 1) << "one line: " << result.err;
        if (!row.timeline)
            EXPECT_EQ(result.out, "") << "nothing but the timeline reaches stdout";
    }
}

TEST(BenchBadInput, RogueGaugeKeepsTheTimelineUpToTheFault)
{
    std::string rogue = exe_folder() + "..\\test-gauges\\Rogue_Service.gau";
    ProgramRun result = run_gaugebench(quote(module_path(BOOMCUE_FILE)) + " " + quote(rogue));
    EXPECT_EQ(result.exit_code, 3u);
    // The frequency cue gauge's first update ran before the rogue's.
    EXPECT_NE(result.out.find("text     VQT7_Boomcue[1] \"\" -> \"118.00\""), std::string::npos) << result.out;
}

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

// Names outside every ANSI code page, in the folder and the files: everything is read, written
// and echoed in full.
TEST(BenchUnicode, NonAsciiFolderRoundTrip)
{
    std::string dir = test_folder() + "\xE4\xB8\xAD\xE6\x96\x87\xF0\x9F\x98\x80\\";  // 中文😀
    ASSERT_TRUE(CreateDirectoryW(toolbox::widen(dir).c_str(), 0) || GetLastError() == ERROR_ALREADY_EXISTS);
    for (const char *folder : {"sound", "sound\\QX"})
        ASSERT_TRUE(CreateDirectoryW(toolbox::widen(dir + folder).c_str(), 0) || GetLastError() == ERROR_ALREADY_EXISTS);
    for (const char *sound : {"Supersonic.wav", "Speed_Brake.wav"})
        ASSERT_TRUE(CopyFileW(toolbox::widen(exe_folder() + "..\\sounds\\sound\\QX\\" + sound).c_str(),
                              toolbox::widen(dir + "sound\\QX\\" + sound).c_str(), FALSE)) << sound;
    for (const char *module : {BOOMCUE_FILE, DRAGDRONE_FILE})
        ASSERT_TRUE(CopyFileW(toolbox::widen(module_path(module)).c_str(), toolbox::widen(dir + module).c_str(), FALSE));
    std::string scenario = dir + "\xE5\x9C\xBA\xE6\x99\xAF.txt";  // 场景.txt
    std::string png = dir + "\xE5\xBF\xAB\xE7\x85\xA7.png", wav = dir + "\xC3\xA9t\xC3\xA9.wav";  // 快照.png, été.wav
    ASSERT_TRUE(write_file(scenario, "instances VQT7_Boomcue.gau 2\nat 0 870=0x2400 61=150 326=9000\nend 1\n"));
    std::string modules = quote(dir + BOOMCUE_FILE) + " " + quote(dir + DRAGDRONE_FILE);

    ProgramRun result = run_gaugebench("--scenario " + quote(scenario) + " --snapshot " + quote(png) + " --audio " +
                                        quote(wav) + " --sounds " + quote(dir + ".") + " " + modules);
    ASSERT_EQ(result.exit_code, 0u) << result.err;
    EXPECT_EQ(result.err, "") << "both sounds found in the folder";
    EXPECT_NE(result.out.find("start    VQT7_Boomcue[1], VQT7_Boomcue[2], VQT7_Drag_Drone[1]"), std::string::npos)
        << "the module's file name with .gau names its gauge: " << result.out;
    EXPECT_NE(result.out.find("snapshot " + png + "\n"), std::string::npos) << "the path in UTF-8: " << result.out;
    Pixels faces;
    ASSERT_TRUE(decode_png(read_file(png), faces));
    EXPECT_EQ(faces.width, 4u + 3 * (40 + 4)) << "three faces";
    std::vector<float> mono;
    ASSERT_TRUE(read_mono_wav(read_file(wav), mono));
    ASSERT_EQ(mono.size(), AUDIO_RATE) << "the scenario's second";
    EXPECT_GT(*std::max_element(mono.begin(), mono.begin() + AUDIO_RATE / 10), 0.05f) << "the cue and the loop sound";

    // A message that names a file names it in UTF-8.
    ASSERT_TRUE(write_file(scenario, "at 1 870=soon\n"));
    result = run_gaugebench("--scenario " + quote(scenario) + " " + modules);
    EXPECT_EQ(result.exit_code, 2u);
    EXPECT_EQ(result.err, "gaugebench: error: " + scenario + ":1: expected a decimal or 0x-hex value after '870=', got 'soon'\n");
}

// The scenario's limits, through the whole bench: a run at every limit at once completes (16
// instances, the highest token, 3600 s), and each one step past is refused.
TEST(BenchLimits, AcceptedAtTheLimitRefusedOnePast)
{
    std::string dir = test_folder();
    struct Case {
        const char *name;
        std::string scenario;
        DWORD exit_code;
        std::string expected;  // in stdout for a run, in stderr for a refusal
    };
    const Case cases[] = {
        {"every limit", "instances VQT7_Boomcue 16\nat 0 870=0x2400 4294967295=1\nend 3600\n", 0,
         "VQT7_Boomcue[15], VQT7_Boomcue[16], VQT7_Drag_Drone[1]; 18 cycles a second"},
        {"17 instances", "instances VQT7_Boomcue 17\n", 2, ":1: expected 'instances GAUGE COUNT' with a count from 1 to 16"},
        {"token past 32 bits", "at 0 4294967296=1\n", 2, ":1: expected a token number before '=', got '4294967296=1'"},
        {"end past 3600 s", "end 3600.001\n", 2, ":1: expected one time in seconds (0 to 3600) after 'end'"},
    };
    for (const Case &row : cases) {
        SCOPED_TRACE(row.name);
        std::string scenario = dir + row.name + ".txt";
        ASSERT_TRUE(write_file(scenario, row.scenario));
        ProgramRun result = run_gaugebench("--scenario " + quote(scenario) + " " + both_modules());
        EXPECT_FALSE(result.timed_out);
        EXPECT_EQ(result.exit_code, row.exit_code) << result.err;
        if (row.exit_code) {
            EXPECT_EQ(result.err, "gaugebench: error: " + scenario + row.expected + "\n");
            continue;
        }
        EXPECT_EQ(result.err, "");
        EXPECT_NE(result.out.find(row.expected), std::string::npos) << result.out.substr(0, 400);
        EXPECT_NE(result.out.find("3600.000  64800  end      every gauge killed, modules unloaded after 64800 cycles\n"),
                  std::string::npos);
    }
}

// A gauge may write any bytes into its text: every record stays one line of valid JSON, with
// what is not UTF-8 replaced, and its fields in their order.
TEST(BenchJson, EveryRecordIsValidJsonWhateverBytesAGaugeWrites)
{
    struct Case {
        std::string text, expected;
    };
    const std::string replacement = "\xEF\xBF\xBD";
    const Case cases[] = {
        {"124.00", "124.00"},
        {"12\xB0", "12" + replacement},  // a Windows-1252 degree sign
        {"\xFF\xFE", replacement + replacement},
        {"\xC3", replacement},  // a sequence cut short
        {"caf\xC3\xA9", "caf\xC3\xA9"},
        {"\"quoted\" back\\slash", "\"quoted\" back\\slash"},
        {"\x01\n\t\x7F", "\x01\n\t\x7F"},
    };
    for (const Case &row : cases) {
        SCOPED_TRACE(row.text);
        bench::TimelineEvent event;
        event.kind = bench::EventKind::Text;
        event.cycle = 9;
        event.time = 0.5;
        event.gauge = "G";
        event.instance = 2;
        event.old_text = "";
        event.new_text = row.text;
        std::string line = bench::TimelineWriter::json_line(event);
        EXPECT_EQ(line.find('\n'), std::string::npos);
        nlohmann::ordered_json record;
        ASSERT_NO_THROW(record = nlohmann::ordered_json::parse(line)) << line;
        EXPECT_EQ(record["new"].get<std::string>(), row.expected);
        std::vector<std::string> keys;
        for (auto &field : record.items())
            keys.push_back(field.key());
        EXPECT_EQ(keys, (std::vector<std::string>{"t", "cycle", "event", "gauge", "instance", "element", "old", "new"}));
        EXPECT_EQ(line.substr(0, 38), "{\"t\":0.500000,\"cycle\":9,\"event\":\"text\"");
    }
}

}  // namespace
