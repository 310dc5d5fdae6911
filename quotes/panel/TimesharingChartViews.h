#pragma once

#include "quotes/panel/QuotePanelGeometry.h"

#include <QWidget>

// The price line (white) and the average-price line (yellow) of the day and
// of the after-hours minutes. The lines are worked out when the data or the
// size change; painting only draws them.
class TimesharingMarketView final : public QWidget {
    Q_OBJECT
public:
    explicit TimesharingMarketView(QWidget* parent = nullptr);

    void setTimesharingInfo(const std::vector<RDOTimesharingInfo>& normal, const std::vector<RDOTimesharingInfo>& after,
        double openPrice, double closingPrice, double subPrice);
    void emptyInfo();
    void setQuoteMarketType(qint32 type);
    qint32 quoteMarketType() const { return quoteMarketType_; }

    const quotepanel::TimesharingLines& lines() const { return lines_; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void recompute();

    std::vector<RDOTimesharingInfo> normal_;
    std::vector<RDOTimesharingInfo> after_;
    double openPrice_ = 0;
    double closingPrice_ = 0;
    double subPrice_ = 0;
    qint32 quoteMarketType_ = 0;
    quotepanel::TimesharingLines lines_;
    // Widget coordinates: average, price, after-hours average, after-hours price.
    std::array<std::vector<QPointF>, 4> polylines_;
};

// One vertical bar per minute, coloured by the minute's price move.
class TurnoverView final : public QWidget {
    Q_OBJECT
public:
    explicit TurnoverView(QWidget* parent = nullptr);

    void setTimesharingInfo(const std::vector<RDOTimesharingInfo>& normal, const std::vector<RDOTimesharingInfo>& after,
        double closingPrice, qint64 maximum);
    void emptyInfo();
    void setQuoteMarketType(qint32 type);
    qint32 quoteMarketType() const { return quoteMarketType_; }

    const quotepanel::VolumeBars& bars() const { return bars_; }
    double lineWidth() const { return lineWidth_; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void recompute();

    std::vector<RDOTimesharingInfo> normal_;
    std::vector<RDOTimesharingInfo> after_;
    double closingPrice_ = 0;
    qint64 maximum_ = 0;
    qint32 quoteMarketType_ = 0;
    double lineWidth_ = 2.0;
    quotepanel::VolumeBars bars_;
};
