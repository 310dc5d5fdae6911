#include "quotes_panel/PanelTestData.h"
#include "trading/quotepanel/QuotePanelGeometry.h"

#include <gtest/gtest.h>

using namespace quotepanel;
using paneltest::minute;

TEST(PanelGeometry, LayoutFollowsTheHeight)
{
    const PanelLayout l = panelLayout(700);
    EXPECT_EQ(l.maxQuantityY, 209);
    EXPECT_EQ(l.midQuantityY, 120);
    EXPECT_EQ(l.low2priceY, 226);
    EXPECT_EQ(l.closePriceY, 420);
    EXPECT_EQ(l.high2PriceY, 615);
    EXPECT_EQ(l.level5Grid(1), 622);
    EXPECT_EQ(l.level5Grid(7), 301);
    EXPECT_EQ(l.level5Grid(12), 38);
    EXPECT_EQ(l.turnoverViewRect, QRectF(69, 25, 660, 200));
    EXPECT_EQ(l.timesharingViewRect, QRectF(69, 227, 660, 400));
    EXPECT_EQ(timePointLineRect(l, 1), QRectF(70 + 1.996, 25, 658 - 1.996, 600));
    // The one flip: the chart's frame seen from the top.
    EXPECT_EQ(toWidget(l.timesharingViewRect, 700), QRectF(69, 73, 660, 400));
    // A panel squeezed to nothing still lays out.
    EXPECT_EQ(panelLayout(-5).gap, 0);
}

TEST(PanelGeometry, MarketTypesFixStepAndTimeLines)
{
    struct Case {
        qint32 type;
        double step;
        int morning;
        std::optional<double> divider;
        std::vector<double> dashed;
    };
    const Case cases[] = {
        { 0, 2.745, 120, 398.5, { 234.25, 562.75 } },
        { 1, 1.996, 150, 368.6363636363636, { 219.3181818181818, 547.8181818181818 } },
        { 2, 2.44, 120, 362.0, { 216.0, 544.5 } },
        { 3, 2.486, 120, 367.50943396226415, { 218.75471698113208, 516.2641509433962, 665.0188679245283 } },
        { 5, 2.745, 120, std::nullopt, {} },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.type);
        const MarketLayout l = marketLayout(c.type);
        EXPECT_DOUBLE_EQ(l.minuteStep, c.step);
        EXPECT_EQ(l.morningMinutes, c.morning);
        ASSERT_EQ(l.dividerX.has_value(), c.divider.has_value());
        if (c.divider) {
            EXPECT_NEAR(*l.dividerX, *c.divider, 1e-9);
        }
        ASSERT_EQ(l.dashedX.size(), c.dashed.size());
        for (size_t i = 0; i < c.dashed.size(); ++i)
            EXPECT_NEAR(l.dashedX[i], c.dashed[i], 1e-9);
    }
    EXPECT_FALSE(marketLayout(5).barWidth);
}

TEST(PanelGeometry, ArtworkGridAndDashes)
{
    const PanelLayout l = panelLayout(700);
    const PanelArtwork full = panelArtwork(l, 0, false);
    // Bottom, border, three inner lines, top; left, divider, right.
    EXPECT_EQ(full.grid.size(), 9u);
    EXPECT_EQ(full.grid[1].from, QPointF(0, 225)); // the border starts at the panel's edge
    EXPECT_EQ(full.dashed.size(), 3u);
    const PanelArtwork hidden = panelArtwork(l, 0, true);
    EXPECT_EQ(hidden.grid.size(), 6u);
    // Type 5: no divider, no time lines, but the half-volume line.
    const PanelArtwork other = panelArtwork(l, 5, false);
    EXPECT_EQ(other.grid.size(), 8u);
    ASSERT_EQ(other.dashed.size(), 1u);
    EXPECT_EQ(other.dashed[0].from, QPointF(70, 125));
    EXPECT_EQ(full.table.size(), 6u);
    EXPECT_EQ(full.table[1].from, QPointF(735, 6.5 * 43.75));
}

TEST(PanelGeometry, PriceToY)
{
    // H 400, centre 10, half range 0.5: 9.5 at 0, 10.5 at 400.
    const std::vector<RDOTimesharingInfo> points { minute(0, 10.00, 1), minute(1, 10.50, 1), minute(2, 9.50, 1),
        minute(3, 10.123, 1), minute(4, 0, 1) };
    const TimesharingLines l = timesharingLines(points, {}, 10.0, 10.0, 0.5, 400);
    EXPECT_EQ(l.price, (std::vector<long> { 200, 200, 400, 0, 249, 249 }));
    EXPECT_EQ(l.average.front(), -1); // the opening point has no average
    // The last minute also starts the after-hours lines.
    EXPECT_EQ(l.afPrice, (std::vector<long> { 249 }));
}

