// Timeline formatting: the readable text lines and the JSON Lines records.
#include "timeline.h"

#include <math.h>

namespace bench {

std::string json_string(const std::string &text)
{
    std::string out = "\"";
    for (unsigned char c : text) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += (char)c;
        } else if (c < 0x20 || c >= 0x7F) {
            // Gauge text is single-byte and may be anything; keep the output plain ASCII.
            char escape[8];
            snprintf(escape, sizeof escape, "\\u%04x", c);
            out += escape;
        } else {
            out += (char)c;
        }
    }
    return out + "\"";
}

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
    if (event.call == "play")
        return "play(" + quoted(event.path) + ", " + quoted(event.name) + ", " + std::to_string(event.loop) + ")";
    if (event.call == "stop")
        return "stop(" + quoted(event.name) + ")";
    if (event.call == "terminate")
        return "terminate()";
    return event.call == "load" ? "GaugeSound loaded" : "GaugeSound unloaded";
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

std::string TimelineWriter::text_line(const TimelineEvent &event)
{
    char lead[48];
    snprintf(lead, sizeof lead, "%8.3f %6u  %-8s ", event.time, event.cycle, kind_name(event.kind));
    std::string line = lead;
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
        line += who + " " + event.phase + ": " + call_text(event);
        if (event.call == "load")
            break;
        if (event.call == "unload") {
            if (event.count)
                line += ", silencing " + std::to_string(event.count);
            break;
        }
        line += " -> " + event.effect;
        if (event.call == "terminate")
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
    return line;
}

std::string TimelineWriter::json_line(const TimelineEvent &event)
{
    char lead[80];
    snprintf(lead, sizeof lead, "{\"t\":%.6f,\"cycle\":%u,\"event\":\"%s\"", event.time, event.cycle,
             kind_name(event.kind));
    std::string line = lead;
    auto who = [&]() {
        line += ",\"gauge\":" + json_string(event.gauge) + ",\"instance\":" + std::to_string(event.instance);
    };
    switch (event.kind) {
    case EventKind::Start:
        line += ",\"cycles_per_second\":" + std::to_string(CYCLES_PER_SECOND) + ",\"gauges\":[";
        for (size_t i = 0; i < event.gauges.size(); ++i)
            line += (i ? "," : "") + json_string(event.gauges[i]);
        line += "]";
        break;
    case EventKind::Set: {
        char at[48];
        snprintf(at, sizeof at, ",\"scenario_t\":%.6f,\"vars\":[", event.scenario_time);
        line += at;
        for (size_t i = 0; i < event.settings.size(); ++i) {
            const VarSetting &setting = event.settings[i];
            line += std::string(i ? "," : "") + "{\"token\":" + std::to_string(setting.token) + ",\"value\":" +
                    json_string(setting.text) + ",\"as\":\"" + (setting.is_integer ? "integer" : "float") + "\"}";
        }
        line += "]";
        break;
    }
    case EventKind::Sound:
        who();
        line += ",\"phase\":" + json_string(event.phase) + ",\"call\":" + json_string(event.call);
        if (event.call == "play")
            line += ",\"path\":" + json_string(event.path) + ",\"name\":" + json_string(event.name) +
                    ",\"loop\":" + std::to_string(event.loop);
        if (event.call == "stop")
            line += ",\"name\":" + json_string(event.name);
        if (event.call == "terminate" || event.call == "unload")
            line += ",\"count\":" + std::to_string(event.count);
        if (event.call != "load" && event.call != "unload")
            line += ",\"effect\":" + json_string(event.effect);
        line += ",\"playing\":[";
        for (size_t i = 0; i < event.playing.size(); ++i)
            line += (i ? "," : "") + json_string(event.playing[i]);
        line += "]";
        break;
    case EventKind::Text:
        who();
        line += ",\"element\":" + std::to_string(event.element) + ",\"old\":" + json_string(event.old_text) +
                ",\"new\":" + json_string(event.new_text);
        break;
    case EventKind::Kill:
        who();
        break;
    case EventKind::Snapshot:
        line += ",\"file\":" + json_string(event.file);
        break;
    case EventKind::End:
        break;
    }
    return line + "}";
}

static bool changes_nothing(const TimelineEvent &event)
{
    return event.kind == EventKind::Sound && (event.effect == "already playing" || event.effect == "not playing");
}

static std::string repeat_key(const TimelineEvent &event)
{
    return instance_label(event.gauge, event.instance) + "|" + event.phase + "|" + TimelineWriter::call_text(event) +
           "|" + event.effect;
}

void TimelineWriter::flush_repeat(const Repeat &repeat)
{
    if (!repeat.more)
        return;
    fprintf(out_, "%s  [the same on every cycle to here: %u more]\n", text_line(repeat.last).c_str(), repeat.more);
}

void TimelineWriter::write_step(uint32_t cycle, const std::vector<TimelineEvent> &events)
{
    if (json_) {
        for (const TimelineEvent &event : events)
            fprintf(out_, "%s\n", json_line(event).c_str());
        fflush(out_);
        return;
    }
    if (!header_done_) {
        fprintf(out_, "%8s %6s  %-8s %s\n", "time s", "cycle", "event", "what");
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
        fprintf(out_, "%s\n", text_line(event).c_str());
    }
    fflush(out_);
}

void TimelineWriter::finish()
{
    for (auto &entry : repeats_)
        flush_repeat(entry.second);
    repeats_.clear();
    fflush(out_);
}

}  // namespace bench
