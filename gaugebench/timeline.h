// The run's timeline: what changed on each panel cycle, written as readable text (one line an
// event) or as JSON Lines. The run hands over one step at a time (start, each cycle, the kill).
// Events stay typed until a line is written: the words are the writers' alone.
#pragma once

#include <stdint.h>
#include <stdio.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "scenario.h"

namespace bench {

enum class EventKind { Start, Set, Sound, Text, Kill, Snapshot, End };
// The host call a sound call came from; Unload is the modules' unloading after the kills.
enum class CallPhase { Initialize, Update, StringUpdate, Draw, Kill, Unload };
// The sound library's entry that was called, or its being loaded or unloaded.
enum class SoundCall { Play, Stop, Terminate, Load, Unload };
// What a sound call did to the set of playing sounds; None for a load or an unload.
enum class SoundEffect { None, PlayedOnce, StartedLoop, AlreadyPlaying, Stopped, NotPlaying, Terminated, SetFull };

struct TimelineEvent {
    EventKind kind;
    uint32_t cycle = 0;
    double time = 0;
    // Which gauge instance for sound, text and kill events ("host" for a sound call no gauge made).
    std::string gauge;
    int instance = 0;
    // set
    std::vector<VarSetting> settings;
    double scenario_time = 0;
    // sound: the library call as its journal saw it, from which host call, and the loops playing
    // after it
    CallPhase phase = CallPhase::Initialize;
    SoundCall call = SoundCall::Play;
    std::string path, name;
    int loop = 0;
    SoundEffect effect = SoundEffect::None;
    uint32_t count = 0;  // terminate, unload: loops it silenced
    std::vector<std::string> playing;
    // text
    int element = 0;
    std::string old_text, new_text;
    // start: every instance as "gauge[n]"; snapshot: file
    std::vector<std::string> gauges;
    std::string file;
};

// One line of the text timeline in its columns, as the report's table shows them cell by cell.
struct TimelineRow {
    double time = 0;
    uint32_t cycle = 0;
    const char *event = "";  // "start", "set", "sound", ...
    std::string what;
    std::string text() const;  // the line as the text timeline prints it
};

class TimelineWriter {
public:
    // In text mode a call that changes nothing (a repeated play of a playing loop, a stop of
    // a silent one) and that its instance also made on the cycle before is folded into one
    // summary line, unless `every_call`; JSON always has every call.
    TimelineWriter(FILE *out, bool json, bool every_call) : out_(out), json_(json), every_call_(every_call) {}
    // The text lines' rows, without the header, handed to `sink` instead of a file: the report's
    // table.
    using RowSink = std::function<void(const TimelineRow &row)>;
    explicit TimelineWriter(RowSink sink) : out_(0), json_(false), every_call_(false), sink_(std::move(sink)) {}
    // Every text line's row also to `copy`, as the line goes to the file.
    void copy_rows_to(RowSink copy) { copy_ = std::move(copy); }
    void write_step(uint32_t cycle, const std::vector<TimelineEvent> &events);
    void finish();  // flush folded repeats
    // Whether a write or flush of the timeline failed (a full disk, a closed pipe).
    bool failed() const { return failed_; }

    static TimelineRow row_of(const TimelineEvent &event);
    static std::string text_line(const TimelineEvent &event) { return row_of(event).text(); }
    static std::string json_line(const TimelineEvent &event);
    static std::string call_text(const TimelineEvent &event);

private:
    struct Repeat {
        TimelineEvent last;
        uint32_t more = 0;  // folded calls after the printed one
    };
    void flush_repeat(const Repeat &repeat);
    void put(const TimelineRow &row);
    void put_text(const std::string &line);
    void flush();
    FILE *out_;
    bool json_;
    bool every_call_;
    bool header_done_ = false;
    bool failed_ = false;
    RowSink sink_, copy_;
    std::map<std::string, Repeat> repeats_;
};

std::string instance_label(const std::string &gauge, int instance);
// The host call as the timeline and the messages name it: "initialize", "string update", ...
const char *phase_word(CallPhase phase);

}  // namespace bench
