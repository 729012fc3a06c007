// gaugebench.exe run as a user runs it, as a child process: every bad input gets a clear
// message and its exit code; the demo's JSON timeline, snapshot and audio show the cues where
// the scenario puts them. Snapshots are read back through WIC's PNG decoder.
#include <math.h>

#include <map>

#include "media_files.h"
#include "test_support.h"

using namespace test_support;

namespace {

// The bench's audio: 22050 Hz, 16-bit, mono.
const size_t AUDIO_RATE = 22050;

struct ChildResult {
    DWORD exit_code = 0;
    bool timed_out = false;
    std::string out, err;
};

std::string temp_folder()
{
    static std::string folder;
    if (folder.empty()) {
        char path[MAX_PATH];
        GetTempPathA(sizeof path, path);
        folder = std::string(path) + "gaugebench_test_" + std::to_string(GetCurrentProcessId()) + "\\";
        CreateDirectoryA(folder.c_str(), 0);
    }
    return folder;
}

std::string read_text(const std::string &path)
{
    std::vector<uint8_t> bytes = read_file(path);
    return std::string(bytes.begin(), bytes.end());
}

void write_text(const std::string &path, const std::string &text)
{
    ASSERT_TRUE(write_file(path, std::vector<uint8_t>(text.begin(), text.end()))) << path;
}

// Runs gaugebench.exe with the given arguments; its output goes to files, so nothing can
// block on a full pipe. A run that takes over a minute is a hang.
ChildResult run_gaugebench(const std::string &arguments)
{
    ChildResult result;
    std::string out_path = temp_folder() + "stdout.txt", err_path = temp_folder() + "stderr.txt";
    SECURITY_ATTRIBUTES inherit = {sizeof inherit, 0, TRUE};
    HANDLE out = CreateFileA(out_path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS, 0, 0);
    HANDLE err = CreateFileA(err_path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS, 0, 0);
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = out;
    startup.hStdError = err;
    std::string command = "\"" + exe_folder() + "gaugebench.exe\" " + arguments;
    PROCESS_INFORMATION process = {};
    BOOL started = CreateProcessA(0, &command[0], 0, 0, TRUE, 0, 0, 0, &startup, &process);
    CloseHandle(out);
    CloseHandle(err);
    if (!started) {
        ADD_FAILURE() << "cannot start " << command;
        return result;
    }
    if (WaitForSingleObject(process.hProcess, 60000) == WAIT_TIMEOUT) {
        result.timed_out = true;
        TerminateProcess(process.hProcess, 99);
        WaitForSingleObject(process.hProcess, 5000);
    }
    GetExitCodeProcess(process.hProcess, &result.exit_code);
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
    result.out = read_text(out_path);
    result.err = read_text(err_path);
    return result;
}

std::string quote(const std::string &path)
{
    return "\"" + path + "\"";
}

std::string both_modules()
{
    return quote(module_path(BOOMCUE_FILE)) + " " + quote(module_path(DRAGDRONE_FILE));
}

TEST(BenchBadInput, ClearMessageAndExitCodeNeverACrashOrHang)
{
    std::string dir = temp_folder();
    write_text(dir + "bad.txt", "# a scenario with a typo\nat 1 870=0x2400\nat 2 326=lots\n");
    write_text(dir + "unknown_gauge.txt", "instances VQT7_Boomcoo 2\n");
    write_text(dir + "not_a_module.gau", "this is a text file\n");
    // A built module with its machine field changed to x86-64.
    std::vector<uint8_t> image = read_file(module_path(BOOMCUE_FILE));
    ASSERT_GT(image.size(), 0x100u);
    uint32_t pe = image[60] | (image[61] << 8) | (image[62] << 16) | (image[63] << 24);
    ASSERT_LT(pe + 6, image.size());
    image[pe + 4] = 0x64;
    image[pe + 5] = 0x86;
    ASSERT_TRUE(write_file(dir + "x64.gau", image));
    std::string rogue = exe_folder() + "..\\test-gauges\\Rogue_Service.gau";

    struct Case {
        std::string name;
        std::string arguments;
        DWORD exit_code;
        std::string message;  // must appear in stderr
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
         "does not provide (it provides only the variable fetch at byte 160) during update at 0.000 s (cycle 0)"},
        {"gauge that crashes", quote(exe_folder() + "..\\test-gauges\\Rogue_Crash.gau"), 4,
         "error: Rogue_Crash[1] (" + exe_folder() + "..\\test-gauges\\Rogue_Crash.gau) crashed: exception 0xC0000005"},
        {"output that cannot be written", "--snapshot " + quote(dir + "nowhere\\x.png") + " " + both_modules(), 1,
         "error: cannot write " + dir + "nowhere\\x.png"},
    };
    for (const Case &row : cases) {
        SCOPED_TRACE(row.name + ": gaugebench " + row.arguments);
        ChildResult result = run_gaugebench(row.arguments);
        EXPECT_FALSE(result.timed_out);
        EXPECT_EQ(result.exit_code, row.exit_code) << result.err;
        EXPECT_NE(result.err.find(row.message), std::string::npos) << "stderr: " << result.err;
        EXPECT_EQ(std::count(result.err.begin(), result.err.end(), '\n'), 1) << "one line: " << result.err;
    }
}