TEST(PanelGeometry, FlatRangeAndMissingPrices)
{
    // Half range 0 and an open away from the centre: no opening point; the
    // centre at H / 2, everything else without a position.
    const std::vector<RDOTimesharingInfo> points { minute(0, 10.0, 1), minute(1, 10.2, 1) };
    EXPECT_EQ(timesharingLines(points, {}, 10.1, 10.0, 0, 300).price, (std::vector<long> { 150, -1 }));
    EXPECT_EQ(timesharingLines(points, {}, 10.0, 10.0, 0, 300).price, (std::vector<long> { 150, 150, -1 }));
    // A close no float holds exactly: the open and the minutes at it still
    // stand at H / 2, whether the centre comes narrowed or not.
    for (const double centre : { 10.1, double(float(10.1)) }) {
        const TimesharingLines flat
            = timesharingLines({ minute(0, 10.1, 1), minute(1, 10.1, 1, 10.1) }, {}, 10.1, centre, 0, 300);
        EXPECT_EQ(flat.price, (std::vector<long> { 150, 150, 150 })) << centre;
        EXPECT_EQ(flat.average, (std::vector<long> { -1, 150, 150 })) << centre;
    }
    // A first minute without a price keeps its own (zero) value.
    const TimesharingLines zero = timesharingLines({ minute(0, 0, 1) }, {}, 10, 10, 0.5, 400);
    EXPECT_EQ(zero.price.size(), 2u);
}

TEST(PanelGeometry, AZeroPriceMinuteCarriesThePriceAndTheAverageOver)
{
    // Minute 1 has no deal: both lines stay where minute 0 left them, and
    // minute 2 moves on from there.
    const TimesharingLines l
        = timesharingLines({ minute(0, 10.0, 1, 10.05), minute(1, 0, 0, 0), minute(2, 10.2, 1, 10.1) }, {},
            10.0, 10.0, 0.5, 400);
    ASSERT_EQ(l.average.size(), 4u); // the opening point first
    EXPECT_EQ(l.average[2], l.average[1]);
    EXPECT_EQ(l.price[2], l.price[1]);
    EXPECT_NE(l.average[3], l.average[2]);
    EXPECT_GE(l.average[2], 0);
}

TEST(PanelGeometry, EdgeCasesNeverIndexOutOfRange)
{
    EXPECT_TRUE(timesharingLines({}, {}, 10, 10, 0.5, 400).price.empty());
    // After-hours minutes alone start from their own first minute.
    const TimesharingLines after = timesharingLines({}, { minute(0, 10.0, 1) }, 10, 10, 0.5, 400);
    EXPECT_EQ(after.afPrice, (std::vector<long> { 200 }));
    // A zero or negative previous close, a zero range: no division by zero.
    for (double close : { 0.0, -3.0 }) {
        const TimesharingLines l = timesharingLines({ minute(0, 1.0, 1) }, {}, 1.0, close, 0, 400);
        EXPECT_EQ(l.price.back(), -1);
    }
    // A range of nothing but a huge price stays far away, not undefined.
    const TimesharingLines wild = timesharingLines({ minute(0, 1e300, 1) }, {}, 1, 1, 1e-300, 400);
    EXPECT_LE(wild.price.back(), 1000000000L);
    EXPECT_TRUE(linePolyline({ -1, -1 }, 2.745, 0).empty());
}

TEST(PanelGeometry, PolylineStartsAtTheFirstPoint)
{
    EXPECT_EQ(linePolyline({ 5, 6 }, 2.0, 0), (std::vector<QPointF> { { 1.0, 5 }, { 2.0, 6 } }));
    EXPECT_EQ(linePolyline({ -1, 7, -1 }, 2.0, 0), (std::vector<QPointF> { { 2.0, 7 }, { 4.0, -1 } }));
    EXPECT_EQ(linePolyline({ 3, 4 }, 2.486, kAfterHoursOffset).front(), QPointF(kAfterHoursOffset, 3));
    // Every later minute is joined, also past the chart's width: the view
    // clips the segment that crosses its right edge.
    const std::vector<QPointF> long400 = linePolyline(std::vector<long>(400, 1), 2.745, 0);
    ASSERT_EQ(long400.size(), 400u);
    EXPECT_DOUBLE_EQ(long400.back().x(), 399 * 2.745);
}

