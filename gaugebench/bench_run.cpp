// The bench's run: the host's order on every panel cycle, the sound library's journal turned
// into timeline events, and the snapshot and audio made from what the run saw.
#include "bench_run.h"

#include <math.h>
#include <stdlib.h>
#include <string.h>

#include <list>
#include <map>
#include <memory>

#include "panel_host.h"
#include "scenario.h"
#include "snapshot.h"
#include "snapshot_png.h"
#include "timeline.h"
#include "toolbox.h"
#include "wav_audio.h"

namespace bench {

const char *usage_text()
{
    return "usage: gaugebench [--scenario FILE] [options] MODULE.gau...\n"
           "Loads gauge modules into one stand-in host and runs them at 18 panel cycles a second of\n"
           "simulated time, then kills every gauge. Without --scenario it runs the built-in demo.\n"
           "  --scenario FILE       panel variables over time (see --print-demo for the format)\n"
           "  --json                write the timeline as JSON Lines\n"
           "  --every-call          list repeated calls that change nothing instead of folding them\n"
           "  --snapshot FILE.png   draw the gauge faces at the end of the run\n"
           "  --snapshot-at SECONDS draw them after the cycle at that time instead\n"
           "  --scale N             snapshot scale, 1 to 16 (default 1)\n"
           "  --audio FILE.wav      render what the sound library plays (22050 Hz, 16-bit mono)\n"
           "  --sounds DIR          the folder the gauges' sound paths are relative to\n"
           "  --print-demo          print the built-in demo scenario and exit\n"
           "Exit codes: 0 done, 1 a module or file failed, 2 bad command line or scenario,\n"
           "3 a gauge called a host service the bench does not provide, 4 a gauge crashed.\n";
}

static bool parse_number(const std::string &text, double &value)
{
    char *end = 0;
    value = strtod(text.c_str(), &end);
    return !text.empty() && *end == 0 && isfinite(value) && text.find_first_of("xXnN") == std::string::npos;
}

bool parse_options(const std::vector<std::string> &args, Options &options, std::string &error)
{
    options = Options();
    for (size_t i = 0; i < args.size(); ++i) {
        std::string arg = args[i];
        if (arg.size() < 2 || arg[0] != '-') {
            options.modules.push_back(arg);
            continue;
        }
        std::string value;
        bool inline_value = false;
        size_t equals = arg.find('=');
        if (arg.compare(0, 2, "--") == 0 && equals != std::string::npos) {
            value = arg.substr(equals + 1);
            arg = arg.substr(0, equals);
            inline_value = true;
        }
        auto take_value = [&](const char *what) {
            if (inline_value)
                return true;
            if (i + 1 >= args.size()) {
                error = arg + " expects " + what;
                return false;
            }
            value = args[++i];
            return true;
        };
        auto flag = [&]() {
            if (inline_value)
                error = arg + " takes no value";
            return !inline_value;
        };
        if (arg == "--scenario") {
            if (!take_value("a scenario file"))
                return false;
            options.scenario_path = value;
        } else if (arg == "--json") {
            if (!flag())
                return false;
            options.json = true;
        } else if (arg == "--every-call") {
            if (!flag())
                return false;
            options.every_call = true;
        } else if (arg == "--snapshot") {
            if (!take_value("a PNG file name"))
                return false;
            options.snapshot_path = value;
        } else if (arg == "--snapshot-at") {
            if (!take_value("a time in seconds"))
                return false;
            if (!parse_number(value, options.snapshot_at) || options.snapshot_at < 0) {
                error = "--snapshot-at expects a time in seconds, got '" + value + "'";
                return false;
            }
        } else if (arg == "--scale") {
            double scale;
            if (!take_value("a whole number from 1 to 16"))
                return false;
            if (!parse_number(value, scale) || scale != floor(scale) || scale < 1 || scale > 16) {
                error = "--scale expects a whole number from 1 to 16, got '" + value + "'";
                return false;
            }
            options.scale = (int)scale;
        } else if (arg == "--audio") {
            if (!take_value("a WAV file name"))
                return false;
            options.audio_path = value;
        } else if (arg == "--sounds") {
            if (!take_value("a folder"))
                return false;
            options.sounds_dir = value;
        } else if (arg == "--print-demo") {
            options.print_demo = true;
        } else if (arg == "--help" || arg == "-h") {
            options.help = true;
        } else {
            error = "unknown option '" + args[i] + "' (see --help)";
            return false;
        }
    }
    if (options.help || options.print_demo)
        return true;
    if (options.modules.empty()) {
        error = "no gauge module given (see --help)";
        return false;
    }
    if (options.snapshot_at >= 0 && options.snapshot_path.empty()) {
        error = "--snapshot-at needs --snapshot FILE.png";
        return false;
    }
    if (!options.audio_path.empty() && options.sounds_dir.empty()) {
        error = "--audio needs --sounds DIR, the folder the gauges' sound paths are relative to";
        return false;
    }
    if (options.audio_path.empty() && !options.sounds_dir.empty()) {
        error = "--sounds is only used with --audio FILE.wav";
        return false;
    }
    return true;
}

// Creates (or empties) an output file now, so a bad path fails before the run, not after it.
static bool check_writable(const std::string &path)
{
    FILE *file = fopen(path.c_str(), "wb");
    if (!file)
        return false;
    fclose(file);
    return true;
}

static std::string file_stem(const std::string &path)
{
    size_t slash = path.find_last_of("\\/");
    std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    size_t dot = name.find_last_of('.');
    return dot == std::string::npos ? name : name.substr(0, dot);
}

static const char *effect_name(uint32_t effect)
{
    switch (effect) {
    case SOUND_EFFECT_PLAYED_ONCE: return "played once";
    case SOUND_EFFECT_STARTED_LOOP: return "started loop";
    case SOUND_EFFECT_ALREADY_PLAYING: return "already playing";
    case SOUND_EFFECT_STOPPED: return "stopped";
    case SOUND_EFFECT_NOT_PLAYING: return "not playing";
    case SOUND_EFFECT_TERMINATED: return "terminated";
    case SOUND_EFFECT_SET_FULL: return "not started, too many loops";
    }
    return "none";
}

struct GaugeRun {
    panel_host::Instance instance;
    std::string gauge;
    int number;
    std::vector<std::string> texts;  // each string element's text after its last update
};

class Runner {
public:
    Runner(const Options &options, FILE *out, FILE *err)
        : options_(options), out_(out), err_(err), writer_(out, options.json, options.every_call) {}
    int run();
    void fail_in_gauge(const std::string &what, int code);

private:
    int error(int code, const std::string &message);
    bool load_scenario();
    int load_modules();
    int make_instances();
    void call(GaugeRun &gauge, const char *phase, int32_t service);
    void collect_sounds(const GaugeRun *gauge, const char *phase);
    TimelineEvent event(EventKind kind, const GaugeRun *gauge = 0);
    void flush_step(uint32_t cycle);
    int finish_outputs();