TEST(BenchBadInput, RogueGaugeKeepsTheTimelineUpToTheFault)
{
    std::string rogue = exe_folder() + "..\\test-gauges\\Rogue_Service.gau";
    ChildResult result = run_gaugebench(quote(module_path(BOOMCUE_FILE)) + " " + quote(rogue));
    EXPECT_EQ(result.exit_code, 3u);
    // The frequency cue gauge's first update ran before the rogue's.
    EXPECT_NE(result.out.find("text     VQT7_Boomcue[1] \"\" -> \"118.00\""), std::string::npos) << result.out;
}

// One JSON Lines record's field, as raw text (strings keep their quotes).
std::string field(const std::string &line, const std::string &key)
{
    size_t at = line.find("\"" + key + "\":");
    if (at == std::string::npos)
        return "";
    at += key.size() + 3;
    size_t end = at;
    if (line[at] == '"') {
        for (end = at + 1; end < line.size() && line[end] != '"'; ++end)
            if (line[end] == '\\')
                ++end;
        ++end;
    } else if (line[at] == '[') {
        end = line.find(']', at) + 1;
    } else {
        end = line.find_first_of(",}", at);
    }
    return line.substr(at, end - at);
}

std::vector<std::string> lines_of(const std::string &text)
{
    std::vector<std::string> lines;
    size_t start = 0;
    for (size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1)
        lines.push_back(text.substr(start, end - start));
    return lines;
}

TEST(BenchDemo, JsonTimelineShowsEveryCueWhereTheScenarioPutsIt)
{
    ChildResult result = run_gaugebench("--json " + both_modules());
    ASSERT_EQ(result.exit_code, 0u) << result.err;
    EXPECT_EQ(result.err, "");
    std::vector<std::string> lines = lines_of(result.out);
    ASSERT_GT(lines.size(), 10u);
    // What each sound call did, by cycle: "cycle gauge[instance] phase call effect".
    std::vector<std::string> cue_calls, loop_changes, kills;
    std::map<std::string, int> repeats;
    for (const std::string &line : lines) {
        ASSERT_EQ(line.front(), '{') << line;
        ASSERT_EQ(line.back(), '}') << line;
        std::string event = field(line, "event"), cycle = field(line, "cycle");
        std::string who = field(line, "gauge") + "[" + field(line, "instance") + "]";
        if (event == "\"sound\"") {
            std::string call = field(line, "call"), effect = field(line, "effect");
            std::string what = cycle + " " + who + " " + field(line, "phase") + " " + call + " " + effect;
            if (field(line, "path") == "\"sound\\\\QX\\\\Supersonic.wav\"") {
                EXPECT_EQ(field(line, "name"), "\"\"");
                EXPECT_EQ(field(line, "loop"), "0");
                cue_calls.push_back(what);
            } else if (effect == "\"already playing\"" || effect == "\"not playing\"") {
                repeats[effect]++;
            } else if (call != "\"load\"") {
                loop_changes.push_back(what + " " + field(line, "playing"));
            }
        }
        if (event == "\"kill\"")
            kills.push_back(cycle + " " + who);
    }
    // The cue at 124.00 (cycle 18) and again after 124.05 re-armed it (cycle 90); one cue
    // serves both instances, and coming back from 123.50 (cycle 54) stays silent.
    EXPECT_EQ(cue_calls, (std::vector<std::string>{
                             "18 \"VQT7_Boomcue\"[1] \"string update\" \"play\" \"played once\"",
                             "90 \"VQT7_Boomcue\"[1] \"string update\" \"play\" \"played once\"",
                         }));
    // The loop starts at 6 s, stops at 7 s, stays off while the gate is at 50 (8 s), starts
    // when the gate passes 100 (9 s), survives the gate falling (10 s), stops at 11 s, runs
    // again from 12 s and is terminated by the first kill at 13 s; the library is unloaded
    // by the second, and the last kill loads it again to terminate and release it.
    EXPECT_EQ(loop_changes, (std::vector<std::string>{
                                "108 \"VQT7_Drag_Drone\"[1] \"update\" \"play\" \"started loop\" [\"SPBR\"]",
                                "126 \"VQT7_Drag_Drone\"[1] \"update\" \"stop\" \"stopped\" []",
                                "162 \"VQT7_Drag_Drone\"[1] \"update\" \"play\" \"started loop\" [\"SPBR\"]",
                                "198 \"VQT7_Drag_Drone\"[1] \"update\" \"stop\" \"stopped\" []",
                                "216 \"VQT7_Drag_Drone\"[1] \"update\" \"play\" \"started loop\" [\"SPBR\"]",
                                "234 \"VQT7_Boomcue\"[1] \"kill\" \"terminate\" \"terminated\" []",
                                "234 \"VQT7_Boomcue\"[2] \"kill\" \"terminate\" \"terminated\" []",
                                "234 \"VQT7_Boomcue\"[2] \"kill\" \"unload\"  []",
                                "234 \"VQT7_Drag_Drone\"[1] \"kill\" \"terminate\" \"terminated\" []",
                                "234 \"VQT7_Drag_Drone\"[1] \"kill\" \"unload\"  []",
                            }));
    // Play repeats while the loop runs with the gate up (6-7, 9-10, 12-13 s, less each
    // starting cycle; from 10 s the gate is down and no call is made at all), stop repeats
    // while the trigger is low (0-6, 7-8, 11-12 s, less each stopping cycle).
    EXPECT_EQ(repeats["\"already playing\""], 17 + 17 + 17);
    EXPECT_EQ(repeats["\"not playing\""], 108 + 17 + 17);
    EXPECT_EQ(kills, (std::vector<std::string>{"234 \"VQT7_Boomcue\"[1]", "234 \"VQT7_Boomcue\"[2]",
                                               "234 \"VQT7_Drag_Drone\"[1]"}));
    EXPECT_EQ(field(lines.back(), "event"), "\"end\"");
    EXPECT_NE(lines.front().find("\"gauges\":[\"VQT7_Boomcue[1]\",\"VQT7_Boomcue[2]\",\"VQT7_Drag_Drone[1]\"]"),
              std::string::npos) << lines.front();
}

