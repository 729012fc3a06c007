// The report page as a file: the Windows side of writing it, with the render's bytes read back
// from the audio output a block at a time.
#pragma once

#include <string>

#include "report_record.h"

namespace bench {

// Writes the page of `record` to `path`, with the WAV file at `audio_path` in its player (empty:
// a page without one). False with a reason when either file fails.
bool write_report_file(const ReportRecord &record, const std::string &audio_path, const std::string &path,
                       std::string &reason);

}  // namespace bench
