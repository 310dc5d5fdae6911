#pragma once

#include "trading/quotepanel/QuoteInfoViewController.h"

#include <QWidget>
#include <optional>
#include <utility>
#include <variant>

class TimePointLineView;
class TimesharingMarketView;
class TurnoverView;

// The quote panel on screen: black, with the chart's red grid, the
// five-level table and every text of its controller, the two chart views
// and the cross-hair overlay. It only shows the controller and forwards
// clicks on prices to it. The controller outlives the view (the page keeps
// both, the controller declared first).
class QuoteInfoView final : public QWidget {
    Q_OBJECT
public:
    explicit QuoteInfoView(QuoteInfoViewController& controller, QWidget* parent = nullptr);

    // setFrameSize: resizes the panel and lays it out again.
    void setFrameSize(QSize size) { resize(size); }
    // The overlay's delegate (the page); by default the controller.
    void setUpdateDelegate(IUpdateTimesharingInfoDelegate* delegate);

    const quotepanel::PanelLayout& layout() const { return layout_; }
    TimesharingMarketView* timesharingMarketView() const { return timesharingMarketView_; }
    TurnoverView* turnoverView() const { return turnoverView_; }
    TimePointLineView* timePointLineView() const { return timePointLineView_; }

    // What a click at a widget point hits: a buy level (1..5), a sell level
    // (-1..-5) or one of the summary prices.
    using Hit = std::variant<int, QuotePriceButton>;
    std::optional<Hit> hitTest(QPointF widgetPoint) const;
    // The widget rectangle where a field's text is drawn; a null one for a
    // time-axis label left out for want of room.
    QRectF fieldRect(QuoteField field) const;
    QRectF bookPriceRect(bool buy, int level) const;
    QRectF bookQuantityRect(bool buy, int level) const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    // The mouse has left the panel: the drag over the chart ends with it.
    void mouseExited();
    void relayout();
    void placeTimePointLineView();
    void showChart();
    int bookRowY(bool buy, int level) const;
    // Where a time-axis label's text starts and its width, none when the
    // axis has no room for it beside the others.
    std::optional<std::pair<double, double>> axisLabelSpan(QuoteField field) const;
    QRectF panelRect(double x, double y, double w, double h) const;

    QuoteInfoViewController& controller_;
    quotepanel::PanelLayout layout_;
    quotepanel::PanelArtwork artwork_;
    TimesharingMarketView* timesharingMarketView_;
    TurnoverView* turnoverView_;
    TimePointLineView* timePointLineView_;
};
