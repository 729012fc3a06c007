// Drawing the time axis: a ruler, then the lanes group by group, each a row of the drawing with
// its name on the left. Labels beside marks are left out where they would overlap the one
// before; the mark itself, and its tooltip, always stay.
#include "report_axis.h"

#include <math.h>
#include <string.h>

#include <algorithm>
#include <map>

#include "report_markup.h"
#include "scenario.h"

namespace bench {

static const int RULER_HEIGHT = 26;
static const int GROUP_HEIGHT = 20;
static const int STEP_LANE_HEIGHT = 44;
static const int LANE_HEIGHT = 28;
static const double LABEL_CHAR_WIDTH = 6.2;  // an average glyph of the 10-pixel label font
static const size_t LABEL_MAX_CHARS = 24;
static const size_t NAME_MAX_CHARS = 28;

int column_of(double time, double duration, int columns)
{
    if (!(duration > 0) || !(time > 0))
        return 0;
    double column = floor(time / duration * columns);
    return column >= columns ? columns - 1 : (int)column;
}

std::vector<ColumnValue> thin_to_columns(const std::vector<double> &times, const std::vector<double> &values,
                                         double duration, int columns)
{
    std::vector<ColumnValue> thinned;
    for (size_t i = 0; i < times.size() && i < values.size(); ++i) {
        int column = column_of(times[i], duration, columns);
        if (thinned.empty() || thinned.back().column != column) {
            thinned.push_back({column, times[i], values[i], values[i], i, 1});
            continue;
        }
        ColumnValue &entry = thinned.back();
        entry.low = std::min(entry.low, values[i]);
        entry.high = std::max(entry.high, values[i]);
        entry.last = i;
        entry.changes++;
    }
    return thinned;
}

std::string bcd_frequency_text(uint64_t bits)
{
    if (bits > 0xFFFF)
        return "";
    char digits[4];
    for (int i = 0; i < 4; ++i) {
        unsigned digit = (unsigned)(bits >> (12 - 4 * i)) & 0xF;
        if (digit > 9)
            return "";
        digits[i] = (char)('0' + digit);
    }
    return std::string("1") + digits[0] + digits[1] + "." + digits[2] + digits[3];
}

// Text cut to `limit` characters (never inside a UTF-8 sequence), with an ellipsis after.
static std::string shortened(const std::string &text, size_t limit, size_t *shown_chars = 0)
{
    size_t chars = 0, at = 0;
    while (at < text.size() && chars < limit) {
        ++at;
        while (at < text.size() && ((unsigned char)text[at] & 0xC0) == 0x80)
            ++at;
        ++chars;
    }
    if (shown_chars)
        *shown_chars = chars + (at < text.size() ? 1 : 0);
    return at < text.size() ? text.substr(0, at) + "\xE2\x80\xA6" : text;
}

static double decimal_value(uint64_t bits)
{
    double value;
    memcpy(&value, &bits, sizeof value);
    return value;
}

static std::string time_label(double seconds, double step)
{
    if (step >= 60)
        return number_text(seconds / 60, 1) + " min";
    return number_text(seconds, 2) + " s";
}

class AxisDrawing {
public:
    // A run of no cycles still gets an axis one cycle long.
    explicit AxisDrawing(const ReportRecord &record)
        : record_(record), duration_(record.duration > 0 ? record.duration : 1.0 / CYCLES_PER_SECOND)
    {
    }
    std::string draw(bool with_cursor);

private:
    double x_of(double time) const
    {
        double share = time <= 0 ? 0 : time >= duration_ ? 1 : time / duration_;
        return AXIS_PLOT_LEFT + share * AXIS_PLOT_WIDTH;
    }
    static std::string at(double coordinate) { return number_text(coordinate, 2); }
    void lane_start(const std::string &kind, const std::string &name, int height);
    void group(const std::string &title);
    // A label at x in this lane's row, when it does not run into the one before it.
    void label(double x, double y, const std::string &text, double &free_from, const char *anchor = "start");
    std::string ruler(int bottom) const;
    void variable_lane(const VariableLane &lane);
    void step_lane(const VariableLane &lane);
    void value_lane(const VariableLane &lane);
    void sound_lane(const SoundLane &lane);
    void text_lane(const TextLane &lane);
    void lifecycle_lane();

