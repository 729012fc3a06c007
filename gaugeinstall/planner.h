// The planner both plans share: the steps and file changes it gathers, and the reading of the
// files it decides about. Within gaugeinstall only.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "cfg_file.h"
#include "install_plan.h"

namespace gaugeinstall {

// A panel.cfg read and parsed, its text shown in UTF-8 whatever its encoding.
struct ReadPanel {
    PanelFile file;
    gaugecheck::CfgFile cfg;
    const std::string &bytes() const { return cfg.document.bytes; }
    const panelcfg::Document &document() const { return cfg.document; }
    std::string utf8(std::string_view text) const { return cfg.shown(text); }
};

bool read_panel(const PanelFile &file, ReadPanel &panel, std::string &reason);
bool read_our_file(const std::string &path, std::string &bytes, std::string &reason);
// The release a module's bytes belong to, by SHA-256; empty for none the payload knows.
std::string module_release(const Payload &payload, int gauge, const std::string &bytes);
std::string module_file(int gauge);
std::string section_text(const std::string &section);

struct Planner {
    const SimFolder &sim;
    const Payload &payload;
    Plan plan;
    // Reported in this order: the files of the simulator's folder, then each panel.cfg.
    std::vector<Step> file_steps, panel_steps;
    std::vector<FileChange> module_changes, backup_changes, panel_changes;

    void step(std::vector<Step> &into, Action action, const std::string &file, const std::string &message,
              int line = 0, const std::string &text = std::string())
    {
        into.push_back({action, file, line, text, message});
    }
    void refuse(const std::string &file, const std::string &message) { step(file_steps, Action::refuse, file, message); }

    // An existing module copy: this release's is kept, an older release's replaced, anything else
    // stops the run, since it could be another add-on's file of the same name.
    void judge_module(int gauge, const std::string &path, const std::string &where);

    // The sound that `gauge` plays.
    void place_sound(int gauge);

    void note_virtual_store(const PanelFile &file);

    // Made once, before the file's first change by gaugeinstall, and never overwritten.
    void back_up(const ReadPanel &panel);

    void change_panel(const ReadPanel &panel, const panelcfg::PanelEdit &edit);

    void report_lines(const ReadPanel &panel, const panelcfg::PanelEdit &edit);

    Plan finish();
};

}  // namespace gaugeinstall
