// Fake installs for gaugecheck.exe: a simulator folder with an empty fs9.exe, the built modules,
// a stand-in sound library made to look like a third party's, generated WAV files and a panel.cfg
// of our own; gaugecheck run on one, its JSON records read.
#pragma once

#include <stdint.h>

#include <nlohmann/json.hpp>

#include <string>
#include <vector>

#include "files_and_programs.h"
#include "test_support.h"
#include "toolbox.h"

namespace test_support {

// Half a second of a 440 Hz tone, 16-bit PCM mono.
std::vector<uint8_t> pcm_wave();

// IMA ADPCM, 256-byte blocks of 505 samples: each block a zero predictor and step, then nibbles.
std::vector<uint8_t> adpcm_wave();

// MPEG layer-3 format whose data holds no frame at all: the system's codec opens for the
// format and then finds nothing in the bytes to decode.
std::vector<uint8_t> undecodable_mp3_wave();

// Replaces every copy of `from` by `to` (same length); the count of copies replaced.
int replace_bytes(std::string &bytes, const std::string &from, const std::string &to);

// ASCII text as UTF-16LE bytes, as a version record holds it.
std::string utf16(const char *text);

// A stand-in variant turned into what a third party's library looks like: without the
// journal export and without the version record's "stand-in" (both renamed in place).
std::string third_party_library(const char *variant);

// The machine field and the optional header's magic of an x86-64 library.
std::string as_64bit(std::string bytes);

inline constexpr char GOOD_PANEL[] =
    "// the Good aircraft\n[Window Titles]\nWindow00=Main Panel\nWindow01=GPS\n\n"
    "[Window00]\ngauge00=Cessna!Airspeed, 10, 10\ngauge01=VQT7_Boomcue!VQT7_Boomcue, 10, 60, 40, 40\n"
    "gauge02=vqt7_drag_drone!VQT7_DRAG_DRONE, 0, 0, 1, 1 ; out of sight\n\n"
    "[Window01]\ngauge00=GPS!GPS_500, 0, 0\n\n[Vcockpit01]\ngauge00=VQT7_Boomcue!VQT7_Boomcue, 10, 10\n";
inline constexpr char GOOD_CFG[] = "sim\\Aircraft\\Good\\panel\\panel.cfg";

// One fake install under `root`: `sim` the simulator's folder, `system` what gaugecheck is told
// is the system folder. Paths in cases are relative to `root`.
struct Install {
    std::string root;
    std::string at(const std::string &relative) const { return root + "\\" + relative; }
    void put(const std::string &relative, const std::vector<uint8_t> &bytes) const
    {
        ASSERT_TRUE(write_file(at(relative), bytes));
    }
    void put(const std::string &relative, const std::string &bytes) const { ASSERT_TRUE(write_file(at(relative), bytes)); }
    void text(const std::string &relative, const std::string &content) const { put(relative, content); }
    void remove(const std::string &relative) const { DeleteFileW(toolbox::widen(at(relative)).c_str()); }
    // Where Windows' VirtualStore (the test's "store" folder) keeps its copy of a file of the
    // install: the store, then the file's full path without its drive. A relative path of
    // "@store\\..." in a case names such a copy.
    std::string store_copy(const std::string &relative) const { return at("store") + at(relative).substr(2); }
    std::string where(const std::string &relative) const
    {
        return relative.rfind("@store\\", 0) == 0 ? store_copy(relative.substr(7)) : at(relative);
    }
    void panel(const std::string &from, const std::string &to) const
    {
        std::string cfg = GOOD_PANEL;
        cfg.replace(cfg.find(from), from.size(), to);
        text(GOOD_CFG, cfg);
    }
};

void build_good_install(const Install &install);

struct CheckRun : ProgramRun {
    std::vector<nlohmann::json> records;
};

// Runs gaugecheck.exe on the install under `root`, told that `root`\system is the system
// folder; its output stays beside the install. Each line of its output must be a JSON record.
CheckRun run_gaugecheck(const std::string &root, const std::string &arguments);

// Each case's install stays in the build folder until the next run, for bin/gaugecheck to show:
//   bin/gaugecheck build/gaugecheck-installs/WrongGaugeName/sim
std::string install_root(const std::string &name);

}  // namespace test_support
