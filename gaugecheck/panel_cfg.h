// panel.cfg read as the simulator reads it: sections, key=value entries with comments cut, and
// what a gauge line that means one of our modules says, with the right line when it is wrong.
#pragma once

#include <stdint.h>

#include <string>
#include <vector>

namespace gaugecheck {

struct PanelEntry {
    int line;             // 1-based
    std::string section;  // as written, without brackets
    std::string key;
    std::string value;
};

// Decodes a panel.cfg's bytes to UTF-8: UTF-8 with or without a byte-order mark, else the
// system's ANSI code page. False, with a reason, for a file that is no text (NUL bytes).
bool decode_panel_text(const std::vector<uint8_t> &bytes, std::string &text, std::string &reason);

// Every key=value entry in order; "//" and ";" start comments, blank and odd lines are skipped.
std::vector<PanelEntry> parse_panel_entries(const std::string &text);

// "Window03" -> kind "window", 3; "Vcockpit01" -> "vcockpit", 1. False for other sections.
bool panel_window(const std::string &section, std::string &kind, int &number);
// "gauge07" -> 7; -1 for any other key.
int gauge_key_number(const std::string &key);

// What a gaugeNN value says about our modules.
struct GaugeLineVerdict {
    bool ours = false;          // names one of our modules or gauges, or nearly
    std::string gauge_name;     // the module it means
    bool module_exact = false;  // the module part names it exactly (the simulator will load it)
    std::string problem;        // empty when the line is right
    std::string right_value;    // the value as it should read
};
GaugeLineVerdict judge_gauge_value(const std::string &value);

std::string lower_ascii(std::string text);
std::string trim(const std::string &text);

}  // namespace gaugecheck