    const Options &options_;
    FILE *out_, *err_;
    TimelineWriter writer_;
    Scenario scenario_;
    std::list<panel_host::Module> modules_;  // instances point into these: a list keeps them put
    std::vector<GaugeRun> gauges_;
    std::vector<TimelineEvent> step_;
    uint32_t cycle_ = 0;
    double time_ = 0;
    uint32_t journal_mark_ = 0;
    std::vector<std::string> playing_;             // loop names, as the library holds them
    std::vector<AudioCue> cues_;
    std::map<std::string, size_t> open_loops_;     // loop name to its cue
    Image snapshot_;
    bool snapshot_taken_ = false;
    // Where the run is, for a message when a gauge misbehaves.
    const GaugeRun *current_gauge_ = 0;
    const char *current_phase_ = "";
};

static Runner *active_runner;

static void unprovided_service(uint32_t byte_offset)
{
    char text[200];
    snprintf(text, sizeof text,
             "called the host service at byte %u of PANELS, which the bench does not provide "
             "(it provides only the variable fetch at byte 160)",
             byte_offset);
    active_runner->fail_in_gauge(text, EXIT_UNPROVIDED);
}

static LONG WINAPI gauge_crashed(EXCEPTION_POINTERS *pointers)
{
    if (!active_runner)
        return EXCEPTION_CONTINUE_SEARCH;
    char text[160];
    snprintf(text, sizeof text, "crashed: exception 0x%08lX at address %p",
             (unsigned long)pointers->ExceptionRecord->ExceptionCode, pointers->ExceptionRecord->ExceptionAddress);
    active_runner->fail_in_gauge(text, EXIT_GAUGE_CRASHED);
    return EXCEPTION_EXECUTE_HANDLER;
}

int Runner::error(int code, const std::string &message)
{
    fprintf(err_, "gaugebench: error: %s\n", message.c_str());
    fflush(err_);
    return code;
}

// The timeline up to the fault is kept: it shows what led there.
void Runner::fail_in_gauge(const std::string &what, int code)
{
    writer_.write_step(cycle_, step_);
    writer_.finish();
    fflush(out_);
    std::string who = current_gauge_ ? instance_label(current_gauge_->gauge, current_gauge_->number) + " (" +
                                           current_gauge_->instance.module->path + ")"
                                     : std::string("a gauge");
    char when[96];
    snprintf(when, sizeof when, " during %s at %.3f s (cycle %u)", current_phase_, time_, cycle_);
    error(code, who + " " + what + when);
    ExitProcess(code);
}

bool Runner::load_scenario()
{
    std::vector<uint8_t> bytes;
    std::string message;
    if (!toolbox::read_whole_file(options_.scenario_path, bytes, message)) {
        error(EXIT_USAGE, "cannot read the scenario file " + options_.scenario_path);
        return false;
    }
    if (!parse_scenario(std::string(bytes.begin(), bytes.end()), options_.scenario_path, scenario_, message)) {
        error(EXIT_USAGE, message);
        return false;
    }
    return true;
}

int Runner::load_modules()
{
    for (const std::string &path : options_.modules) {
        modules_.emplace_back();
        panel_host::Module &module = modules_.back();
        std::string message;
        if (!panel_host::load_module(path, module, message)) {
            modules_.pop_back();
            return error(EXIT_RUN_ERROR, message);
        }
        for (const panel_host::Module &other : modules_)
            if (&other != &module && other.handle == module.handle)
                return error(EXIT_USAGE, path + " is loaded twice (as " + other.path +
                                             "); to hold a gauge twice, use 'instances GAUGE 2' in a scenario");
    }
    return EXIT_OK;
}

int Runner::make_instances()
{
    // Gauges by name, in command-line order.
    struct Known {
        panel_host::Module *module;
        size_t index;
        std::string name;
    };
    std::vector<Known> known;
    for (panel_host::Module &module : modules_)
        for (size_t g = 0; g < module.gauges.size(); ++g) {
            const char *name = module.gauges[g]->gauge_name;
            known.push_back({&module, g, name && *name ? std::string(name) : file_stem(module.path)});
        }
    bool demo = options_.scenario_path.empty();
    if (demo) {
        // The demo holds the frequency cue gauge twice when it is loaded, as a 2D panel and a
        // virtual cockpit would.
        bool boomcue = false;
        for (const Known &gauge : known)
            boomcue |= gauge.name == "VQT7_Boomcue";
        std::string message;
        parse_scenario(demo_scenario(boomcue), "demo", scenario_, message);
    }
    std::map<std::string, int> counts;
    for (const InstanceRequest &request : scenario_.instances) {
        bool found = false;
        for (const Known &gauge : known)
            if (gauge.name == request.gauge || file_stem(gauge.module->path) == request.gauge) {
                counts[gauge.name] = request.count;
                found = true;
            }
        if (!found) {
            std::string names;
            for (const Known &gauge : known)
                names += (names.empty() ? "" : ", ") + gauge.name;
            return error(EXIT_USAGE, scenario_.source + ":" + std::to_string(request.line) +
                                         ": expected the name of a loaded gauge (" + names + "), got '" +
                                         request.gauge + "'");
        }
    }
    for (const Known &gauge : known) {
        int count = counts.count(gauge.name) ? counts[gauge.name] : 1;
        for (int n = 1; n <= count; ++n) {
            GaugeRun run{panel_host::make_instance(*gauge.module, gauge.index), gauge.name, n, {}};
            run.texts.resize(run.instance.strings.size());
            gauges_.push_back(run);
        }
    }
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

// Turns the journal's new entries into timeline events, keeps the set of playing loops, and
// notes for the audio when each sound starts and stops.
void Runner::collect_sounds(const GaugeRun *gauge, const char *phase)
{
    SOUND_JOURNAL *journal = panel_host::sound_journal();
    std::vector<SOUND_EVENT> events = panel_host::sound_events(journal_mark_);
    journal_mark_ = journal->event_count;
    auto stop_all = [&]() {
        for (auto &open : open_loops_)
            cues_[open.second].stop = time_;
        open_loops_.clear();
        playing_.clear();
    };
    for (const SOUND_EVENT &sound : events) {
        TimelineEvent line = event(EventKind::Sound, gauge);
        if (!gauge)
            line.gauge = "host";
        line.phase = phase;
        line.path = sound.path_is_null ? "(null)" : sound.path;
        line.name = sound.name_is_null ? "(null)" : sound.name;
        line.loop = sound.loop;
        line.effect = effect_name(sound.effect);
        line.count = sound.count;
        switch (sound.kind) {
        case SOUND_EVENT_PLAY:
            line.call = "play";
            if (sound.effect == SOUND_EFFECT_PLAYED_ONCE)
                cues_.push_back({line.path, time_, false});
            if (sound.effect == SOUND_EFFECT_STARTED_LOOP) {
                open_loops_[line.name] = cues_.size();
                cues_.push_back({line.path, time_, true});
                playing_.push_back(line.name);
            }
            break;
        case SOUND_EVENT_STOP:
            line.call = "stop";
            if (sound.effect == SOUND_EFFECT_STOPPED) {
                auto open = open_loops_.find(line.name);
                if (open != open_loops_.end()) {
                    cues_[open->second].stop = time_;
                    open_loops_.erase(open);
                }
                for (size_t i = 0; i < playing_.size(); ++i)
                    if (playing_[i] == line.name) {
                        playing_.erase(playing_.begin() + i);
                        break;
                    }
            }
            break;
        case SOUND_EVENT_TERMINATE:
            line.call = "terminate";
            stop_all();
            break;
        case SOUND_EVENT_ATTACH:
            line.call = "load";
            break;
        case SOUND_EVENT_DETACH:
            line.call = "unload";  // the library going away silences what it still played
            stop_all();
            break;
        default:
            continue;
        }
        line.playing = playing_;
        step_.push_back(line);
    }
}

void Runner::call(GaugeRun &gauge, const char *phase, int32_t service)
{
    current_gauge_ = &gauge;
    current_phase_ = phase;
    panel_host::call_gauge(gauge.instance, service);
    current_gauge_ = 0;
    collect_sounds(&gauge, phase);
}

void Runner::flush_step(uint32_t cycle)
{
    writer_.write_step(cycle, step_);
    step_.clear();
}

int Runner::run()
{
    if (options_.print_demo) {
        fputs(demo_scenario(true).c_str(), out_);
        return EXIT_OK;
    }
    if (!options_.scenario_path.empty() && !load_scenario())
        return EXIT_USAGE;
    for (const std::string *path : {&options_.snapshot_path, &options_.audio_path})
        if (!path->empty() && !check_writable(*path))
            return error(EXIT_RUN_ERROR, "cannot write " + *path);
    if (!options_.sounds_dir.empty()) {
        DWORD attributes = GetFileAttributesA(options_.sounds_dir.c_str());
        if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY))
            return error(EXIT_USAGE, "the sounds folder " + options_.sounds_dir + " does not exist");
    }
    if (!panel_host::use_sound_library("full"))
        return error(EXIT_RUN_ERROR, "the stand-in GaugeSound library is missing (sound\\full beside gaugebench.exe)");
    if (int code = load_modules())
        return code;
    if (int code = make_instances())
        return code;

