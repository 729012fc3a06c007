// The checklist's lines: a fixed-width text line for people, one JSON object a line for scripts.
#include <nlohmann/json.hpp>

#include "json_line.h"

#include "checks.h"

namespace gaugecheck {

static const char *status_name(Status status)
{
    switch (status) {
    case Status::ok: return "ok";
    case Status::warning: return "warning";
    case Status::problem: return "problem";
    }
    return "?";
}

std::string finding_line(const Finding &finding, bool json)
{
    if (json) {
        nlohmann::ordered_json record = {{"check", finding.check}, {"status", status_name(finding.status)},
                                         {"file", finding.file}, {"message", finding.message}};
        if (finding.status != Status::ok)
            record["fix"] = finding.fix;
        return toolbox::json_line(record);
    }
    std::string line = status_name(finding.status);
    line.resize(9, ' ');
    line += finding.file + ": " + finding.message;
    if (finding.status != Status::ok)
        line += " -> " + finding.fix;
    return line;
}

static std::string counted(int count, const char *what)
{
    return std::to_string(count) + " " + what + (count == 1 ? "" : "s");
}

std::string summary_line(const Findings &findings, bool json)
{
    int problems = findings.count(Status::problem), warnings = findings.count(Status::warning);
    int oks = findings.count(Status::ok);
    if (json)
        return toolbox::json_line({{"check", "summary"}, {"problems", problems}, {"warnings", warnings}, {"ok", oks}});
    std::string line = counted(problems, "problem") + ", " + counted(warnings, "warning") + ", " +
                       std::to_string(oks) + " ok";
    if (problems)
        return line + ": the gauges will not work as they should until the problems are fixed.";
    return line + (warnings ? ": the gauges should work; see the warnings." : ": all good.");
}

}  // namespace gaugecheck
