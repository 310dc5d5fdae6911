#include "quotes_panel/PanelTestData.h"
#include "trading/quotepanel/QuoteInfoView.h"
#include "trading/quotepanel/TimePointLineView.h"
#include "trading/quotepanel/TimesharingChartViews.h"

#include <QApplication>
#include <QImage>
#include <QMouseEvent>
#include <algorithm>
#include <cstdlib>
#include <optional>

namespace {

using namespace paneltest;
using namespace quotepanel;

struct PriceCatcher : IUpdatePriceDelegate {
    QStringList prices;
    void updatePrice(const QString& price) override { prices << price; }
};

bool isWhiteish(QRgb c) { return qRed(c) > 90 && qGreen(c) > 90 && qBlue(c) > 90; }
bool isRed(QRgb c) { return qRed(c) > 200 && qGreen(c) < 60 && qBlue(c) < 60; }
bool isGreen(QRgb c) { return qGreen(c) > 200 && qRed(c) < 60 && qBlue(c) < 60; }
bool isYellow(QRgb c) { return qRed(c) > 200 && qGreen(c) > 200 && qBlue(c) < 60; }
// The grid's half-point lines come out at half strength on a plain screen.
bool isGridRed(QRgb c) { return qRed(c) > 100 && qGreen(c) < 40 && qBlue(c) < 40; }
bool isBlack(QRgb c) { return qRed(c) < 30 && qGreen(c) < 30 && qBlue(c) < 30; }
// The captions' grey, anti-aliased: never the red of the grid.
bool isGreyInk(QRgb c)
{
    return qRed(c) > 40 && std::abs(qRed(c) - qGreen(c)) < 20 && std::abs(qGreen(c) - qBlue(c)) < 20;
}

// Any pixel of the 3x3 square around p that passes.
bool near(const QImage& image, QPoint p, bool (*test)(QRgb))
{
    for (int dx = -1; dx <= 1; ++dx)
        for (int dy = -1; dy <= 1; ++dy)
            if (image.rect().contains(p + QPoint(dx, dy)) && test(image.pixel(p + QPoint(dx, dy))))
                return true;
    return false;
}

class QuotePanelRendering : public PanelFixture {
protected:
    void SetUp() override
    {
        PanelFixture::SetUp();
        QuoteInfoViewController::Services s;
        s.notificationCenter = NotificationCenter::getInstance();
        controller = std::make_unique<QuoteInfoViewController>(QSizeF(955, 400), s);
        controller->awakeFromNib();
        view = std::make_unique<QuoteInfoView>(*controller);
        controller->setQuoteMarketType(0);
    }
    void TearDown() override
    {
        view.reset();
        controller.reset();
        PanelFixture::TearDown();
    }

    QImage render()
    {
        QImage image(view->size(), QImage::Format_ARGB32);
        image.fill(Qt::black);
        view->render(&image);
        return image;
    }

    // A chart view's point (origin lower left) in the panel's image.
    QPoint inPanel(const QWidget* chartView, QPointF p) const
    {
        return (chartView->pos() + toWidget(p, chartView->height())).toPoint();
    }

    void sendMouse(QWidget* w, QEvent::Type type, QPointF pos, Qt::MouseButtons buttons)
    {
        const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
        QMouseEvent event(type, pos, w->mapToGlobal(pos), button, buttons, Qt::NoModifier);
        QApplication::sendEvent(w, &event);
    }

