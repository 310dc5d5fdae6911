#pragma once

#include "platform/RunLoop.h"

#include <QObject>
#include <QRectF>
#include <QSizeF>
#include <QStringList>
#include <chrono>
#include <functional>
#include <memory>

// The last-login window without its widgets: its size from the content's
// lines, its place, and the close timer that pauses while the pointer rests
// on it. Closing fades out first; the view calls animationDidStop when the
// fade has ended (at once where there is no compositor). Main thread only.
class LastLoginInfoWindowController final : public QObject {
    Q_OBJECT
public:
    // The width a line needs and the height of one line, in the label's font.
    using MeasureLine = std::function<QSizeF(const QString& line)>;
    static constexpr std::chrono::milliseconds kCloseAfter { 10000 };
    static constexpr double kFadeSeconds = 1.0;

    LastLoginInfoWindowController(const QString& title, const QString& content, double minimumWidth,
        const MeasureLine& measure, std::chrono::milliseconds closeAfter = kCloseAfter, QObject* parent = nullptr);
    ~LastLoginInfoWindowController() override;

    const QString& title() const { return title_; }
    const QString& content() const { return content_; }
    QSizeF windowSize() const { return size_; }
    void setParentRect(const QRectF& rect) { parentRect_ = rect; }
    // The window's origin: centred on the parent rect, or on the screen when
    // no parent rect is set.
    QPointF windowOrigin(const QRectF& screen) const;

    // windowDidLoad: fade in and start the close timer.
    void windowDidLoad();
    // doCloseWindow: the timer's close, as windowShouldClose.
    void doCloseWindow() { windowShouldClose(); }
    // windowShouldClose: the customer's close fades out first; answers no,
    // the window stays until the fade has ended.
    bool windowShouldClose();
    void mouseEntered();
    void mouseExited();
    // animationDidStop: ends the fade-out by closing the window.
    void animationDidStop();
    bool isShuttingDown() const { return isShuttingDown_; }
    bool isTimerRunning() const { return timer_ && timer_->isActive(); }

signals:
    void fadeIn();
    void fadeOut();
    void closeRequested();

private:
    void startTimer();

    QString title_;
    QString content_;
    QSizeF size_;
    QRectF parentRect_;
    std::chrono::milliseconds closeAfter_;
    std::unique_ptr<platform::RunLoopTimer> timer_;
    bool isShuttingDown_ = false;
};
