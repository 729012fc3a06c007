// gaugecheck.exe run as a user runs it, on fake simulator folders built here: an empty fs9.exe,
// the built modules, the stand-in sound libraries (patched where a case needs a different
// library), generated WAV files and panel.cfg files written here (check_installs.h). A complete
// install is all ok; each planted fault must give exactly its own findings, by check, status and
// file.
#include <functional>
#include <nlohmann/json.hpp>

#include "check_installs.h"
#include "files_and_programs.h"
#include "media_files.h"
#include "test_support.h"
#include "toolbox.h"

using namespace test_support;
using nlohmann::json;

namespace {

std::wstring wide(const std::string &path) { return toolbox::widen(path); }

struct Expected {
    const char *check, *status;
    std::string file;  // relative to the install's root
    const char *message_part = "";
};

struct Case {
    const char *name;
    std::function<void(const Install &)> plant;
    std::vector<Expected> findings;  // every warning and problem, and the ok findings named
    DWORD exit_code;
    const char *extra_folder = "";    // given with --aircraft, relative to the install's root
};
void PrintTo(const Case &c, std::ostream *out) { *out << c.name; }

const char LIBRARY[] = "sim\\GaugeSound.dll";
const char CUE_WAV[] = "sim\\sound\\QX\\Supersonic.wav";
const char LOOP_WAV[] = "sim\\sound\\QX\\Speed_Brake.wav";
const char UNICODE_CFG[] = "sim\\Aircraft\\\xC3\x9C" "ber Flieger \xE6\x97\xA5\xE6\x9C\xAC\\panel\\panel.cfg";

const Case CASES[] = {
    {"GoodInstall", [](const Install &) {},
     {{"module", "ok", "sim\\Gauges\\VQT7_Boomcue.gau", "release " VQT7_RELEASE_VERSION}, {"module", "ok", "sim\\Gauges\\VQT7_Drag_Drone.gau"},
      // A sound made here is not taken for the release's own: its ok line ends with its length
      // (an ok finding has no fix, so the text matched is the message and one space).
      {"sound_library", "ok", LIBRARY}, {"sound_file", "ok", CUE_WAV, "16-bit, 0.50 s "},
      {"sound_file", "ok", LOOP_WAV, "16-bit, 0.50 s "}, {"panel", "ok", GOOD_CFG, "line 9 [Window00] gauge02="}},
     0},
    {"NoSoundLibrary", [](const Install &i) { i.remove(LIBRARY); }, {{"sound_library", "problem", LIBRARY}}, 1},
    {"SoundLibrary64Bit", [](const Install &i) { i.put(LIBRARY, as_64bit(third_party_library("full"))); },
     {{"sound_library", "problem", LIBRARY, "not a 32-bit"}}, 1},
    {"SoundLibraryWithoutPlay", [](const Install &i) { i.put(LIBRARY, third_party_library("no_play")); },
     {{"sound_library", "problem", LIBRARY, "lacks GaugePlaySound"}}, 1},
    {"SoundLibraryWithoutStop", [](const Install &i) { i.put(LIBRARY, third_party_library("no_stop")); },
     {{"sound_library", "problem", LIBRARY, "lacks GaugeStopSound"}}, 1},
    {"SoundLibraryWithoutTerminate", [](const Install &i) { i.put(LIBRARY, third_party_library("no_terminate")); },
     {{"sound_library", "problem", LIBRARY, "lacks TerminateSounds"}}, 1},
    {"BenchStandInAsLibrary",
     [](const Install &i) {
         // The simulator's folder comes first: a good library further along does not help.
         i.put(LIBRARY, read_file(exe_folder() + "sound\\full\\GaugeSound.dll"));
         i.put("system\\GaugeSound.dll", third_party_library("full"));
     },
     {{"sound_library", "problem", LIBRARY, "stand-in"}}, 1},
    {"SoundLibraryOnlyInSystemFolder",
     [](const Install &i) {
         i.remove(LIBRARY);
         i.put("system\\GaugeSound.dll", third_party_library("full"));
     },
     {{"sound_library", "ok", "system\\GaugeSound.dll"}}, 0},
    {"SoundFileMissing", [](const Install &i) { i.remove(CUE_WAV); }, {{"sound_file", "problem", CUE_WAV, "missing"}}, 1},
    {"SoundFileEmpty", [](const Install &i) { i.put(LOOP_WAV, std::string()); }, {{"sound_file", "problem", LOOP_WAV}}, 1},
    {"SoundFileCorrupt", [](const Install &i) { i.text(LOOP_WAV, "RIFF\x20\0\0\0WAVEjunk this is no sound at all"); },
     {{"sound_file", "problem", LOOP_WAV}}, 1},
    {"SoundFileUndecodable", [](const Install &i) { i.put(LOOP_WAV, undecodable_mp3_wave()); },
     {{"sound_file", "problem", LOOP_WAV, "its codec cannot decode the data"}}, 1},
    {"SoundFileAdpcm", [](const Install &i) { i.put(CUE_WAV, adpcm_wave()); }, {{"sound_file", "ok", CUE_WAV}}, 0},
    {"ReleaseSoundsInstalled",
     [](const Install &i) {
         for (const char *wav : {CUE_WAV, LOOP_WAV})
             i.put(wav, read_file(exe_folder() + "..\\sounds\\" + std::string(wav).substr(4)));
     },
     {{"sound_file", "ok", CUE_WAV, "; this release's own sound "},
      {"sound_file", "ok", LOOP_WAV, "; this release's own sound "}},
     0},
    {"WrongGaugeName", [](const Install &i) { i.panel("VQT7_Boomcue!VQT7_Boomcue, 10, 60", "VQT7_Boomcue!Boomcue, 10, 60"); },
     {{"panel", "problem", GOOD_CFG, "make the line read gauge01=VQT7_Boomcue!VQT7_Boomcue, 10, 60, 40, 40"}}, 1},
    {"MissingBang", [](const Install &i) { i.panel("VQT7_Boomcue!VQT7_Boomcue, 10, 60", "VQT7_Boomcue, 10, 60"); },
     {{"panel", "problem", GOOD_CFG, "no '!'"}}, 1},
    {"ModuleTypo", [](const Install &i) { i.panel("vqt7_drag_drone!", "VQT7_Drag_Dron!"); },
     {{"panel", "problem", GOOD_CFG, "gauge02=VQT7_Drag_Drone!VQT7_Drag_Drone, 0, 0, 1, 1"},
      {"module", "warning", "sim\\Gauges\\VQT7_Drag_Drone.gau", "no panel.cfg uses it"}}, 1},
    {"WindowAfterGap", [](const Install &i) { i.panel("[Window01]", "[Window02]"); }, {}, 0},
    {"GaugeInWindowAfterGap", [](const Install &i) { i.panel("[Window01]\ngauge00=GPS!GPS_500", "[Window02]\ngauge00=VQT7_Boomcue!VQT7_Boomcue"); },
     {{"panel", "problem", GOOD_CFG, "no [Window01] before it"}}, 1},
    {"RepeatedGaugeKey", [](const Install &i) { i.panel("gauge01=VQT7_Boomcue", "gauge00=VQT7_Boomcue"); },
     {{"panel", "problem", GOOD_CFG, "gauge03=VQT7_Boomcue!VQT7_Boomcue"}}, 1},
    {"AliasToAnotherAircraft",
     [](const Install &i) { i.text("sim\\Aircraft\\Second\\panel\\panel.cfg", "[fltsim]\nalias=Good/panel\n"); },
     {{"panel", "ok", "sim\\Aircraft\\Second\\panel\\panel.cfg", "uses the panel"}}, 0},
    // A panel.cfg in ANSI whose alias names the folder "Soci\u00e9t\u00e9\\panel" (in code page
    // 1252; the folder is made as the system's code page reads those bytes).
    {"AliasToAnsiFolderName",
     [](const Install &i) {
         i.text("sim\\Aircraft\\Second\\panel\\panel.cfg", "[fltsim]\r\nalias=Soci\xE9t\xE9\\panel\r\n");
         i.text("sim\\Aircraft\\" + toolbox::ansi_to_utf8("Soci\xE9t\xE9") + "\\panel\\panel.cfg", GOOD_PANEL);
     },
     {{"panel", "ok", "sim\\Aircraft\\Second\\panel\\panel.cfg", "uses the panel"}}, 0},
    // Only folders under Aircraft are followed, as gaugeinstall follows them.
    {"AliasClimbingOutOfAircraft",
     [](const Install &i) { i.text("sim\\Aircraft\\Second\\panel\\panel.cfg", "[fltsim]\nalias=..\\Aircraft\\Good\\panel\n"); },
     {{"panel", "warning", "sim\\Aircraft\\Second\\panel\\panel.cfg", "names no folder under"}}, 0},
    {"AliasLoop",
     [](const Install &i) {
         i.text("sim\\Aircraft\\LoopA\\panel\\panel.cfg", "[fltsim]\nalias=LoopB\\panel\n");
         i.text("sim\\Aircraft\\LoopB\\panel\\panel.cfg", "[FLTSIM]\nAlias = LoopA\\panel // back again\n");
     },
     {{"panel", "warning", "sim\\Aircraft\\LoopB\\panel\\panel.cfg", "alias loop"}}, 0},
    {"AliasChainOf40",
     [](const Install &i) {
         // Chain00 -> Chain01 -> ... -> Chain39 -> Good: the 32nd panel is as far as it goes.
         for (int n = 0; n < 40; ++n) {
             char cfg[64], next[16];
             snprintf(cfg, sizeof cfg, "sim\\Aircraft\\Chain%02d\\panel\\panel.cfg", n);
             snprintf(next, sizeof next, "Chain%02d", n + 1);
             i.text(cfg, std::string("[fltsim]\nalias=") + (n < 39 ? next : "Good") + "\\panel\n");
         }
     },
     {{"panel", "warning", "sim\\Aircraft\\Chain31\\panel\\panel.cfg", "alias chain longer than 32 panels"}}, 0},
    {"GaugeLinesBesideAlias",
     [](const Install &i) { i.text("sim\\Aircraft\\Second\\panel\\panel.cfg", "[fltsim]\nalias=Good\\panel\n[Window00]\ngauge00=VQT7_Boomcue!VQT7_Boomcue, 0, 0\n"); },
     {{"panel", "problem", "sim\\Aircraft\\Second\\panel\\panel.cfg", "never read"}}, 1},
    {"OlderModuleInPanelFolder",
     [](const Install &i) {
         std::string module = read_file(module_path(BOOMCUE_FILE));
         module[module.size() - 1] ^= 1;  // a build of no known release
         i.put("sim\\Aircraft\\Good\\panel\\VQT7_Boomcue.gau", module);
     },
     {{"module", "warning", "sim\\Aircraft\\Good\\panel\\VQT7_Boomcue.gau", "instead of "}}, 0},
    {"AircraftOutsideTheSimulator",
     [](const Install &i) {
         i.text("elsewhere\\Good\\panel\\panel.cfg", GOOD_PANEL);
         i.remove(GOOD_CFG);
     },
     {{"panel", "ok", "elsewhere\\Good\\panel\\panel.cfg", "gauge01=VQT7_Boomcue!VQT7_Boomcue"}}, 0, "elsewhere\\Good"},
    {"BinaryPanelCfg", [](const Install &i) { i.put("sim\\Aircraft\\Other\\panel\\panel.cfg", std::vector<uint8_t>{'[', 0, 0xFF, 0, '\n'}); },
     {{"panel", "warning", "sim\\Aircraft\\Other\\panel\\panel.cfg", "not a text file"}}, 0},
    {"NonAsciiAircraftFolder",
     [](const Install &i) {
         i.text(UNICODE_CFG, GOOD_PANEL);
         i.remove(GOOD_CFG);
     },
     {{"panel", "ok", UNICODE_CFG, "gauge01=VQT7_Boomcue!VQT7_Boomcue"}}, 0},
    {"NearMissKey", [](const Install &i) { i.panel("gauge01=VQT7_Boomcue", "guage01=VQT7_Boomcue"); },
     {{"panel", "problem", GOOD_CFG, "make the line read gauge01=VQT7_Boomcue!VQT7_Boomcue, 10, 60, 40, 40"}}, 1},
    {"SecondPanelFolderChosen",
     [](const Install &i) {
         // The file and folder names in other cases, reported as the folder spells them.
         i.text("sim\\Aircraft\\Twin\\aircraft.cfg",
                "[fltsim.0]\r\ntitle=Twin\r\npanel=\r\n\r\n[fltsim.1]\r\ntitle=Twin IFR\r\npanel=\"IFR\"\r\n");
         i.text("sim\\Aircraft\\Twin\\panel\\panel.cfg", "[Window00]\ngauge00=Cessna!Clock, 0, 0\n");
         i.text("sim\\Aircraft\\Twin\\Panel.IFR\\PANEL.CFG", "[Window00]\r\ngauge00=VQT7_Boomcue!VQT7_Boomcue, 10, 60\r\n");
     },
     {{"panel", "ok", "sim\\Aircraft\\Twin\\Panel.IFR\\PANEL.CFG", "line 2 [Window00] gauge00=VQT7_Boomcue!VQT7_Boomcue"}}, 0},
    {"PanelFolderNotChosen",
     [](const Install &i) {
         i.text("sim\\Aircraft\\Good\\aircraft.cfg",
                "[fltsim.0]\ntitle=Good\npanel=\n[fltsim.1]\ntitle=Good Other\npanel=..\\Other\\panel\n");
         i.text("sim\\Aircraft\\Good\\panel.old\\panel.cfg", GOOD_PANEL);
     },
     {{"panel", "warning", "sim\\Aircraft\\Good\\panel.old\\panel.cfg", "never reads this panel.cfg"},
      {"panel", "warning", "sim\\Aircraft\\Good\\aircraft.cfg", "line 6 [fltsim.1] panel=..\\Other\\panel"}},
     0},
    {"VirtualStoreCopyOfPanel",
     [](const Install &i) {
         // An old editor run without administrator rights saved its change there.
         std::string cfg = GOOD_PANEL;
         cfg.replace(cfg.find("VQT7_Boomcue!VQT7_Boomcue, 10, 60"), 34, "VQT7_Boomcue!Boomcue, 10, 60");
         ASSERT_TRUE(write_file(i.store_copy(GOOD_CFG), cfg));
     },
     {{"panel", "warning", GOOD_CFG, "VirtualStore"},
      {"panel", "problem", std::string("@store\\") + GOOD_CFG, "holds no gauge named 'Boomcue'"}},
     1},
    {"VirtualStoreCopyOfModule",
     [](const Install &i) {
         std::string module = read_file(module_path(BOOMCUE_FILE));
         module[module.size() - 1] ^= 1;  // a build of no known release
         ASSERT_TRUE(write_file(i.store_copy("sim\\Gauges\\VQT7_Boomcue.gau"), module));
     },
     {{"module", "warning", "sim\\Gauges\\VQT7_Boomcue.gau", "VirtualStore"},
      {"module", "warning", "@store\\sim\\Gauges\\VQT7_Boomcue.gau", "no release this checker knows"}},
     0},
};

class GaugeCheckInstall : public ::testing::TestWithParam<Case> {};

TEST_P(GaugeCheckInstall, EachFaultGivesExactlyItsFindings)
{
    const Case &c = GetParam();
    Install install{install_root(c.name)};
    build_good_install(install);
    c.plant(install);
    std::string arguments = "--json \"" + install.at("sim") + "\"";
    if (*c.extra_folder)
        arguments += " --aircraft \"" + install.at(c.extra_folder) + "\"";
    CheckRun run = run_gaugecheck(install.root, arguments);

    EXPECT_EQ(run.exit_code, c.exit_code) << run.out << run.err;
    EXPECT_EQ(run.out.find('\r'), std::string::npos) << "plain line feeds";
    ASSERT_FALSE(run.records.empty()) << run.err;
    std::vector<bool> matched(c.findings.size());
    for (const json &record : run.records) {
        if (record.value("check", "") == "summary")
            continue;
        std::string status = record.value("status", ""), file = record.value("file", "");
        EXPECT_EQ(record.contains("fix"), status != "ok") << record.dump();
        bool expected = false;
        for (size_t i = 0; i < c.findings.size(); ++i) {
            const Expected &want = c.findings[i];
            if (record.value("check", "") == want.check && status == want.status && file == install.where(want.file) &&
                (record.value("message", "") + " " + record.value("fix", "")).find(want.message_part) != std::string::npos)
                expected = matched[i] = true;
        }
        EXPECT_TRUE(expected || status == "ok") << "unexpected: " << record.dump();
    }
    for (size_t i = 0; i < c.findings.size(); ++i)
        EXPECT_TRUE(matched[i]) << "missing: " << c.findings[i].check << " " << c.findings[i].status << " "
                                << c.findings[i].file << " \"" << c.findings[i].message_part << "\"\n"
                                << run.out;
    const json &summary = run.records.back();
    EXPECT_EQ(summary.value("check", ""), "summary");
    EXPECT_EQ(summary.value("problems", -1) > 0, c.exit_code == 1);
}

INSTANTIATE_TEST_SUITE_P(Faults, GaugeCheckInstall, ::testing::ValuesIn(CASES),
                         [](const ::testing::TestParamInfo<Case> &info) { return std::string(info.param.name); });

// A sound whose header is sound but whose data no codec decodes, 1.5 GB of it (sparse where the
// file system can): called undecodable as soon as a small one is, not after every byte is fed
// to the codec (33 s, before the probe was bounded).
TEST(GaugeCheckSounds, HugeUndecodableSoundIsJudgedAtOnce)
{
    Install install{install_root("HugeUndecodableSound")};
    build_good_install(install);
    const uint64_t data_bytes = 1536ull << 20;
    // MPEG layer-3, mono 22050 Hz at 16 kbit/s, which Windows' own codec takes; zeros hold no frame.
    std::vector<uint8_t> format = wave_format(0x55, 1, 22050, 0, 2000, 1);
    put_le(format, 12, 2);    // the extra bytes that follow
    put_le(format, 1, 2);     // MPEG
    put_le(format, 2, 4);     // padding off
    put_le(format, 104, 2);   // block size
    put_le(format, 1, 2);     // frames a block
    put_le(format, 1393, 2);  // codec delay
    std::vector<uint8_t> start = riff({{"fmt ", format}, {"data", std::vector<uint8_t>(4096)}});
    const size_t data_size_at = 12 + 8 + format.size() + 4;
    uint32_t sizes[2] = {(uint32_t)(data_size_at + 4 + data_bytes - 8), (uint32_t)data_bytes};  // RIFF's counts from byte 8
    memcpy(&start[4], &sizes[0], 4);
    memcpy(&start[data_size_at], &sizes[1], 4);
    HANDLE file = CreateFileW(wide(install.at(CUE_WAV)).c_str(), GENERIC_WRITE, 0, 0, CREATE_ALWAYS, 0, 0);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    DWORD written;
    DeviceIoControl(file, FSCTL_SET_SPARSE, 0, 0, 0, 0, &written, 0);
    LARGE_INTEGER end;
    end.QuadPart = (LONGLONG)(data_size_at + 4 + data_bytes);
    bool made = WriteFile(file, start.data(), (DWORD)start.size(), &written, 0) && SetFilePointerEx(file, end, 0, FILE_BEGIN) &&
                SetEndOfFile(file);
    CloseHandle(file);
    ASSERT_TRUE(made);

    ULONGLONG started = GetTickCount64();
    CheckRun run = run_gaugecheck(install.root, "--json \"" + install.at("sim") + "\"");
    ULONGLONG took = GetTickCount64() - started;
    DeleteFileW(wide(install.at(CUE_WAV)).c_str());
    bool judged = false;
    for (const json &record : run.records)
        judged = judged || (record.value("check", "") == "sound_file" && record.value("status", "") == "problem" &&
                            record.value("file", "") == install.at(CUE_WAV));
    EXPECT_TRUE(judged) << run.out;
    // Wine's process start alone takes a good part of a second; reading it all took 33.
    EXPECT_LT(took, 5000u) << "gaugecheck took " << took << " ms";
}

TEST(GaugeCheckCommandLine, BadInputIsOneClearLineAndExitTwo)
{
    std::string root = install_root("CommandLine");
    make_folders(root + "\\not_a_sim");
    struct {
        std::string arguments, message;
    } cases[] = {
        {"\"" + root + "\\not_a_sim\"", "is not the simulator's folder: it has no fs9.exe"},
        {"--frobnicate", "unknown option '--frobnicate'"},
        {"--aircraft", "--aircraft expects an aircraft folder"},
    };
    for (const auto &c : cases) {
        CheckRun run = run_gaugecheck(root, c.arguments);
        EXPECT_EQ(run.exit_code, 2u) << c.arguments;
        EXPECT_NE(run.err.find(c.message), std::string::npos) << c.arguments << ": " << run.err;
        EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
        EXPECT_TRUE(run.out.empty()) << run.out;
    }
}

}  // namespace
