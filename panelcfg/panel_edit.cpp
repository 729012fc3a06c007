// Planning an install or uninstall of our two gauges in one panel.cfg: which lines to add, fix
// or take out, in which section and under which gaugeNN number, and the new bytes.
#include "panel_edit.h"

#include <stdio.h>

#include <algorithm>
#include <array>
#include <map>
#include <set>

namespace panelcfg {

// The simulator reads gauge00 to gauge9999 (one to four digits).
static const int HIGHEST_GAUGE_NUMBER = 9999;

bool PanelEdit::changed() const
{
    for (const LineChange &change : changes)
        if (change.kind != ChangeKind::already_installed)
            return true;
    return false;
}

namespace {

std::string gauge_key(int number)
{
    return "gauge" + two_digits(number);
}

// The numbers of one section's gauge keys, exact and near miss, and those this plan gives.
struct SectionNumbers {
    std::map<int, std::vector<int>> exact;  // number -> the lines of exact keys holding it
    std::map<int, int> any;                 // number -> how many keys of either kind hold it
    std::set<int> given;
    int highest = -1;

    // One above the highest number seen or given; -1 past the last the simulator reads.
    int next()
    {
        if (highest >= HIGHEST_GAUGE_NUMBER)
            return -1;
        given.insert(++highest);
        return highest;
    }
    // A line's own number stays when nothing else in the section holds it.
    bool take_own(int number)
    {
        if (number < 0 || any[number] != 1 || given.count(number))
            return false;
        given.insert(number);
        return true;
    }
};

struct ChosenSections;

struct InstallPlan {
    const Document &document;
    const InstallRequest &request;
    std::vector<GaugeLine> gauges;
    std::map<int, SectionNumbers> numbers;  // by numbers_of()
    std::vector<int> first_of_name;         // by section index: the first section of its name

    // Sections of one name share their gauge numbers: a panel.cfg that repeats [Window00] is read
    // as one window by gaugecheck, so a number is free only when no section of that name holds it.
    int numbers_of(int section) const { return first_of_name[(size_t)section]; }
    LineEdits edits;
    PanelEdit result;
    // Where each change sits, to number the new file's lines: the old line an added line follows.
    struct Placed {
        int old_line;
        bool added;
        LineChange change;
    };
    std::vector<Placed> placed;

    InstallPlan(const Document &d, const InstallRequest &r) : document(d), request(r), edits(d)
    {
        std::map<std::string, int> first;
        for (size_t i = 0; i < d.sections.size(); ++i)
            first_of_name.push_back(first.emplace(lower_ascii(d.sections[i].name), (int)i).first->second);
    }

