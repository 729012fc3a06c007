// A run's outputs: opened before the run so that a target that cannot be written fails first,
// the snapshot and the report's faces drawn during it, and everything written to temporary files
// and put in place only when the whole run has succeeded.
#include <math.h>

#include "mixer.h"
#include "report_file.h"
#include "run_state.h"
#include "snapshot_png.h"
#include "toolbox.h"

namespace bench {

// The report's faces at twice their size: a 40-pixel readout is hard to read at one.
static const int REPORT_FACE_SCALE = 2;

int Runner::open_outputs()
{
    std::string reason;
    if (!options_.snapshot_path.empty() && !snapshot_file_.open(options_.snapshot_path, reason))
        return error(EXIT_RUN_ERROR, "cannot write " + options_.snapshot_path + ": " + reason);
    if (!options_.audio_path.empty() && !audio_file_.open(options_.audio_path, reason))
        return error(EXIT_RUN_ERROR, "cannot write " + options_.audio_path + ": " + reason);
    if (!options_.report_path.empty() && !report_file_.open(options_.report_path, reason))
        return error(EXIT_RUN_ERROR, "cannot write " + options_.report_path + ": " + reason);
    return EXIT_OK;
}

// The cycle after which the faces are drawn; -1 (after the start) when the run has no cycle.
int32_t Runner::snapshot_cycle(uint32_t cycles)
{
    if (options_.snapshot_path.empty() || cycles == 0)
        return -1;
    if (options_.snapshot_at < 0)
        return (int32_t)cycles - 1;
    uint32_t wanted = (uint32_t)std::min<double>(floor(options_.snapshot_at * CYCLES_PER_SECOND + 1e-6), 1e9);
    if (wanted < cycles)
        return (int32_t)wanted;
    char text[160];
    snprintf(text, sizeof text,
             "--snapshot-at %g s is past the run's last cycle; the snapshot shows cycle %u at %.3f s",
             options_.snapshot_at, cycles - 1, cycle_time(cycles - 1));
    warn(text);
    return (int32_t)cycles - 1;
}

std::vector<panel_host::Instance *> Runner::instances()
{
    std::vector<panel_host::Instance *> instances;
    for (GaugeRun &gauge : panel_.gauges)
        instances.push_back(&gauge.instance);
    return instances;
}

bool Runner::take_snapshot()
{
    if (options_.snapshot_path.empty())
        return true;
    std::string message;
    if (!draw_faces(instances(), options_.scale, snapshot_, message))
        return false;
    snapshot_taken_ = true;
    TimelineEvent line = event(EventKind::Snapshot);
    line.file = options_.snapshot_path;
    step_.push_back(line);
    return true;
}

bool Runner::draw_report_faces(std::vector<uint8_t> &png)
{
    Image image;
    std::string message;
    return draw_faces(instances(), REPORT_FACE_SCALE, image, message) && encode_png(image, png, message);
}

// What the report's summary names: each gauge with its module and instances, and the scenario.
void Runner::describe_run_for_report()
{
    ReportRecord &record = report_->record();
    for (const GaugeRun &gauge : panel_.gauges) {
        if (record.gauges.empty() || record.gauges.back().gauge != gauge.gauge)
            record.gauges.push_back({toolbox::file_name(gauge.instance.module->path), gauge.gauge, 0});
        record.gauges.back().instances++;
    }
    if (!options_.scenario_path.empty())
        record.scenario = toolbox::file_name(options_.scenario_path);
}

// Every output into its temporary file first; only when all are written do they replace
// their targets.
int Runner::finish_outputs()
{
    // The writers' own messages name the temporary file: the user is told the target.
    std::string reason;
    if (snapshot_taken_ && !write_png_file(snapshot_, snapshot_file_.temporary(), reason))
        return error(EXIT_RUN_ERROR, "cannot write " + options_.snapshot_path);
    if (!options_.audio_path.empty()) {
        sounds_.finish(scenario_.end_time);
        std::vector<std::string> warnings;
        bool written = write_mix_file(sounds_.cues(), scenario_.end_time, sounds_dir_, audio_file_.temporary(),
                                        warnings, reason);
        for (const std::string &warning : warnings)
            warn(warning);
        if (!written)
            return error(EXIT_RUN_ERROR, "cannot write " + options_.audio_path);
    }
    if (report_ && !write_report_file(report_->record(), options_.audio_path.empty() ? "" : audio_file_.temporary(),
                                      report_file_.temporary(), reason))
        return error(EXIT_RUN_ERROR, "cannot write " + options_.report_path + ": " + reason);
    // Every target checked before any is replaced: a run that fails leaves all of them as they were.
    for (OutputFile *file : {&snapshot_file_, &audio_file_, &report_file_})
        if (!file->temporary().empty() && !file->can_replace(reason))
            return error(EXIT_RUN_ERROR, "cannot write " + file->target() + ": " + reason);
    for (OutputFile *file : {&snapshot_file_, &audio_file_, &report_file_})
        if (!file->temporary().empty() && !file->commit(reason))
            return error(EXIT_RUN_ERROR, "cannot write " + file->target() + ": " + reason);
    fflush(err_);
    return EXIT_OK;
}

}  // namespace bench
