// The run's one time axis as SVG, drawn by the bench itself: a lane for each variable the
// scenario sets, each sound name, each string element, and the run's own marks (start, kills,
// end). Every mark carries its timeline line as a tooltip; a lane holds no more points than it
// has pixels across, while one-shots, loop starts and stops, and text changes are all kept.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include <string>
#include <vector>

#include "report_record.h"

namespace bench {

// The plot's place in the drawing's own units, in which one unit is one pixel of a lane.
constexpr int AXIS_PLOT_LEFT = 190;
constexpr int AXIS_PLOT_WIDTH = 1000;
constexpr int AXIS_WIDTH = AXIS_PLOT_LEFT + AXIS_PLOT_WIDTH + 30;

// A lane's values seen at its pixel columns: one entry for each column that a change falls in,
// with the time of the column's first change, the lowest and highest value the column takes,
// and the change it ends on.
struct ColumnValue {
    int column;
    double first_time;
    double low, high;
    size_t last;      // index of the column's last change
    size_t changes;   // how many changes fall in the column
};

// The column of `time` on a plot `columns` wide spanning `duration` seconds.
int column_of(double time, double duration, int columns);
// Changes (times in order, with their values) thinned to at most one entry a column.
std::vector<ColumnValue> thin_to_columns(const std::vector<double> &times, const std::vector<double> &values,
                                         double duration, int columns);

// A hex value as the frequency readout shows it (0x2400 as "124.00"); empty when its low 16
// bits are not four BCD digits or it has bits above them.
std::string bcd_frequency_text(uint64_t bits);

// The whole <svg> element. `with_cursor` adds the playback cursor that the page's script moves.
std::string axis_svg(const ReportRecord &record, bool with_cursor);

}  // namespace bench
