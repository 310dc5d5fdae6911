#pragma once

#include "platform/Lifetime.h"

#include <QPointF>
#include <QWidget>

class QMouseEvent;

// Who shows the minute under the cross-hair. Every operation is optional:
// each answers whether it is implemented.
class IUpdateTimesharingInfoDelegate : public platform::Lifetime {
public:
    virtual ~IUpdateTimesharingInfoDelegate() = default;
    virtual bool updateTimesahringInfo(qint64 index) { return false; }
    virtual bool updateCurrentTimesharingInfo() { return false; }
    virtual bool recoverToCurrent() { return false; }
};

// While a button is held Qt reports neither leaving nor entering a widget:
// a drag's own moves tell whether it has left `widget`, the one the move is
// delivered to.
bool dragHasLeft(const QWidget& widget, const QMouseEvent& move);

// The transparent overlay over the chart: while the user drags over it a
// white vertical cross-hair follows the mouse, kept inside the chart, and
// the minute goes to the delegate, which shows its time and price in the
// panel's labels. A drag that leaves the chart leaves the cross-hair at its
// exit until the mouse comes back; one that leaves the panel around it ends
// there. Releasing the mouse restores the current quote.
class TimePointLineView final : public QWidget {
    Q_OBJECT
public:
    explicit TimePointLineView(QWidget* parent = nullptr);

    void setQuoteMarketType(qint32 type) { quoteMarketType_ = type; }
    qint32 quoteMarketType() const { return quoteMarketType_; }
    void setUpdateDelegate(IUpdateTimesharingInfoDelegate* delegate) { updateDelegate_ = delegate; }

    bool isMouseEntered() const { return isMouseEntered_; }
    void setIsMouseEntered(bool on) { isMouseEntered_ = on; }
    bool isMouseDragged() const { return isMouseDragged_; }
    // Ending a drag restores the current quote.
    void setIsMouseDragged(bool on);
    QPointF point() const { return point_; }

    qint64 getSelectedTimePointIndex() const;
    // Where the cross-hair is drawn (widget x).
    double crossHairX() const;

    // The tracking rules, with locations in the view (origin lower left).
    void mouseDown(QPointF location);
    void mouseDragged(QPointF location);
    void mouseUp();
    void mouseEntered();
    void mouseExited(QPointF location);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    QPointF fromWidget(QPointF widgetPoint) const;
    void updateToSelectedQuote();
    void recoverToCurrentQuote();

    QPointF point_;
    qint32 quoteMarketType_ = 0;
    bool isMouseEntered_ = false;
    bool isMouseDragged_ = false;
    platform::WeakRef<IUpdateTimesharingInfoDelegate> updateDelegate_;
};