TEST(BenchDemo, TextTimelineListsEveryReadoutChange)
{
    ChildResult result = run_gaugebench(both_modules());
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
    std::string end_png = temp_folder() + "end.png", early_png = temp_folder() + "early.png";
    ChildResult end = run_gaugebench("--snapshot " + quote(end_png) + " --scale 3 " + both_modules());
    ASSERT_EQ(end.exit_code, 0u) << end.err;
    ChildResult early = run_gaugebench("--snapshot " + quote(early_png) + " --snapshot-at 2.5 --scale=3 " + both_modules());
    ASSERT_EQ(early.exit_code, 0u) << early.err;
    Pixels at_end, at_2_5;
    std::vector<uint8_t> png = read_file(end_png);
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

TEST(BenchDemo, AudioIsSilentOrSoundingWhereTheTimelineSays)
{
    std::string wav = temp_folder() + "demo.wav";
    ChildResult result = run_gaugebench("--audio " + quote(wav) + " --sounds " +
                                        quote(exe_folder() + "..\\demo-sounds") + " " + both_modules());
    ASSERT_EQ(result.exit_code, 0u) << result.err;
    EXPECT_EQ(result.err, "") << "both placeholder sounds are found";
    std::vector<float> mono;
    ASSERT_TRUE(read_mono_wav(read_file(wav), mono));
    EXPECT_EQ(mono.size(), 13u * AUDIO_RATE) << "the scenario's 13 seconds";
    auto peak = [&](double from, double to) {
        float level = 0;
        for (size_t i = (size_t)llround(from * AUDIO_RATE); i < (size_t)llround(to * AUDIO_RATE) && i < mono.size(); ++i)
            level = std::max(level, fabsf(mono[i]));
        return level;
    };
    struct Window {
        double from, to;
        bool sound;
        const char *why;
    };
    const Window windows[] = {
        {0.0, 1.0, false, "118.00, nothing plays"},
        {1.0, 1.3, true, "the cue at 124.00"},
        {1.7, 5.0, false, "the cue is over; 123.50, 124.00 and 124.05 play nothing"},
        {5.0, 5.3, true, "the re-armed cue"},
        {5.7, 6.0, false, "before the loop"},
        {6.0, 7.0, true, "the loop"},
        {7.0, 9.0, false, "trigger low, then gate low"},
        {9.0, 11.0, true, "the loop, through the gate falling at 10 s"},
        {11.0, 12.0, false, "trigger low"},
        {12.0, 13.0, true, "the loop until the kill"},
    };
    for (const Window &window : windows) {
        SCOPED_TRACE(std::to_string(window.from) + " to " + std::to_string(window.to) + " s: " + window.why);
        if (!window.sound) {
            EXPECT_EQ(peak(window.from, window.to), 0.0f);
            continue;
        }
        // Sounding in every tenth of a second of the window.
        for (double t = window.from; t + 0.1 <= window.to + 1e-9; t += 0.1)
            EXPECT_GT(peak(t, t + 0.1), 0.05f) << "at " << t << " s";
    }
}

TEST(BenchDemo, MissingSoundFilesWarnAndStaySilent)
{
    std::string empty = temp_folder() + "no_sounds";
    CreateDirectoryA(empty.c_str(), 0);
    std::string wav = temp_folder() + "silent.wav";
    ChildResult result = run_gaugebench("--audio " + quote(wav) + " --sounds " + quote(empty) + " " + both_modules());
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

}  // namespace
