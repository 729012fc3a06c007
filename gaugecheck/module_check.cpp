// Check 1: which copy of each gauge module the simulator takes (a panel's own folder before
// Gauges\), whether it can load it at all, and which release it is, by SHA-256.
#include <set>

#include "checks.h"
#include "folders.h"
#include "pe_file.h"
#include "release_sums.h"
#include "virtual_store.h"

namespace gaugecheck {

// What one copy of a module is. `problem` set: the simulator cannot use it.
struct CopyVerdict {
    std::string problem;
    std::string release;  // the release whose sum it matches; empty for an unknown build
    bool current = false;
    std::string sha256;
};

static CopyVerdict judge_copy(const std::string &path, const std::string &gauge_name)
{
    CopyVerdict verdict;
    PeFacts facts;
    std::string reason;
    if (!read_pe_facts(path, facts, reason))
        verdict.problem = "cannot be read: " + reason;
    else if (!facts.is_pe)
        verdict.problem = "is not a Windows library at all";
    else if (!facts.is_32bit)
        verdict.problem = "is not a 32-bit x86 library, and the simulator is a 32-bit program";
    else if (!facts.is_dll)
        verdict.problem = "is a program, not a library";
    else if (!has_export(facts, "Linkage"))
        verdict.problem = "does not export Linkage, so the simulator finds no gauge in it";
    verdict.sha256 = facts.sha256;
    if (const panelcfg::ReleasedFile *known = panelcfg::release_of(KNOWN_MODULES, gauge_name + ".gau", facts.sha256)) {
        verdict.release = known->version;
        verdict.current = verdict.release == CURRENT_RELEASE;
    }
    return verdict;
}

static std::string release_text(const CopyVerdict &verdict)
{
    if (verdict.current)
        return std::string("release ") + CURRENT_RELEASE + ", the current one";
    if (!verdict.release.empty())
        return "release " + verdict.release + ", older than the current " + CURRENT_RELEASE;
    return "a build of no release this checker knows (SHA-256 " + verdict.sha256.substr(0, 16) + "...)";
}

static std::string replace_fix(const std::string &gauge_name, const std::string &folder)
{
    return "copy " + gauge_name + ".gau from the Gauges folder of the VQT7 " + CURRENT_RELEASE + " zip into " +
           folder;
}

static size_t panel_count(const std::vector<const ModuleUse *> &users)
{
    std::set<std::string> panels;
    for (const ModuleUse *use : users)
        panels.insert(path_key(use->panel_cfg));
    return panels.size();
}

// The copy the simulator loads for `path`: Windows' VirtualStore copy when it made one, which a
// warning names beside the file itself, else the file.
static std::string loaded_copy(const toolbox::VirtualStore &store, const std::string &path, Findings &findings)
{
    std::string copy = store.copy_of(path);
    if (copy.empty())
        return path;
    findings.warning("module", path,
                     "the simulator loads " + copy + " in place of this file: Windows keeps that copy in its " +
                         "VirtualStore since a program without administrator rights wrote the module here",
                     "delete " + copy + " so that the simulator loads this file, or keep that copy this release's "
                     "(Tools\\gaugeinstall.exe replaces an older release there)");
    return copy;
}

static void check_gauges_copy(const std::string &sim_folder, const toolbox::VirtualStore &store,
                              const std::string &gauge_name, const std::vector<const ModuleUse *> &users,
                              const std::vector<const ModuleUse *> &all_uses, Findings &findings)
{
    std::string gauges = join_path(sim_folder, "Gauges");
    std::string path = loaded_copy(store, join_path(gauges, gauge_name + ".gau"), findings);
    if (!is_file(path)) {
        if (!users.empty())
            findings.problem("module", path,
                             "missing, and " + users.front()->panel_cfg + " uses it (" +
                                 std::to_string(panel_count(users)) + " panel.cfg file(s) in all) without a copy in its own folder",
                             replace_fix(gauge_name, gauges));
        else if (all_uses.empty())
            findings.warning("module", path, "not installed, and no panel.cfg uses it",
                             replace_fix(gauge_name, gauges) + " and add its line to a panel.cfg (READ-ME, section 2)");
        return;
    }
    CopyVerdict verdict = judge_copy(path, gauge_name);
    if (!verdict.problem.empty())
        findings.problem("module", path, "the simulator cannot use it: it " + verdict.problem,
                         replace_fix(gauge_name, gauges));
    else if (!verdict.current)
        findings.warning("module", path, release_text(verdict), replace_fix(gauge_name, gauges));
    else if (all_uses.empty())
        findings.warning("module", path, release_text(verdict) + "; but no panel.cfg uses it",
                         "add its line to the aircraft's panel.cfg (READ-ME, section 2)");
    else if (users.empty())
        findings.ok("module", path, release_text(verdict) + "; every panel that uses it has a copy of its own");
    else
        findings.ok("module", path, release_text(verdict) + "; used by " + std::to_string(panel_count(users)) +
                                        " panel.cfg file(s)");
}

static void check_panel_copy(const std::string &sim_folder, const toolbox::VirtualStore &store,
                             const std::string &gauge_name, const ModuleUse &use, Findings &findings)
{
    std::string path = loaded_copy(store, join_path(use.panel_folder, gauge_name + ".gau"), findings);
    std::string gauges_copy = store.effective(join_path(join_path(sim_folder, "Gauges"), gauge_name + ".gau"));
    CopyVerdict verdict = judge_copy(path, gauge_name);
    if (!verdict.problem.empty()) {
        findings.problem("module", path,
                         "the simulator takes this copy for " + use.panel_cfg + " but cannot use it: it " +
                             verdict.problem,
                         "delete it, so that the simulator takes " + gauges_copy + ", or " +
                             replace_fix(gauge_name, use.panel_folder));
        return;
    }
    std::string taken = "the simulator takes this copy for " + use.panel_cfg;
    if (verdict.current) {
        findings.ok("module", path, release_text(verdict) + "; " + taken);
        return;
    }
    std::string shadowed;
    if (is_file(gauges_copy)) {
        CopyVerdict other = judge_copy(gauges_copy, gauge_name);
        shadowed = ", instead of " + gauges_copy + " (" +
                   (other.problem.empty() ? release_text(other) : "unusable: it " + other.problem) + ")";
    }
    findings.warning("module", path, release_text(verdict) + "; " + taken + shadowed,
                     "delete it, so that the simulator takes the one in Gauges, or " +
                         replace_fix(gauge_name, use.panel_folder));
}

void check_modules(const std::string &sim_folder, const std::vector<ModuleUse> &uses, Findings &findings)
{
    toolbox::VirtualStore store(sim_folder);
    for (const ReleaseGauge &gauge : RELEASE_GAUGES) {
        const std::string gauge_name = gauge.name;
        // Each panel folder once: two panel.cfg files can share a folder's copy.
        std::vector<const ModuleUse *> all_uses, from_gauges;
        std::set<std::string> panel_folders_seen;
        std::vector<const ModuleUse *> from_panel_folders;
        for (const ModuleUse &use : uses) {
            if (use.gauge_name != gauge_name)
                continue;
            all_uses.push_back(&use);
            if (!is_file(store.effective(join_path(use.panel_folder, use.gauge_name + ".gau"))))
                from_gauges.push_back(&use);
            else if (panel_folders_seen.insert(path_key(use.panel_folder)).second)
                from_panel_folders.push_back(&use);
        }
        check_gauges_copy(sim_folder, store, gauge_name, from_gauges, all_uses, findings);
        for (const ModuleUse *use : from_panel_folders)
            check_panel_copy(sim_folder, store, gauge_name, *use, findings);
    }
}

}  // namespace gaugecheck
