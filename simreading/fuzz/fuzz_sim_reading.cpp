// libFuzzer target: the panel files of an aircraft read from a tree the input describes. The
// input is records split by "\n--\n", each a path under Aircraft\ (where "Plane" is the aircraft
// read), "=", and the file's bytes; a path after "store:" is a VirtualStore copy of that path.
// Checked: every panel found is a file the tree holds and holds no alias the chain should have
// followed; the same tree with its names in another case reads the same; and the installer and
// the checker agree: once the install's edit is made to each panel the installer finds, the
// checker finds nothing wrong with a line of ours in it, and once the uninstall's edit is made to
// every panel of the aircraft, the checker finds no line there that loads our module.
#include <stddef.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>

#include <string>
#include <string_view>

#include <set>

#include "memory_files.h"
#include "panel_check.h"
#include "panel_edit.h"
#include "sim_reading.h"

using namespace simreading;

#define require(property) \
    ((property) ? (void)0 : (fprintf(stderr, "property failed: %s (line %d)\n", #property, __LINE__), abort()))

namespace {

const std::string SIM = "C:\\FS9";
const std::string ROOT = "C:\\FS9\\Aircraft";
const std::string STORE = "C:\\Store\\FS9\\Aircraft";

// ASCII letters' case turned over, so that every name differs from the first tree's in case.
std::string other_case(std::string_view text)
{
    std::string turned(text);
    for (char &c : turned)
        if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'))
            c ^= 0x20;
    return turned;
}

MemoryFiles tree_of(std::string_view input, bool turned)
{
    MemoryFiles files;
    files.add_folder(ROOT);
    size_t start = 0;
    while (start <= input.size()) {
        size_t stop = input.find("\n--\n", start);
        std::string_view record = input.substr(start, stop == std::string_view::npos ? std::string_view::npos : stop - start);
        size_t equals = record.find('=');
        if (equals != std::string_view::npos && equals > 0 && equals < 200) {
            std::string path(record.substr(0, equals));
            std::string bytes(record.substr(equals + 1));
            bool copy = path.compare(0, 6, "store:") == 0;
            if (copy)
                path.erase(0, 6);
            if (turned)
                path = other_case(path);
            if (copy) {
                files.add_file(STORE + "\\" + path, bytes);
                files.add_copy(ROOT + "\\" + path, STORE + "\\" + path);
            } else {
                files.add_file(ROOT + "\\" + path, bytes);
            }
        }
        if (stop == std::string_view::npos)
            break;
        start = stop + 4;
    }
    return files;
}

// A finding about a line meaning our gauges: its message quotes the line.
bool about_our_line(const Finding &finding)
{
    return panelcfg::lower_ascii(finding.message).find("vqt7_") != std::string::npos;
}

// The install fixes a line that nearly means our gauge where it stands, in any window; where the
// user put it in a window the simulator never creates, the checker rightly says so before and
// after. The install's own lines go only into windows the simulator creates.
bool in_a_window_never_created(const Finding &finding)
{
    return finding.message.find("the simulator never creates this window") != std::string::npos;
}

// Each of `paths` (as the simulator reads them) with `edit` made to it; false when the installer
// would refuse one (not text, or a panel that cannot take the gauges).
template <typename Edit>
bool edited(MemoryFiles &files, const std::set<std::string> &paths, Edit edit)
{
    for (const std::string &path : paths) {
        CfgFile cfg;
        std::string reason;
        if (read_cfg(files, path, cfg, reason) != CfgRead::ok)
            return false;
        panelcfg::PanelEdit change = edit(cfg.document);
        if (!change.refused.empty())
            return false;
        files.add_file(path, change.bytes);
    }
    return true;
}

void check_tools_agree(const MemoryFiles &files, const AircraftPanels &panels)
{
    if (!panels.problem.empty())
        return;  // the installer refuses the aircraft
    std::set<std::string> installed;
    for (const PanelFile &file : panels.panels)
        installed.insert(file.read_path);
    MemoryFiles after = files;
    if (edited(after, installed, [](const panelcfg::Document &d) { return panelcfg::plan_install(d, {}); })) {
        Findings findings;
        check_panels(after, SIM, {}, findings);
        for (const Finding &finding : findings.list)
            if (finding.status == Status::problem && installed.count(finding.file) && about_our_line(finding) &&
                !in_a_window_never_created(finding)) {
                fprintf(stderr, "after the install, the checker says of %s: %s\n", finding.file.c_str(),
                        finding.message.c_str());
                abort();
            }
    }

    // The uninstall edits every panel*\panel.cfg of the aircraft and every file its chains reach.
    std::set<std::string> removed = installed;
    std::vector<std::string> folders;
    std::string reason;
    list_subfolders(files, ROOT + "\\Plane", "panel", folders, reason);
    for (const std::string &folder : folders) {
        PanelFile file;
        if (find_panel_cfg(files, join_path(ROOT + "\\Plane", folder), file))
            removed.insert(file.read_path);
    }
    after = files;
    if (edited(after, removed, [](const panelcfg::Document &d) { return panelcfg::plan_uninstall(d); })) {
        // The checker's uses are the lines whose module part names one of our modules: the lines
        // the simulator would load our module for.
        Findings findings;
        for (const ModuleUse &use : check_panels(after, SIM, {}, findings))
            if (removed.count(use.panel_cfg)) {
                fprintf(stderr, "after the uninstall, the checker still reads %s in %s\n", use.gauge_name.c_str(),
                        use.panel_cfg.c_str());
                abort();
            }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size > 64 * 1024)
        return 0;
    std::string_view input((const char *)data, size);
    MemoryFiles files = tree_of(input, false);
    AircraftPanels panels = panels_of(files, ROOT, ROOT + "\\Plane");
    require(!panels.problem.empty() || !panels.panels.empty());  // no panel is a problem named
    for (const PanelFile &file : panels.panels) {
        // The file exists and ends its chain: no alias in it leads anywhere further.
        std::string bytes, reason;
        require(files.read(file.read_path, panelcfg::TEXT_LIMIT, bytes, reason));
        CfgFile cfg;
        if (read_cfg(files, file.read_path, cfg, reason) == CfgRead::ok)
            require(follow_alias(files, ROOT, cfg).kind == AliasKind::none);
    }

    // Windows compares names without case: the same tree spelled otherwise reads the same files.
    MemoryFiles turned = tree_of(input, true);
    AircraftPanels again = panels_of(turned, ROOT, ROOT + "\\Plane");
    check_tools_agree(files, panels);
    require(again.problem.empty() == panels.problem.empty());
    require(again.panels.size() == panels.panels.size());
    for (size_t i = 0; i < panels.panels.size() && i < again.panels.size(); ++i)
        require(MemoryFiles::key(again.panels[i].read_path) == MemoryFiles::key(panels.panels[i].read_path));
    return 0;
}
