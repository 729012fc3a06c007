// The lines of a panel.cfg that place gauges, and what a gauge line that means one of our
// modules says: whether the simulator will load it, and the line as it should read.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include <stdint.h>

#include "panel_document.h"
#include "release_resources.h"

namespace panelcfg {

// Our modules and sounds are a few hundred KB; a file of one of their names that is far larger is
// none of ours, and no tool reads it whole to find out.
inline constexpr uint64_t LARGEST_FILE_OF_OURS = 4u << 20;
// The size a gauge is given when a line is written.
struct GaugeSize {
    int width, height;
};

// What this release ships, one row a gauge: a third gauge is one more row here (and its files in
// the build). Every tool takes the gauges, their modules and their sounds from this table.
struct ReleaseGauge {
    const char *name;         // the gauge's name, and its module's: NAME.gau holds the gauge NAME
    const char *module_file;  // in Gauges\ or a panel's folder
    const char *sound_file;   // the sound it plays, relative to the simulator's folder
    GaugeSize size;           // in a panel line: the cue's readout at its own 40 x 40, the drag
                              // cue's black face 1 x 1, out of sight
    int module_resource;      // gaugeinstall.exe's RCDATA numbers (release_resources.h)
    int sound_resource;
};
inline constexpr ReleaseGauge RELEASE_GAUGES[] = {
    {"VQT7_Boomcue", "VQT7_Boomcue.gau", "sound\\QX\\Supersonic.wav", {40, 40}, BOOMCUE_MODULE_RESOURCE,
     SUPERSONIC_SOUND_RESOURCE},
    {"VQT7_Drag_Drone", "VQT7_Drag_Drone.gau", "sound\\QX\\Speed_Brake.wav", {1, 1}, DRAG_DRONE_MODULE_RESOURCE,
     SPEED_BRAKE_SOUND_RESOURCE},
};
inline constexpr int GAUGE_COUNT = (int)(sizeof RELEASE_GAUGES / sizeof RELEASE_GAUGES[0]);

// 3 -> "03", 12 -> "12", 123 -> "123": as gaugeNN keys and window names number themselves.
std::string two_digits(int number);

// "Window03" -> window 3; "VCockpit01", "Vcockpit06" -> vcockpit 1, 6. Up to four digits.
enum class WindowKind { none, window, vcockpit };
struct WindowId {
    WindowKind kind = WindowKind::none;
    int number = -1;
};
WindowId window_of(std::string_view section_name);

// "gauge07" (any case) is exact; a key that nearly reads so ("guage07", "gauge 07", "gage07",
// "Gauge_07") is a near miss, which the simulator skips. `number` is -1 without digits.
//
// The rule: exact is "gauge" and one to four digits, nothing else. Otherwise the trailing
// digits are taken off, then any spaces, tabs, underscores and hyphens before them; what is
// left (lower case) is a near miss when it starts with 'g' and is within two edits (insert,
// delete, change) of "gauge": "guage07", "gage07", "gauges07", and "gauge" itself when it was
// separated from its digits ("gauge 07", "Gauge_07"), has none ("gauge") or has five or more
// ("gauge00007", number -1). Keys such as "image", "range", "page07" and "size_mm" are neither.
enum class KeyKind { none, exact, near_miss };
struct GaugeKey {
    KeyKind kind = KeyKind::none;
    int number = -1;
};
GaugeKey read_gauge_key(std::string_view key);
// Why the simulator passes over a line with a near-miss key, for a user.
std::string near_miss_problem(std::string_view key);

// What a gauge line's value says about our modules.
struct GaugeLineVerdict {
    bool ours = false;          // names one of our modules or gauges, or nearly
    int gauge = -1;             // index in RELEASE_GAUGES of the gauge it means
    bool module_exact = false;  // the module part names it exactly (the simulator will load it)
    bool placed = false;        // x, y[, width[, height]] in whole numbers follow the names
    std::string problem;        // empty when the value is right
    std::string right_value;    // the value as it should read ("VQT7_Boomcue!VQT7_Boomcue, 10, 60, 40, 40")
};
GaugeLineVerdict judge_gauge_value(std::string_view value);

// Whether a value's module part, after any folder and without ".gau", is one of our modules
// (case-insensitive): the lines an uninstall takes out.
bool names_our_module(std::string_view value);
// The index in RELEASE_GAUGES of the module a value's module part names so; -1 for any other.
int our_module(std::string_view value);

// Every entry with an exact or near-miss gauge key in a [WindowNN] or [VcockpitNN] section,
// in file order.
struct GaugeLine {
    int line = 0;     // index in Document::lines
    int section = 0;  // index in Document::sections
    WindowId window;
    GaugeKey key;
    GaugeLineVerdict verdict;
};
std::vector<GaugeLine> gauge_lines(const Document &document);

// The [fltsim] alias= entry: the panel hands the aircraft to another aircraft's panel folder,
// named relative to the simulator's Aircraft folder. `line` is -1 when there is none; `target`
// is the value with quotes taken off and '/' made '\'.
struct Alias {
    int line = -1;
    std::string target;
};
Alias find_alias(const Document &document);

}  // namespace panelcfg
