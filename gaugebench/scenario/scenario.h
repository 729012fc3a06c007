// The bench's scenario: panel variables set over simulated time, how many instances of each
// gauge the panel holds, and when the run ends. Parsed from plain text, one event a line.
#pragma once

#include <stdint.h>

#include <string>
#include <vector>

namespace bench {

// The simulator's panel rate: panel cycles per second of simulated time.
constexpr int CYCLES_PER_SECOND = 18;
// Runs longer than this are refused rather than left to look like a hang.
constexpr double MAX_END_SECONDS = 3600.0;
constexpr int MAX_INSTANCES = 16;

// One variable's new value, held as the host holds it: hex values as an integer in the
// value's low bytes (BCD frequencies, flags), decimal values as a 64-bit float.
struct VarSetting {
    uint32_t token;
    bool is_integer;
    uint64_t bits;      // the 8 value bytes the variable fetch hands out
    std::string text;   // as written in the scenario
};

struct ScenarioEvent {
    double time;
    int line;
    std::vector<VarSetting> settings;
};

struct InstanceRequest {
    std::string gauge;  // gauge name or module file name
    int count;
    int line;
};

struct Scenario {
    std::string source;                  // file name, for messages
    std::vector<ScenarioEvent> events;   // in time order
    std::vector<InstanceRequest> instances;
    double end_time = 0;
    int end_line = 0;                    // 0 when the end was implied
};

// Parses a scenario file's bytes: UTF-8 (a byte order mark is skipped), lines ending in CR, LF or
// CRLF. On failure returns false and "SOURCE:LINE: what was expected"; UTF-16 text is refused
// with a message naming its encoding.
bool parse_scenario(const std::string &text, const std::string &source, Scenario &scenario,
                    std::string &error);

// The first panel cycle at or after a time: the one whose update sees a value set then.
uint32_t cycle_at_or_after(double seconds);
// Number of cycles a run ending at `end_time` performs (cycles at times before the end).
uint32_t cycle_count(double end_time);
inline double cycle_time(uint32_t cycle) { return (double)cycle / CYCLES_PER_SECOND; }

// The built-in demo, exercising both modules; `hold_boomcue_twice` adds a second instance of
// the frequency cue gauge (2D panel and virtual cockpit).
std::string demo_scenario(bool hold_boomcue_twice);

}  // namespace bench