    const std::string &section_name(int section) const { return document.sections[(size_t)section].name; }
    std::string new_value(int gauge, const GaugeLineVerdict *verdict) const;
    bool fix(const GaugeLine &line);
    bool add(int section, int gauge);
    void count_numbers();
    bool place_ours(const ChosenSections &chosen, int &full_section);
    void finish();
};

// A written line must be one the simulator takes: the line's own placement when it has one,
// else the gauge's size at the origin (the cue's readout where --at puts it).
std::string InstallPlan::new_value(int gauge, const GaugeLineVerdict *verdict) const
{
    if (verdict && verdict->placed)
        return verdict->right_value;
    std::string name = RELEASE_GAUGES[gauge].name;
    int x = gauge == 0 ? request.x : 0, y = gauge == 0 ? request.y : 0;
    return name + "!" + name + ", " + std::to_string(x) + ", " + std::to_string(y) + ", " +
           std::to_string(RELEASE_GAUGES[gauge].size.width) + ", " + std::to_string(RELEASE_GAUGES[gauge].size.height);
}

bool InstallPlan::fix(const GaugeLine &line)
{
    SectionNumbers &section = numbers[numbers_of(line.section)];
    int number = line.key.number;
    if (!section.take_own(number) && (number = section.next()) < 0)
        return false;

    std::vector<std::string> problems;
    if (line.key.kind == KeyKind::near_miss)
        problems.push_back(near_miss_problem(document.lines[(size_t)line.line].key));
    if (!line.verdict.problem.empty())
        problems.push_back(line.verdict.problem);
    auto shared = section.exact.find(line.key.number);
    if (line.key.kind == KeyKind::exact && shared != section.exact.end() && shared->second.size() > 1) {
        std::string lines;
        for (int other : shared->second)
            lines += (lines.empty() ? "" : ", ") + std::to_string(other + 1);
        problems.push_back(gauge_key(line.key.number) + " is used " + std::to_string(shared->second.size()) +
                           " times in [" + section_name(line.section) + "] (lines " + lines +
                           ") and the simulator reads only one of them");
    }
    std::string why;
    for (const std::string &problem : problems)
        why += (why.empty() ? "" : "; ") + problem;

    // The line's indentation and whatever follows its value (spaces, a comment) stay.
    std::string_view old_text = document.text(line.line);
    size_t indent = std::min(old_text.find_first_not_of(" \t"), old_text.size());
    std::string_view before_comment = old_text.substr(0, std::min(old_text.find("//"), old_text.find(';')));
    size_t value_end = before_comment.find_last_not_of(" \t");
    value_end = value_end == std::string_view::npos ? before_comment.size() : value_end + 1;
    std::string text = std::string(old_text.substr(0, indent)) + gauge_key(number) + "=" +
                       new_value(line.verdict.gauge, &line.verdict) + std::string(old_text.substr(value_end));
    edits.replace(line.line, text);
    placed.push_back({line.line, false,
                      {ChangeKind::fix_line, line.verdict.gauge, section_name(line.section), 0, std::string(old_text),
                       text, why}});
    return true;
}

bool InstallPlan::add(int section, int gauge)
{
    int number = numbers[numbers_of(section)].next();
    if (number < 0)
        return false;
    // Right after the section's last gauge line; else its last entry; else its header.
    const Section &at = document.sections[(size_t)section];
    int anchor = at.header;
    for (int i = at.header + 1; i < at.end; ++i)
        if (document.lines[(size_t)i].kind == LineKind::entry)
            anchor = i;
    for (const GaugeLine &line : gauges)
        if (line.section == section)
            anchor = line.line;
    std::string text = gauge_key(number) + "=" + new_value(gauge, nullptr);
    edits.insert_after(anchor, text);
    placed.push_back({anchor, true, {ChangeKind::add_line, gauge, at.name, 0, std::string(), text, std::string()}});
    return true;
}

// The new bytes, and each change's 1-based line in the file it belongs to. Added lines follow
// their anchor in the order they were made, after any added earlier to the same anchor.
void InstallPlan::finish()
{
    std::vector<int> added_after(document.lines.size() + 1);
    for (const Placed &entry : placed)
        if (entry.added)
            ++added_after[(size_t)entry.old_line + 1];
    std::vector<int> new_index(document.lines.size());
    int shift = added_after[0];
    for (size_t i = 0; i < document.lines.size(); ++i) {
        new_index[i] = (int)i + shift;
        shift += added_after[i + 1];
    }
    std::map<int, int> added_so_far;
    std::vector<std::pair<int, LineChange>> ordered;
    for (Placed &entry : placed) {
        int line = new_index[(size_t)entry.old_line];
        if (entry.added)
            line += ++added_so_far[entry.old_line];
        entry.change.line = entry.change.kind == ChangeKind::already_installed ? entry.old_line + 1 : line + 1;
        ordered.push_back({line, std::move(entry.change)});
    }
    std::stable_sort(ordered.begin(), ordered.end(),
                     [](const auto &a, const auto &b) { return a.first < b.first; });
    for (auto &entry : ordered)
        result.changes.push_back(std::move(entry.second));
    result.bytes = result.changed() ? edits.apply() : document.bytes;
}

// Whether the simulator creates a window of this kind and number: it creates them from the
// first number upward (Window00, Vcockpit01) and stops at the first gap.
bool created(const Document &document, WindowKind kind, int number)
{
    std::set<int> present;
    for (const Section &section : document.sections) {
        WindowId id = window_of(section.name);
        if (id.kind == kind)
            present.insert(id.number);
    }
    for (int n = kind == WindowKind::window ? 0 : 1; n < number; ++n)
        if (!present.count(n))
            return false;
    return true;
}

PanelEdit refusal(const Document &document, std::string why, std::vector<std::string> notes = {})
{
    PanelEdit edit;
    edit.refused = std::move(why);
    edit.notes = std::move(notes);
    edit.bytes = document.bytes;
    return edit;
}

}  // namespace

namespace {

// The sections the gauges go into: the first [Window00], and the first of the lowest
// [VcockpitNN] where the simulator creates it (a note says why not where it does not), each as
// the request allows; -1 for none.
struct ChosenSections {
    int window = -1, vcockpit = -1;
    std::vector<std::string> notes;
};

ChosenSections chosen_sections(const Document &document, const InstallRequest &request)
{
    ChosenSections chosen;
    int lowest = -1;
    for (size_t i = 0; i < document.sections.size(); ++i) {
        WindowId id = window_of(document.sections[i].name);
        if (id.kind == WindowKind::window && id.number == 0 && chosen.window < 0)
            chosen.window = (int)i;
        if (id.kind == WindowKind::vcockpit && (lowest < 0 || id.number < lowest)) {
            lowest = id.number;
            chosen.vcockpit = (int)i;
        }
    }
    if (chosen.vcockpit >= 0 && !created(document, WindowKind::vcockpit, lowest)) {
        chosen.notes.push_back("[" + document.sections[(size_t)chosen.vcockpit].name +
                               "] is passed over: the simulator creates virtual cockpit panels from [Vcockpit01] "
                               "upward and stops at the first gap, so it never creates this one");
        chosen.vcockpit = -1;
    }
    if (request.where == Where::window)
        chosen.vcockpit = -1;
    if (request.where == Where::vcockpit)
        chosen.window = -1;
    return chosen;
}

void InstallPlan::count_numbers()
{
    gauges = gauge_lines(document);
    for (const GaugeLine &line : gauges) {
        SectionNumbers &section = numbers[numbers_of(line.section)];
        if (line.key.number < 0)
            continue;
        ++section.any[line.key.number];
        if (line.key.kind == KeyKind::exact)
            section.exact[line.key.number].push_back(line.line);
        section.highest = std::max(section.highest, line.key.number);
    }
}

// Our lines anywhere: the right ones stay, the others are fixed where they are; then each gauge
// a chosen section lacks is added. False, with the section, when no gauge number is left there.
bool InstallPlan::place_ours(const ChosenSections &chosen, int &full_section)
{
    std::map<int, std::array<bool, GAUGE_COUNT>> present;  // chosen section -> gauge -> holds it
    for (const GaugeLine &line : gauges) {
        if (!line.verdict.ours)
            continue;
        bool in_chosen = line.section == chosen.window || line.section == chosen.vcockpit;
        bool right = line.key.kind == KeyKind::exact && line.verdict.problem.empty() &&
                     numbers[numbers_of(line.section)].exact[line.key.number].size() == 1;
        if (right) {
            if (in_chosen && !present[line.section][(size_t)line.verdict.gauge])
                placed.push_back({line.line, false,
                                  {ChangeKind::already_installed, line.verdict.gauge, section_name(line.section), 0,
                                   std::string(document.text(line.line)), std::string(), std::string()}});
        } else if (!fix(line)) {
            full_section = line.section;
            return false;
        }
        if (in_chosen)
            present[line.section][(size_t)line.verdict.gauge] = true;
    }
    for (int section : {chosen.window, chosen.vcockpit}) {
        if (section < 0)
            continue;
        for (int gauge = 0; gauge < GAUGE_COUNT; ++gauge)
            if (!present[section][(size_t)gauge] && !add(section, gauge)) {
                full_section = section;
                return false;
            }
    }
    return true;
}

}  // namespace

PanelEdit plan_install(const Document &document, const InstallRequest &request)
{
    Alias alias = find_alias(document);
    if (alias.line >= 0)
        return refusal(document, "this panel.cfg hands the aircraft to another panel (line " +
                                     std::to_string(alias.line + 1) + ": alias=" +
                                     document.lines[(size_t)alias.line].value +
                                     "), so the simulator never reads gauge lines here: install into the panel it names");
    ChosenSections chosen = chosen_sections(document, request);
    if (chosen.window < 0 && chosen.vcockpit < 0) {
        const char *missing = request.where == Where::window     ? "no [Window00] section"
                              : request.where == Where::vcockpit ? "no [VcockpitNN] section that the simulator creates"
                                                                 : "neither a [Window00] section nor a [VcockpitNN] "
                                                                   "section that the simulator creates";
        return refusal(document, std::string("this panel.cfg has ") + missing + " to put the gauges in", chosen.notes);
    }
    InstallPlan plan(document, request);
    plan.result.notes = chosen.notes;
    plan.count_numbers();
    int full_section = -1;
    if (!plan.place_ours(chosen, full_section))
        return refusal(document, "no gauge number is free in [" + plan.section_name(full_section) + "]: " +
                                     gauge_key(HIGHEST_GAUGE_NUMBER) + " is the highest the simulator reads",
                       chosen.notes);
    plan.finish();
    return plan.result;
}

PanelEdit plan_uninstall(const Document &document)
{
    PanelEdit result;
    LineEdits edits(document);
    for (const GaugeLine &line : gauge_lines(document)) {
        int gauge = our_module(document.lines[(size_t)line.line].value);
        if (gauge < 0)
            continue;
        edits.remove(line.line);
        result.changes.push_back({ChangeKind::remove_line, gauge, document.sections[(size_t)line.section].name,
                                  line.line + 1, std::string(document.text(line.line)), std::string(), std::string()});
    }
    result.bytes = result.changed() ? edits.apply() : document.bytes;
    return result;
}

}  // namespace panelcfg