    active_runner = this;
    panel_host::set_unprovided_service_handler(unprovided_service);
    SetUnhandledExceptionFilter(gauge_crashed);
    journal_mark_ = panel_host::sound_journal()->event_count;

    uint32_t cycles = cycle_count(scenario_.end_time);
    int32_t snapshot_cycle = -1;  // -1: after the start, when the run has no cycle
    if (cycles > 0)
        snapshot_cycle = options_.snapshot_at < 0 ? (int32_t)cycles - 1
                                                  : (int32_t)std::min<double>(floor(options_.snapshot_at * CYCLES_PER_SECOND + 1e-6), cycles - 1);
    auto take_snapshot = [&]() {
        if (options_.snapshot_path.empty())
            return true;
        std::vector<panel_host::Instance *> instances;
        for (GaugeRun &gauge : gauges_)
            instances.push_back(&gauge.instance);
        std::string message;
        if (!draw_faces(instances, options_.scale, snapshot_, message))
            return false;
        snapshot_taken_ = true;
        TimelineEvent line = event(EventKind::Snapshot);
        line.file = options_.snapshot_path;
        step_.push_back(line);
        return true;
    };

    // Start: PRE_INITIALIZE for every instance.
    TimelineEvent start = event(EventKind::Start);
    for (const GaugeRun &gauge : gauges_)
        start.gauges.push_back(instance_label(gauge.gauge, gauge.number));
    step_.push_back(start);
    for (GaugeRun &gauge : gauges_)
        call(gauge, "initialize", PANEL_SERVICE_PRE_INITIALIZE);
    if (snapshot_cycle < 0 && !take_snapshot())
        return error(EXIT_RUN_ERROR, "cannot draw the snapshot");
    flush_step(0);

