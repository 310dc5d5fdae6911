#include "trading/quotepanel/QuoteInfoView.h"

#include "trading/quotepanel/TimePointLineView.h"
#include "trading/quotepanel/TimesharingChartViews.h"
#include "trading/security/Security.h"

#include <QFontMetricsF>
#include <QMouseEvent>
#include <QPainter>
#include <cmath>

using namespace quotepanel;

namespace {

const char* const kSellCaptions[] = { "卖一", "卖二", "卖三", "卖四", "卖五" };
const char* const kBuyCaptions[] = { "买一", "买二", "买三", "买四", "买五" };
const char* const kHeaderCaptions[] = { "时间", "价格", "均价", "成交" };

QColor gridRed() { return QColor(Qt::red); }
QColor captionGrey() { return QColor(0xc0, 0xc0, 0xc0); }

// x, width and alignment of a text, the y coming from the layout.
struct Place {
    double x;
    double width;
    Qt::Alignment align;
};

constexpr double kAxisWidth = 66;
constexpr double kHeaderX[] = { 75, 225, 375, 525 };

Place placeOf(QuoteField field)
{
    const Qt::Alignment left = Qt::AlignLeft | Qt::AlignVCenter;
    const Qt::Alignment right = Qt::AlignRight | Qt::AlignVCenter;
    switch (field) {
    case QuoteField::lastPriceLabel:
    case QuoteField::limitUpLabel:
        return { 742, 34, left };
    case QuoteField::exchangeRateLabel:
        return { 742, 64, left };
    case QuoteField::lastPriceText:
    case QuoteField::limitUpText:
        return { 776, 66, right };
    case QuoteField::exchangeRateText:
        return { 806, 144, right };
    case QuoteField::amountOfUpdownLabel:
    case QuoteField::limitDownLabel:
        return { 850, 34, left };
    case QuoteField::amountOfUpdownText:
    case QuoteField::limitDownText:
        return { 884, 66, right };
    case QuoteField::timeText:
        return { kHeaderX[0] + 30, 110, left };
    case QuoteField::currentPriceText:
        return { kHeaderX[1] + 30, 110, left };
    case QuoteField::averagePriceText:
        return { kHeaderX[2] + 30, 110, left };
    case QuoteField::currentQuantityText:
        return { kHeaderX[3] + 30, 110, left };
    case QuoteField::timeBeginLabel:
    case QuoteField::timeEndLabel:
    case QuoteField::timeMidLabel:
    case QuoteField::timeAFLabel:
        // Placed with the other labels of the axis, each centred in its place.
        return { 0, 0, Qt::AlignHCenter | Qt::AlignVCenter };
    default:
        return { 0, kAxisWidth, right }; // the axis texts left of the chart
    }
}

} // namespace

QuoteInfoView::QuoteInfoView(QuoteInfoViewController& controller, QWidget* parent)
    : QWidget(parent)
    , controller_(controller)
    , timesharingMarketView_(new TimesharingMarketView(this))
    , turnoverView_(new TurnoverView(this))
    , timePointLineView_(new TimePointLineView(this))
{
    setObjectName(QStringLiteral("quoteInfoView"));
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, Qt::black);
    setPalette(pal);
    setMouseTracking(true);
    QFont f = font();
    f.setPixelSize(int(controller_.fontSize()));
    setFont(f);
    timePointLineView_->setUpdateDelegate(&controller_);
    connect(&controller_, &QuoteInfoViewController::changed, this, qOverload<>(&QWidget::update));
    connect(&controller_, &QuoteInfoViewController::chartChanged, this, &QuoteInfoView::showChart);
    connect(&controller_, &QuoteInfoViewController::marketTypeChanged, this, [this](qint32 type) {
        timesharingMarketView_->setQuoteMarketType(type);
        turnoverView_->setQuoteMarketType(type);
        placeTimePointLineView();
        artwork_ = panelArtwork(layout_, controller_.quoteMarketType(), controller_.midLineHidden());
        update();
    });
    resize(QSizeF(controller_.frameSize()).toSize());
    relayout();
}

void QuoteInfoView::setUpdateDelegate(IUpdateTimesharingInfoDelegate* delegate)
{
    timePointLineView_->setUpdateDelegate(delegate);
}

QRectF QuoteInfoView::panelRect(double x, double y, double w, double h) const
{
    return toWidget(QRectF(x, y, w, h), height());
}

void QuoteInfoView::resizeEvent(QResizeEvent*)
{
    relayout();
}

void QuoteInfoView::relayout()
{
    layout_ = panelLayout(height());
    artwork_ = panelArtwork(layout_, controller_.quoteMarketType(), controller_.midLineHidden());
    timesharingMarketView_->setGeometry(toWidget(layout_.timesharingViewRect, height()).toRect());
    turnoverView_->setGeometry(toWidget(layout_.turnoverViewRect, height()).toRect());
    placeTimePointLineView();
}

void QuoteInfoView::placeTimePointLineView()
{
    const qint32 type = controller_.quoteMarketType();
    timePointLineView_->setGeometry(toWidget(timePointLineRect(layout_, type), height()).toRect());
    timePointLineView_->setQuoteMarketType(type);
}

