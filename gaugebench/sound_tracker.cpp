// The sound library's journal turned into timeline events and audio cues.
#include "sound_tracker.h"

#include <math.h>

#include "standin_host.h"

namespace bench {

// The journal's effect codes are the stand-in library's; the timeline has its own.
static SoundEffect effect_of(uint32_t effect)
{
    switch (effect) {
    case SOUND_EFFECT_PLAYED_ONCE: return SoundEffect::PlayedOnce;
    case SOUND_EFFECT_STARTED_LOOP: return SoundEffect::StartedLoop;
    case SOUND_EFFECT_ALREADY_PLAYING: return SoundEffect::AlreadyPlaying;
    case SOUND_EFFECT_STOPPED: return SoundEffect::Stopped;
    case SOUND_EFFECT_NOT_PLAYING: return SoundEffect::NotPlaying;
    case SOUND_EFFECT_TERMINATED: return SoundEffect::Terminated;
    case SOUND_EFFECT_SET_FULL: return SoundEffect::SetFull;
    }
    return SoundEffect::None;
}

void SoundTracker::start()
{
    journal_mark_ = panel_host::sound_journal()->event_count;
}

// Terminate and the library's unloading stop every sound, one-shots still sounding included:
// a one-shot's cue is cut there (the render plays it only to its own end if that comes first).
void SoundTracker::silence_all(double time)
{
    for (AudioCue &cue : cues_)
        if (cue.stop > time)
            cue.stop = time;
    open_loops_.clear();
    playing_.clear();
}

void SoundTracker::collect(const TimelineEvent &stamp, CallPhase phase, std::vector<TimelineEvent> &events)
{
    std::vector<SOUND_EVENT> entries = panel_host::sound_events(journal_mark_);
    journal_mark_ = panel_host::sound_journal()->event_count;
    for (const SOUND_EVENT &sound : entries) {
        TimelineEvent line = stamp;
        line.kind = EventKind::Sound;
        if (line.gauge.empty())
            line.gauge = "host";
        line.phase = phase;
        line.path = sound.path_is_null ? "(null)" : sound.path;
        line.name = sound.name_is_null ? "(null)" : sound.name;
        line.loop = sound.loop;
        line.effect = effect_of(sound.effect);
        line.count = sound.count;
        switch (sound.kind) {
        case SOUND_EVENT_PLAY:
            line.call = SoundCall::Play;
            // Until something stops it, a one-shot plays to its end and a loop to the run's.
            if (sound.effect == SOUND_EFFECT_PLAYED_ONCE)
                cues_.push_back({line.path, stamp.time, false, HUGE_VAL});
            if (sound.effect == SOUND_EFFECT_STARTED_LOOP) {
                open_loops_[line.name] = cues_.size();
                cues_.push_back({line.path, stamp.time, true, HUGE_VAL});
                playing_.push_back(line.name);
            }
            break;
        case SOUND_EVENT_STOP:
            line.call = SoundCall::Stop;
            if (sound.effect == SOUND_EFFECT_STOPPED) {
                auto open = open_loops_.find(line.name);
                if (open != open_loops_.end()) {
                    cues_[open->second].stop = stamp.time;
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
            line.call = SoundCall::Terminate;
            silence_all(stamp.time);
            break;
        case SOUND_EVENT_ATTACH:
            line.call = SoundCall::Load;
            break;
        case SOUND_EVENT_DETACH:
            line.call = SoundCall::Unload;  // the library going away silences what it still played
            silence_all(stamp.time);
            break;
        default:
            continue;
        }
        line.playing = playing_;
        events.push_back(line);
    }
}

void SoundTracker::finish(double end_time)
{
    silence_all(end_time);
}

}  // namespace bench
