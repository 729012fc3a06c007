// Every release's own files known by their SHA-256 sums, so that a tool tells this release's
// module or sound from an older release's and from a file that is none of ours. The build writes
// the table (gaugecheck/release_sums.cmake): the earlier releases from release_history.txt, the
// current one from the files it has just made.
#pragma once

#include <span>
#include <string_view>

namespace panelcfg {

struct ReleasedFile {
    const char *version;  // "1.0.0"
    const char *file;     // its name as the release ships it: "VQT7_Boomcue.gau"
    const char *sha256;   // lower-case hex
};

// The row of `releases` for a file named `file_name` (compared without case, as Windows names
// are) whose bytes have the SHA-256 `sha256`; null when no release shipped such a file.
const ReleasedFile *release_of(std::span<const ReleasedFile> releases, std::string_view file_name,
                               std::string_view sha256);

}  // namespace panelcfg
