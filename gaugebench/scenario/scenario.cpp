// Scenario parsing. Every message names the line and what the parser expected there, since
// the person reading it is fixing a text file.
#include "scenario.h"

#include <math.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <sstream>

#include "printable.h"

namespace bench {

// A word echoed in a message: cut short and with control characters escaped, so one bad line
// still gives one readable line.
static std::string shown(const std::string &word)
{
    return toolbox::printable(word);
}

// Lines end at CR, LF or CRLF, as editors on every system write them.
static std::vector<std::string> split_lines(const std::string &text)
{
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find_first_of("\r\n", start);
        if (end == std::string::npos) {
            lines.push_back(text.substr(start));
            break;
        }
        lines.push_back(text.substr(start, end - start));
        start = end + (text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n' ? 2 : 1);
    }
    return lines;
}

// UTF-16 text, with a byte order mark or told by its NUL bytes between ASCII letters; the parser
// reads UTF-8 (or any ASCII-compatible code page) only.
static const char *utf16_kind(const std::string &text)
{
    if (text.size() < 2)
        return 0;
    unsigned char first = (unsigned char)text[0], second = (unsigned char)text[1];
    if ((first == 0xFF && second == 0xFE) || (first != 0 && second == 0))
        return "UTF-16 little-endian";
    if ((first == 0xFE && second == 0xFF) || (first == 0 && second != 0))
        return "UTF-16 big-endian";
    return 0;
}

static std::vector<std::string> split_words(const std::string &line)
{
    std::vector<std::string> words;
    std::istringstream stream(line);
    std::string word;
    while (stream >> word)
        words.push_back(word);
    return words;
}

// A plain decimal number: optional sign, digits with an optional fraction, optional exponent.
// strtod alone would also take "nan", "inf" and hex floats.
static bool parse_decimal(const std::string &text, double &value)
{
    const char *p = text.c_str();
    if (*p == '+' || *p == '-')
        ++p;
    int digits = 0;
    while (*p >= '0' && *p <= '9')
        ++p, ++digits;
    if (*p == '.') {
        ++p;
        while (*p >= '0' && *p <= '9')
            ++p, ++digits;
    }
    if (digits == 0)
        return false;
    if (*p == 'e' || *p == 'E') {
        ++p;
        if (*p == '+' || *p == '-')
            ++p;
        if (!(*p >= '0' && *p <= '9'))
            return false;
        while (*p >= '0' && *p <= '9')
            ++p;
    }
    if (*p)
        return false;
    value = strtod(text.c_str(), 0);
    return isfinite(value);
}

static bool parse_time(const std::string &text, double &seconds)
{
    return parse_decimal(text, seconds) && seconds >= 0 && seconds <= MAX_END_SECONDS;
}

static bool parse_token(const std::string &text, uint32_t &token)
{
    if (text.empty() || text.size() > 10 || text.find_first_not_of("0123456789") != std::string::npos)
        return false;
    unsigned long long value = strtoull(text.c_str(), 0, 10);
    if (value > 0xFFFFFFFFull)
        return false;
    token = (uint32_t)value;
    return true;
}

static bool parse_value(const std::string &text, VarSetting &setting)
{
    setting.text = text;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        std::string digits = text.substr(2);
        if (digits.size() > 16 || digits.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos)
            return false;
        setting.is_integer = true;
        setting.bits = strtoull(digits.c_str(), 0, 16);
        return true;
    }
    double number;
    if (!parse_decimal(text, number))
        return false;
    setting.is_integer = false;
    memcpy(&setting.bits, &number, sizeof number);
    return true;
}

static std::string format_seconds(double seconds)
{
    char text[32];
    snprintf(text, sizeof text, "%g", seconds);
    return text;
}

// How a time's range is named in messages: "0 to 3600".
static const std::string TIME_RANGE = "0 to " + format_seconds(MAX_END_SECONDS);