void QuoteInfoView::showChart()
{
    const QuoteChartData& c = controller_.chart();
    timesharingMarketView_->setTimesharingInfo(c.timesharing, c.after, c.openPrice, c.closingPrice, c.subPrice);
    turnoverView_->setTimesharingInfo(c.timesharing, c.after, c.previousClose, c.maximum);
    artwork_ = panelArtwork(layout_, controller_.quoteMarketType(), controller_.midLineHidden());
    update();
}

int QuoteInfoView::bookRowY(bool buy, int level) const
{
    // Sell 5 on grid line 3 down to sell 1 on 7; buy 1 on 8 down to buy 5 on 12.
    return layout_.level5Grid(buy ? 7 + level : 8 - level);
}

QRectF QuoteInfoView::fieldRect(QuoteField field) const
{
    const double boxHeight = controller_.fontSize() + 6;
    const PanelLayout& l = layout_;
    const double header = 6 * l.gap + kChartBottom + 3;
    double y = 3;
    switch (field) {
    case QuoteField::lastPriceLabel:
    case QuoteField::amountOfUpdownLabel:
    case QuoteField::lastPriceText:
    case QuoteField::amountOfUpdownText:
        y = l.level5Grid(1);
        break;
    case QuoteField::limitUpLabel:
    case QuoteField::limitDownLabel:
    case QuoteField::exchangeRateLabel:
    case QuoteField::exchangeRateText:
    case QuoteField::limitUpText:
    case QuoteField::limitDownText:
        y = l.level5Grid(2);
        break;
    case QuoteField::timeText:
    case QuoteField::currentPriceText:
    case QuoteField::averagePriceText:
    case QuoteField::currentQuantityText:
        y = header;
        break;
    case QuoteField::halfOfMaxVolumeText:
        y = l.midQuantityY + 5;
        break;
    case QuoteField::maxVolumeText:
        y = l.maxQuantityY;
        break;
    case QuoteField::minPriceText:
        y = l.low2priceY + 10;
        break;
    case QuoteField::lowerPriceText:
        y = l.low1priceY + 5;
        break;
    case QuoteField::closingPriceText:
        y = l.closePriceY + 5;
        break;
    case QuoteField::higherPriceText:
        y = l.high1PriceY + 5;
        break;
    case QuoteField::maxPriceText:
        y = l.high2PriceY;
        break;
    default:
        break; // the time axis, below the chart
    }
    if (field >= QuoteField::timeBeginLabel && field <= QuoteField::timeAFLabel) {
        const std::optional<std::pair<double, double>> span = axisLabelSpan(field);
        return span ? panelRect(span->first, y, span->second, boxHeight) : QRectF();
    }
    const Place p = placeOf(field);
    return panelRect(p.x, y, p.width, boxHeight);
}

std::optional<std::pair<double, double>> QuoteInfoView::axisLabelSpan(QuoteField field) const
{
    // Left to right: the start of the day, the midday break, the after-hours
    // mark and the end of the day. The market type places the break and the
    // after-hours mark; the start and the end make way for them.
    const QRectF chart = layout_.turnoverViewRect;
    const QuoteField order[] = { QuoteField::timeBeginLabel, QuoteField::timeMidLabel,
        QuoteField::timeAFLabel, QuoteField::timeEndLabel };
    const QFontMetricsF metrics(font());
    std::vector<AxisLabel> labels;
    std::vector<QuoteField> shown;
    for (QuoteField f : order) {
        const QuoteTextField& t = controller_.field(f);
        if (t.hidden || t.text.isEmpty())
            continue;
        // One pixel more than the text, so that drawing it never elides it.
        const double width = std::ceil(metrics.horizontalAdvance(t.text)) + 1;
        double x = kChartLeft;
        if (f == QuoteField::timeEndLabel)
            x = kChartRight - width;
        else if (f == QuoteField::timeMidLabel)
            x = chart.x() + controller_.timeMidLabelCentre() * chart.width() - width / 2;
        else if (f == QuoteField::timeAFLabel)
            x = chart.x() + 10.0 / 11 * chart.width() - width / 2 - 5;
        const bool fixed = f == QuoteField::timeMidLabel || f == QuoteField::timeAFLabel;
        labels.push_back({ x, width, fixed });
        shown.push_back(f);
    }
    const std::vector<std::optional<double>> placed
        = placeAxisLabels(labels, chart.x(), chart.x() + chart.width());
    for (size_t i = 0; i < shown.size(); ++i)
        if (shown[i] == field && placed[i])
            return std::pair(*placed[i], labels[i].width);
    return std::nullopt;
}

QRectF QuoteInfoView::bookPriceRect(bool buy, int level) const
{
    return panelRect(785, bookRowY(buy, level), 80, controller_.fontSize() + 6);
}

QRectF QuoteInfoView::bookQuantityRect(bool buy, int level) const
{
    return panelRect(870, bookRowY(buy, level), 78, controller_.fontSize() + 6);
}

