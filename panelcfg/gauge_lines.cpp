// Finding a panel.cfg's gauge lines and judging the ones that mean our modules. Names compare
// case-insensitively, as the simulator's file and gauge lookups do.
#include "gauge_lines.h"

#include <stdio.h>

#include <algorithm>

namespace panelcfg {

std::string two_digits(int number)
{
    char text[16];
    snprintf(text, sizeof text, "%02d", number);
    return text;
}

static bool is_digit(char c) { return c >= '0' && c <= '9'; }

// "window" + "03" -> 3: the prefix in any case, then one to four digits and nothing else.
static int number_after(std::string_view text, std::string_view prefix)
{
    if (text.size() <= prefix.size() || text.size() > prefix.size() + 4 ||
        !same_ascii(text.substr(0, prefix.size()), prefix))
        return -1;
    int number = 0;
    for (char c : text.substr(prefix.size())) {
        if (!is_digit(c))
            return -1;
        number = number * 10 + (c - '0');
    }
    return number;
}

WindowId window_of(std::string_view section_name)
{
    if (int number = number_after(section_name, "window"); number >= 0)
        return {WindowKind::window, number};
    if (int number = number_after(section_name, "vcockpit"); number >= 0)
        return {WindowKind::vcockpit, number};
    return {};
}

// Edits (insert, delete, change) between two short names, lower case; stops counting at 9.
static int edit_distance(std::string_view a, std::string_view b)
{
    if (a.size() > 64 || b.size() > 64)
        return 9;
    std::vector<int> row(b.size() + 1);
    for (size_t j = 0; j <= b.size(); ++j)
        row[j] = (int)j;
    for (size_t i = 1; i <= a.size(); ++i) {
        int diagonal = row[0];
        row[0] = (int)i;
        for (size_t j = 1; j <= b.size(); ++j) {
            int above = row[j];
            row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] != b[j - 1])});
            diagonal = above;
        }
    }
    return std::min(row[b.size()], 9);
}

GaugeKey read_gauge_key(std::string_view key)
{
    std::string lower = lower_ascii(trim(key));
    size_t digits_at = lower.size();
    while (digits_at > 0 && is_digit(lower[digits_at - 1]))
        --digits_at;
    size_t digits = lower.size() - digits_at;
    size_t letters_end = digits_at;
    while (letters_end > 0 && (lower[letters_end - 1] == ' ' || lower[letters_end - 1] == '_' ||
                               lower[letters_end - 1] == '-' || lower[letters_end - 1] == '\t'))
        --letters_end;
    std::string_view letters = std::string_view(lower).substr(0, letters_end);
    bool separated = letters_end != digits_at;

    GaugeKey found;
    if (digits >= 1 && digits <= 4)
        found.number = std::stoi(lower.substr(digits_at));
    if (letters == "gauge" && !separated && found.number >= 0) {
        found.kind = KeyKind::exact;
        return found;
    }
    // The first letter must be g: "image", "range" and "page07" are other keys.
    if (letters.empty() || letters[0] != 'g' || edit_distance(letters, "gauge") > 2)
        return GaugeKey{};
    found.kind = KeyKind::near_miss;
    return found;
}

std::string near_miss_problem(std::string_view key)
{
    return "the key '" + std::string(key) + "' is not gauge followed by a number, so the simulator passes over the line";
}

// The module part of a value: before any '!' and the first ','.
static std::string_view head_of(std::string_view value) { return trim(value.substr(0, value.find(','))); }

// "10, 10, 40, 40": two to four whole numbers, written back with ", " between them.
static bool placement_valid(std::string_view rest, std::string &normalised)
{
    std::vector<std::string_view> fields;
    for (size_t start = 0; start <= rest.size();) {
        size_t comma = std::min(rest.find(',', start), rest.size());
        fields.push_back(trim(rest.substr(start, comma - start)));
        if (fields.size() > 4)
            return false;
        start = comma + 1;
    }
    if (fields.size() < 2)
        return false;
    normalised.clear();
    for (std::string_view field : fields) {
        size_t digits = field.find_first_not_of("-+") == 1 ? 1 : 0;
        if (field.size() <= digits || field.find_first_not_of("0123456789", digits) != std::string_view::npos)
            return false;
        normalised += (normalised.empty() ? "" : ", ") + std::string(field);
    }
    return true;
}

