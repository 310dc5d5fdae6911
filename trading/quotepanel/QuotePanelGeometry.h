#pragma once

#include "quotes/requests/QuoteRecords.h"

#include <QColor>
#include <QPointF>
#include <QRectF>
#include <array>
#include <optional>
#include <vector>

// The quote panel's arithmetic: where everything goes, from the panel's
// height, the market's layout type and the minute points. The panel is
// laid out with the origin at the lower left and y upward; toWidget() is
// the one place that turns such a point into a widget's top-left
// coordinates. Pure functions: the widgets call them when data or size
// change and only draw the results.
namespace quotepanel {

// The panel's fixed width: the chart up to x 727, the five-level table
// from 735 to 955.
constexpr double kPanelWidth = 955.0;
constexpr double kChartLeft = 70.0;
constexpr double kChartRight = 727.0;
constexpr double kChartBottom = 25.0;
constexpr double kTableLeft = 735.0;
constexpr double kTableRight = 955.0;
// Minutes of the after-hours session (15:05 to 15:30) and where they start.
constexpr int kAfterHoursFirstIndex = 240;
constexpr int kAfterHoursMinutes = 25;
// The after-hours lines start 240 minutes in at the type-3 step.
constexpr double kAfterHoursOffset = 596.64;

// A point of the panel (origin lower left) in widget coordinates.
inline QPointF toWidget(QPointF p, double height) { return { p.x(), height - p.y() }; }
QRectF toWidget(const QRectF& r, double height);

// What a market layout type (0 to 3) fixes; any other type draws no time
// lines and keeps the chart's step of type 0.
struct MarketLayout {
    double minuteStep = 2.745;
    std::optional<double> barWidth; // none: the bars keep their width
    int morningMinutes = 120;
    int dayMinutes = 240; // minutes of the chart's width
    std::optional<double> dividerX; // the midday break
    std::vector<double> dashedX; // dashed time lines
};
MarketLayout marketLayout(qint32 type);

// Heights of the panel's labels and the chart views' frames, from the
// panel's height (origin lower left).
struct PanelLayout {
    double height = 0;
    double gap = 0; // height / 7: one chart band
    double level5Gap = 0; // height / 16: one five-level row
    int midQuantityY = 0;
    int maxQuantityY = 0;
    int low2priceY = 0;
    int low1priceY = 0;
    int closePriceY = 0;
    int high1PriceY = 0;
    int high2PriceY = 0;
    std::array<int, 12> level5GridY {}; // level5_Grid1Y .. level5_Grid12Y
    QRectF timesharingViewRect;
    QRectF turnoverViewRect;

    int level5Grid(int n) const { return level5GridY[size_t(n - 1)]; } // n from 1
};
PanelLayout panelLayout(double height);

// The cross-hair overlay's frame for a type.
QRectF timePointLineRect(const PanelLayout& layout, qint32 type);

// One line of the panel's artwork (panel coordinates).
struct Segment {
    QPointF from;
    QPointF to;
};
struct PanelArtwork {
    std::vector<Segment> grid; // solid red, 0.5 wide
    std::vector<Segment> dashed; // red, 2 on 6 off
    std::vector<Segment> table; // red, 1.0 wide
};
PanelArtwork panelArtwork(const PanelLayout& layout, qint32 type, bool midLineHidden);

// The y positions of the chart's four lines; -1 marks a minute without a
// position.
struct TimesharingLines {
    std::vector<long> price;
    std::vector<long> average;
    std::vector<long> afPrice;
    std::vector<long> afAverage;
};
// centre: the previous close; halfRange: distance from the centre to the
// top of the axis; height: the chart view's height.
TimesharingLines timesharingLines(const std::vector<RDOTimesharingInfo>& normal,
    const std::vector<RDOTimesharingInfo>& after, double openPrice, double centre, double halfRange, double height);

// The polyline of one line array: entries before the first one of 0 or more
// are skipped; every later one is joined, also past the view's width (the
// view clips the last segment at its edge).
std::vector<QPointF> linePolyline(const std::vector<long>& ys, double step, double offset);

// One volume bar: from (x, y) up to (x, height).
struct VolumeGraphInfo {
    float x = 0;
    float y = 0; // 0 for a rising minute, 1 otherwise
    qint64 height = 0;
    QColor color;
};
struct VolumeColors {
    QColor ups;
    QColor downs;
    QColor unchanged;
};
struct VolumeBars {
    std::vector<VolumeGraphInfo> day;
    std::vector<VolumeGraphInfo> after;
    double lineWidth = 2.0;
};
// The bars of a day; lineWidth is the width kept for a type without one.
VolumeBars volumeBars(const std::vector<RDOTimesharingInfo>& normal, const std::vector<RDOTimesharingInfo>& after,
    double previousClose, qint64 maximum, double height, qint32 type, double lineWidth, const VolumeColors& colors);

// The chart index of a minute time ("931", "1305"); none for a text that is
// not three or four digits or a minute outside its session.
std::optional<int> minuteIndex(const QString& quoteTime, const MarketLayout& layout, bool afterHours);

// A label of the time axis below the chart: the x its text wants to start
// at and the text's width. Labels are given left to right. A fixed label is
// one the market type places (the midday break, the after-hours mark): it
// stands at its x or nowhere.
struct AxisLabel {
    double x = 0;
    double width = 0;
    bool fixed = false;
};
// The least room between two labels of the axis.
constexpr double kAxisLabelGap = 6.0;
// Where each label's text starts, none for a label dropped: every label is
// kept inside [left, right] and at least kAxisLabelGap from its neighbours.
// The fixed labels are placed first, from the left, each exactly at its x
// wherever it fits there; then the outer labels, then the inner ones from
// the left, each moved as little as its neighbours need and dropped only
// when no place between them is wide enough.
std::vector<std::optional<double>> placeAxisLabels(
    const std::vector<AxisLabel>& labels, double left, double right);

// The minute under x of the cross-hair overlay.
qint64 selectedTimePointIndex(double x, qint32 type);
// Where a drag that left the overlay leaves the cross-hair: at the right
// edge (width - 0.5) when it left to the right, else at 0.
double exitX(double exitLocationX, double width);
// A drag point kept inside the overlay, so the cross-hair never leaves it.
QPointF clampToOverlay(QPointF p, double width, double height);

} // namespace quotepanel
