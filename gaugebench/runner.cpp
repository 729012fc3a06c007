// The run: scenario and modules in, the host's order on every panel cycle, outputs out. Every
// call into gauge code, a gauge callback or a string element's update, comes back to the run with
// how it went (the stand-in host's thunk ends a call that faults); everything of the run lives
// in its Runner.
#include "runner.h"

#include <math.h>
#include <windows.h>

#include "run_state.h"
#include "standin_host.h"
#include "toolbox.h"

namespace bench {

static std::string unprovided_text(uint32_t byte_offset)
{
    char text[200];
    snprintf(text, sizeof text,
             "called the host service at byte %u of PANELS, which the bench does not provide "
             "(it provides only the variable fetch at byte %u)",
             byte_offset, host_contract::PANELS_FETCH_VAR_AT);
    return text;
}

// The first register the call did not keep, in the thunk's order.
static std::string broken_register_text(const panel_host::CallRecord &record)
{
    const auto &names = panel_host::SAVED_NAMES;
    char text[120] = "broke the caller's registers";
    for (int r = 0; r < panel_host::SAVED_COUNT; ++r)
        if (record.handed[r] != record.returned[r]) {
            snprintf(text, sizeof text, "broke the caller's %s (%s 0x%08X, returned 0x%08X)", names[r],
                     r == panel_host::SAVED_ESP ? "expected" : "handed", (unsigned)record.handed[r],
                     (unsigned)record.returned[r]);
            break;
        }
    return text;
}

static std::string crash_text(const panel_host::CallRecord &record)
{
    char text[160];
    snprintf(text, sizeof text, "crashed: exception 0x%08lX at address %p", (unsigned long)record.fault_code,
             (void *)(uintptr_t)record.fault_address);
    return text;
}

int Runner::error(int code, const std::string &message)
{
    fprintf(err_, "gaugebench: error: %s\n", message.c_str());
    fflush(err_);
    return code;
}

void Runner::warn(const std::string &message)
{
    fprintf(err_, "gaugebench: warning: %s\n", message.c_str());
    fflush(err_);
    if (report_)
        report_->add_warning(message);
}

// The one place where a run ends from inside a gauge's call: a service the bench does not
// provide, a crash, or a register the host keeps broken. The call has come back to the run by
// then, and no gauge code runs after it. The timeline up to the fault is written, since it shows
// what led there; every temporary output (the report's too) is removed, so every target stays
// as it was; the returned code is the run's exit code.
int Runner::end_in_gauge(const GaugeRun *gauge, CallPhase phase, int code, const std::string &what)
{
    writer_.write_step(cycle_, step_);
    writer_.finish();
    for (OutputFile *file : {&snapshot_file_, &audio_file_, &report_file_})
        file->discard();
    std::string who = gauge ? instance_label(gauge->gauge, gauge->number) + " (" + gauge->instance.module->path + ")"
                            : std::string("a gauge");
    char when[96];
    snprintf(when, sizeof when, " during %s at %.3f s (cycle %u)", phase_word(phase), time_, cycle_);
    return error(code, who + " " + what + when);
}

int Runner::load_scenario()
{
    std::vector<uint8_t> bytes;
    std::string reason, message;
    if (!toolbox::read_whole_file(options_.scenario_path, bytes, reason, 16u << 20))
        return error(EXIT_USAGE, "cannot read the scenario file " + options_.scenario_path + ": " + reason);
    if (!parse_scenario(std::string(bytes.begin(), bytes.end()), options_.scenario_path, scenario_, message))
        return error(EXIT_USAGE, message);
    return EXIT_OK;
}

TimelineEvent Runner::event(EventKind kind, const GaugeRun *gauge)
{
    TimelineEvent event;
    event.kind = kind;
    event.cycle = cycle_;
    event.time = time_;
    if (gauge) {
        event.gauge = gauge->gauge;
        event.instance = gauge->number;
    }
    return event;
}

// A call into gauge code has come back (`record`: how it went; none for the modules' unloading,
// which runs their entry points through the system's loader). Either the run ends here, or the
// sound calls it made join the step. A gauge that caught the host's exception for an unprovided
// service and went on has still called it.
int Runner::after_call(const GaugeRun *gauge, CallPhase phase, const panel_host::CallRecord *record)
{
    if (host_.unprovided_calls)
        return end_in_gauge(gauge, phase, EXIT_UNPROVIDED, unprovided_text(host_.last_unprovided_offset));
    if (record && record->faulted())
        return end_in_gauge(gauge, phase, EXIT_GAUGE_CRASHED, crash_text(*record));
    // The thunk put the bench's own registers back, but the simulator would have run on with
    // the broken ones and crashed soon after.
    if (record && !record->kept())
        return end_in_gauge(gauge, phase, EXIT_GAUGE_CRASHED, broken_register_text(*record));
    sounds_.collect(event(EventKind::Sound, gauge), phase, step_);
    return EXIT_OK;
}

// The gauge callback with one service code.
int Runner::call_gauge(GaugeRun &gauge, CallPhase phase, int32_t service)
{
    panel_host::CallRecord record;
    panel_host::call_gauge(gauge.instance, service, 0, &record);
    return after_call(&gauge, phase, &record);
}

// One string element's update, and its text when it changed.
int Runner::update_string(GaugeRun &gauge, size_t index)
{
    panel_host::CallRecord record;
    panel_host::StringElement &string = gauge.instance.strings[index];
    panel_host::update_string(gauge.instance, string, &record);
    if (int code = after_call(&gauge, CallPhase::StringUpdate, &record))
        return code;
    if (string.text != gauge.texts[index]) {
        TimelineEvent line = event(EventKind::Text, &gauge);
        line.element = (int)index;
        line.old_text = gauge.texts[index];
        line.new_text = string.text;
        step_.push_back(line);
        gauge.texts[index] = string.text;
    }
    return EXIT_OK;
}

int Runner::flush_step(uint32_t cycle)
{
    writer_.write_step(cycle, step_);
    if (report_)
        report_->add_step(cycle, step_);
    step_.clear();
    if (writer_.failed())
        return error(EXIT_RUN_ERROR, "cannot write the timeline (the disk is full or the output was closed)");
    return EXIT_OK;
}

// Start: PRE_INITIALIZE for every instance, and the snapshot when it is taken before any cycle.
int Runner::start_gauges(int32_t snapshot_at)
{
    TimelineEvent start = event(EventKind::Start);
    for (const GaugeRun &gauge : panel_.gauges)
        start.gauges.push_back(instance_label(gauge.gauge, gauge.number));
    step_.push_back(start);
    for (GaugeRun &gauge : panel_.gauges)
        if (int code = call_gauge(gauge, CallPhase::Initialize, host_contract::SERVICE_PRE_INITIALIZE))
            return code;
    if (snapshot_at < 0 && !take_snapshot())
        return error(EXIT_RUN_ERROR, "cannot draw the snapshot");
    return flush_step(0);
}

// The scenario's values due by this cycle, from `next_event` on.
void Runner::set_due_values(size_t &next_event)
{
    while (next_event < scenario_.events.size() && cycle_at_or_after(scenario_.events[next_event].time) <= cycle_) {
        const ScenarioEvent &due = scenario_.events[next_event++];
        for (const VarSetting &setting : due.settings)
            panel_host::set_var_bits(setting.token, setting.bits);
        TimelineEvent line = event(EventKind::Set);
        line.settings = due.settings;
        line.scenario_time = due.time;
        step_.push_back(line);
    }
}

// One cycle: the values due, then per instance PRE_UPDATE, the string elements' updates and
// PRE_DRAW; the snapshot, the timeline's step and the report's faces as they fall due.
int Runner::run_cycle(int32_t snapshot_at, size_t &next_event)
{
    time_ = cycle_time(cycle_);
    set_due_values(next_event);
    for (GaugeRun &gauge : panel_.gauges) {
        if (int code = call_gauge(gauge, CallPhase::Update, host_contract::SERVICE_PRE_UPDATE))
            return code;
        for (size_t s = 0; s < gauge.instance.strings.size(); ++s)
            if (int code = update_string(gauge, s))
                return code;
        if (int code = call_gauge(gauge, CallPhase::Draw, host_contract::SERVICE_PRE_DRAW))
            return code;
    }
    if ((int32_t)cycle_ == snapshot_at && !take_snapshot())
        return error(EXIT_RUN_ERROR, "cannot draw the snapshot");
    if (int code = flush_step(cycle_))
        return code;
    if (report_ && report_->wants_text_face()) {
        std::vector<uint8_t> png;
        if (!draw_report_faces(png))
            return error(EXIT_RUN_ERROR, "cannot draw the faces for the report");
        report_->add_text_face(std::move(png));
    }
    return EXIT_OK;
}

// End: the report's last faces, PRE_KILL for every instance, then the modules are unloaded and
// the timeline finished.
int Runner::end_gauges(uint32_t cycles)
{
    if (report_) {
        ReportFace &end = report_->record().end_face;
        end.cycle = cycles ? cycles - 1 : 0;
        end.time = cycle_time(end.cycle);
        if (!draw_report_faces(end.png))
            return error(EXIT_RUN_ERROR, "cannot draw the faces for the report");
    }
    time_ = scenario_.end_time;
    for (GaugeRun &gauge : panel_.gauges) {
        step_.push_back(event(EventKind::Kill, &gauge));
        if (int code = call_gauge(gauge, CallPhase::Kill, host_contract::SERVICE_PRE_KILL))
            return code;
    }
    for (panel_host::Module &module : panel_.modules)
        panel_host::unload_module(module);
    if (int code = after_call(0, CallPhase::Unload, 0))
        return code;
    step_.push_back(event(EventKind::End));
    if (int code = flush_step(cycles))
        return code;
    writer_.finish();
    if (report_)
        report_->finish(scenario_.end_time, cycles);
    if (writer_.failed())
        return error(EXIT_RUN_ERROR, "cannot write the timeline (the disk is full or the output was closed)");
    return EXIT_OK;
}

int Runner::run_cycles()
{
    uint32_t cycles = cycle_count(scenario_.end_time);
    int32_t snapshot_at = snapshot_cycle(cycles);
    if (int code = start_gauges(snapshot_at))
        return code;
    size_t next_event = 0;
    for (cycle_ = 0; cycle_ < cycles; ++cycle_)
        if (int code = run_cycle(snapshot_at, next_event))
            return code;
    return end_gauges(cycles);
}

int Runner::run()
{
    panel_host::HostScope host(host_);
    if (options_.print_demo) {
        std::string demo = demo_scenario(true);
        if (fwrite(demo.data(), 1, demo.size(), out_) != demo.size() || fflush(out_) != 0)
            return error(EXIT_RUN_ERROR, "cannot write the demo scenario (the output was closed)");
        return EXIT_OK;
    }
    if (!options_.scenario_path.empty())
        if (int code = load_scenario())
            return code;
    if (!options_.sounds_dir.empty()) {
        std::wstring full = toolbox::full_path_w(options_.sounds_dir);
        DWORD attributes = full.empty() ? INVALID_FILE_ATTRIBUTES : GetFileAttributesW(full.c_str());
        if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY))
            return error(EXIT_USAGE, "the sounds folder " + options_.sounds_dir + " does not exist");
        sounds_dir_ = toolbox::narrow(full);
    }
    if (int code = open_outputs())
        return code;
    // Folding the timeline costs as much as the rest of a long run: the report's table shares the
    // run's folded text timeline when there is one.
    if (!options_.report_path.empty()) {
        bool shares_timeline = !options_.json && !options_.every_call;
        report_.reset(new ReportCollector(!shares_timeline));
        if (shares_timeline)
            writer_.copy_rows_to(report_->table_sink());
    }
    if (!panel_host::use_sound_library("full"))
        return error(EXIT_RUN_ERROR, "the stand-in GaugeSound library is missing (sound\\full beside gaugebench.exe)");

    std::string message;
    int code = load_modules(options_.modules, panel_, message);
    if (!code)
        code = make_instances(panel_, options_.scenario_path.empty(), scenario_, message);
    if (code)
        error(code, message);
    if (!code) {
        if (report_)
            describe_run_for_report();
        sounds_.start();
        code = run_cycles();
    }
    return code ? code : finish_outputs();
}

int run_bench(const Options &options, FILE *out, FILE *err)
{
    Runner runner(options, out, err);
    return runner.run();
}

}  // namespace bench