TEST(PanelGeometry, MinuteToIndex)
{
    struct Case {
        const char* time;
        qint32 type;
        bool afterHours;
        std::optional<int> index;
    };
    const Case cases[] = {
        { "930", 0, false, 0 },
        { "931", 0, false, 1 },
        { "0931", 0, false, 1 },
        { "1130", 0, false, 120 },
        { "1300", 0, false, 120 },
        { "1300", 1, false, 150 },
        { "1600", 1, false, 330 },
        { "1530", 2, false, 270 },
        { "1500", 3, false, 240 },
        { "1505", 3, true, 240 },
        { "1530", 3, true, 265 },
        // After the close, before the open, short or not a time.
        { "1505", 0, false, std::nullopt },
        { "1531", 3, true, std::nullopt },
        { "900", 0, false, std::nullopt },
        { "31", 0, false, std::nullopt },
        { "", 0, false, std::nullopt },
        { "9x1", 0, false, std::nullopt },
        { "1075", 0, false, std::nullopt },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.time);
        EXPECT_EQ(minuteIndex(QString::fromLatin1(c.time), marketLayout(c.type), c.afterHours), c.index);
    }
}

TEST(PanelGeometry, VolumeBars)
{
    const VolumeColors colors { Qt::red, Qt::green, Qt::yellow };
    RDOTimesharingInfo a = minute(0, 10.0, 2500);
    RDOTimesharingInfo b = minute(1, 10.1, 5000);
    RDOTimesharingInfo c = minute(2, 10.0, 100);
    c.quoteTime = QStringLiteral("1300"); // index 120
    const VolumeBars bars = volumeBars({ a, b, c }, {}, 10.0, 5000, 200, 0, 2.0, colors);
    ASSERT_EQ(bars.day.size(), 3u);
    EXPECT_EQ(bars.day[0].height, 100);
    EXPECT_EQ(bars.day[0].color, QColor(Qt::yellow)); // unchanged against the previous close
    EXPECT_EQ(bars.day[0].y, 1.0f);
    EXPECT_EQ(bars.day[1].height, 200); // the largest minute fills the height
    EXPECT_EQ(bars.day[1].color, QColor(Qt::red));
    EXPECT_EQ(bars.day[1].y, 0.0f);
    EXPECT_EQ(bars.day[2].color, QColor(Qt::green));
    EXPECT_FLOAT_EQ(bars.day[2].x, float(120 * 2.745));

    RDOTimesharingInfo late = minute(0, 10.0, 10);
    late.quoteTime = QStringLiteral("1300");
    EXPECT_FLOAT_EQ(volumeBars({ late }, {}, 10, 10, 100, 1, 2.0, colors).day[0].x, float(150 * 1.996));
    RDOTimesharingInfo af = minute(0, 10.0, 10);
    af.quoteTime = QStringLiteral("1505");
    const VolumeBars afterBars = volumeBars({ a }, { af }, 10, 10, 100, 3, 2.0, colors);
    EXPECT_FLOAT_EQ(afterBars.after[0].x, float(240 * 2.486));
    EXPECT_EQ(afterBars.lineWidth, 1.8);

    // No maximum: no scale and no bars. Short times have no place.
    EXPECT_TRUE(volumeBars({ a }, {}, 10, 0, 200, 0, 2.0, colors).day.empty());
    RDOTimesharingInfo shortTime = a;
    shortTime.quoteTime = QStringLiteral("5");
    EXPECT_TRUE(volumeBars({ shortTime }, {}, 10, 10, 200, 0, 2.0, colors).day.empty());
    // Other types keep the width they had.
    EXPECT_EQ(volumeBars({ a }, {}, 10, 10, 200, 9, 1.5, colors).lineWidth, 1.5);
}

TEST(PanelGeometry, CrossHairIndexAndClamping)
{
    EXPECT_EQ(selectedTimePointIndex(0, 0), 0);
    EXPECT_EQ(selectedTimePointIndex(1.0, 0), 1);
    EXPECT_EQ(selectedTimePointIndex(2.745 * 10 + 1.0, 0), 11);
    EXPECT_EQ(exitX(900, 650), 649.5);
    EXPECT_EQ(exitX(-3, 650), 0);
    EXPECT_EQ(clampToOverlay({ 900, -20 }, 650, 300), QPointF(649.5, 0));
    EXPECT_EQ(clampToOverlay({ -9, 400 }, 650, 300), QPointF(0, 300));
}

