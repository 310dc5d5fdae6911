#pragma once

#include "core/NotificationCenter.h"
#include "shell/ui/ScreenLocker.h"
#include "shell/ui/UnlockScreenWindow.h"
#include "shell/windows/SessionNotifications.h"

#include <QApplication>
#include <QEvent>
#include <QObject>
#include <QPointer>
#include <QPushButton>
#include <QStringList>
#include <QWidget>
#include <functional>

namespace testsupport {

// Names every window that comes on screen while `locked` holds, but the
// unlock window and what opens on it: what a locked screen must never show.
class OverTheLock final : public QObject {
public:
    OverTheLock(std::function<bool()> locked, std::function<const QWidget*()> unlockWindow)
        : locked_(std::move(locked))
        , unlockWindow_(std::move(unlockWindow))
    {
        qApp->installEventFilter(this);
    }
    ~OverTheLock() override { qApp->removeEventFilter(this); }

    const QStringList& shown() const { return shown_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        auto* widget = qobject_cast<QWidget*>(watched);
        if (event->type() == QEvent::Show && widget && widget->isWindow() && locked_()) {
            const QWidget* unlock = unlockWindow_();
            const QWidget* w = widget;
            while (w && w != unlock)
                w = w->parentWidget();
            if (!w || !unlock)
                shown_ << QStringLiteral("%1(%2)").arg(
                    QString::fromLatin1(widget->metaObject()->className()), widget->objectName());
        }
        return false;
    }

private:
    std::function<bool()> locked_;
    std::function<const QWidget*()> unlockWindow_;
    QStringList shown_;
};

// Ends the lock as its unlock window does: a confirmed password (the result
// 1, then the window closes), or 退出, which logs every account out.
inline void endTheLock(ScreenLocker& locker, bool unlock)
{
    UnlockScreenWindow* window = locker.unlockWindow();
    if (!window)
        return;
    if (unlock) {
        NotificationCenter::getInstance()->postNotification(
            sessionnotify::kUnlockResult, QVariant(qulonglong(1)));
        window->close();
    } else {
        window->findChild<QPushButton*>(QStringLiteral("exitButton"))->click();
    }
}

} // namespace testsupport