namespace {

// One scenario file read line by line: each kind of line has its own reader, and the first
// mistake ends the reading with one message naming the file and the line.
struct ScenarioReader {
    const std::string &source;
    Scenario &scenario;
    std::string &error;
    bool have_end = false;

    bool fail(int at, const std::string &message)
    {
        error = source + ":" + std::to_string(at) + ": " + message;
        return false;
    }
    bool read_line(std::string line, int number);
    bool read_event(const std::vector<std::string> &words, int number);
    bool read_setting(const std::string &word, int number, ScenarioEvent &event);
    bool read_end(const std::vector<std::string> &words, int number);
    bool read_instances(const std::vector<std::string> &words, int number);
    bool end_after_events();
};

bool ScenarioReader::read_line(std::string line, int number)
{
    if (line.find('\0') != std::string::npos)
        return fail(number, "a NUL byte in the line (is this a text file?)");
    size_t hash = line.find('#');
    if (hash != std::string::npos)
        line.erase(hash);
    std::vector<std::string> words = split_words(line);
    if (words.empty())
        return true;
    const std::string &keyword = words[0];
    if (keyword == "at")
        return read_event(words, number);
    if (keyword == "end")
        return read_end(words, number);
    if (keyword == "instances")
        return read_instances(words, number);
    return fail(number, "expected 'at', 'end' or 'instances', got '" + shown(keyword) + "'");
}

// "at TIME TOKEN=VALUE...": the settings in time order.
bool ScenarioReader::read_event(const std::vector<std::string> &words, int number)
{
    ScenarioEvent event{0, number, {}};
    if (words.size() < 2 || !parse_time(words[1], event.time))
        return fail(number, "expected a time in seconds (" + TIME_RANGE + ") after 'at'" +
                                (words.size() < 2 ? std::string() : ", got '" + shown(words[1]) + "'"));
    if (words.size() < 3)
        return fail(number, "expected TOKEN=VALUE after the time");
    for (size_t i = 2; i < words.size(); ++i)
        if (!read_setting(words[i], number, event))
            return false;
    if (!scenario.events.empty() && event.time < scenario.events.back().time)
        return fail(number, "expected a time at or after the previous event's " +
                                format_seconds(scenario.events.back().time) + " s: events go forward in time");
    scenario.events.push_back(event);
    return true;
}

bool ScenarioReader::read_setting(const std::string &word, int number, ScenarioEvent &event)
{
    size_t equals = word.find('=');
    VarSetting setting{};
    if (equals == std::string::npos)
        return fail(number, "expected TOKEN=VALUE, got '" + shown(word) + "'");
    if (!parse_token(word.substr(0, equals), setting.token))
        return fail(number, "expected a token number before '=', got '" + shown(word) + "'");
    if (!parse_value(word.substr(equals + 1), setting))
        return fail(number, "expected a decimal or 0x-hex value after '" + shown(word.substr(0, equals + 1)) +
                                "', got '" + shown(word.substr(equals + 1)) + "'");
    for (const VarSetting &earlier : event.settings)
        if (earlier.token == setting.token)
            return fail(number, "token " + std::to_string(setting.token) + " is set twice on one line");
    event.settings.push_back(setting);
    return true;
}

bool ScenarioReader::read_end(const std::vector<std::string> &words, int number)
{
    if (have_end)
        return fail(number, "a second 'end' line (the first is line " + std::to_string(scenario.end_line) + ")");
    if (words.size() != 2 || !parse_time(words[1], scenario.end_time))
        return fail(number, "expected one time in seconds (" + TIME_RANGE + ") after 'end'");
    have_end = true;
    scenario.end_line = number;
    return true;
}

bool ScenarioReader::read_instances(const std::vector<std::string> &words, int number)
{
    InstanceRequest request{"", 0, number};
    uint32_t count = 0;
    if (words.size() != 3 || !parse_token(words[2], count) || count < 1 || count > MAX_INSTANCES)
        return fail(number, "expected 'instances GAUGE COUNT' with a count from 1 to " + std::to_string(MAX_INSTANCES));
    request.gauge = words[1];
    request.count = (int)count;
    for (const InstanceRequest &earlier : scenario.instances)
        if (earlier.gauge == request.gauge)
            return fail(number, "instances of '" + shown(request.gauge) + "' already given on line " +
                                    std::to_string(earlier.line));
    scenario.instances.push_back(request);
    return true;
}

// The end, written or implied, after every event.
bool ScenarioReader::end_after_events()
{
    // The implied end keeps to the same limit as a written one.
    if (!have_end)
        scenario.end_time = std::min(scenario.events.empty() ? 1.0 : scenario.events.back().time + 1.0, MAX_END_SECONDS);
    // Only the MAX_END_SECONDS cap can bring an implied end down to an event: there is no end
    // line to name.
    std::string which_end = have_end ? "the end at " + format_seconds(scenario.end_time) + " s (line " +
                                           std::to_string(scenario.end_line) + ")"
                                     : "the implied end at " + format_seconds(scenario.end_time) +
                                           " s (1 s after the last event, at most " +
                                           format_seconds(MAX_END_SECONDS) + ")";
    for (const ScenarioEvent &event : scenario.events)
        if (event.time >= scenario.end_time)
            return fail(event.line, "expected a time before " + which_end + ", got " + format_seconds(event.time));
    return true;
}

}  // namespace

