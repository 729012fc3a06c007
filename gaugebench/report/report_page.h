// The report page: one self-contained HTML file of a run (summary, the time axis, the faces, the
// render to listen to, the folded timeline as a table), its styles, images and sound inline, so
// it opens from disk and offline. Only the playback cursor and seeking need its script.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include <functional>
#include <string>

#include "report_record.h"

namespace bench {

// Where the page's bytes go; false ends the writing (a full disk).
using PageSink = std::function<bool(const char *bytes, size_t size)>;

// The render, read a block at a time: false on a read error, `got` 0 at its end.
struct ReportAudio {
    double seconds = 0;
    std::function<bool(uint8_t *buffer, size_t size, size_t &got)> read;
};

// Writes the page; `audio` null when the run rendered none. False when the sink or the
// audio's reader failed.
bool write_report_page(const ReportRecord &record, const ReportAudio *audio, const PageSink &sink);

}  // namespace bench