// The time axis's labels never overlap, whatever the chart's width. The two
// the market type places stand exactly there wherever they fit; the start
// and the end move aside as little as they must, and one with no room left
// is dropped.
TEST(PanelGeometry, AxisLabelsNeverOverlap)
{
    // "09:30", "11:30 13:00", "15:00 15:05", "15:30" at 13 pixels.
    const double widths[] = { 34, 73, 73, 34 };
    const double centres[] = { 1.0 / 2, 5.0 / 11, 4.0 / 9 };
    for (double chartWidth = 0; chartWidth <= 1400; chartWidth += 7) {
        for (double centre : centres) {
            const double left = 69;
            const double right = left + chartWidth;
            const std::vector<AxisLabel> labels { { left + 1, widths[0] },
                { left + centre * chartWidth - widths[1] / 2, widths[1], true },
                { left + 10.0 / 11 * chartWidth - widths[2] / 2 - 5, widths[2], true },
                { right - 2 - widths[3], widths[3] } };
            const std::vector<std::optional<double>> placed = placeAxisLabels(labels, left, right);
            ASSERT_EQ(placed.size(), labels.size());
            std::optional<double> previousEnd;
            for (size_t i = 0; i < labels.size(); ++i) {
                const std::string where = std::to_string(chartWidth) + " label " + std::to_string(i);
                const bool inside = labels[i].x >= left && labels[i].x + labels[i].width <= right;
                // The after-hours mark gives way only to the midday break.
                if (i == 2 && inside && placed[1])
                    EXPECT_EQ(placed[2].has_value(), labels[2].x >= *placed[1] + widths[1] + kAxisLabelGap)
                        << where;
                if (!placed[i])
                    continue;
                if (labels[i].fixed)
                    EXPECT_EQ(*placed[i], labels[i].x) << where;
                EXPECT_GE(*placed[i], left) << where;
                EXPECT_LE(*placed[i] + labels[i].width, right) << where;
                if (previousEnd)
                    EXPECT_GE(*placed[i], *previousEnd + kAxisLabelGap) << where;
                previousEnd = *placed[i] + labels[i].width;
            }
            EXPECT_EQ(placed[1].has_value(), labels[1].x >= left && labels[1].x + widths[1] <= right)
                << chartWidth;
            // Wide enough for the end past the after-hours mark: all four are shown.
            if (chartWidth >= 800)
                for (size_t i = 0; i < labels.size(); ++i)
                    EXPECT_TRUE(placed[i]) << chartWidth << " label " << i;
        }
    }

    // The STAR market's day at the panel's width: the after-hours mark stands
    // where the market type puts it; the end label moves right to make way,
    // and is dropped when even the chart's edge leaves it no room.
    const double afterHoursX = 69 + 10.0 / 11 * 660 - 36.5 - 5;
    const std::vector<AxisLabel> star { { 70, 34 }, { 69 + 5.0 / 11 * 660 - 36.5, 73, true },
        { afterHoursX, 73, true }, { 727 - 22, 22 } };
    std::vector<std::optional<double>> placed = placeAxisLabels(star, 69, 729);
    ASSERT_TRUE(placed[0] && placed[1] && placed[2] && placed[3]);
    EXPECT_EQ(*placed[0], 70);
    EXPECT_EQ(*placed[1], star[1].x);
    EXPECT_EQ(*placed[2], afterHoursX);
    EXPECT_EQ(*placed[3], afterHoursX + 73 + kAxisLabelGap);
    std::vector<AxisLabel> wideEnd = star;
    wideEnd[3] = { 727 - 34, 34 };
    placed = placeAxisLabels(wideEnd, 69, 729);
    ASSERT_TRUE(placed[2]);
    EXPECT_EQ(*placed[2], afterHoursX);
    EXPECT_FALSE(placed[3]);
    // Too narrow for anything but the start: the rest is dropped.
    const std::vector<std::optional<double>> tiny = placeAxisLabels(star, 0, 40);
    EXPECT_TRUE(tiny[0]);
    EXPECT_FALSE(tiny[1] || tiny[2] || tiny[3]);
    EXPECT_TRUE(placeAxisLabels({}, 0, 100).empty());
}
