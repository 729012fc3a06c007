// gaugebench.exe run as a user runs it, as a child process: every bad input gets a clear
// message and its exit code, any name Windows allows works, the scenario's limits hold at the
// edge, and every JSON record stays valid. Its outputs are test_bench_outputs.cpp's.
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
