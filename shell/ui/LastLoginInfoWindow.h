#pragma once

#include "shell/ui/Window.h"
#include "shell/windows/LastLoginInfoWindowController.h"

#include <memory>

class QLabel;
class QPropertyAnimation;

// The last-login notice: fades in, closes itself after ten seconds unless
// the pointer rests on it, fades out. Where the platform cannot change a
// window's opacity it just shows and closes.
class LastLoginInfoWindow final : public ui::Window {
    Q_OBJECT
public:
    LastLoginInfoWindow(const QString& title, const QString& content, QWidget* parent = nullptr,
        std::chrono::milliseconds closeAfter = LastLoginInfoWindowController::kCloseAfter);
    ~LastLoginInfoWindow() override;

    LastLoginInfoWindowController& controller() { return *controller_; }
    // setParentRect: the main window's frame to centre on.
    void setParentRect(const QRect& rect) { controller_->setParentRect(QRectF(rect)); }
    // Shows it in its place and starts the fade and the timer.
    void showWindow();
    // Closes it at once, without the fade (the session ends or logs out).
    void closeNow();
    static bool platformFades();

protected:
    // Any other close (the customer's, by the title bar) fades out first,
    // as the timer's does.
    void closeEvent(QCloseEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    void fade(double to);

    std::unique_ptr<LastLoginInfoWindowController> controller_;
    QLabel* contentLabel_ = nullptr;
    QPropertyAnimation* anim_ = nullptr;
    bool closingNow_ = false;
};
