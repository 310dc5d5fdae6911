#pragma once

#include <QColor>
#include <QPointF>
#include <QRectF>
#include <QString>
#include <QtGlobal>
#include <array>
#include <optional>
#include <vector>

// The numbers of the fund net-value chart, apart from any widget: values in
// whole thousandths of a currency unit, coordinates in the chart's own frame
// with y growing upwards (a view turns them over to draw).
namespace fundchart {

// The vertical scale in thousandths.
struct Scale {
    qint64 bottom = 0;
    qint64 middle = 0;
    qint64 top = 0;
};

// A net value's whole thousandths, taken exactly from its decimal text and
// rounded down ("1.004" is 1004, "1.0049" 1004); nullopt for text that is not
// a decimal number of at most 12 integer digits.
std::optional<qint64> thousandths(const QString& net);

// The scale of the values (not empty): less than 5 thousandths apart, 100
// either side of the lowest; otherwise a fifth of the range added above and
// below, the middle halfway (truncated).
Scale scaleOf(const std::vector<qint64>& values);

// The chart area, and the plot inside it 6 points in on every side.
inline constexpr QRectF kChartArea { 65, 25, 545, 238 };
inline constexpr QRectF kPlotArea { 71, 31, 533, 226 };
// The size of the chart view.
inline constexpr int kViewWidth = 620;
inline constexpr int kViewHeight = 290;

// The height of a value on the plot.
double yOf(qint64 value, const Scale& scale, const QRectF& plot = kPlotArea);

// The line's points, oldest at the left: `values` are newest first. The first
// point is at the plot's left plus 1 at the oldest value's height; then one
// step (plot width / count) per value, from the oldest to the newest, never
// beyond the plot's right edge; every point cut to whole points.
std::vector<QPointF> linePoints(const std::vector<qint64>& values, const Scale& scale, const QRectF& plot = kPlotArea);

// The grid: three horizontal lines at 1/4, 2/4 and 3/4 of the plot's height
// and six vertical ones at 1/7 to 6/7 of its width, as (from, to) pairs.
std::vector<std::pair<QPointF, QPointF>> gridLines(const QRectF& plot = kPlotArea);

// The five value labels ("%.4lf"): bottom, halfway to the middle, middle,
// halfway to the top, top; all empty when the top is not above 0.000001.
std::array<QString, 5> valueLabels(const Scale& scale);

// getPreMonth: the month before (1 gives 12).
int getPreMonth(int month);
// The six month labels ending with the newest day's month: month1Text (one
// month before) to month5Text (five before), then month6Text (the month
// itself). A month shows "%ld月", January the year "%@年". The month is the
// number characters 6 and 7 begin with; all empty when that is no month.
std::array<QString, 6> monthLabels(const QString& newestDate);

// The colours, alpha included.
QColor chartAreaColour();
QColor gridColour();
QColor gradientBottomColour();
QColor gradientTopColour();

} // namespace fundchart
