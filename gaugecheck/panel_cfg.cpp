// Parsing panel.cfg text and judging the gauge lines that mean our modules. Names compare
// case-insensitively, as the simulator's file and gauge lookups do.
#include "panel_cfg.h"

#include <windows.h>

#include <algorithm>

#include "checks.h"
#include "toolbox.h"

namespace gaugecheck {

std::string lower_ascii(std::string text)
{
    for (char &c : text)
        if (c >= 'A' && c <= 'Z')
            c = (char)(c - 'A' + 'a');
    return text;
}

std::string trim(const std::string &text)
{
    size_t start = text.find_first_not_of(" \t\r\n");
    if (start == std::string::npos)
        return std::string();
    size_t end = text.find_last_not_of(" \t\r\n");
    return text.substr(start, end - start + 1);
}

bool decode_panel_text(const std::vector<uint8_t> &bytes, std::string &text, std::string &reason)
{
    if (std::find(bytes.begin(), bytes.end(), 0) != bytes.end()) {
        reason = "it is not a text file (it holds zero bytes: binary, or saved as UTF-16)";
        return false;
    }
    size_t start = bytes.size() >= 3 && bytes[0] == 0xEF && bytes[1] == 0xBB && bytes[2] == 0xBF ? 3 : 0;
    const char *data = (const char *)bytes.data() + start;
    int size = (int)(bytes.size() - start);
    if (size == 0 || MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, data, size, 0, 0) > 0) {
        text.assign(data, size);
        return true;
    }
    int length = MultiByteToWideChar(CP_ACP, 0, data, size, 0, 0);
    std::wstring wide(length, L'\0');
    MultiByteToWideChar(CP_ACP, 0, data, size, &wide[0], length);
    text = toolbox::narrow(wide);
    return true;
}

std::vector<PanelEntry> parse_panel_entries(const std::string &text)
{
    std::vector<PanelEntry> entries;
    std::string section;
    int number = 0;
    for (size_t start = 0; start < text.size();) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        std::string line = text.substr(start, end - start);
        start = end + 1;
        ++number;
        size_t comment = std::min(line.find("//"), line.find(';'));
        if (comment != std::string::npos)
            line.resize(comment);
        line = trim(line);
        if (line.empty())
            continue;
        if (line.front() == '[') {
            size_t close = line.find(']');
            section = trim(line.substr(1, close == std::string::npos ? std::string::npos : close - 1));
            continue;
        }
        size_t equals = line.find('=');
        if (equals == std::string::npos)
            continue;
        entries.push_back({number, section, trim(line.substr(0, equals)), trim(line.substr(equals + 1))});
    }
    return entries;
}

static bool number_after(const std::string &text, const char *prefix, int &number)
{
    std::string lower = lower_ascii(text);
    size_t length = strlen(prefix);
    if (lower.size() <= length || lower.compare(0, length, prefix) != 0 || lower.size() > length + 4)
        return false;
    number = 0;
    for (size_t i = length; i < lower.size(); ++i) {
        if (lower[i] < '0' || lower[i] > '9')
            return false;
        number = number * 10 + (lower[i] - '0');
    }
    return true;
}

bool panel_window(const std::string &section, std::string &kind, int &number)
{
    for (const char *prefix : {"window", "vcockpit"}) {
        if (number_after(section, prefix, number)) {
            kind = prefix;
            return true;
        }
    }
    return false;
}

int gauge_key_number(const std::string &key)
{
    int number;
    return number_after(key, "gauge", number) ? number : -1;
}

// Edits (insert, delete, change) between two short names, lower case; stops counting at 9.
static int edit_distance(const std::string &a, const std::string &b)
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

// "10, 10, 40, 40": two to four whole numbers.
static bool placement_valid(const std::string &rest, std::string &normalised)
{
    std::vector<std::string> fields;
    for (size_t start = 0; start <= rest.size();) {
        size_t comma = rest.find(',', start);
        if (comma == std::string::npos)
            comma = rest.size();
        fields.push_back(trim(rest.substr(start, comma - start)));
        start = comma + 1;
    }
    if (fields.size() < 2 || fields.size() > 4)
        return false;
    normalised.clear();
    for (const std::string &field : fields) {
        size_t digits = field.find_first_not_of("-+") == 1 ? 1 : 0;
        if (field.size() <= digits || field.find_first_not_of("0123456789", digits) != std::string::npos)
            return false;
        normalised += (normalised.empty() ? "" : ", ") + field;
    }
    return true;
}

GaugeLineVerdict judge_gauge_value(const std::string &value)
{
    GaugeLineVerdict verdict;
    size_t comma = value.find(',');
    std::string head = trim(value.substr(0, comma));
    std::string rest = comma == std::string::npos ? std::string() : value.substr(comma + 1);
    size_t bang = head.find('!');
    std::string module = trim(head.substr(0, bang));
    std::string gauge = bang == std::string::npos ? std::string() : trim(head.substr(bang + 1));

    // The name meant is the one nearest to either part; a line far from both is not ours.
    int best = 9;
    std::string lower_module = lower_ascii(module), lower_gauge = lower_ascii(gauge);
    if (lower_module.size() > 4 && lower_module.compare(lower_module.size() - 4, 4, ".gau") == 0)
        lower_module.resize(lower_module.size() - 4);
    for (const char *name : GAUGE_NAMES) {
        std::string lower_name = lower_ascii(name);
        int distance = std::min(edit_distance(lower_module, lower_name),
                                gauge.empty() ? 9 : edit_distance(lower_gauge, lower_name));
        if (distance < best) {
            best = distance;
            verdict.gauge_name = name;
        }
    }
    verdict.ours = best <= 3 || lower_ascii(head).find("vqt7") != std::string::npos;
    if (!verdict.ours)
        return verdict;
    const std::string &name = verdict.gauge_name;
    verdict.module_exact = lower_ascii(module) == lower_ascii(name);
    std::string placement;
    bool placed = placement_valid(rest, placement);
    verdict.right_value = name + "!" + name + ", " + (placed ? placement : std::string("X, Y"));
    if (bang == std::string::npos)
        verdict.problem = "there is no '!' between the module and the gauge name";
    else if (!verdict.module_exact)
        verdict.problem = "there is no module named '" + module + "'";
    else if (lower_gauge != lower_ascii(name))
        verdict.problem = "module " + name + " holds no gauge named '" + gauge + "'";
    else if (!placed)
        verdict.problem = "the gauge name must be followed by x, y[, width[, height]] in whole pixels";
    return verdict;
}

}  // namespace gaugecheck
