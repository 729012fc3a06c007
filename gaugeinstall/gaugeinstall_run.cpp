// The run: read the command line, find the simulator and the aircraft, plan, show, check, apply,
// verify. Started without arguments it asks which aircraft and asks again before it changes
// anything.
#include "gaugeinstall_run.h"

#include <stdio.h>

#include <set>

#include "checks.h"
#include "folders.h"
#include "install_options.h"
#include "install_plan.h"
#include "install_report.h"
#include "release_sums.h"
#include "sim_folder.h"
#include "replace_file.h"
#include "sim_panels.h"
#include "toolbox.h"

namespace gaugeinstall {

using toolbox::Stream;

namespace {

std::string counted(int count, const char *what)
{
    return std::to_string(count) + " " + what + (count == 1 ? "" : "s");
}

struct Run {
    Console &console;
    const Payload &payload;
    FaultPlan *faults;
    bool json = false;

    void out(const std::string &line) { console.line(Stream::out, line); }
    int usage_error(const std::string &message)
    {
        console.line(Stream::err, "gaugeinstall: " + message);
        return EXIT_USAGE;
    }

    // The run's last line. Why nothing changed goes to stderr, so that it shows on the console when
    // stdout goes to a file; with --json the record stays on stdout, and stderr has the plain line.
    int finish(const Plan &plan, Outcome outcome, bool uninstall, const std::string &message)
    {
        bool not_done = outcome == Outcome::refused || outcome == Outcome::failed;
        if (json || !not_done)
            out(summary_line({outcome, uninstall, &plan, message}, json));
        if (not_done)
            console.line(Stream::err, summary_line({outcome, uninstall, &plan, message}, false));
        return not_done ? EXIT_NOT_DONE : EXIT_DONE;
    }

    void verify(const SimFolder &sim, const std::vector<std::string> &outside)
    {
        for (const std::string &line : verdict_lines(gaugecheck::check_install(sim.path(), outside), json))
            out(line);
    }

    // Removes the temporaries that a run of ours, killed partway, left in the folders this run
    // works in (each aircraft's folder and panel folders, every folder the plan changes, Gauges and
    // sound\QX), and says so. Every aircraft's, where none is named.
    void remove_leftovers(const SimFolder &sim, std::vector<std::string> aircraft, const Plan &plan)
    {
        using gaugecheck::join_path;
        using gaugecheck::parent_folder;
        if (aircraft.empty())
            for (const std::string &name : sim.aircraft_names())
                aircraft.push_back(join_path(sim.aircraft_root(), name));
        std::vector<std::string> folders = {join_path(sim.path(), "Gauges"), join_path(sim.path(), "sound\\QX")};
        for (const std::string &folder : aircraft) {
            folders.push_back(folder);
            for (const PanelFile &file : sim.every_panel_file(folder))
                folders.push_back(parent_folder(file.path));
            for (const PanelFile &file : sim.panels_of(folder).panels)
                folders.push_back(parent_folder(file.path));
        }
        for (const FileChange &change : plan.changes)
            folders.push_back(parent_folder(change.path));
        std::vector<std::string> once;
        std::set<std::string> seen;
        for (const std::string &folder : folders)
            if (seen.insert(gaugecheck::path_key(folder)).second)
                once.push_back(folder);
        for (const std::string &path : toolbox::remove_temporaries(once))
            out(step_line({Action::note, path, 0, std::string(),
                           "removed: a temporary file that an earlier gaugeinstall run left when it was stopped"},
                          json));
    }

    // A change that cannot be made now: its refuse line, and nothing was changed.
    int refuse_change(const Plan &plan, bool uninstall, const ChangeProblem &problem)
    {
        out(step_line({Action::refuse, problem.file, 0, std::string(), problem.what}, json));
        return finish(plan, Outcome::refused, uninstall, "Nothing was changed: " + problem.file + ": " + problem.what);
    }

