// Timeline formatting: the readable text lines and the JSON Lines records.
#include "timeline.h"

#include <math.h>

#include <nlohmann/json.hpp>

#include "json_line.h"

namespace bench {

std::string instance_label(const std::string &gauge, int instance)
{
    return instance ? gauge + "[" + std::to_string(instance) + "]" : gauge;
}

static const char *kind_name(EventKind kind)
{
    switch (kind) {
    case EventKind::Start: return "start";
    case EventKind::Set: return "set";
    case EventKind::Sound: return "sound";
    case EventKind::Text: return "text";
    case EventKind::Kill: return "kill";
    case EventKind::Snapshot: return "snapshot";
    case EventKind::End: return "end";
    }
    return "?";
}

const char *phase_word(CallPhase phase)
{
    switch (phase) {
    case CallPhase::Initialize: return "initialize";
    case CallPhase::Update: return "update";
    case CallPhase::StringUpdate: return "string update";
    case CallPhase::Draw: return "draw";
    case CallPhase::Kill: return "kill";
    case CallPhase::Unload: return "unload";
    }
    return "?";
}

static const char *call_word(SoundCall call)
{
    switch (call) {
    case SoundCall::Play: return "play";
    case SoundCall::Stop: return "stop";
    case SoundCall::Terminate: return "terminate";
    case SoundCall::Load: return "load";
    case SoundCall::Unload: return "unload";
    }
    return "?";
}

static const char *effect_word(SoundEffect effect)
{
    switch (effect) {
    case SoundEffect::None: return "none";
    case SoundEffect::PlayedOnce: return "played once";
    case SoundEffect::StartedLoop: return "started loop";
    case SoundEffect::AlreadyPlaying: return "already playing";
    case SoundEffect::Stopped: return "stopped";
    case SoundEffect::NotPlaying: return "not playing";
    case SoundEffect::Terminated: return "terminated";
    case SoundEffect::SetFull: return "not started, too many loops";
    }
    return "?";
}

// Quoted as the gauge passed it: backslashes in paths stay single, only quotes and bytes
// outside printable ASCII are escaped.
static std::string quoted(const std::string &text)
{
    std::string out = "\"";
    for (unsigned char c : text) {
        if (c == '"') {
            out += "\\\"";
        } else if (c < 0x20 || c >= 0x7F) {
            char escape[8];
            snprintf(escape, sizeof escape, "\\x%02X", c);
            out += escape;
        } else {
            out += (char)c;
        }
    }
    return out + "\"";
}

std::string TimelineWriter::call_text(const TimelineEvent &event)
{
    switch (event.call) {
    case SoundCall::Play:
        return "play(" + quoted(event.path) + ", " + quoted(event.name) + ", " + std::to_string(event.loop) + ")";
    case SoundCall::Stop: return "stop(" + quoted(event.name) + ")";
    case SoundCall::Terminate: return "terminate()";
    case SoundCall::Load: return "GaugeSound loaded";
    case SoundCall::Unload: return "GaugeSound unloaded";
    }
    return "?";
}

static std::string playing_text(const std::vector<std::string> &playing)
{
    if (playing.empty())
        return "none";
    std::string text;
    for (const std::string &name : playing)
        text += (text.empty() ? "" : ", ") + name;
    return text;
}

static std::string setting_text(const VarSetting &setting)
{
    return std::to_string(setting.token) + "=" + setting.text;
}

std::string TimelineRow::text() const
{
    char lead[48];
    snprintf(lead, sizeof lead, "%8.3f %6u  %-8s ", time, cycle, event);
    return lead + what;
}

TimelineRow TimelineWriter::row_of(const TimelineEvent &event)
{
    TimelineRow row;
    row.time = event.time;
    row.cycle = event.cycle;
    row.event = kind_name(event.kind);
    std::string &line = row.what;
    std::string who = instance_label(event.gauge, event.instance);
    switch (event.kind) {
    case EventKind::Start:
        for (size_t i = 0; i < event.gauges.size(); ++i)
            line += (i ? ", " : "") + event.gauges[i];
        line += "; " + std::to_string(CYCLES_PER_SECOND) + " cycles a second";
        break;
    case EventKind::Set:
        for (size_t i = 0; i < event.settings.size(); ++i)
            line += (i ? " " : "") + setting_text(event.settings[i]);
        if (fabs(event.scenario_time - event.time) > 1e-9) {
            char at[48];
            snprintf(at, sizeof at, " (given for %g s)", event.scenario_time);
            line += at;
        }
        break;
    case EventKind::Sound:
        line += who + " " + phase_word(event.phase) + ": " + call_text(event);
        if (event.call == SoundCall::Load)
            break;
        if (event.call == SoundCall::Unload) {
            if (event.count)
                line += ", silencing " + std::to_string(event.count);
            break;
        }
        line += std::string(" -> ") + effect_word(event.effect);
        if (event.call == SoundCall::Terminate)
            line += " " + std::to_string(event.count);
        line += "; playing: " + playing_text(event.playing);
        break;
    case EventKind::Text:
        line += who + (event.element ? " element " + std::to_string(event.element) : std::string()) + " " +
                quoted(event.old_text) + " -> " + quoted(event.new_text);
        break;
    case EventKind::Kill:
        line += who;
        break;
    case EventKind::Snapshot:
        line += event.file;
        break;
    case EventKind::End:
        line += "every gauge killed, modules unloaded after " + std::to_string(event.cycle) + " cycles";
        break;
    }
    return row;
}

// The times lead each record in fixed notation with six places, as in the text timeline; every
// other field, strings above all, is the JSON library's. A gauge's text may hold any bytes:
// what is not UTF-8 becomes U+FFFD rather than an exception or a line no reader accepts.
std::string TimelineWriter::json_line(const TimelineEvent &event)
{
    char lead[128];
    int lead_length = snprintf(lead, sizeof lead, "{\"t\":%.6f,\"cycle\":%u,\"event\":\"%s\"", event.time,
                               event.cycle, kind_name(event.kind));
    if (event.kind == EventKind::Set)
        snprintf(lead + lead_length, sizeof lead - lead_length, ",\"scenario_t\":%.6f", event.scenario_time);
    nlohmann::ordered_json rest = nlohmann::ordered_json::object();
    auto who = [&]() {
        rest["gauge"] = event.gauge;
        rest["instance"] = event.instance;
    };
    switch (event.kind) {
    case EventKind::Start:
        rest["cycles_per_second"] = CYCLES_PER_SECOND;
        rest["gauges"] = event.gauges;
        break;
    case EventKind::Set: {
        nlohmann::ordered_json vars = nlohmann::ordered_json::array();
        for (const VarSetting &setting : event.settings)
            vars.push_back({{"token", setting.token},
                            {"value", setting.text},
                            {"as", setting.is_integer ? "integer" : "float"}});
        rest["vars"] = vars;
        break;
    }
    case EventKind::Sound:
        who();
        rest["phase"] = phase_word(event.phase);
        rest["call"] = call_word(event.call);
        if (event.call == SoundCall::Play) {
            rest["path"] = event.path;
            rest["name"] = event.name;
            rest["loop"] = event.loop;
        }
        if (event.call == SoundCall::Stop)
            rest["name"] = event.name;
        if (event.call == SoundCall::Terminate || event.call == SoundCall::Unload)
            rest["count"] = event.count;
        if (event.call != SoundCall::Load && event.call != SoundCall::Unload)
            rest["effect"] = effect_word(event.effect);
        rest["playing"] = event.playing;
        break;
    case EventKind::Text:
        who();
        rest["element"] = event.element;
        rest["old"] = event.old_text;
        rest["new"] = event.new_text;
        break;
    case EventKind::Kill:
        who();
        break;
    case EventKind::Snapshot:
        rest["file"] = event.file;
        break;
    case EventKind::End:
        break;
    }
    std::string fields = toolbox::json_line(rest);
    // "{...}" without its opening brace follows the lead; an empty object leaves only "}".
    return std::string(lead) + (fields.size() > 2 ? "," + fields.substr(1) : "}");
}

static bool changes_nothing(const TimelineEvent &event)
{
    return event.kind == EventKind::Sound &&
           (event.effect == SoundEffect::AlreadyPlaying || event.effect == SoundEffect::NotPlaying);
}

// A run of repeats is known by what its line says; the summaries of runs that end on one cycle
// come in the order of these keys.
static std::string repeat_key(const TimelineEvent &event)
{
    return instance_label(event.gauge, event.instance) + "|" + phase_word(event.phase) + "|" +
           TimelineWriter::call_text(event) + "|" + effect_word(event.effect);
}

void TimelineWriter::flush_repeat(const Repeat &repeat)
{
    if (!repeat.more)
        return;
    TimelineRow row = row_of(repeat.last);
    row.what += "  [the same on every cycle to here: " + std::to_string(repeat.more) + " more]";
    put(row);
}

void TimelineWriter::write_step(uint32_t cycle, const std::vector<TimelineEvent> &events)
{
    if (json_) {
        for (const TimelineEvent &event : events)
            put_text(json_line(event));
        flush();
        return;
    }
    if (!header_done_) {
        char header[64];
        snprintf(header, sizeof header, "%8s %6s  %-8s %s", "time s", "cycle", "event", "what");
        if (!sink_)
            put_text(header);
        header_done_ = true;
    }
    // Repeats that this step does not continue end here: summarise them before its lines.
    std::map<std::string, bool> continued;
    for (const TimelineEvent &event : events)
        if (changes_nothing(event))
            continued[repeat_key(event)] = true;
    for (auto it = repeats_.begin(); it != repeats_.end();) {
        if (continued.count(it->first) && it->second.last.cycle + 1 == cycle) {
            ++it;
            continue;
        }
        flush_repeat(it->second);
        it = repeats_.erase(it);
    }
    for (const TimelineEvent &event : events) {
        if (!every_call_ && changes_nothing(event)) {
            auto found = repeats_.find(repeat_key(event));
            if (found != repeats_.end() && found->second.last.cycle + 1 == cycle) {
                found->second.last = event;
                found->second.more++;
                continue;
            }
            repeats_[repeat_key(event)] = Repeat{event, 0};
        }
        put(row_of(event));
    }
    flush();
}

void TimelineWriter::finish()
{
    for (auto &entry : repeats_)
        flush_repeat(entry.second);
    repeats_.clear();
    flush();
}

// A full disk or a closed pipe shows in the write's or the flush's result; the run checks
// failed() and ends with one message rather than exit 0 with a cut timeline.
void TimelineWriter::put(const TimelineRow &row)
{
    if (sink_) {
        sink_(row);
        return;
    }
    if (copy_)
        copy_(row);
    put_text(row.text());
}

void TimelineWriter::put_text(const std::string &line)
{
    if (failed_)
        return;
    failed_ = fwrite(line.data(), 1, line.size(), out_) != line.size() || fputc('\n', out_) == EOF;
}

void TimelineWriter::flush()
{
    if (!failed_ && out_)
        failed_ = fflush(out_) != 0;
}

}  // namespace bench