bool parse_scenario(const std::string &file_text, const std::string &source, Scenario &scenario,
                    std::string &error)
{
    scenario = Scenario();
    scenario.source = source;
    if (const char *kind = utf16_kind(file_text)) {
        error = source + ": the file is " + kind + " text; save it as UTF-8";
        return false;
    }
    // Notepad starts UTF-8 files with a byte order mark.
    std::string text = file_text.compare(0, 3, "\xEF\xBB\xBF") == 0 ? file_text.substr(3) : file_text;
    ScenarioReader reader{source, scenario, error};
    int number = 0;
    for (const std::string &line : split_lines(text))
        if (!reader.read_line(line, ++number))
            return false;
    return reader.end_after_events();
}

// A hair below the exact product, so that a time written to the millisecond lands on the
// cycle it names rather than one later through rounding.
uint32_t cycle_at_or_after(double seconds)
{
    return (uint32_t)ceil(seconds * CYCLES_PER_SECOND - 1e-6);
}

uint32_t cycle_count(double end_time)
{
    return cycle_at_or_after(end_time);
}

std::string demo_scenario(bool hold_boomcue_twice)
{
    std::string text =
        "# Built-in demo. VQT7_Boomcue reads token 870, a BCD frequency shown as 1xx.xx;\n"
        "# VQT7_Drag_Drone loops while trigger 326 is above 8000 and gate 61 above 100.\n";
    if (hold_boomcue_twice)
        text += "instances VQT7_Boomcue 2    # 2D panel and virtual cockpit share one cue\n";
    text +=
        "at 0    870=0x1800             # 118.00: no cue\n"
        "at 1    870=0x2400             # 124.00: the cue plays once\n"
        "at 2    870=0x2350             # 123.50: away, which does not re-arm\n"
        "at 3    870=0x2400             # back at 124.00: silent\n"
        "at 4    870=0x2405             # 124.05 re-arms\n"
        "at 5    870=0x2400             # 124.00 again: the cue plays\n"
        "at 6    61=150 326=9000        # trigger rises, gate above 100: the loop starts\n"
        "at 7    326=7000               # trigger falls: the loop stops\n"
        "at 8    61=50 326=9000         # trigger rises, gate below 100: nothing\n"
        "at 9    61=150                 # gate passes 100 with the trigger up: the loop starts\n"
        "at 10   61=50                  # gate falls: the loop goes on\n"
        "at 11   326=7000               # trigger falls: the loop stops\n"
        "at 12   61=150 326=9000        # the loop runs again...\n"
        "end 13                         # ...until the kill terminates it\n";
    return text;
}

}  // namespace bench