    // Shows the plan, then (unless it is a dry run or refused) checks and makes every change.
    // `confirm` asks before anything changes, in an interactive run. Before that, the temporaries
    // of an earlier, killed run in `aircraft`'s folders are removed, except in a dry run.
    int carry_out(const SimFolder &sim, const Plan &plan, bool uninstall, bool dry_run,
                  const std::vector<std::string> &aircraft, const std::vector<std::string> &outside,
                  bool (*confirm)(Run &) = nullptr)
    {
        if (!dry_run)
            remove_leftovers(sim, aircraft, plan);
        for (const Step &step : plan.steps)
            out(step_line(step, json));
        const char *verb = uninstall ? "uninstall" : "install";
        if (plan.refused())
            return finish(plan, Outcome::refused, uninstall,
                          std::string("Nothing was changed: the ") + verb + " needs what the refuse line" +
                              (plan.count(Action::refuse) > 1 ? "s say" : " says") + " first.");
        if (dry_run || confirm)
            for (const PanelDiff &diff : plan.diffs)
                out(diff_line(diff, json));
        std::string counts = counted(plan.count(Action::add_line), "line") + " added, " + std::to_string(plan.count(Action::fix_line)) +
                             " fixed, " + std::to_string(plan.count(Action::remove_line)) + " removed in " +
                             counted((int)plan.diffs.size(), "panel.cfg file") + "; " +
                             counted(plan.count(Action::copy), "file") + " copied, " +
                             std::to_string(plan.count(Action::replace)) + " replaced, " +
                             std::to_string(plan.count(Action::remove)) + " deleted";
        if (plan.changes.empty()) {
            if (!uninstall)
                verify(sim, outside);
            return finish(plan, Outcome::nothing_to_do, uninstall,
                          uninstall ? "Nothing to uninstall: no panel.cfg names the gauges, and no file of theirs is left to delete."
                                    : "Nothing to install: the gauges and their sounds are in place already.");
        }
        if (dry_run)
            return finish(plan, Outcome::dry_run, uninstall, "Dry run, nothing was changed. The " + std::string(verb) + " planned: " + counts + ".");
        ChangeProblem problem;
        if (!check_changes(plan.changes, problem))
            return refuse_change(plan, uninstall, problem);
        if (confirm && !confirm(*this))
            return finish(plan, Outcome::nothing_to_do, uninstall, "Nothing was changed.");
        // The answer can take minutes, in which the user may have edited a panel.cfg the plan
        // read: what the plan would write over it is looked at again.
        if (confirm && !check_changes(plan.changes, problem))
            return refuse_change(plan, uninstall, problem);
        std::string failure;
        if (!apply_changes(plan.changes, failure, faults))
            return finish(plan, Outcome::failed, uninstall, "The " + std::string(verb) + " failed: " + failure + ".");
        if (!uninstall)
            verify(sim, outside);
        return finish(plan, Outcome::done, uninstall, std::string(uninstall ? "Uninstalled" : "Installed") + ": " + counts + ".");
    }

    // The aircraft folders named on the command line, each once; those outside the simulator's
    // Aircraft folder are checked by gaugecheck too.
    bool find_aircraft(const SimFolder &sim, const std::vector<std::string> &given, std::vector<std::string> &folders,
                       std::vector<std::string> &outside, std::string &message)
    {
        for (const std::string &name : given) {
            std::string folder;
            if (!sim.find_aircraft(name, folder, message))
                return false;
            bool repeated = false;
            for (const std::string &known : folders)
                repeated = repeated || gaugecheck::same_name(known, folder);
            if (repeated)
                continue;
            folders.push_back(folder);
            if (!gaugecheck::same_name(gaugecheck::parent_folder(folder), sim.aircraft_root()))
                outside.push_back(folder);
        }
        return true;
    }

    int install(const SimFolder &sim, const std::vector<std::string> &folders, const std::vector<std::string> &outside,
                const panelcfg::InstallRequest &request, bool dry_run, bool (*confirm)(Run &) = nullptr)
    {
        std::vector<AircraftPanels> aircraft;
        for (const std::string &folder : folders)
            aircraft.push_back(sim.panels_of(folder));
        return carry_out(sim, plan_install(sim, aircraft, request, payload), false, dry_run, folders, outside, confirm);
    }

