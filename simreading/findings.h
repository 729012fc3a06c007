// What a check finds, one line of the checklist each: gaugecheck prints them, and gaugeinstall
// prints the ones its verify step finds, as text or as one JSON schema (gaugecheck's report).
#pragma once

#include <string>
#include <vector>

namespace simreading {

enum class Status { ok, warning, problem };

// `file` is the full path the finding concerns (the path expected when the file is missing);
// `fix` says what to do and is empty for ok.
struct Finding {
    std::string check;  // "module", "sound_library", "sound_file", "panel"
    Status status;
    std::string file;
    std::string message;
    std::string fix;
};

struct Findings {
    std::vector<Finding> list;
    void ok(const char *check, const std::string &file, const std::string &message)
    {
        list.push_back({check, Status::ok, file, message, std::string()});
    }
    void warning(const char *check, const std::string &file, const std::string &message, const std::string &fix)
    {
        list.push_back({check, Status::warning, file, message, fix});
    }
    void problem(const char *check, const std::string &file, const std::string &message, const std::string &fix)
    {
        list.push_back({check, Status::problem, file, message, fix});
    }
    int count(Status status) const
    {
        int count = 0;
        for (const Finding &finding : list)
            count += finding.status == status;
        return count;
    }
};

// A panel that takes a module: the simulator looks in the panel's own folder first.
struct ModuleUse {
    std::string gauge_name;    // a name of panelcfg::RELEASE_GAUGES
    std::string panel_folder;  // the folder of the panel.cfg that holds the line
    std::string panel_cfg;
};

}  // namespace simreading
