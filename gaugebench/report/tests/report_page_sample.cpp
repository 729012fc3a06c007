// A run's report page without Windows: a fixed run's steps, handed to the report's collector and
// to the JSON timeline writer as the bench hands its own, so that the browser test can hold the
// page to the timeline natively.
//   report_page_sample demo PAGE RENDER.wav   # two one-shots, three loop spans, the render
//   report_page_sample variables PAGE         # fifty variables set at 0 s and 1.5 s
// The JSON timeline goes to stdout.
#include <stdio.h>
#include <string.h>

#include <algorithm>
#include <string>
#include <vector>

#include "report_page.h"
#include "report_record.h"
#include "timeline_events.h"

using namespace bench;

namespace {

// A call of the frequency cue's readout or of the drag cue's update; a loop started plays alone.
TimelineEvent gauge_call(uint32_t cycle, const char *gauge, SoundCall call, const char *path, const char *name,
                         SoundEffect effect)
{
    bool readout = std::string(gauge) == "VQT7_Boomcue";
    return sound(cycle, gauge, readout ? CallPhase::StringUpdate : CallPhase::Update, call, path, name, effect,
                 effect == SoundEffect::StartedLoop ? std::vector<std::string>{name} : std::vector<std::string>{});
}

TimelineEvent set(uint32_t cycle, std::vector<VarSetting> settings)
{
    TimelineEvent event = at(EventKind::Set, cycle);
    event.scenario_time = event.time;
    event.settings = std::move(settings);
    return event;
}

struct Run {
    std::vector<std::pair<uint32_t, std::vector<TimelineEvent>>> steps;
    uint32_t cycles;
};

Run demo()
{
    const char *cue = "sound\\QX\\Supersonic.wav", *brake = "sound\\QX\\Speed_Brake.wav";
    TimelineEvent start = at(EventKind::Start, 0);
    start.gauges = {"VQT7_Boomcue[1]", "VQT7_Drag_Drone[1]"};
    Run run{{}, 234};  // 13 s
    run.steps.push_back({0, {start, set(0, {{870, true, 0x1800, "0x1800"}})}});
    run.steps.push_back({36, {gauge_call(36, "VQT7_Boomcue", SoundCall::Play, cue, "", SoundEffect::PlayedOnce)}});
    for (uint32_t from : {54u, 108u, 180u})
        run.steps.push_back(
            {from, {gauge_call(from, "VQT7_Drag_Drone", SoundCall::Play, brake, "SPBR", SoundEffect::StartedLoop)}});
    for (uint32_t to : {90u, 144u})
        run.steps.push_back({to, {gauge_call(to, "VQT7_Drag_Drone", SoundCall::Stop, "", "SPBR", SoundEffect::Stopped)}});
    run.steps.push_back({171, {gauge_call(171, "VQT7_Boomcue", SoundCall::Play, cue, "", SoundEffect::PlayedOnce)}});
    return run;
}

// Odd tokens decimal, even ones hex, so that both kinds of lane are drawn.
Run fifty_variables()
{
    Run run{{}, 54};  // 3 s
    for (uint32_t cycle : {0u, 27u}) {
        std::vector<VarSetting> settings;
        for (uint32_t token = 1; token <= 50; ++token) {
            uint64_t value = cycle ? token * 3 : token;
            bool decimal = token % 2;
            char text[16];
            snprintf(text, sizeof text, decimal ? "%llu" : "0x%04llX", (unsigned long long)value);
            settings.push_back({token, true, value, text});
        }
        run.steps.push_back({cycle, {set(cycle, settings)}});
    }
    return run;
}

}  // namespace

int main(int argc, char **argv)
{
    bool is_demo = argc == 4 && strcmp(argv[1], "demo") == 0;
    if (!is_demo && !(argc == 3 && strcmp(argv[1], "variables") == 0)) {
        fprintf(stderr, "usage: report_page_sample demo PAGE RENDER.wav | variables PAGE\n");
        return 2;
    }
    Run run = is_demo ? demo() : fifty_variables();
    std::sort(run.steps.begin(), run.steps.end(),
              [](const auto &a, const auto &b) { return a.first < b.first; });
    TimelineEvent end = at(EventKind::End, run.cycles);
    run.steps.push_back({run.cycles, {end}});

    ReportCollector collector;
    TimelineWriter timeline(stdout, true, false);
    for (const auto &[cycle, events] : run.steps) {
        collector.add_step(cycle, events);
        timeline.write_step(cycle, events);
    }
    timeline.finish();
    collector.finish(run.cycles / 18.0, run.cycles);
    collector.record().gauges = {{"VQT7_Boomcue.gau", "VQT7_Boomcue", 1}, {"VQT7_Drag_Drone.gau", "VQT7_Drag_Drone", 1}};

    FILE *render = is_demo ? fopen(argv[3], "rb") : nullptr;
    if (is_demo && !render) {
        fprintf(stderr, "report_page_sample: cannot read %s\n", argv[3]);
        return 1;
    }
    ReportAudio audio;
    audio.seconds = run.cycles / 18.0;
    audio.read = [render](uint8_t *buffer, size_t size, size_t &got) {
        got = fread(buffer, 1, size, render);
        return !ferror(render);
    };
    FILE *page = fopen(argv[2], "wb");
    bool written = page && write_report_page(collector.record(), render ? &audio : nullptr,
                                             [page](const char *bytes, size_t size) {
                                                 return fwrite(bytes, 1, size, page) == size;
                                             });
    if (render)
        fclose(render);
    if (!page || fclose(page) != 0 || !written) {
        fprintf(stderr, "report_page_sample: cannot write %s\n", argv[2]);
        return 1;
    }
    return 0;
}