    int interactive(const std::string &dropped);
};

bool ask_to_go_ahead(Run &run)
{
    run.out("Make these changes? Type y and Enter to go ahead; Enter alone leaves everything as it is.");
    std::string answer;
    return run.console.read_line(answer) && (answer == "y" || answer == "Y" || answer == "yes" || answer == "Yes");
}

// "3", "2 5 7", "2,5" -> indexes into `names`; false when any word is no number in range.
bool chosen_numbers(const std::string &answer, size_t count, std::vector<size_t> &chosen)
{
    chosen.clear();
    std::string word;
    for (size_t i = 0; i <= answer.size(); ++i) {
        char c = i < answer.size() ? answer[i] : ' ';
        if (c != ' ' && c != ',' && c != '\t') {
            word += c;
            continue;
        }
        if (word.empty())
            continue;
        if (word.size() > 6 || word.find_first_not_of("0123456789") != std::string::npos)
            return false;
        size_t number = (size_t)atoi(word.c_str());
        if (number < 1 || number > count)
            return false;
        chosen.push_back(number - 1);
        word.clear();
    }
    return !chosen.empty();
}

int Run::interactive(const std::string &dropped)
{
    std::string sim_path, message;
    if (!gaugecheck::find_sim_folder(dropped, "gaugeinstall", sim_path, message))
        return usage_error(message);
    SimFolder sim(sim_path);
    std::vector<std::string> names = sim.aircraft_names();
    out(std::string("gaugeinstall ") + gaugecheck::CURRENT_RELEASE + ": the VQT7 gauges for the simulator in " + sim.path());
    if (names.empty()) {
        console.line(Stream::err, "gaugeinstall: no aircraft folders in " + sim.aircraft_root());
        return EXIT_NOT_DONE;
    }
    out("Aircraft in " + sim.aircraft_root() + ":");
    char number[16];
    for (size_t i = 0; i < names.size(); ++i) {
        snprintf(number, sizeof number, "%5u  ", (unsigned)(i + 1));
        out(number + names[i]);
    }
    std::vector<std::string> folders, outside;
    for (;;) {
        out("Which aircraft get the gauges? Type a number, several (2 5 7) or a folder name, then Enter:");
        std::string answer;
        if (!console.read_line(answer) || panelcfg::trim(answer).empty()) {
            out("No aircraft chosen: nothing was changed.");
            return EXIT_DONE;
        }
        answer = std::string(panelcfg::trim(answer));
        std::vector<size_t> chosen;
        std::vector<std::string> given;
        if (chosen_numbers(answer, names.size(), chosen))
            for (size_t index : chosen)
                given.push_back(names[index]);
        else
            given.push_back(answer);
        folders.clear(), outside.clear();
        if (find_aircraft(sim, given, folders, outside, message))
            break;
        out(message + ". Try again.");
    }
    return install(sim, folders, outside, panelcfg::InstallRequest(), false, ask_to_go_ahead);
}

}  // namespace

int run_gaugeinstall(const std::vector<std::string> &args, Console &console, const Payload &payload, FaultPlan *faults)
{
    Run run{console, payload, faults};
    Options options;
    std::string error;
    if (!read_options(args, options, error))
        return run.usage_error(error);
    run.json = options.json;
    if (options.mode == Mode::help) {
        std::string usage = USAGE;
        usage.pop_back();
        run.out(usage);
        return EXIT_DONE;
    }
    if (options.mode == Mode::interactive) {
        int code = run.interactive(options.sim_folder);
        run.out(std::string());
        run.out("Press Enter to close this window.");
        std::string ignored;
        console.read_line(ignored);
        return code;
    }
    std::string sim_path, message;
    if (!gaugecheck::find_sim_folder(options.sim_folder, "gaugeinstall", sim_path, message))
        return run.usage_error(message);
    SimFolder sim(sim_path);
    std::vector<std::string> folders, outside;
    if (!run.find_aircraft(sim, options.aircraft, folders, outside, message))
        return run.usage_error(message);
    if (!run.json)
        run.out(std::string("gaugeinstall ") + gaugecheck::CURRENT_RELEASE + ": " +
                (options.mode == Mode::uninstall ? "uninstalling from " : "installing into ") + sim.path() +
                (options.dry_run ? " (dry run: nothing will change)" : ""));
    if (options.mode == Mode::uninstall)
        return run.carry_out(sim, plan_uninstall(sim, folders, payload), true, options.dry_run, folders, outside);
    return run.install(sim, folders, outside, options.request, options.dry_run);
}

}  // namespace gaugeinstall