    std::unique_ptr<QuoteInfoViewController> controller;
    std::unique_ptr<QuoteInfoView> view;
};

TEST_F(QuotePanelRendering, RisingFallingAndFlatDays)
{
    struct Case {
        const char* name;
        double close;
        double delta;
        bool (*barColour)(QRgb);
    };
    const Case cases[] = { { "rising", 10.0, 0.01, isRed }, { "falling", 10.0, -0.01, isGreen },
        { "flat", 10.0, 0.0, isYellow }, { "flat at a close no float holds", 10.1, 0.0, isYellow } };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        constexpr int kMinutes = 10;
        controller->setTimesharingInfo(security(day(walk(kMinutes, c.close + c.delta, c.delta), c.close)));
        const QImage image = render();
        const TimesharingMarketView* chart = view->timesharingMarketView();
        const TurnoverView* bars = view->turnoverView();

        // The price line's last minute (after the opening point).
        const double step = marketLayout(0).minuteStep;
        const long y = chart->lines().price.back();
        ASSERT_GE(y, 0);
        if (c.delta == 0) {
            EXPECT_EQ(y, chart->height() / 2);
        }
        EXPECT_TRUE(near(image, inPanel(chart, { kMinutes * step, double(y) }), isWhiteish));

        // Minute 5's bar: coloured just below its top, background above it.
        const VolumeGraphInfo& bar = bars->bars().day[5];
        EXPECT_EQ(bar.height, qint64(1500.0 * bars->height() / 1900.0));
        EXPECT_TRUE(c.barColour(image.pixel(inPanel(bars, { bar.x, double(bar.height) - 2 }))));
        EXPECT_TRUE(isBlack(image.pixel(inPanel(bars, { bar.x, double(bar.height) + 3 }))));
        // The largest minute fills the volume area.
        EXPECT_EQ(bars->bars().day.back().height, bars->height());
    }
}

TEST_F(QuotePanelRendering, AfterHoursLineContinuesTheDay)
{
    controller->setQuoteMarketType(3);
    RDOStock d = day(walk(241, 35.0, 0.001), 35.0, "688001");
    std::vector<RDOTimesharingInfo> after;
    for (int i = 0; i < kAfterHoursMinutes; ++i) {
        RDOTimesharingInfo p = minute(0, 35.3, 50);
        p.quoteTime = QString::number(1505 + i);
        after.push_back(p);
    }
    d.afterTimesharingInfoArray = after;
    d.highDealPrice = 35.3;
    controller->setTimesharingInfo(security(d));
    const TimesharingMarketView* chart = view->timesharingMarketView();
    ASSERT_EQ(chart->lines().afPrice.size(), size_t(kAfterHoursMinutes + 1));
    const QImage image = render();
    // The after-hours price at the top of the axis, to the last minute.
    const double x = kAfterHoursOffset + kAfterHoursMinutes * marketLayout(3).minuteStep;
    EXPECT_TRUE(near(image, inPanel(chart, { x, double(chart->lines().afPrice.back()) }), isWhiteish));
    EXPECT_EQ(view->turnoverView()->bars().after.size(), size_t(kAfterHoursMinutes));
    EXPECT_FLOAT_EQ(view->turnoverView()->bars().after.front().x, float(240 * 2.486));
}

TEST_F(QuotePanelRendering, EdgeCasesDrawTheFrameAndNothingWild)
{
    RDOTimesharingInfo late = minute(0, 10.0, 500);
    late.quoteTime = QStringLiteral("1530"); // after the close of a 240-minute day
    RDOTimesharingInfo shortTime = minute(0, 10.0, 500);
    shortTime.quoteTime = QStringLiteral("7");
    std::vector<RDOTimesharingInfo> tooMany = walk(300, 10.0, 0.001);
    const std::pair<const char*, RDOStock> cases[] = {
        { "no points", day({}, 10.0) },
        { "one point", day({ minute(0, 10.1, 100) }, 10.0) },
        { "after the close", day({ minute(0, 10.1, 100), late }, 10.0) },
        { "more minutes than the day", day(tooMany, 10.0) },
        { "zero previous close", day(walk(5, 1.0, 0.1), 0.0) },
        { "negative previous close", day(walk(5, 1.0, 0.1), -2.0) },
        { "short time", day({ shortTime }, 10.0) },
    };
    for (const auto& [name, d] : cases) {
        SCOPED_TRACE(name);
        controller->setTimesharingInfo(security(d));
        const QImage image = render();
        const PanelLayout& l = view->layout();
        // The chart's lower-left grid corner and the five-level frame.
        EXPECT_TRUE(near(image, toWidget({ kChartLeft, kChartBottom }, 400).toPoint(), isGridRed));
        EXPECT_TRUE(near(image, toWidget({ 800, 15.5 * l.level5Gap }, 400).toPoint(), isGridRed));
        for (const VolumeGraphInfo& bar : view->turnoverView()->bars().day) {
            EXPECT_GE(bar.x, 0.f);
            EXPECT_LE(bar.x, view->turnoverView()->width());
        }
    }
}

