// What a run's report shows, gathered while the run goes: the summary, the marks of each lane on
// the run's one time axis, the faces, and the folded timeline for the table. ReportCollector is
// the one place that reads the timeline's events; the page is drawn from these records alone.
#pragma once

#include <stdint.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "timeline.h"

namespace bench {

// Faces are kept for each step that changed a text only while there are at most this many.
constexpr uint32_t REPORT_MAX_TEXT_FACES = 12;

// One mark on the time axis, and the timeline line it stands for (its tooltip).
struct ReportMark {
    double time = 0;
    uint32_t cycle = 0;
    std::string label;  // shown beside it: a file name, a text, a value
    std::string line;
};

// A variable the scenario sets, with every value it was given.
struct VariableLane {
    uint32_t token = 0;
    struct Change {
        ReportMark mark;  // label: the value as the scenario wrote it
        bool is_integer;
        uint64_t bits;
    };
    std::vector<Change> changes;
};

// A loop from its start to the stop, terminate or unload that cut it; `cut` without a line when
// nothing did before the run's end.
struct LoopSpan {
    ReportMark start, cut;
};

// One sound name: its loops and the one-shots played under it ("" for one-shots given no name).
struct SoundLane {
    std::string name;
    std::vector<LoopSpan> loops;
    std::vector<ReportMark> one_shots;  // label: the sound file's name
};

// One string element of one instance, and each change of its text.
struct TextLane {
    std::string element;  // "VQT7_Boomcue[1]", with " element N" past the first
    std::vector<ReportMark> changes;  // label: the new text
};

enum class LifeKind { Start, Snapshot, Kill, End };

struct LifeMark {
    LifeKind kind;
    ReportMark mark;
};

struct ReportFace {
    double time = 0;
    uint32_t cycle = 0;
    std::string caption;
    std::vector<uint8_t> png;
};

struct ReportGauge {
    std::string module;  // the module's file name
    std::string gauge;
    int instances = 0;
};

struct ReportRecord {
    std::vector<ReportGauge> gauges;
    std::string scenario;  // its file name; empty for the built-in demo
    double duration = 0;
    uint32_t cycles = 0;
    int exit_code = 0;
    std::vector<std::string> warnings;

    std::vector<VariableLane> variables;  // in the order the scenario first sets them
    std::vector<SoundLane> sounds;        // in the order they first sounded
    std::vector<TextLane> texts;          // in the order they first changed
    std::vector<LifeMark> lifecycle;

    ReportFace end_face;                  // after the last cycle; no png when not drawn
    std::vector<ReportFace> text_faces;   // after each step that changed a text, when few
    bool too_many_text_faces = false;

    std::vector<TimelineRow> table;       // the text timeline's lines, folded, in their columns
};

class ReportCollector {
public:
    // The table comes from a timeline writer of the collector's own, or, when the run's own
    // timeline is text folded the same way, from that writer's rows through table_sink().
    explicit ReportCollector(bool own_table = true);
    ReportCollector(const ReportCollector &) = delete;
    ReportCollector &operator=(const ReportCollector &) = delete;

    // Every step of the run, as the timeline writer is handed it.
    void add_step(uint32_t cycle, const std::vector<TimelineEvent> &events);
    // Whether the faces as they are after the step just added are wanted: it changed a text,
    // and no more than REPORT_MAX_TEXT_FACES steps have so far.
    bool wants_text_face() const { return text_in_last_step_ && !record_.too_many_text_faces; }
    // The faces after the step just added, captioned with the texts it changed.
    void add_text_face(std::vector<uint8_t> png);
    void add_warning(const std::string &text) { record_.warnings.push_back(text); }
    // The run has ended at `end_time`: loops still playing are cut there, and the table takes
    // the last folded repeats.
    void finish(double end_time, uint32_t cycles);
    ReportRecord &record() { return record_; }
    TimelineWriter::RowSink table_sink();

private:
    void add_sound(const TimelineEvent &event);
    void cut_loops(const ReportMark &cut);
    ReportMark mark(const TimelineEvent &event, const std::string &label) const;

    ReportRecord record_;
    std::unique_ptr<TimelineWriter> table_;
    std::map<uint32_t, size_t> variable_lanes_;
    std::map<std::string, size_t> sound_lanes_, text_lanes_;
    std::map<std::string, size_t> open_loops_;  // sound name to its loop's index in its lane
    bool text_in_last_step_ = false;
    uint32_t text_steps_ = 0;                   // steps that changed a text
    struct ShownText {
        std::string gauge;
        int element;
        std::string text;
        int first, last;  // instances
    };
    std::vector<ShownText> last_step_texts_;    // for the caption of the next text face
    double last_step_time_ = 0;
    uint32_t last_step_cycle_ = 0;
};

// The last part of a sound path as a gauge gave it (either kind of slash).
std::string sound_file_name(const std::string &path);

}  // namespace bench
