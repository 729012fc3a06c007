// The lines gaugeinstall prints, through nlohmann's JSON for scripts.
#include "install_report.h"

#include <nlohmann/json.hpp>

#include "json_line.h"

namespace gaugeinstall {

using nlohmann::ordered_json;

std::string step_line(const Step &step, bool json)
{
    if (json) {
        ordered_json record = {{"action", action_name(step.action)}, {"file", step.file}};
        record["line"] = step.line ? ordered_json(step.line) : ordered_json(nullptr);
        record["text"] = step.text.empty() ? ordered_json(nullptr) : ordered_json(step.text);
        record["message"] = step.message;
        return toolbox::json_line(record);
    }
    std::string line = action_name(step.action);
    line.resize(12, ' ');
    line += step.file + ": ";
    if (step.line)
        line += "line " + std::to_string(step.line) + ": " + step.text + " (" + step.message + ")";
    else
        line += step.message;
    return line;
}

std::string diff_line(const PanelDiff &diff, bool json)
{
    if (json)
        return toolbox::json_line({{"action", "diff"}, {"file", diff.file}, {"line", nullptr}, {"text", diff.diff}, {"message", "the change to this panel.cfg, as a unified diff"}});
    std::string text = diff.diff;
    if (!text.empty() && text.back() == '\n')
        text.pop_back();
    return text;
}

std::vector<std::string> verdict_lines(const gaugecheck::Findings &findings, bool json)
{
    std::vector<std::string> lines;
    for (const gaugecheck::Finding &finding : findings.list) {
        if (finding.status == gaugecheck::Status::ok)
            continue;
        if (json) {
            ordered_json record = {{"action", "check"}, {"file", finding.file}, {"line", nullptr}, {"text", nullptr},
                                   {"message", finding.message}, {"status", finding.status == gaugecheck::Status::problem ? "problem" : "warning"},
                                   {"fix", finding.fix}};
            lines.push_back(toolbox::json_line(record));
        } else {
            lines.push_back(gaugecheck::finding_line(finding, false));
        }
    }
    int problems = findings.count(gaugecheck::Status::problem), warnings = findings.count(gaugecheck::Status::warning);
    if (json)
        lines.push_back(toolbox::json_line({{"action", "check_summary"}, {"problems", problems}, {"warnings", warnings},
                              {"ok", findings.count(gaugecheck::Status::ok)}}));
    else
        lines.push_back("gaugecheck: " + gaugecheck::summary_line(findings, false));
    return lines;
}

static const char *outcome_name(Outcome outcome)
{
    switch (outcome) {
    case Outcome::done: return "done";
    case Outcome::nothing_to_do: return "nothing to do";
    case Outcome::dry_run: return "dry run";
    case Outcome::refused: return "refused";
    case Outcome::failed: return "failed";
    }
    return "?";
}

std::string summary_line(const Summary &summary, bool json)
{
    const Plan &plan = *summary.plan;
    int files = 0;
    for (Action action : {Action::copy, Action::replace, Action::remove})
        files += plan.count(action);
    if (json)
        return toolbox::json_line({{"action", "summary"}, {"result", outcome_name(summary.outcome)},
                     {"mode", summary.uninstall ? "uninstall" : "install"}, {"lines_added", plan.count(Action::add_line)},
                     {"lines_fixed", plan.count(Action::fix_line)}, {"lines_removed", plan.count(Action::remove_line)},
                     {"panel_files", (int)plan.diffs.size()}, {"files", files}, {"message", summary.message}});
    return summary.message;
}

}  // namespace gaugeinstall