TEST_F(QuotePanelRendering, CrossHairFollowsADragAndStaysOnTheChart)
{
    auto s = security(day(walk(60, 10.0, 0.01), 10.0));
    controller->setTimesharingInfo(s);
    TimePointLineView* overlay = view->timePointLineView();
    sendMouse(overlay, QEvent::MouseButtonPress, { 100, 50 }, Qt::LeftButton);
    EXPECT_TRUE(controller->isSelected());
    const qint64 pressed = overlay->getSelectedTimePointIndex();
    EXPECT_EQ(controller->field(QuoteField::timeText).text, s->selectedTimeText(quint64(pressed)));
    // The overlay draws the white line and nothing beside it: the minute's
    // time and price show in the panel's labels.
    QImage alone(overlay->size(), QImage::Format_ARGB32);
    alone.fill(Qt::transparent);
    overlay->render(&alone, {}, {}, QWidget::RenderFlags());
    const int lineX = int(overlay->crossHairX());
    int onLine = 0;
    int beside = 0;
    for (int y = 0; y < alone.height(); ++y)
        for (int x = 0; x < alone.width(); ++x)
            if (qAlpha(alone.pixel(x, y)) != 0)
                ++(std::abs(x - lineX) <= 1 ? onLine : beside);
    EXPECT_GT(onLine, overlay->height() / 2);
    EXPECT_EQ(beside, 0);

    // Dragged past the right edge to the panel's far corner: the cross-hair
    // waits at the edge.
    const QPointF o = overlay->pos();
    sendMouse(overlay, QEvent::MouseMove, QPointF(view->width() - 1, 0) - o, Qt::LeftButton);
    EXPECT_DOUBLE_EQ(overlay->point().x(), overlay->width() - 0.5);
    EXPECT_EQ(overlay->getSelectedTimePointIndex(), selectedTimePointIndex(overlay->width() - 0.5, 0));
    QImage image = render();
    const QPoint top = overlay->pos() + QPoint(int(overlay->crossHairX()), overlay->height() / 2);
    EXPECT_TRUE(near(image, top, isWhiteish));
    // Back over the chart and out past the left edge to the panel's: at 0,
    // the first minute.
    const QPointF leftEdge = QPointF(0, o.y() + 10) - o;
    sendMouse(overlay, QEvent::MouseMove, { 5, 10 }, Qt::LeftButton);
    sendMouse(overlay, QEvent::MouseMove, leftEdge, Qt::LeftButton);
    EXPECT_EQ(overlay->point().x(), 0.0);
    EXPECT_EQ(overlay->getSelectedTimePointIndex(), 0);
    EXPECT_EQ(controller->field(QuoteField::timeText).text, "9:30");

    // Releasing restores the current quote and removes the cross-hair.
    sendMouse(overlay, QEvent::MouseButtonRelease, leftEdge, Qt::NoButton);
    EXPECT_FALSE(controller->isSelected());
    EXPECT_EQ(controller->field(QuoteField::timeText).text, s->timeText());
    image = render();
    EXPECT_FALSE(isWhiteish(image.pixel(overlay->pos() + QPoint(0, overlay->height() / 2))));
}

