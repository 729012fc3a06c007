// Timeline events as the bench hands them to the report, built by hand for the report core's
// tests and its sample page: instance 1 of a gauge, times on the panel's 18 cycles a second.
#pragma once

#include <string>
#include <vector>

#include "timeline.h"

namespace bench {

inline TimelineEvent at(EventKind kind, uint32_t cycle)
{
    TimelineEvent event;
    event.kind = kind;
    event.cycle = cycle;
    event.time = cycle / 18.0;
    return event;
}

inline TimelineEvent sound(uint32_t cycle, const char *gauge, CallPhase phase, SoundCall call, const char *path,
                           const char *name, SoundEffect effect, std::vector<std::string> playing = {})
{
    TimelineEvent event = at(EventKind::Sound, cycle);
    event.gauge = gauge;
    event.instance = 1;
    event.phase = phase;
    event.call = call;
    event.path = path;
    event.name = name;
    event.loop = effect == SoundEffect::StartedLoop || effect == SoundEffect::AlreadyPlaying;
    event.effect = effect;
    event.playing = playing;
    return event;
}

}  // namespace bench