    // Each cycle: the scenario's values due by now, then per instance PRE_UPDATE, the string
    // elements' updates and PRE_DRAW.
    size_t next_event = 0;
    for (cycle_ = 0; cycle_ < cycles; ++cycle_) {
        time_ = cycle_time(cycle_);
        while (next_event < scenario_.events.size() &&
               cycle_at_or_after(scenario_.events[next_event].time) <= cycle_) {
            const ScenarioEvent &due = scenario_.events[next_event++];
            for (const VarSetting &setting : due.settings)
                panel_host::set_var_bits(setting.token, setting.bits);
            TimelineEvent line = event(EventKind::Set);
            line.settings = due.settings;
            line.scenario_time = due.time;
            step_.push_back(line);
        }
        for (GaugeRun &gauge : gauges_) {
            call(gauge, "update", PANEL_SERVICE_PRE_UPDATE);
            for (size_t s = 0; s < gauge.instance.strings.size(); ++s) {
                current_gauge_ = &gauge;
                current_phase_ = "string update";
                panel_host::update_string(gauge.instance, gauge.instance.strings[s]);
                current_gauge_ = 0;
                collect_sounds(&gauge, "string update");
                const std::string &text = gauge.instance.strings[s].text;
                if (text != gauge.texts[s]) {
                    TimelineEvent line = event(EventKind::Text, &gauge);
                    line.element = (int)s;
                    line.old_text = gauge.texts[s];
                    line.new_text = text;
                    step_.push_back(line);
                    gauge.texts[s] = text;
                }
            }
            call(gauge, "draw", PANEL_SERVICE_PRE_DRAW);
        }
        if ((int32_t)cycle_ == snapshot_cycle && !take_snapshot())
            return error(EXIT_RUN_ERROR, "cannot draw the snapshot");
        flush_step(cycle_);
    }