// A drag that leaves the chart puts the cross-hair at the
// right edge, or at 0 when it left at x 0 or less, and leaves it there, the
// minute still shown, until the mouse comes back over the chart itself.
TEST_F(QuotePanelRendering, ADragThatLeavesAboveOrBelowWaitsForTheMouseToComeBack)
{
    auto s = security(day(walk(60, 10.0, 0.01), 10.0));
    controller->setTimesharingInfo(s);
    TimePointLineView* overlay = view->timePointLineView();
    const double w = overlay->width();
    const double h = overlay->height();
    const struct {
        QPointF exit;
        double x;
    } cases[] = {
        { { 300, -1 }, w - 0.5 },
        { { 300, h + 20 }, w - 0.5 },
        { { 0, -20 }, 0 },
        { { -30, h }, 0 },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.exit.x() << "," << c.exit.y());
        sendMouse(overlay, QEvent::MouseButtonPress, { 100, 50 }, Qt::LeftButton);
        sendMouse(overlay, QEvent::MouseMove, c.exit, Qt::LeftButton);
        EXPECT_EQ(overlay->point(), QPointF(c.x, h - 50));
        EXPECT_FALSE(overlay->isMouseEntered());
        const QString exitTime = s->selectedTimeText(quint64(selectedTimePointIndex(c.x, 0)));
        EXPECT_EQ(controller->field(QuoteField::timeText).text, exitTime);
        // Moving on outside the chart, to the panel's four edges, changes nothing.
        const QPointF o = overlay->pos();
        for (QPointF p : { QPointF(200, 0), QPointF(150, view->height() - 1), QPointF(view->width() - 1, 60),
                 QPointF(0, 60) })
            sendMouse(overlay, QEvent::MouseMove, p - o, Qt::LeftButton);
        EXPECT_EQ(overlay->point(), QPointF(c.x, h - 50));
        EXPECT_TRUE(controller->isSelected());
        EXPECT_EQ(controller->field(QuoteField::timeText).text, exitTime);
        const QImage image = render();
        EXPECT_TRUE(near(image, overlay->pos() + QPoint(int(overlay->crossHairX()), int(h / 2)), isWhiteish));
        // Back over the chart the cross-hair follows again.
        sendMouse(overlay, QEvent::MouseMove, { 120, 40 }, Qt::LeftButton);
        EXPECT_TRUE(overlay->isMouseEntered());
        EXPECT_EQ(overlay->point(), QPointF(120, h - 40));
        EXPECT_EQ(controller->field(QuoteField::timeText).text,
            s->selectedTimeText(quint64(selectedTimePointIndex(120, 0))));
        sendMouse(overlay, QEvent::MouseButtonRelease, { 120, 40 }, Qt::NoButton);
        EXPECT_FALSE(controller->isSelected());
    }
}

// A drag that leaves the whole panel, at once or after leaving the chart,
// ends there: the header shows the current minute again and the cross-hair
// is gone. Coming back with the button still held starts no new drag.
TEST_F(QuotePanelRendering, ADragThatLeavesThePanelEnds)
{
    auto s = security(day(walk(60, 10.0, 0.01), 10.0));
    controller->setTimesharingInfo(s);
    TimePointLineView* overlay = view->timePointLineView();
    const QPointF o = overlay->pos();
    const double right = view->width() - o.x();
    const double below = view->height() - o.y();
    const struct {
        const char* what;
        std::optional<QPointF> outsideTheChart; // a move out of the chart first
        QPointF outsideThePanel;
    } cases[] = {
        { "above", std::nullopt, { 200, -o.y() - 1 } },
        { "below", std::nullopt, { 200, below + 1 } },
        { "left", std::nullopt, { -o.x() - 1, 60 } },
        { "right", std::nullopt, { right + 1, 60 } },
        { "right over the table", QPointF(right - 20, 60), { right + 30, 60 } },
        { "below under the chart", QPointF(200, below - 5), { 200, below + 5 } },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        sendMouse(overlay, QEvent::MouseButtonPress, { 100, 50 }, Qt::LeftButton);
        if (c.outsideTheChart) {
            sendMouse(overlay, QEvent::MouseMove, *c.outsideTheChart, Qt::LeftButton);
            ASSERT_TRUE(controller->isSelected());
        }
        sendMouse(overlay, QEvent::MouseMove, c.outsideThePanel, Qt::LeftButton);
        EXPECT_FALSE(overlay->isMouseDragged());
        EXPECT_FALSE(overlay->isMouseEntered());
        EXPECT_FALSE(controller->isSelected());
        EXPECT_EQ(controller->field(QuoteField::timeText).text, s->timeText());
        const QImage image = render();
        const int y = int(overlay->height() / 2);
        for (int x = 0; x < overlay->width(); ++x)
            ASSERT_FALSE(isWhiteish(image.pixel(o.toPoint() + QPoint(x, y)))) << "cross-hair at " << x;
        sendMouse(overlay, QEvent::MouseMove, { 120, 40 }, Qt::LeftButton);
        EXPECT_FALSE(overlay->isMouseDragged());
        EXPECT_FALSE(controller->isSelected());
        EXPECT_EQ(controller->field(QuoteField::timeText).text, s->timeText());
        sendMouse(overlay, QEvent::MouseButtonRelease, { 120, 40 }, Qt::NoButton);
    }
}

