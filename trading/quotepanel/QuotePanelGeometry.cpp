#include "trading/quotepanel/QuotePanelGeometry.h"

#include <algorithm>
#include <cmath>

namespace quotepanel {

namespace {

constexpr double kNoPrice = 0.00001;
// Positions far outside any screen; keeps a wild quote from overflowing the
// integer conversion.
constexpr double kFarAway = 1e9;

// Cut toward zero to an integer; a value that is not a number gives -1 (no
// point), an infinite one is kept far outside the view.
long cut(double v)
{
    if (std::isnan(v))
        return -1;
    return long(std::clamp(v, -kFarAway, kFarAway));
}

double lineX(double dayMinutes, double m)
{
    return kChartLeft + (kChartRight - kChartLeft) * m / dayMinutes;
}

} // namespace

QRectF toWidget(const QRectF& r, double height)
{
    return QRectF(r.x(), height - (r.y() + r.height()), r.width(), r.height());
}

MarketLayout marketLayout(qint32 type)
{
    MarketLayout l;
    std::vector<double> dashedMinutes;
    double divider = 0;
    switch (type) {
    case 0:
        l = { 2.745, 2.0, 120, 240, {}, {} };
        divider = 120;
        dashedMinutes = { 60, 180 };
        break;
    case 1:
        l = { 1.996, 1.5, 150, 330, {}, {} };
        divider = 150;
        dashedMinutes = { 75, 240 };
        break;
    case 2:
        l = { 2.44, 1.8, 120, 270, {}, {} };
        divider = 120;
        dashedMinutes = { 60, 195 };
        break;
    case 3:
        l = { 2.486, 1.8, 120, 240 + kAfterHoursMinutes, {}, {} };
        divider = 120;
        dashedMinutes = { 60, 180, 240 };
        break;
    default:
        return MarketLayout { 2.745, std::nullopt, 120, 240, std::nullopt, {} };
    }
    l.dividerX = lineX(l.dayMinutes, divider);
    for (double m : dashedMinutes)
        l.dashedX.push_back(lineX(l.dayMinutes, m));
    return l;
}

PanelLayout panelLayout(double height)
{
    PanelLayout p;
    const double h = std::max(0.0, height);
    const double g = h / 7;
    const double r = h * 0.0625;
    p.height = h;
    p.gap = g;
    p.level5Gap = r;
    p.midQuantityY = int(g + 20);
    p.maxQuantityY = int(2 * g + 9);
    p.low2priceY = int(2 * g + 26);
    p.low1priceY = int(3 * g + 20);
    p.closePriceY = int(4 * g + 20);
    p.high1PriceY = int(5 * g + 20);
    p.high2PriceY = int(6 * g + 15);
    p.level5GridY = { int(14 * r + 10), int(13 * r + 5), int(11 * r + 15), int(10 * r + 10), int(9 * r + 5),
        int(8 * r), int(7 * r - 5), int(5 * r + 15), int(4 * r + 10), int(3 * r + 5), int(2 * r), int(r - 5) };
    p.turnoverViewRect = QRectF(69, kChartBottom, 660, 2 * g);
    p.timesharingViewRect = QRectF(69, 2 * g + 27, 660, 4 * g);
    return p;
}

QRectF timePointLineRect(const PanelLayout& layout, qint32 type)
{
    const double o = marketLayout(type).minuteStep;
    return QRectF(kChartLeft + o, kChartBottom, 658 - o,
        layout.timesharingViewRect.height() + layout.turnoverViewRect.height());
}

PanelArtwork panelArtwork(const PanelLayout& layout, qint32 type, bool midLineHidden)
{
    PanelArtwork a;
    const double g = layout.gap;
    const double top = 6 * g + kChartBottom;
    const auto horizontal = [](double x0, double x1, double y) { return Segment { { x0, y }, { x1, y } }; };
    const auto vertical = [](double x, double y0, double y1) { return Segment { { x, y0 }, { x, y1 } }; };

    a.grid.push_back(horizontal(kChartLeft, kChartRight, kChartBottom));
    a.grid.push_back(horizontal(0, kChartRight, 2 * g + kChartBottom));
    if (!midLineHidden)
        for (int band : { 3, 4, 5 })
            a.grid.push_back(horizontal(kChartLeft, kChartRight, band * g + kChartBottom));
    a.grid.push_back(horizontal(kChartLeft, kChartRight, top));
    a.grid.push_back(vertical(kChartLeft, kChartBottom, top));
    const MarketLayout market = marketLayout(type);
    if (market.dividerX)
        a.grid.push_back(vertical(*market.dividerX, kChartBottom, top));
    a.grid.push_back(vertical(kChartRight, kChartBottom, top));

    for (double x : market.dashedX)
        a.dashed.push_back(vertical(x, kChartBottom, top));
    a.dashed.push_back(horizontal(kChartLeft, kChartRight, g + kChartBottom));

    const double r = layout.level5Gap;
    for (double row : { 0.5, 6.5, 12.5, 15.5 })
        a.table.push_back(horizontal(kTableLeft, kTableRight, row * r));
    for (double x : { kTableLeft, kTableRight })
        a.table.push_back(vertical(x, 0.5 * r, 15.5 * r));
    return a;
}

TimesharingLines timesharingLines(const std::vector<RDOTimesharingInfo>& normal,
    const std::vector<RDOTimesharingInfo>& after, double openPrice, double centre, double halfRange, double height)
{
    TimesharingLines lines;
    if (normal.empty() && after.empty())
        return lines;

    // A negative half range (a high below the low) draws as its size.
    const double s = std::fabs(halfRange);
    const float bottom = float(centre - s);
    const double k = s != 0 ? (height / s) * 0.5 : 0;
    const long middle = cut(height * 0.5);
    // The centre comes as a single-precision price: on a flat day every
    // price is compared with it in that precision, or a close such as 10.1
    // would match no minute at all.
    const auto atCentre = [centre = float(centre)](double price) { return float(price) == centre; };

    if (s != 0) {
        lines.price.push_back(cut((openPrice - double(bottom)) * k));
        lines.average.push_back(-1);
    } else if (atCentre(openPrice)) {
        lines.price.push_back(middle);
        lines.average.push_back(-1);
    }

    // With no normal-hours minute the after-hours ones start from their own.
    const RDOTimesharingInfo& first = normal.empty() ? after.front() : normal.front();
    double previousPrice = first.recentDealPrice;
    double previousAverage = first.averageDealPrice;

    const auto positions = [&](const RDOTimesharingInfo& point) {
        double price = point.recentDealPrice;
        double average = point.averageDealPrice;
        if (price < kNoPrice) {
            price = previousPrice;
            average = previousAverage;
        }
        previousPrice = price;
        previousAverage = average;
        if (s == 0) {
            const long y = atCentre(price) ? middle : -1;
            return std::pair { y, y };
        }
        // Three decimals, as the quote server's prices have at most that many.
        const float p3 = QString::asprintf("%.3lf", price).toFloat();
        const float a3 = QString::asprintf("%.3lf", average).toFloat();
        return std::pair { cut(double(p3 - bottom) * k), cut(double(a3 - bottom) * k) };
    };

    for (size_t i = 0; i < normal.size(); ++i) {
        const auto [y, yAverage] = positions(normal[i]);
        lines.price.push_back(y);
        lines.average.push_back(yAverage);
        if (i + 1 == normal.size()) {
            lines.afPrice.push_back(y);
            lines.afAverage.push_back(yAverage);
        }
    }
    for (const RDOTimesharingInfo& point : after) {
        const auto [y, yAverage] = positions(point);
        lines.afPrice.push_back(y);
        lines.afAverage.push_back(yAverage);
    }
    return lines;
}

std::vector<QPointF> linePolyline(const std::vector<long>& ys, double step, double offset)
{
    std::vector<QPointF> points;
    const auto first = std::ranges::find_if(ys, [](long y) { return y >= 0; });
    if (first == ys.end())
        return points;
    const size_t k = size_t(first - ys.begin());
    double x = k * step + offset;
    if (k == 0)
        x = offset > 0 ? offset : 1.0;
    points.emplace_back(x, double(ys[k]));
    for (size_t j = k + 1; j < ys.size(); ++j)
        points.emplace_back(j * step + offset, double(ys[j]));
    return points;
}

std::optional<int> minuteIndex(const QString& quoteTime, const MarketLayout& layout, bool afterHours)
{
    const QString t = quoteTime.trimmed();
    if (t.size() < 3 || t.size() > 4 || !std::ranges::all_of(t, [](QChar c) { return c.isDigit(); }))
        return std::nullopt;
    const int hour = t.left(t.size() - 2).toInt();
    const int minute = t.right(2).toInt();
    if (minute > 59)
        return std::nullopt;
    const int m = hour * 60 + minute;
    if (afterHours) {
        const int index = m - 665; // 15:05 is minute 240
        if (index < kAfterHoursFirstIndex || index > kAfterHoursFirstIndex + kAfterHoursMinutes)
            return std::nullopt;
        return index;
    }
    const int index = hour < 13 ? m - 570 : layout.morningMinutes + m - 780;
    const int normalMinutes = layout.dayMinutes == 240 + kAfterHoursMinutes ? 240 : layout.dayMinutes;
    if (index < 0 || index > normalMinutes)
        return std::nullopt;
    return index;
}

VolumeBars volumeBars(const std::vector<RDOTimesharingInfo>& normal, const std::vector<RDOTimesharingInfo>& after,
    double previousClose, qint64 maximum, double height, qint32 type, double lineWidth, const VolumeColors& colors)
{
    VolumeBars bars;
    const MarketLayout layout = marketLayout(type);
    bars.lineWidth = layout.barWidth.value_or(lineWidth);
    // Without a largest minute there is no scale, and no bar.
    if ((normal.empty() && after.empty()) || maximum <= 0)
        return bars;

    const double v = height / double(maximum);
    double previousPrice = previousClose;
    const auto add = [&](std::vector<VolumeGraphInfo>& out, const RDOTimesharingInfo& point, bool afterHours) {
        VolumeGraphInfo bar;
        bar.height = cut(double(point.totalTurnover) * v);
        if (point.recentDealPrice == previousPrice) {
            bar.color = colors.unchanged;
            bar.y = 1.0f;
        } else if (previousPrice > point.recentDealPrice) {
            bar.color = colors.downs;
            bar.y = 1.0f;
        } else {
            bar.color = colors.ups;
            bar.y = 0.0f;
        }
        previousPrice = point.recentDealPrice;
        // A minute whose time does not fit the session has no place.
        if (const std::optional<int> index = minuteIndex(point.quoteTime, layout, afterHours)) {
            bar.x = float(*index * layout.minuteStep);
            out.push_back(bar);
        }
    };
    for (const RDOTimesharingInfo& point : normal)
        add(bars.day, point, false);
    for (const RDOTimesharingInfo& point : after)
        add(bars.after, point, true);
    return bars;
}

qint64 selectedTimePointIndex(double x, qint32 type)
{
    return qint64(cut((x - 1.0) / marketLayout(type).minuteStep + 1.0));
}

double exitX(double exitLocationX, double width)
{
    return exitLocationX > 0 ? width - 0.5 : 0.0;
}

QPointF clampToOverlay(QPointF p, double width, double height)
{
    return { std::clamp(p.x(), 0.0, std::max(0.0, width - 0.5)), std::clamp(p.y(), 0.0, std::max(0.0, height)) };
}

std::vector<std::optional<double>> placeAxisLabels(
    const std::vector<AxisLabel>& labels, double left, double right)
{
    const size_t n = labels.size();
    std::vector<std::optional<double>> placed(n);
    // The room between the nearest placed labels on either side of i.
    const auto room = [&](size_t i) {
        double from = left;
        double to = right;
        for (size_t j = i; j-- > 0;) {
            if (placed[j]) {
                from = *placed[j] + labels[j].width + kAxisLabelGap;
                break;
            }
        }
        for (size_t j = i + 1; j < n; ++j) {
            if (placed[j]) {
                to = *placed[j] - kAxisLabelGap;
                break;
            }
        }
        return std::pair(from, to);
    };
    const auto place = [&](size_t i) {
        const auto [from, to] = room(i);
        const double width = std::max(labels[i].width, 0.0);
        if (!std::isfinite(labels[i].x) || to - from < width)
            return;
        if (!labels[i].fixed)
            placed[i] = std::clamp(labels[i].x, from, to - width);
        else if (labels[i].x >= from && labels[i].x + width <= to)
            placed[i] = labels[i].x;
    };
    std::vector<size_t> order;
    for (size_t i = 0; i < n; ++i)
        if (labels[i].fixed)
            order.push_back(i);
    if (n > 0 && !labels[0].fixed)
        order.push_back(0);
    if (n > 1 && !labels[n - 1].fixed)
        order.push_back(n - 1);
    for (size_t i = 1; i + 1 < n; ++i)
        if (!labels[i].fixed)
            order.push_back(i);
    for (size_t i : order)
        place(i);
    return placed;
}

} // namespace quotepanel
