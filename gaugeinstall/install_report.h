// gaugeinstall's lines: one a step, as fixed-width text for people or one JSON object for
// scripts, the diffs of a dry run, gaugecheck's verdict after an install, and the summary last.
#pragma once

#include <string>
#include <vector>

#include "checks.h"
#include "install_plan.h"

namespace gaugeinstall {

std::string step_line(const Step &step, bool json);
std::string diff_line(const PanelDiff &diff, bool json);  // several lines in text

// gaugecheck's problems and warnings, each a line, and its summary.
std::vector<std::string> verdict_lines(const gaugecheck::Findings &findings, bool json);

enum class Outcome { done, nothing_to_do, dry_run, refused, failed };
struct Summary {
    Outcome outcome;
    bool uninstall;
    const Plan *plan;
    std::string message;  // the one line that says what happened and what to do
};
std::string summary_line(const Summary &summary, bool json);

}  // namespace gaugeinstall