// On the panel itself, at the client's font sizes (and a larger one): the
// STAR market's after-hours mark "15:00 15:05" is drawn centred 5 points
// left of ten elevenths of the chart, and the midday break at its centre;
// the end label "15:30" makes way for them, and no two labels touch.
TEST_F(QuotePanelRendering, StarMarketTimeLabelsStandApart)
{
    const double x0 = view->turnoverView()->x();
    const double w = view->turnoverView()->width();
    for (int pixels : { int(controller->fontSize()), 11, 13, 20 }) {
        QFont font = view->font();
        font.setPixelSize(pixels);
        view->setFont(font);
        for (qint32 type : { 0, 1, 2, 3 }) {
            SCOPED_TRACE(std::to_string(pixels) + " px, type " + std::to_string(type));
            controller->setQuoteMarketType(type);
            std::vector<QRectF> rects;
            for (QuoteField f : { QuoteField::timeBeginLabel, QuoteField::timeMidLabel,
                     QuoteField::timeAFLabel, QuoteField::timeEndLabel }) {
                const QRectF r = view->fieldRect(f);
                if (!controller->field(f).hidden && !r.isNull()) {
                    EXPECT_GE(r.width(), QFontMetricsF(font).horizontalAdvance(controller->field(f).text));
                    rects.push_back(r);
                }
            }
            EXPECT_DOUBLE_EQ(view->fieldRect(QuoteField::timeMidLabel).center().x(),
                x0 + controller->timeMidLabelCentre() * w);
            EXPECT_GE(rects.size(), 3u);
            for (size_t i = 1; i < rects.size(); ++i)
                EXPECT_GT(rects[i].left(), rects[i - 1].right()) << "label " << i;
        }
        const QRectF mark = view->fieldRect(QuoteField::timeAFLabel);
        ASSERT_FALSE(mark.isNull());
        EXPECT_DOUBLE_EQ(mark.center().x(), x0 + 10.0 / 11 * w - 5);
        // What is drawn: the mark's ink lies in its place, about its centre.
        const QImage image = render();
        int inkLeft = image.width();
        int inkRight = -1;
        for (int x = int(mark.left()) - 4; x <= int(mark.right()) + 4; ++x)
            for (int y = int(mark.top()); y < int(mark.bottom()); ++y)
                if (isGreyInk(image.pixel(x, y))) {
                    inkLeft = std::min(inkLeft, x);
                    inkRight = std::max(inkRight, x);
                }
        ASSERT_GE(inkRight, inkLeft);
        EXPECT_GE(inkLeft, int(mark.left()) - 1);
        EXPECT_LE(inkRight, int(mark.right()) + 1);
        EXPECT_NEAR((inkLeft + inkRight + 1) / 2.0, x0 + 10.0 / 11 * w - 5, 2.0);
    }
}

TEST_F(QuotePanelRendering, ClickingALevelHandsItsPriceToThePage)
{
    PriceCatcher page;
    controller->setUpdatePriceDelegate(&page);
    const RDOQuotesOf5Level q = quote();
    controller->setQuotesOf5LevelInfo(*security(day(walk(3, 10.0, 0.01), 10.0), &q));
    for (auto [buy, level] : { std::pair { true, 1 }, std::pair { false, 3 } }) {
        const QPointF at = view->bookPriceRect(buy, level).center();
        sendMouse(view.get(), QEvent::MouseButtonPress, at, Qt::LeftButton);
        sendMouse(view.get(), QEvent::MouseButtonRelease, at, Qt::NoButton);
    }
    sendMouse(view.get(), QEvent::MouseButtonPress, view->fieldRect(QuoteField::limitDownText).center(), Qt::LeftButton);
    EXPECT_EQ(page.prices, (QStringList { "9.99", "10.03", "9.00" }));
    // The rise colour of a level above the previous close, where it is drawn.
    const QImage image = render();
    const QRectF sell1 = view->bookPriceRect(false, 1);
    bool red = false;
    for (int x = int(sell1.left()); x < int(sell1.right()); ++x)
        red = red || isRed(image.pixel(x, int(sell1.center().y())));
    EXPECT_TRUE(red);
}

} // namespace
