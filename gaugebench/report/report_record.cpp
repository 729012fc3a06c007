// The report's collector: the run's events turned into lanes of marks as they come, so a long run
// keeps only what the page draws, never every event.
#include "report_record.h"

namespace bench {

std::string sound_file_name(const std::string &path)
{
    size_t slash = path.find_last_of("\\/");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The table folds repeats exactly as the text timeline does because it is the same writer.
ReportCollector::ReportCollector(bool own_table)
{
    if (own_table)
        table_.reset(new TimelineWriter(table_sink()));
}

TimelineWriter::RowSink ReportCollector::table_sink()
{
    return [this](const TimelineRow &row) { record_.table.push_back(row); };
}

// The line is formatted only for what is drawn: most of a long run's events are repeats.
ReportMark ReportCollector::mark(const TimelineEvent &event, const std::string &label) const
{
    ReportMark mark;
    mark.time = event.time;
    mark.cycle = event.cycle;
    mark.label = label;
    mark.line = TimelineWriter::text_line(event);
    return mark;
}

void ReportCollector::cut_loops(const ReportMark &cut)
{
    for (const auto &open : open_loops_)
        record_.sounds[sound_lanes_[open.first]].loops[open.second].cut = cut;
    open_loops_.clear();
}

// Only calls that changed what sounds are drawn: a one-shot played, a loop started, stopped, or
// cut by terminate or the library's unloading.
void ReportCollector::add_sound(const TimelineEvent &event)
{
    bool one_shot = event.call == SoundCall::Play && event.effect == SoundEffect::PlayedOnce;
    bool loop_start = event.call == SoundCall::Play && event.effect == SoundEffect::StartedLoop;
    bool loop_stop = event.call == SoundCall::Stop && event.effect == SoundEffect::Stopped;
    bool cut_all = event.call == SoundCall::Unload ||
                   (event.call == SoundCall::Terminate && event.effect == SoundEffect::Terminated);
    if (cut_all) {
        if (!open_loops_.empty())
            cut_loops(mark(event, ""));
        return;
    }
    if (!one_shot && !loop_start && !loop_stop)
        return;
    auto found = sound_lanes_.find(event.name);
    if (found == sound_lanes_.end()) {
        found = sound_lanes_.emplace(event.name, record_.sounds.size()).first;
        record_.sounds.push_back(SoundLane{event.name, {}, {}});
    }
    SoundLane &lane = record_.sounds[found->second];
    if (one_shot) {
        lane.one_shots.push_back(mark(event, sound_file_name(event.path)));
    } else if (loop_start) {
        open_loops_[event.name] = lane.loops.size();
        lane.loops.push_back(LoopSpan{mark(event, sound_file_name(event.path)), ReportMark()});
    } else {
        auto open = open_loops_.find(event.name);
        if (open != open_loops_.end()) {
            lane.loops[open->second].cut = mark(event, "");
            open_loops_.erase(open);
        }
    }
}

void ReportCollector::add_step(uint32_t cycle, const std::vector<TimelineEvent> &events)
{
    if (table_)
        table_->write_step(cycle, events);
    text_in_last_step_ = false;
    last_step_texts_.clear();
    for (const TimelineEvent &event : events) {
        switch (event.kind) {
        case EventKind::Set:
            for (const VarSetting &setting : event.settings) {
                auto found = variable_lanes_.find(setting.token);
                if (found == variable_lanes_.end()) {
                    found = variable_lanes_.emplace(setting.token, record_.variables.size()).first;
                    record_.variables.push_back(VariableLane{setting.token, {}});
                }
                record_.variables[found->second].changes.push_back(
                    {mark(event, setting.text), setting.is_integer, setting.bits});
            }
            break;
        case EventKind::Sound:
            add_sound(event);
            break;
        case EventKind::Text: {
            std::string element = instance_label(event.gauge, event.instance) +
                                  (event.element ? " element " + std::to_string(event.element) : std::string());
            auto found = text_lanes_.find(element);
            if (found == text_lanes_.end()) {
                found = text_lanes_.emplace(element, record_.texts.size()).first;
                record_.texts.push_back(TextLane{element, {}});
            }
            record_.texts[found->second].changes.push_back(mark(event, event.new_text));
            // Instances side by side that show one text are named once, as "VQT7_Boomcue[1-16]".
            if (!last_step_texts_.empty() && last_step_texts_.back().gauge == event.gauge &&
                last_step_texts_.back().element == event.element && last_step_texts_.back().text == event.new_text &&
                last_step_texts_.back().last + 1 == event.instance)
                last_step_texts_.back().last = event.instance;
            else
                last_step_texts_.push_back({event.gauge, event.element, event.new_text, event.instance, event.instance});
            last_step_time_ = event.time;
            last_step_cycle_ = event.cycle;
            text_in_last_step_ = true;
            break;
        }
        case EventKind::Start:
            record_.lifecycle.push_back({LifeKind::Start, mark(event, "start")});
            break;
        case EventKind::Snapshot:
            record_.lifecycle.push_back({LifeKind::Snapshot, mark(event, "snapshot")});
            break;
        case EventKind::Kill:
            record_.lifecycle.push_back({LifeKind::Kill, mark(event, "kill")});
            break;
        case EventKind::End:
            record_.lifecycle.push_back({LifeKind::End, mark(event, "end")});
            break;
        }
    }
    // Past the limit the faces would crowd out the page: none of them is kept.
    if (text_in_last_step_ && ++text_steps_ > REPORT_MAX_TEXT_FACES && !record_.too_many_text_faces) {
        record_.too_many_text_faces = true;
        record_.text_faces.clear();
        record_.text_faces.shrink_to_fit();
    }
}

void ReportCollector::add_text_face(std::vector<uint8_t> png)
{
    ReportFace face;
    face.time = last_step_time_;
    face.cycle = last_step_cycle_;
    for (const ShownText &shown : last_step_texts_) {
        std::string instances = shown.first == shown.last ? std::to_string(shown.first)
                                                          : std::to_string(shown.first) + "-" + std::to_string(shown.last);
        face.caption += (face.caption.empty() ? "" : ", ") + shown.gauge + "[" + instances + "]" +
                        (shown.element ? " element " + std::to_string(shown.element) : std::string()) + " \"" +
                        shown.text + "\"";
    }
    face.png = std::move(png);
    record_.text_faces.push_back(std::move(face));
}

void ReportCollector::finish(double end_time, uint32_t cycles)
{
    if (table_)
        table_->finish();
    record_.duration = end_time;
    record_.cycles = cycles;
    if (!open_loops_.empty()) {
        ReportMark end;
        end.time = end_time;
        end.cycle = cycles;
        cut_loops(end);
    }
}

}  // namespace bench