GaugeLineVerdict judge_gauge_value(std::string_view value)
{
    GaugeLineVerdict verdict;
    size_t comma = value.find(',');
    std::string_view head = head_of(value);
    std::string_view rest = comma == std::string_view::npos ? std::string_view() : value.substr(comma + 1);
    size_t bang = head.find('!');
    std::string_view module = trim(head.substr(0, bang));
    std::string_view gauge = bang == std::string_view::npos ? std::string_view() : trim(head.substr(bang + 1));

    // The name meant is the one nearest to either part; a line far from both is not ours.
    int best = 9;
    std::string lower_module = lower_ascii(module), lower_gauge = lower_ascii(gauge);
    if (lower_module.size() > 4 && lower_module.compare(lower_module.size() - 4, 4, ".gau") == 0)
        lower_module.resize(lower_module.size() - 4);
    for (int i = 0; i < GAUGE_COUNT; ++i) {
        std::string lower_name = lower_ascii(RELEASE_GAUGES[i].name);
        int distance = std::min(edit_distance(lower_module, lower_name),
                                gauge.empty() ? 9 : edit_distance(lower_gauge, lower_name));
        if (distance < best) {
            best = distance;
            verdict.gauge = i;
        }
    }
    verdict.ours = best <= 3 || lower_ascii(head).find("vqt7") != std::string::npos;
    if (!verdict.ours) {
        verdict.gauge = -1;
        return verdict;
    }
    if (verdict.gauge < 0)
        verdict.gauge = 0;  // "vqt7" alone, far from both names: the cue is the likelier one
    std::string name = RELEASE_GAUGES[verdict.gauge].name;
    verdict.module_exact = same_ascii(module, name);
    std::string placement;
    bool placed = verdict.placed = placement_valid(rest, placement);
    verdict.right_value = name + "!" + name + ", " + (placed ? placement : std::string("X, Y"));
    if (bang == std::string_view::npos)
        verdict.problem = "there is no '!' between the module and the gauge name";
    else if (!verdict.module_exact)
        verdict.problem = "there is no module named '" + std::string(module) + "'";
    else if (!same_ascii(gauge, name))
        verdict.problem = "module " + name + " holds no gauge named '" + std::string(gauge) + "'";
    else if (!placed)
        verdict.problem = "the gauge name must be followed by x, y[, width[, height]] in whole pixels";
    return verdict;
}

int our_module(std::string_view value)
{
    std::string_view head = head_of(value);
    std::string_view module = trim(head.substr(0, head.find('!')));
    size_t slash = module.find_last_of("\\/");
    if (slash != std::string_view::npos)
        module.remove_prefix(slash + 1);
    if (module.size() > 4 && same_ascii(module.substr(module.size() - 4), ".gau"))
        module.remove_suffix(4);
    for (int i = 0; i < GAUGE_COUNT; ++i)
        if (same_ascii(module, RELEASE_GAUGES[i].name))
            return i;
    return -1;
}

bool names_our_module(std::string_view value) { return our_module(value) >= 0; }

std::vector<GaugeLine> gauge_lines(const Document &document)
{
    std::vector<GaugeLine> found;
    for (size_t i = 0; i < document.lines.size(); ++i) {
        const Line &line = document.lines[i];
        if (line.kind != LineKind::entry || line.section < 0)
            continue;
        WindowId window = window_of(document.sections[(size_t)line.section].name);
        if (window.kind == WindowKind::none)
            continue;
        GaugeKey key = read_gauge_key(line.key);
        if (key.kind == KeyKind::none)
            continue;
        found.push_back({(int)i, line.section, window, key, judge_gauge_value(line.value)});
    }
    return found;
}

Alias find_alias(const Document &document)
{
    Alias alias;
    for (size_t i = 0; i < document.lines.size(); ++i) {
        const Line &line = document.lines[i];
        if (line.kind != LineKind::entry || line.section < 0 ||
            !same_ascii(document.sections[(size_t)line.section].name, "fltsim") || !same_ascii(line.key, "alias"))
            continue;
        std::string_view target = line.value;
        if (target.size() >= 2 && target.front() == '"' && target.back() == '"')
            target = trim(target.substr(1, target.size() - 2));
        alias.line = (int)i;
        alias.target = std::string(target);
        std::replace(alias.target.begin(), alias.target.end(), '/', '\\');
        break;
    }
    return alias;
}

}  // namespace panelcfg
