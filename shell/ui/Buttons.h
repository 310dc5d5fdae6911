#pragma once

#include <QColor>
#include <QCursor>
#include <QPushButton>
#include <QRectF>
#include <QStringList>
#include <optional>

// A flat button that draws a rounded frame in its frame colour while the
// pointer is over its tracking rectangle (the bounds less 1 point at the
// sides, 5 at the top and 9 at the bottom). White when no colour is set.
class ColorRectButton : public QPushButton {
    Q_OBJECT
public:
    explicit ColorRectButton(const QString& text = QString(), QWidget* parent = nullptr);

    void setBoundColor(const QColor& color) { boundsColor_ = color; }
    QColor boundsColor() const { return boundsColor_; }
    bool isEntered() const { return isEntered_; }
    // (x + 1, y + 5, width - 2, height - 14) of the bounds.
    static QRectF trackingRect(const QRectF& bounds);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    void setEntered(bool entered);

    bool isEntered_ = false;
    QColor boundsColor_ = Qt::white;
};

// A link-like button with a cursor of its own over its whole bounds; with no
// cursor set it behaves as any button.
class CursorButton : public QPushButton {
    Q_OBJECT
public:
    explicit CursorButton(const QString& text = QString(), QWidget* parent = nullptr);
    void setCursor(const std::optional<QCursor>& cursor);
};
