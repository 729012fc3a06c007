// The page, section by section, into the sink. The render's bytes are streamed as base64 in
// whole 3-byte groups, so an hour of sound never has to sit in memory twice.
#include "report_page.h"

#include <stdio.h>

#include <vector>

#include "report_axis.h"
#include "report_markup.h"
#include "scenario.h"

namespace bench {

static const char STYLE[] =
    "body{font:14px/1.4 system-ui,sans-serif;margin:16px 24px;color:#222;background:#fff}"
    "h1{font-size:20px;margin:0 0 8px}h2{font-size:16px;margin:24px 0 8px}"
    "table.facts th{text-align:left;vertical-align:top;padding:2px 16px 2px 0;font-weight:600}"
    "table.facts td{padding:2px 0}ul{margin:0;padding-left:18px}.warnings li{color:#8a4b00}"
    "#axis{display:block;width:100%;height:auto;max-width:1220px;font:10px sans-serif;cursor:crosshair}"
    "#axis .group{font:bold 11px sans-serif;fill:#333}#axis .lane-name{font:11px sans-serif;fill:#222}"
    "#axis .shade{fill:#000;fill-opacity:.04}#axis .grid{stroke:#ccc;stroke-width:.6}#axis .ruler text{fill:#555}"
    "#axis .scale{fill:#777}#axis .label{fill:#222}"
    "#axis .step{fill:none;stroke:#1f5fa8;stroke-width:1.5}#axis .set{fill:#1f5fa8}"
    "#axis .value line{stroke:#1f5fa8;stroke-width:1.5}#axis .loop{fill:#2e8b57;fill-opacity:.75}"
    "#axis .one-shot path{fill:#d2691e}#axis .text-change line{stroke:#6a3d9a;stroke-width:1.5}"
    "#axis .life line{stroke:#555;stroke-width:2}#axis .life.kill line{stroke:#b22222}"
    "#axis .life.end line{stroke:#000;stroke-width:3}#axis .life.snapshot line{stroke:#1f5fa8;stroke-dasharray:2 2}"
    "#axis #cursor{stroke:#e00;stroke-width:1.5}"
    "audio{width:100%;max-width:1220px;margin:4px 0 8px}.hint{color:#666;font-size:12px;margin:4px 0}"
    "figure{display:inline-block;margin:0 16px 12px 0;vertical-align:top;max-width:100%;overflow-x:auto}"
    "figure img{image-rendering:pixelated;border:1px solid #999}"
    "figcaption{font-size:12px;color:#444;max-width:600px}"
    "table.timeline{border-collapse:collapse;font:12px/1.3 ui-monospace,monospace}"
    "table.timeline th{text-align:left;border-bottom:1px solid #999;padding:2px 10px 2px 0;position:sticky;top:0;"
    "background:#fff}"
    "table.timeline td{padding:1px 10px 1px 0;white-space:pre-wrap;vertical-align:top}"
    "table.timeline td.n{text-align:right}table.timeline tr.sound td:nth-child(3){color:#2e8b57}"
    "table.timeline tr.text td:nth-child(3){color:#6a3d9a}table.timeline tr.set td:nth-child(3){color:#1f5fa8}";

// The cursor follows playback, and a click on the axis plays from there. The page works
// without it; only these two need a script.
static const char SCRIPT[] =
    "(function(){var a=document.getElementById('render'),s=document.getElementById('axis'),"
    "c=document.getElementById('cursor');if(!a||!s||!c)return;"
    "var L=+s.getAttribute('data-plot-left'),W=+s.getAttribute('data-plot-width'),D=+s.getAttribute('data-duration');"
    "function place(){var t=Math.max(0,Math.min(a.currentTime,D)),x=L+t/D*W;"
    "c.setAttribute('x1',x);c.setAttribute('x2',x);c.setAttribute('visibility','visible');}"
    "function frame(){place();if(!a.paused)requestAnimationFrame(frame);}"
    "a.addEventListener('play',function(){requestAnimationFrame(frame);});"
    "a.addEventListener('timeupdate',place);a.addEventListener('seeked',place);"
    "s.addEventListener('click',function(e){var p=s.createSVGPoint();p.x=e.clientX;p.y=e.clientY;"
    "var q=p.matrixTransform(s.getScreenCTM().inverse()),t=(q.x-L)/W*D;if(t<0||t>D)return;"
    "a.currentTime=Math.min(t,a.duration||t);place();});})();";

namespace {

class PageWriter {
public:
    explicit PageWriter(const PageSink &sink) : sink_(sink) {}
    PageWriter &operator<<(const std::string &text)
    {
        buffer_ += text;
        if (buffer_.size() > (1u << 16))
            flush();
        return *this;
    }
    bool flush()
    {
        if (ok_ && !buffer_.empty())
            ok_ = sink_(buffer_.data(), buffer_.size());
        buffer_.clear();
        return ok_;
    }
    bool ok() const { return ok_; }

private:
    const PageSink &sink_;
    std::string buffer_;
    bool ok_ = true;
};

}  // namespace

static std::string count_text(size_t count, const char *one, const char *many)
{
    return std::to_string(count) + " " + (count == 1 ? one : many);
}

static std::string scenario_name(const ReportRecord &record)
{
    return record.scenario.empty() ? std::string("the built-in demo") : record.scenario;
}

static void summary(PageWriter &page, const ReportRecord &record, const ReportAudio *audio)
{
    page << "<section id=\"summary\"><table class=\"facts\">";
    page << "<tr><th>scenario</th><td>" + html_text(scenario_name(record)) + "</td></tr>";
    page << "<tr><th>modules</th><td><ul>";
    for (const ReportGauge &gauge : record.gauges)
        page << "<li>" + html_text(gauge.module) + ": gauge " + html_text(gauge.gauge) + ", " +
                    count_text((size_t)gauge.instances, "instance", "instances") + "</li>";
    page << "</ul></td></tr>";
    page << "<tr><th>duration</th><td>" + number_text(record.duration) + " s, " +
                count_text(record.cycles, "cycle", "cycles") + " at " + std::to_string(CYCLES_PER_SECOND) +
                " a second</td></tr>";
    page << "<tr><th>exit status</th><td>" + std::to_string(record.exit_code) +
                (record.exit_code == 0 ? " (done)" : "") + "</td></tr>";
    size_t one_shots = 0, loops = 0, texts = 0;
    for (const SoundLane &lane : record.sounds)
        one_shots += lane.one_shots.size(), loops += lane.loops.size();
    for (const TextLane &lane : record.texts)
        texts += lane.changes.size();
    page << "<tr><th>what happened</th><td>" + count_text(one_shots, "one-shot played", "one-shots played") + ", " +
                count_text(loops, "loop span", "loop spans") + ", " + count_text(texts, "text change", "text changes") +
                "</td></tr>";
    page << "<tr><th>render</th><td>" +
                (audio ? number_text(audio->seconds) + " s, " + std::to_string(22050) + " Hz 16-bit mono, below"
                       : std::string("none (the run was made without --audio)")) +
                "</td></tr>";
    page << "<tr><th>warnings</th><td>";
    if (record.warnings.empty()) {
        page << "none";
    } else {
        page << "<ul class=\"warnings\">";
        for (const std::string &warning : record.warnings)
            page << "<li>" + html_text(warning) + "</li>";
        page << "</ul>";
    }
    page << "</td></tr></table></section>\n";
}

// Streams the render as base64, a whole number of 3-byte groups a block.
static bool audio_player(PageWriter &page, const ReportAudio &audio)
{
    page << "<audio id=\"render\" controls preload=\"auto\" src=\"data:audio/wav;base64,";
    std::vector<uint8_t> block(3 * 21846);
    size_t held = 0;
    for (;;) {
        size_t got = 0;
        if (!audio.read(block.data() + held, block.size() - held, got))
            return false;
        held += got;
        if (got == 0 || held == block.size()) {
            page << base64(block.data(), held);
            held = 0;
        }
        if (got == 0)
            break;
        if (!page.ok())
            return false;
    }
    page << "\"></audio>\n";
    return true;
}

// A PNG's size from its header, for the image's place on the page before it is decoded.
static bool png_size(const std::vector<uint8_t> &png, uint32_t &width, uint32_t &height)
{
    if (png.size() < 24 || png[12] != 'I' || png[13] != 'H' || png[14] != 'D' || png[15] != 'R')
        return false;
    width = (uint32_t)png[16] << 24 | png[17] << 16 | png[18] << 8 | png[19];
    height = (uint32_t)png[20] << 24 | png[21] << 16 | png[22] << 8 | png[23];
    return true;
}

static void face(PageWriter &page, const ReportFace &face, const std::string &caption)
{
    uint32_t width = 0, height = 0;
    std::string size = png_size(face.png, width, height)
                           ? " width=\"" + std::to_string(width) + "\" height=\"" + std::to_string(height) + "\""
                           : std::string();
    page << "<figure><img src=\"data:image/png;base64," + base64(face.png.data(), face.png.size()) + "\"" + size +
                " alt=\"" + html_text(caption) + "\"><figcaption>" + html_text(caption) + "</figcaption></figure>";
}

static std::string when_text(const ReportFace &face)
{
    return number_text(face.time) + " s, cycle " + std::to_string(face.cycle);
}

static void faces(PageWriter &page, const ReportRecord &record)
{
    page << "<section id=\"faces\"><h2>The faces</h2>";
    if (!record.end_face.png.empty())
        face(page, record.end_face, "at the end (after " + when_text(record.end_face) + ")");
    if (record.too_many_text_faces)
        page << "<p class=\"hint\">The texts changed in more than " + std::to_string(REPORT_MAX_TEXT_FACES) +
                    " cycles: only the faces at the end are shown.</p>";
    else if (!record.text_faces.empty())
        page << "<h3>At each text change</h3>";
    for (const ReportFace &text_face : record.text_faces)
        face(page, text_face, "after " + when_text(text_face) + ": " + text_face.caption);
    page << "</section>\n";
}

// The columns of a text timeline line: time, cycle, event, then what happened.
static void table_row(PageWriter &page, const TimelineRow &row)
{
    char time[32];
    snprintf(time, sizeof time, "%.3f", row.time);
    // A cell shows no leading space (a gauge without a name leaves one); the page never held it.
    size_t start = row.what.find_first_not_of(' ');
    std::string what = start == std::string::npos ? std::string() : row.what.substr(start);
    page << "<tr class=\"" + html_text(row.event) + "\"><td class=\"n\">" + html_text(time) + "</td><td class=\"n\">" +
                std::to_string(row.cycle) + "</td><td>" + html_text(row.event) + "</td><td>" + html_text(what) +
                "</td></tr>\n";
}

bool write_report_page(const ReportRecord &record, const ReportAudio *audio, const PageSink &sink)
{
    PageWriter page(sink);
    std::string title = "gaugebench report: " + scenario_name(record);
    page << "<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\"><title>" + html_text(title) +
                "</title>\n<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n<style>" + STYLE +
                "</style></head>\n<body>\n<h1>" + html_text(title) + "</h1>\n";
    summary(page, record, audio);
    page << "<section id=\"run\"><h2>The run on one time axis</h2>\n";
    if (audio && !audio_player(page, *audio))
        return false;
    page << axis_svg(record, audio != 0) + "\n";
    page << std::string("<p class=\"hint\">Hover over a mark for its timeline line.") +
                (audio ? " Click on the axis to play the render from there." : "") + "</p></section>\n";
    faces(page, record);
    page << "<section id=\"timeline\"><h2>The timeline</h2>\n<table class=\"timeline\"><thead><tr><th>time s</th>"
            "<th>cycle</th><th>event</th><th>what</th></tr></thead><tbody>\n";
    for (const TimelineRow &row : record.table)
        table_row(page, row);
    page << "</tbody></table></section>\n";
    if (audio)
        page << std::string("<script>") + SCRIPT + "</script>\n";
    page << "</body></html>\n";
    return page.flush();
}

}  // namespace bench
