#include "trading/quotepanel/TimesharingChartViews.h"

#include "trading/security/Security.h"

#include <QPainter>

using namespace quotepanel;

TimesharingChartView::TimesharingChartView(const QString& name, QWidget* parent)
    : QWidget(parent)
{
    setObjectName(name);
    setAttribute(Qt::WA_TransparentForMouseEvents);
}

void TimesharingChartView::setMinutes(
    const std::vector<RDOTimesharingInfo>& normal, const std::vector<RDOTimesharingInfo>& after)
{
    normal_ = normal;
    after_ = after;
}

void TimesharingChartView::emptyInfo()
{
    normal_.clear();
    after_.clear();
    recompute();
    update();
}

void TimesharingChartView::setQuoteMarketType(qint32 type)
{
    quoteMarketType_ = type;
    recompute();
}

void TimesharingChartView::resizeEvent(QResizeEvent*)
{
    recompute();
}

TimesharingMarketView::TimesharingMarketView(QWidget* parent)
    : TimesharingChartView(QStringLiteral("timesharingMarketView"), parent)
{
}

void TimesharingMarketView::setTimesharingInfo(const std::vector<RDOTimesharingInfo>& normal,
    const std::vector<RDOTimesharingInfo>& after, double openPrice, double closingPrice, double subPrice)
{
    setMinutes(normal, after);
    openPrice_ = openPrice;
    closingPrice_ = closingPrice;
    subPrice_ = subPrice;
    recompute();
    update();
}

void TimesharingMarketView::recompute()
{
    const double h = height();
    lines_ = timesharingLines(normal_, after_, openPrice_, closingPrice_, subPrice_, h);
    const double step = marketLayout(quoteMarketType_).minuteStep;
    const std::array<std::pair<const std::vector<long>*, double>, 4> sources { {
        { &lines_.average, 0.0 },
        { &lines_.price, 0.0 },
        { &lines_.afAverage, kAfterHoursOffset },
        { &lines_.afPrice, kAfterHoursOffset },
    } };
    for (size_t i = 0; i < sources.size(); ++i) {
        polylines_[i] = linePolyline(*sources[i].first, step, sources[i].second);
        for (QPointF& p : polylines_[i])
            p = toWidget(p, h);
    }
}

void TimesharingMarketView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const std::array<QColor, 4> colors { Qt::yellow, Qt::white, Qt::yellow, Qt::white };
    for (size_t i = 0; i < polylines_.size(); ++i) {
        if (polylines_[i].size() < 2)
            continue;
        painter.setPen(QPen(colors[i], 1.0, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
        painter.drawPolyline(polylines_[i].data(), int(polylines_[i].size()));
    }
}

TurnoverView::TurnoverView(QWidget* parent)
    : TimesharingChartView(QStringLiteral("turnoverView"), parent)
{
}

void TurnoverView::setTimesharingInfo(const std::vector<RDOTimesharingInfo>& normal,
    const std::vector<RDOTimesharingInfo>& after, double closingPrice, qint64 maximum)
{
    setMinutes(normal, after);
    closingPrice_ = closingPrice;
    maximum_ = maximum;
    recompute();
    update();
}

void TurnoverView::recompute()
{
    bars_ = volumeBars(normal_, after_, closingPrice_, maximum_, height(), quoteMarketType_, lineWidth_,
        { Security::upsColor(), Security::downsColor(), Security::unchangedColor() });
    lineWidth_ = bars_.lineWidth;
}

void TurnoverView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const double h = height();
    for (const auto* bars : { &bars_.day, &bars_.after }) {
        for (const VolumeGraphInfo& bar : *bars) {
            if (bar.height <= 0)
                continue;
            painter.setPen(QPen(bar.color, lineWidth_, Qt::SolidLine, Qt::FlatCap));
            painter.drawLine(toWidget({ bar.x, bar.y }, h), toWidget({ bar.x, double(bar.height) }, h));
        }
    }
}
