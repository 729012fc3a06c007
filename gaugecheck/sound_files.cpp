// Check 3: the two sound files the gauges name, under the simulator's folder, decoded by the
// bench's own decoder so that "plays in the bench" and "passes here" mean the same, and told
// apart from other add-ons' sounds of the same name by SHA-256.
#include <stdio.h>
#include <string.h>

#include "checks.h"
#include "file_sum.h"
#include "folders.h"
#include "release_sums.h"
#include "sound_decoder.h"
#include "toolbox.h"
#include "virtual_store.h"

namespace gaugecheck {

// Which release's own sound of that name the file is, by its bytes; empty for any other sound.
static std::string release_sound_text(const std::string &path)
{
    std::vector<uint8_t> bytes;
    std::string reason;
    if (!toolbox::read_whole_file(path, bytes, reason, panelcfg::LARGEST_FILE_OF_OURS))
        return std::string();
    std::string sum = sha256_hex(bytes.data(), bytes.size());
    const panelcfg::ReleasedFile *known = panelcfg::release_of(KNOWN_SOUNDS, toolbox::file_name(path), sum);
    if (!known)
        return std::string();
    if (strcmp(known->version, CURRENT_RELEASE) == 0)
        return "this release's own sound";
    return std::string("the sound of release ") + known->version;
}

void check_sound_files(const std::string &sim_folder, Findings &findings)
{
    toolbox::VirtualStore store(sim_folder);
    for (const ReleaseGauge &gauge : RELEASE_GAUGES) {
        const char *relative = gauge.sound_file;
        // The sound library reads inside the simulator's process, so it too reads the
        // VirtualStore copy where Windows made one.
        std::string path = store.effective(join_path(sim_folder, relative));
        std::string fix = "put a RIFF WAVE sound (PCM, or a format Windows decodes such as ADPCM) at " + path;
        if (!is_file(path)) {
            findings.problem("sound_file", path, "missing, so the gauge that plays it stays silent", fix);
            continue;
        }
        sound_decoder::SoundFileInfo info;
        sound_decoder::Failure failure;
        std::vector<std::string> warnings;
        if (!sound_decoder::describe_sound_file(path, info, failure, &warnings)) {
            findings.problem("sound_file", path, "cannot be played: " + failure.reason, "replace it: " + fix);
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
        else {
            std::string known = release_sound_text(path);
            findings.ok("sound_file", path, known.empty() ? format : format + "; " + known);
        }
    }
}

}  // namespace gaugecheck
