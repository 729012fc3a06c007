// Check 3: the two sound files the gauges name, under the simulator's folder, decoded by the
// bench's own decoder so that "plays in the bench" and "passes here" mean the same.
#include <stdio.h>

#include "checks.h"
#include "folders.h"
#include "sound_decoder.h"

namespace gaugecheck {

void check_sound_files(const std::string &sim_folder, Findings &findings)
{
    for (const char *relative : SOUND_FILES) {
        std::string path = join_path(sim_folder, relative);
        std::string fix = "put a RIFF WAVE sound (PCM, or a format Windows decodes such as ADPCM) at " + path;
        if (!is_file(path)) {
            findings.problem("sound_file", path, "missing, so the gauge that plays it stays silent", fix);
            continue;
        }
        sound_decoder::SoundFileInfo info;
        std::string reason;
        std::vector<std::string> warnings;
        if (!sound_decoder::describe_sound_file(path, info, reason, &warnings)) {
            findings.problem("sound_file", path, "cannot be played: " + reason, "replace it: " + fix);
            continue;
        }
        char length[32];
        snprintf(length, sizeof length, "%.2f s", (double)info.seconds);
        std::string channels = info.channels == 1   ? "mono"
                               : info.channels == 2 ? "stereo"
                                                    : std::to_string(info.channels) + " channels";
        std::string format = std::string(info.format_name) + ", " + channels + ", " + std::to_string(info.rate) +
                             " Hz, " + std::to_string(info.bits) + "-bit, " + length;
        if (!warnings.empty())
            findings.warning("sound_file", path, format + "; " + warnings.front(), "check that it sounds right: " + fix);
        else
            findings.ok("sound_file", path, format);
    }
}

}  // namespace gaugecheck
