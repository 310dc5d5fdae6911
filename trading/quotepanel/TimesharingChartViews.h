#pragma once

#include "trading/quotepanel/QuotePanelGeometry.h"

#include <QWidget>

// What both chart views keep: the day's minutes and the layout type. What
// they draw is worked out again when either or the size changes; painting
// only draws it.
class TimesharingChartView : public QWidget {
public:
    void emptyInfo();
    void setQuoteMarketType(qint32 type);
    qint32 quoteMarketType() const { return quoteMarketType_; }

protected:
    explicit TimesharingChartView(const QString& name, QWidget* parent);
    void setMinutes(const std::vector<RDOTimesharingInfo>& normal, const std::vector<RDOTimesharingInfo>& after);
    void resizeEvent(QResizeEvent* event) override;
    virtual void recompute() = 0;

    std::vector<RDOTimesharingInfo> normal_;
    std::vector<RDOTimesharingInfo> after_;
    qint32 quoteMarketType_ = 0;
};

// The price line (white) and the average-price line (yellow) of the day and
// of the after-hours minutes.
class TimesharingMarketView final : public TimesharingChartView {
    Q_OBJECT
public:
    explicit TimesharingMarketView(QWidget* parent = nullptr);

    void setTimesharingInfo(const std::vector<RDOTimesharingInfo>& normal, const std::vector<RDOTimesharingInfo>& after,
        double openPrice, double closingPrice, double subPrice);
    const quotepanel::TimesharingLines& lines() const { return lines_; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void recompute() override;

private:
    double openPrice_ = 0;
    double closingPrice_ = 0;
    double subPrice_ = 0;
    quotepanel::TimesharingLines lines_;
    // Widget coordinates: average, price, after-hours average, after-hours price.
    std::array<std::vector<QPointF>, 4> polylines_;
};

// One vertical bar per minute, coloured by the minute's price move.
class TurnoverView final : public TimesharingChartView {
    Q_OBJECT
public:
    explicit TurnoverView(QWidget* parent = nullptr);

    void setTimesharingInfo(const std::vector<RDOTimesharingInfo>& normal, const std::vector<RDOTimesharingInfo>& after,
        double closingPrice, qint64 maximum);
    const quotepanel::VolumeBars& bars() const { return bars_; }
    double lineWidth() const { return lineWidth_; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void recompute() override;

private:
    double closingPrice_ = 0;
    qint64 maximum_ = 0;
    double lineWidth_ = 2.0;
    quotepanel::VolumeBars bars_;
};