    const ReportRecord &record_;
    double duration_;
    std::string svg_;
    int top_ = RULER_HEIGHT;  // the current lane's top
    int height_ = 0;
    bool shaded_ = false;  // every other lane
};

void AxisDrawing::group(const std::string &title)
{
    svg_ += "<text class=\"group\" x=\"6\" y=\"" + std::to_string(top_ + 14) + "\">" + html_text(title) + "</text>\n";
    top_ += GROUP_HEIGHT;
    shaded_ = false;
}

void AxisDrawing::lane_start(const std::string &kind, const std::string &name, int height)
{
    top_ += height_;
    height_ = height;
    if (shaded_)
        svg_ += "<rect class=\"shade\" x=\"0\" y=\"" + std::to_string(top_) + "\" width=\"" + std::to_string(AXIS_WIDTH) +
                "\" height=\"" + std::to_string(height) + "\"/>\n";
    shaded_ = !shaded_;
    svg_ += "<text class=\"lane-name " + kind + "\" x=\"12\" y=\"" + std::to_string(top_ + height / 2 + 4) + "\"><title>" +
            html_text(name) + "</title>" + html_text(shortened(name, NAME_MAX_CHARS)) + "</text>\n";
}

void AxisDrawing::label(double x, double y, const std::string &text, double &free_from, const char *anchor)
{
    size_t chars = 0;
    std::string shown = shortened(text, LABEL_MAX_CHARS, &chars);
    double width = chars * LABEL_CHAR_WIDTH;
    double left = strcmp(anchor, "end") == 0 ? x - width : x;
    if (left < free_from || left + width > AXIS_WIDTH)
        return;
    free_from = left + width + 6;
    svg_ += "<text class=\"label\" x=\"" + at(x) + "\" y=\"" + at(y) + "\" text-anchor=\"" + anchor + "\">" +
            html_text(shown) + "</text>";
}

// Ticks at a round step that gives about ten of them across the plot, their grid lines down to
// `bottom`.
std::string AxisDrawing::ruler(int bottom) const
{
    static const double STEPS[] = {0.05, 0.1, 0.2, 0.5, 1, 2, 5, 10, 15, 30, 60, 120, 300, 600, 900, 1800, 3600};
    double step = STEPS[sizeof STEPS / sizeof STEPS[0] - 1];
    for (double candidate : STEPS)
        if (candidate >= duration_ / 10) {
            step = candidate;
            break;
        }
    std::string ruler = "<g class=\"ruler\">";
    for (int i = 0; i * step <= duration_ + 1e-9; ++i) {
        std::string x = at(x_of(i * step));
        ruler += "<line class=\"grid\" x1=\"" + x + "\" x2=\"" + x + "\" y1=\"" + std::to_string(RULER_HEIGHT - 6) +
                 "\" y2=\"" + std::to_string(bottom) + "\"/><text x=\"" + x + "\" y=\"14\" text-anchor=\"middle\">" +
                 time_label(i * step, step) + "</text>";
    }
    return ruler + "</g>\n";
}

void AxisDrawing::variable_lane(const VariableLane &lane)
{
    for (const VariableLane::Change &change : lane.changes)
        if (change.is_integer)
            return value_lane(lane);
    step_lane(lane);
}

// A decimal variable: a step line between its lowest and highest value, which label the lane's
// scale. Before its first setting a variable reads 0.
void AxisDrawing::step_lane(const VariableLane &lane)
{
    lane_start("variable", "token " + std::to_string(lane.token), STEP_LANE_HEIGHT);
    std::vector<double> times, values;
    bool set_at_start = !lane.changes.empty() && lane.changes[0].mark.cycle == 0;
    double low = set_at_start ? HUGE_VAL : 0, high = set_at_start ? -HUGE_VAL : 0;
    for (const VariableLane::Change &change : lane.changes) {
        double value = decimal_value(change.bits);
        if (!isfinite(value))
            value = 0;  // the scenario allows none, but the bits come from outside this file
        times.push_back(change.mark.time);
        values.push_back(value);
        low = std::min(low, value);
        high = std::max(high, value);
    }
    double bottom = top_ + STEP_LANE_HEIGHT - 7, top = top_ + 7;
    auto y_of = [&](double value) {
        return high > low ? bottom - (value - low) / (high - low) * (bottom - top) : (top + bottom) / 2;
    };
    svg_ += "<text class=\"scale\" x=\"" + std::to_string(AXIS_PLOT_LEFT - 6) + "\" y=\"" + at(top + 3) +
            "\" text-anchor=\"end\">" + html_text(number_text(high, 3)) + "</text><text class=\"scale\" x=\"" +
            std::to_string(AXIS_PLOT_LEFT - 6) + "\" y=\"" + at(bottom + 3) + "\" text-anchor=\"end\">" +
            html_text(number_text(low, 3)) + "</text>\n";
    std::vector<ColumnValue> columns = thin_to_columns(times, values, duration_, AXIS_PLOT_WIDTH);
    std::string path = "M" + at(x_of(0)) + " " + at(y_of(set_at_start ? values[0] : 0));
    std::string dots;
    for (const ColumnValue &column : columns) {
        double x = x_of(column.first_time);
        path += "H" + at(x) + "V" + at(y_of(column.low)) + "V" + at(y_of(column.high)) + "V" + at(y_of(values[column.last]));
        std::string title = lane.changes[column.last].mark.line;
        if (column.changes > 1)
            title += "\n(and " + std::to_string(column.changes - 1) + " earlier changes within this pixel)";
        dots += "<circle class=\"set\" cx=\"" + at(x_of(times[column.last])) + "\" cy=\"" +
                at(y_of(values[column.last])) + "\" r=\"2.5\"><title>" + html_text(title) + "</title></circle>";
    }
    path += "H" + at(x_of(duration_));
    svg_ += "<path class=\"step\" d=\"" + path + "\"/>" + dots + "\n";
}

// A hex variable (BCD frequencies, flags): its text at each change, a frequency as the readout
// shows it when every value the lane takes is one.
void AxisDrawing::value_lane(const VariableLane &lane)
{
    bool frequencies = true;
    for (const VariableLane::Change &change : lane.changes)
        frequencies = frequencies && change.is_integer && !bcd_frequency_text(change.bits).empty();
    lane_start("variable", "token " + std::to_string(lane.token) + (frequencies ? " (frequency)" : ""), LANE_HEIGHT);
    std::vector<double> times, values;
    for (const VariableLane::Change &change : lane.changes) {
        times.push_back(change.mark.time);
        values.push_back(0);
    }
    double free_from = -HUGE_VAL;
    for (const ColumnValue &column : thin_to_columns(times, values, duration_, AXIS_PLOT_WIDTH)) {
        const VariableLane::Change &change = lane.changes[column.last];
        std::string title = change.mark.line;
        if (column.changes > 1)
            title += "\n(and " + std::to_string(column.changes - 1) + " earlier changes within this pixel)";
        std::string x = at(x_of(change.mark.time));
        svg_ += "<g class=\"value\"><title>" + html_text(title) + "</title><line x1=\"" + x + "\" x2=\"" + x + "\" y1=\"" +
                std::to_string(top_ + 4) + "\" y2=\"" + std::to_string(top_ + LANE_HEIGHT - 4) + "\"/>";
        label(x_of(change.mark.time) + 3, top_ + LANE_HEIGHT / 2 + 4,
              frequencies ? bcd_frequency_text(change.bits) : change.mark.label, free_from);
        svg_ += "</g>";
    }
    svg_ += "\n";
}

// A sound name: a bar while its loop plays, a marker with the file name at each one-shot.
void AxisDrawing::sound_lane(const SoundLane &lane)
{
    lane_start("sound", lane.name.empty() ? "one-shots without a name" : "sound \"" + lane.name + "\"", LANE_HEIGHT);
    for (const LoopSpan &loop : lane.loops) {
        double x = x_of(loop.start.time), width = std::max(x_of(loop.cut.time) - x, 1.0);
        std::string title = loop.start.line + "\n" +
                            (loop.cut.line.empty() ? "(still playing when the run ended)" : loop.cut.line);
        svg_ += "<rect class=\"loop\" x=\"" + at(x) + "\" y=\"" + std::to_string(top_ + 7) + "\" width=\"" + at(width) +
                "\" height=\"" + std::to_string(LANE_HEIGHT - 14) + "\"><title>" + html_text(title) + "</title></rect>";
    }
    double free_from = -HUGE_VAL;
    for (const ReportMark &shot : lane.one_shots) {
        double x = x_of(shot.time), y = top_ + LANE_HEIGHT / 2;
        svg_ += "<g class=\"one-shot\"><title>" + html_text(shot.line) + "</title><path d=\"M" + at(x) + "," + at(y - 7) +
                "l5,7l-5,7l-5,-7z\"/>";
        label(x + 7, y + 4, shot.label, free_from);
        svg_ += "</g>";
    }
    svg_ += "\n";
}

// A string element: a labelled tick at each change of its text.
void AxisDrawing::text_lane(const TextLane &lane)
{
    lane_start("text", lane.element, LANE_HEIGHT);
    double free_from = -HUGE_VAL;
    for (const ReportMark &change : lane.changes) {
        double x = x_of(change.time);
        svg_ += "<g class=\"text-change\"><title>" + html_text(change.line) + "</title><line x1=\"" + at(x) + "\" x2=\"" +
                at(x) + "\" y1=\"" + std::to_string(top_ + 4) + "\" y2=\"" + std::to_string(top_ + LANE_HEIGHT - 4) + "\"/>";
        label(x + 3, top_ + LANE_HEIGHT / 2 + 4, "\"" + change.label + "\"", free_from);
        svg_ += "</g>";
    }
    svg_ += "\n";
}

// The run's own marks. The kills all come at the end, so marks of one kind on one cycle are one
// mark whose tooltip holds all their lines.
void AxisDrawing::lifecycle_lane()
{
    lane_start("run", "start, kills, end", LANE_HEIGHT);
    struct Group {
        LifeKind kind;
        double time;
        std::string title;
        size_t count;
    };
    std::vector<Group> groups;
    for (const LifeMark &life : record_.lifecycle) {
        if (!groups.empty() && groups.back().kind == life.kind && groups.back().time == life.mark.time) {
            groups.back().title += "\n" + life.mark.line;
            groups.back().count++;
        } else {
            groups.push_back({life.kind, life.mark.time, life.mark.line, 1});
        }
    }
    static const char *const NAMES[] = {"start", "snapshot", "kill", "end"};
    // The kills' labels have a row of their own above the others.
    double kills_free_from = -HUGE_VAL, others_free_from = -HUGE_VAL;
    for (const Group &group : groups) {
        const char *name = NAMES[(int)group.kind];
        double x = x_of(group.time);
        svg_ += std::string("<g class=\"life ") + name + "\"><title>" + html_text(group.title) + "</title><line x1=\"" +
                at(x) + "\" x2=\"" + at(x) + "\" y1=\"" + std::to_string(top_ + 3) + "\" y2=\"" +
                std::to_string(top_ + LANE_HEIGHT - 3) + "\"/>";
        // Marks past the middle are labelled leftwards, so that those at the end stay inside.
        bool leftwards = x > AXIS_PLOT_LEFT + AXIS_PLOT_WIDTH / 2;
        std::string text = group.count > 1 ? std::to_string(group.count) + " " + name + "s" : name;
        bool kill = group.kind == LifeKind::Kill;
        // The snapshot is often a cycle before the end, whose label matters more: its tick only.
        if (group.kind != LifeKind::Snapshot)
            label(leftwards ? x - 7 : x + 4, top_ + (kill ? 11 : 23), text, kill ? kills_free_from : others_free_from,
                  leftwards ? "end" : "start");
        svg_ += "</g>";
    }
    svg_ += "\n";
}

std::string AxisDrawing::draw(bool with_cursor)
{
    if (!record_.variables.empty()) {
        group("Variables the scenario sets");
        for (const VariableLane &lane : record_.variables)
            variable_lane(lane);
        top_ += height_, height_ = 0;
    }
    if (!record_.sounds.empty()) {
        group("Sounds");
        for (const SoundLane &lane : record_.sounds)
            sound_lane(lane);
        top_ += height_, height_ = 0;
    }
    if (!record_.texts.empty()) {
        group("Texts");
        for (const TextLane &lane : record_.texts)
            text_lane(lane);
        top_ += height_, height_ = 0;
    }
    group("Run");
    lifecycle_lane();
    int bottom = top_ + height_ + 4;
    if (with_cursor)
        svg_ += "<line id=\"cursor\" x1=\"" + std::to_string(AXIS_PLOT_LEFT) + "\" x2=\"" + std::to_string(AXIS_PLOT_LEFT) +
                "\" y1=\"" + std::to_string(RULER_HEIGHT - 6) + "\" y2=\"" + std::to_string(bottom) +
                "\" visibility=\"hidden\"/>\n";
    return "<svg id=\"axis\" xmlns=\"http://www.w3.org/2000/svg\" viewBox=\"0 0 " + std::to_string(AXIS_WIDTH) + " " +
           std::to_string(bottom) + "\" width=\"" + std::to_string(AXIS_WIDTH) + "\" data-plot-left=\"" +
           std::to_string(AXIS_PLOT_LEFT) + "\" data-plot-width=\"" + std::to_string(AXIS_PLOT_WIDTH) +
           "\" data-duration=\"" + number_text(duration_, 6) + "\" role=\"img\" aria-label=\"the run on one time axis\">\n" +
           ruler(bottom) + svg_ + "</svg>";
}

std::string axis_svg(const ReportRecord &record, bool with_cursor)
{
    return AxisDrawing(record).draw(with_cursor);
}

}  // namespace bench
