// libFuzzer target: any bytes read as a scenario file. Parsing never crashes or hangs; it gives
// either a scenario that keeps the format's rules, with every value held as its text says, or
// one readable line naming the file and a line of it.
#include <math.h>
#include <stddef.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <set>
#include <string>

#include "scenario.h"

using namespace bench;

// A property that fails names itself, then aborts for libFuzzer to keep the input.
#define require(property) \
    ((property) ? (void)0 : (fprintf(stderr, "property failed: %s (line %d)\n", #property, __LINE__), abort()))

namespace {

const char SOURCE[] = "fuzz.txt";

// Lines as the format defines them: each ends at LF, CR or CRLF; text after the last end is one more.
int line_count(const std::string &bytes)
{
    int lines = 0;
    size_t at = 0;
    while (at < bytes.size()) {
        size_t end = bytes.find_first_of("\r\n", at);
        ++lines;
        if (end == std::string::npos)
            break;
        at = end + (bytes[end] == '\r' && end + 1 < bytes.size() && bytes[end + 1] == '\n' ? 2 : 1);
    }
    return lines;
}

// Text the parser says is UTF-16 starts with a byte order mark, or has a NUL among its first two
// bytes (ASCII letters in either byte order).
bool may_be_utf16(const std::string &bytes)
{
    return bytes.size() >= 2 && ((bytes.compare(0, 2, "\xFF\xFE") == 0 || bytes.compare(0, 2, "\xFE\xFF") == 0) ||
                                 bytes[0] == 0 || bytes[1] == 0);
}

void check_message(const std::string &bytes, const std::string &message)
{
    for (unsigned char c : message)
        require(c >= 0x20 && c != 0x7F);  // one line, whatever the file held
    std::string lead = std::string(SOURCE) + ":";
    require(message.compare(0, lead.size(), lead) == 0);
    if (message.compare(lead.size(), 21, " the file is UTF-16 l") == 0 ||
        message.compare(lead.size(), 21, " the file is UTF-16 b") == 0) {
        require(may_be_utf16(bytes));
        return;
    }
    char *end = 0;
    long line = strtol(message.c_str() + lead.size(), &end, 10);
    require(end != message.c_str() + lead.size() && end[0] == ':' && end[1] == ' ' && end[2] != 0);
    require(line >= 1 && line <= line_count(bytes));
}

// Each value as the format describes it, read back with the C library's own conversions.
void check_value(const VarSetting &setting)
{
    bool hex = setting.text.size() > 2 && setting.text[0] == '0' && (setting.text[1] == 'x' || setting.text[1] == 'X');
    require(setting.is_integer == hex);
    if (hex) {
        require(setting.text.size() <= 18);
        require(setting.bits == strtoull(setting.text.c_str() + 2, 0, 16));
    } else {
        double number = strtod(setting.text.c_str(), 0), held;
        memcpy(&held, &setting.bits, sizeof held);
        require(isfinite(held) && memcmp(&number, &held, sizeof held) == 0);
    }
}

void check_scenario(const std::string &bytes, const Scenario &scenario)
{
    require(scenario.source == SOURCE);
    require(scenario.end_time >= 0 && scenario.end_time <= MAX_END_SECONDS);
    require(scenario.end_line >= 0 && scenario.end_line <= line_count(bytes));
    // A run never holds more cycles than the longest scenario allows.
    require(cycle_count(scenario.end_time) <= cycle_count(MAX_END_SECONDS));
    int last_line = 0;
    double last_time = 0;
    for (const ScenarioEvent &event : scenario.events) {
        require(event.line > last_line && event.line <= line_count(bytes));
        require(event.time >= last_time && event.time < scenario.end_time);
        require(!event.settings.empty());
        std::set<uint32_t> tokens;
        for (const VarSetting &setting : event.settings) {
            require(tokens.insert(setting.token).second);
            check_value(setting);
        }
        last_line = event.line;
        last_time = event.time;
    }
    // Without an end line the run ends 1 s after the last event, within the same limit.
    if (scenario.end_line == 0)
        require(scenario.end_time ==
                fmin(scenario.events.empty() ? 1.0 : scenario.events.back().time + 1.0, MAX_END_SECONDS));
    std::set<std::string> gauges;
    last_line = 0;
    for (const InstanceRequest &request : scenario.instances) {
        require(request.count >= 1 && request.count <= MAX_INSTANCES);
        require(!request.gauge.empty() && gauges.insert(request.gauge).second);
        require(request.line > last_line && request.line <= line_count(bytes));
        last_line = request.line;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    std::string bytes((const char *)data, size);
    Scenario scenario;
    std::string message;
    if (parse_scenario(bytes, SOURCE, scenario, message))
        check_scenario(bytes, scenario);
    else
        check_message(bytes, message);
    return 0;
}