    // End: PRE_KILL for every instance, then the modules are unloaded.
    time_ = scenario_.end_time;
    for (GaugeRun &gauge : gauges_) {
        step_.push_back(event(EventKind::Kill, &gauge));
        call(gauge, "kill", PANEL_SERVICE_PRE_KILL);
    }
    current_phase_ = "unload";
    for (panel_host::Module &module : modules_)
        panel_host::unload_module(module);
    collect_sounds(0, "unload");
    step_.push_back(event(EventKind::End));
    flush_step(cycles);
    writer_.finish();
    active_runner = 0;
    return finish_outputs();
}

int Runner::finish_outputs()
{
    std::string message;
    if (snapshot_taken_ && !write_png_file(snapshot_, options_.snapshot_path, message))
        return error(EXIT_RUN_ERROR, message);
    if (!options_.audio_path.empty()) {
        // The library's unload at the end silences whatever still sounds.
        for (AudioCue &cue : cues_)
            cue.stop = std::min(cue.stop, scenario_.end_time);
        std::vector<std::string> warnings;
        bool written = write_audio_file(cues_, scenario_.end_time, options_.sounds_dir, options_.audio_path, warnings, message);
        for (const std::string &warning : warnings)
            fprintf(err_, "gaugebench: %s\n", warning.c_str());
        if (!written)
            return error(EXIT_RUN_ERROR, message);
    }
    fflush(err_);
    return EXIT_OK;
}

int run_bench(const Options &options, FILE *out, FILE *err)
{
    Runner runner(options, out, err);
    return runner.run();
}

}  // namespace bench
