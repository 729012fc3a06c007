// Follows the stand-in sound library's journal through a run: each new journal entry becomes a
// timeline event, the set of playing loops is kept as the library keeps it, and every sound's
// start and stop is noted as an audio cue for the render.
#pragma once

#include <stdint.h>

#include <map>
#include <string>
#include <vector>

#include "mixer.h"
#include "timeline.h"

namespace bench {

class SoundTracker {
public:
    // Starts from the journal's present end: earlier entries belong to no run.
    void start();
    // The entries since the last call, as sound events stamped with `stamp`'s time, cycle,
    // gauge and instance ("host" when no gauge made the call) and the host call `phase`.
    void collect(const TimelineEvent &stamp, CallPhase phase, std::vector<TimelineEvent> &events);
    // The run ends at `end_time`: whatever still sounds stops there.
    void finish(double end_time);
    const std::vector<AudioCue> &cues() const { return cues_; }

private:
    void silence_all(double time);

    uint32_t journal_mark_ = 0;
    std::vector<std::string> playing_;          // loop names, as the library holds them
    std::vector<AudioCue> cues_;
    std::map<std::string, size_t> open_loops_;  // loop name to its cue
};

}  // namespace bench