std::optional<QuoteInfoView::Hit> QuoteInfoView::hitTest(QPointF widgetPoint) const
{
    const double r = layout_.level5Gap;
    const auto area = [&](double x, double y, double w) { return panelRect(x, y - 10, w, r).contains(widgetPoint); };
    for (int level = 1; level <= QuoteInfoViewController::kLevels; ++level) {
        if (area(740, bookRowY(true, level), 212))
            return Hit(level);
        if (area(740, bookRowY(false, level), 212))
            return Hit(-level);
    }
    if (area(742, layout_.level5Grid(1), 100))
        return Hit(QuotePriceButton::currentPriceButton);
    if (!controller_.limitRowsHidden()) {
        if (area(742, layout_.level5Grid(2), 100))
            return Hit(QuotePriceButton::highPriceButton);
        if (area(850, layout_.level5Grid(2), 100))
            return Hit(QuotePriceButton::lowPriceButton);
    }
    return std::nullopt;
}

void QuoteInfoView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const double h = height();
    const auto stroke = [&](const std::vector<Segment>& segments, const QPen& pen) {
        painter.setPen(pen);
        for (const Segment& s : segments)
            painter.drawLine(toWidget(s.from, h), toWidget(s.to, h));
    };
    stroke(artwork_.grid, QPen(gridRed(), 0.5, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
    QPen dashed(gridRed(), 0.5, Qt::CustomDashLine, Qt::FlatCap, Qt::MiterJoin);
    // Qt counts dashes in pen widths: 2 on, 6 off in points.
    dashed.setDashPattern({ 2 / 0.5, 6 / 0.5 });
    stroke(artwork_.dashed, dashed);
    stroke(artwork_.table, QPen(gridRed(), 1.0, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));

    const auto draw = [&](const QRectF& rect, const QString& text, const QColor& color, Qt::Alignment align) {
        painter.setPen(color);
        // A text wider than its place ends in "…" rather than losing digits under its neighbour.
        painter.drawText(
            rect, int(align), painter.fontMetrics().elidedText(text, Qt::ElideRight, int(rect.width())));
    };
    const Qt::Alignment leftAlign = Qt::AlignLeft | Qt::AlignVCenter;
    for (int i = 0; i < int(QuoteField::count); ++i) {
        const QuoteField field = QuoteField(i);
        const QuoteTextField& t = controller_.field(field);
        if (t.hidden || t.text.isEmpty())
            continue;
        const QRectF rect = fieldRect(field);
        if (rect.isNull())
            continue; // an axis label with no room left
        const bool caption = field <= QuoteField::exchangeRateLabel || field >= QuoteField::timeBeginLabel;
        draw(rect, t.text, caption ? captionGrey() : t.color, placeOf(field).align);
    }
    const QRectF headerRect = fieldRect(QuoteField::timeText);
    for (size_t i = 0; i < std::size(kHeaderCaptions); ++i)
        draw(QRectF(kHeaderX[i], headerRect.y(), 30, headerRect.height()), QString::fromUtf8(kHeaderCaptions[i]),
            captionGrey(), leftAlign);

    const Qt::Alignment rightAlign = Qt::AlignRight | Qt::AlignVCenter;
    for (bool buy : { false, true }) {
        for (int level = 1; level <= QuoteInfoViewController::kLevels; ++level) {
            const QRectF price = bookPriceRect(buy, level);
            draw(QRectF(745, price.y(), 40, price.height()),
                QString::fromUtf8(buy ? kBuyCaptions[level - 1] : kSellCaptions[level - 1]), captionGrey(), leftAlign);
            const QuoteTextField& p = buy ? controller_.buyPrice(level) : controller_.sellPrice(level);
            draw(price, p.text, p.color, rightAlign);
            const QuoteTextField& q = buy ? controller_.buyQuantity(level) : controller_.sellQuantity(level);
            draw(bookQuantityRect(buy, level), q.text, Security::unchangedColor(), rightAlign);
        }
    }
}

void QuoteInfoView::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton)
        return;
    const std::optional<Hit> hit = hitTest(event->position());
    if (!hit)
        return;
    if (const int* level = std::get_if<int>(&*hit))
        *level > 0 ? controller_.buyClicked(*level) : controller_.sellClicked(-*level);
    else
        controller_.priceButtonClicked(std::get<QuotePriceButton>(*hit));
}

void QuoteInfoView::mouseMoveEvent(QMouseEvent* event)
{
    // A drag over the chart comes here once it has left the chart.
    if (dragHasLeft(*this, *event)) {
        mouseExited();
        return;
    }
    setCursor(hitTest(event->position()) ? Qt::PointingHandCursor : Qt::ArrowCursor);
}

void QuoteInfoView::mouseReleaseEvent(QMouseEvent*)
{
    timePointLineView_->setIsMouseDragged(false);
}

void QuoteInfoView::leaveEvent(QEvent*)
{
    mouseExited();
}

void QuoteInfoView::mouseExited()
{
    timePointLineView_->setIsMouseDragged(false);
    timePointLineView_->setIsMouseEntered(false);
}
