// Running gaugeinstall.exe from a test, as a user runs it: a fake simulator folder for each case
// (an empty fs9.exe, an Aircraft folder with panel.cfg files of our own in the shapes real ones
// have), and the program's output in files there.
#pragma once

#include <nlohmann/json.hpp>

#include <string>
#include <vector>

#include "files_and_programs.h"
#include "test_support.h"
#include "toolbox.h"

namespace test_support {

struct Sim {
    std::string root;  // the case's folder; the simulator is root\sim
    std::string at(const std::string &relative) const { return root + "\\" + relative; }
    void text(const std::string &relative, const std::string &bytes) const { ASSERT_TRUE(write_file(at(relative), bytes)); }
    std::string bytes(const std::string &relative) const { return read_file(at(relative)); }
    bool absent(const std::string &relative) const
    {
        return GetFileAttributesW(toolbox::widen(at(relative)).c_str()) == INVALID_FILE_ATTRIBUTES;
    }
};

// A fresh simulator folder for the case, left in the build folder for bin/gaugeinstall to try:
//   bin/gaugeinstall --dry-run build/gaugeinstall-cases/Crlf/sim Skylane
Sim fresh_sim(const std::string &name);

struct InstallRun : ProgramRun {
    std::vector<nlohmann::json> records;  // with --json
};

// Runs gaugeinstall.exe on the case, with the case's own system folder and VirtualStore;
// with --json, its records parsed.
InstallRun run_gaugeinstall(const Sim &sim, const std::string &arguments, const std::string *input = nullptr,
                            const std::string &folder = std::string());

// How many times `part` occurs in `text`.
int count_of(const std::string &text, const std::string &part);

// A realistic 2D panel with a virtual cockpit, CRLF as Notepad saves it, and the exact bytes an
// install must make of it.
inline constexpr char SKYLANE[] =
    "// Panel of the test Skylane, written for these tests\r\n[Window Titles]\r\nWindow00=Main Panel\r\n"
    "Window01=Radio Stack\r\n\r\n[VIEWS]\r\nVIEW_FORWARD_WINDOWS=MAIN_PANEL,GPS_PANEL\r\n\r\n[Window00]\r\n"
    "file=panel_background.bmp\r\nsize_mm=1024\r\nposition=7\r\nvisible=1\r\nident=MAIN_PANEL\r\n"
    "gauge00=Skylane!Airspeed,  137, 91\r\ngauge01=Skylane!Attitude, 240,91, 105,105 // the big one\r\n"
    "gauge03=Skylane!Altimeter,345,91,105,105\r\n\r\n[Window01]\r\nsize_mm=180,270\r\ngauge00=Radio!Comm, 0, 0\r\n\r\n"
    "[Vcockpit01]\r\nfile=skylane_vc.bmp\r\nsize_mm=512,512\r\ntexture=$Skylane_VC\r\n"
    "gauge00=Skylane!Clock, 10, 10, 100, 100\r\n\r\n[Default View]\r\nX=0\r\n";
inline constexpr char SKYLANE_INSTALLED[] =
    "// Panel of the test Skylane, written for these tests\r\n[Window Titles]\r\nWindow00=Main Panel\r\n"
    "Window01=Radio Stack\r\n\r\n[VIEWS]\r\nVIEW_FORWARD_WINDOWS=MAIN_PANEL,GPS_PANEL\r\n\r\n[Window00]\r\n"
    "file=panel_background.bmp\r\nsize_mm=1024\r\nposition=7\r\nvisible=1\r\nident=MAIN_PANEL\r\n"
    "gauge00=Skylane!Airspeed,  137, 91\r\ngauge01=Skylane!Attitude, 240,91, 105,105 // the big one\r\n"
    "gauge03=Skylane!Altimeter,345,91,105,105\r\n"
    "gauge04=VQT7_Boomcue!VQT7_Boomcue, 0, 0, 40, 40\r\ngauge05=VQT7_Drag_Drone!VQT7_Drag_Drone, 0, 0, 1, 1\r\n"
    "\r\n[Window01]\r\nsize_mm=180,270\r\ngauge00=Radio!Comm, 0, 0\r\n\r\n"
    "[Vcockpit01]\r\nfile=skylane_vc.bmp\r\nsize_mm=512,512\r\ntexture=$Skylane_VC\r\n"
    "gauge00=Skylane!Clock, 10, 10, 100, 100\r\n"
    "gauge01=VQT7_Boomcue!VQT7_Boomcue, 0, 0, 40, 40\r\ngauge02=VQT7_Drag_Drone!VQT7_Drag_Drone, 0, 0, 1, 1\r\n"
    "\r\n[Default View]\r\nX=0\r\n";

}  // namespace test_support
