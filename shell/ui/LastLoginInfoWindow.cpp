#include "shell/ui/LastLoginInfoWindow.h"

#include "shell/ui/TextGeometry.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QLabel>
#include <QPropertyAnimation>
#include <QScreen>
#include <QVBoxLayout>

namespace {
constexpr double kMinimumWidth = 300.0;
}

LastLoginInfoWindow::LastLoginInfoWindow(
    const QString& title, const QString& content, QWidget* parent, std::chrono::milliseconds closeAfter)
    : ui::Window(parent, Qt::WindowStaysOnTopHint)
{
    setObjectName(QStringLiteral("lastLoginInfoWindow"));
    setWindowTitle(title);
    contentLabel_ = new QLabel(content, this);
    contentLabel_->setObjectName(QStringLiteral("contentLabel"));
    contentLabel_->setTextFormat(Qt::PlainText);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(5, 12, 5, 13);
    layout->addWidget(contentLabel_);
    // Each line as laid out: its Chinese characters may come from a fallback
    // font with taller lines than the label's own font, the more so the
    // larger the font.
    const QFont font = contentLabel_->font();
    controller_ = std::make_unique<LastLoginInfoWindowController>(title, content, kMinimumWidth,
        [&font](const QString& line) {
            return textgeometry::sizeForWidth(line, textgeometry::kUnlimited, textgeometry::kUnlimited, font);
        },
        closeAfter);
    setFixedSize(controller_->windowSize().toSize());
    connect(controller_.get(), &LastLoginInfoWindowController::fadeIn, this, [this] { fade(1.0); });
    connect(controller_.get(), &LastLoginInfoWindowController::fadeOut, this, [this] { fade(0.0); });
    // Queued: the fade may end inside the close it answers (no compositor),
    // where a close of its own would be lost.
    connect(controller_.get(), &LastLoginInfoWindowController::closeRequested, this,
        &LastLoginInfoWindow::closeNow, Qt::QueuedConnection);
}

LastLoginInfoWindow::~LastLoginInfoWindow() = default;

bool LastLoginInfoWindow::platformFades()
{
    const QString platform = QGuiApplication::platformName();
    return platform != QStringLiteral("offscreen") && platform != QStringLiteral("minimal");
}

void LastLoginInfoWindow::showWindow()
{
    QScreen* screen = QGuiApplication::primaryScreen();
    const QRectF screenRect = screen ? QRectF(screen->geometry()) : QRectF();
    move(controller_->windowOrigin(screenRect).toPoint());
    if (platformFades())
        setWindowOpacity(0.0);
    show();
    controller_->windowDidLoad();
}

void LastLoginInfoWindow::fade(double to)
{
    if (!platformFades()) {
        controller_->animationDidStop();
        return;
    }
    if (!anim_) {
        anim_ = new QPropertyAnimation(this, "windowOpacity", this);
        anim_->setDuration(int(LastLoginInfoWindowController::kFadeSeconds * 1000));
        connect(anim_, &QPropertyAnimation::finished, controller_.get(),
            &LastLoginInfoWindowController::animationDidStop);
    }
    anim_->stop();
    anim_->setStartValue(windowOpacity());
    anim_->setEndValue(to);
    anim_->start();
}

void LastLoginInfoWindow::closeEvent(QCloseEvent* event)
{
    if (!closingNow_ && !controller_->windowShouldClose()) {
        event->ignore();
        return;
    }
    ui::Window::closeEvent(event);
}

void LastLoginInfoWindow::closeNow()
{
    closingNow_ = true;
    close();
}

void LastLoginInfoWindow::enterEvent(QEnterEvent* event)
{
    controller_->mouseEntered();
    ui::Window::enterEvent(event);
}

void LastLoginInfoWindow::leaveEvent(QEvent* event)
{
    controller_->mouseExited();
    ui::Window::leaveEvent(event);
}
