// One bench run's state and steps: the Runner the run's files share, the run itself in
// runner.cpp and its outputs in run_outputs.cpp. Within the bench only.
#pragma once

#include <stdio.h>

#include <memory>
#include <string>
#include <vector>

#include "options.h"
#include "output_file.h"
#include "panel.h"
#include "report_record.h"
#include "scenario.h"
#include "snapshot.h"
#include "sound_tracker.h"
#include "timeline.h"

namespace bench {

// One run: everything of it lives here, and nothing outside holds a pointer to it.
class Runner {
public:
    Runner(const Options &options, FILE *out, FILE *err)
        : options_(options), out_(out), err_(err), writer_(out, options.json, options.every_call) {}
    int run();

private:
    int error(int code, const std::string &message);
    void warn(const std::string &message);
    int load_scenario();
    int open_outputs();
    int32_t snapshot_cycle(uint32_t cycles);
    int call_gauge(GaugeRun &gauge, CallPhase phase, int32_t service);
    int update_string(GaugeRun &gauge, size_t index);
    int after_call(const GaugeRun *gauge, CallPhase phase, const panel_host::CallRecord *record);
    int end_in_gauge(const GaugeRun *gauge, CallPhase phase, int code, const std::string &what);
    TimelineEvent event(EventKind kind, const GaugeRun *gauge = 0);
    std::vector<panel_host::Instance *> instances();
    bool take_snapshot();
    bool draw_report_faces(std::vector<uint8_t> &png);
    void describe_run_for_report();
    int flush_step(uint32_t cycle);
    int run_cycles();
    int start_gauges(int32_t snapshot_at);
    void set_due_values(size_t &next_event);
    int run_cycle(int32_t snapshot_at, size_t &next_event);
    int end_gauges(uint32_t cycles);
    int finish_outputs();

    const Options &options_;
    FILE *out_, *err_;
    TimelineWriter writer_;
    Scenario scenario_;
    std::string sounds_dir_;                 // full path: warnings show one separator style
    OutputFile snapshot_file_, audio_file_, report_file_;
    std::unique_ptr<ReportCollector> report_;  // only with --report
    Panel panel_;
    std::vector<TimelineEvent> step_;
    uint32_t cycle_ = 0;
    double time_ = 0;
    SoundTracker sounds_;
    Image snapshot_;
    bool snapshot_taken_ = false;
    // The variables the gauges read and what they called that the host lacks; no fetch log, which
    // nothing in a run reads.
    panel_host::HostState host_{false};
};

}  // namespace bench
