#include "shell/windows/LastLoginInfoWindowController.h"

#include "platform/WindowGeometry.h"

#include <algorithm>

LastLoginInfoWindowController::LastLoginInfoWindowController(const QString& title, const QString& content,
    double minimumWidth, const MeasureLine& measure, std::chrono::milliseconds closeAfter, QObject* parent)
    : QObject(parent)
    , title_(title)
    , content_(content)
    , closeAfter_(closeAfter)
{
    const QStringList lines = content.split(QLatin1Char('\n'));
    double width = minimumWidth;
    double lineHeight = 0.0;
    for (const QString& line : lines) {
        const QSizeF size = measure(line);
        width = std::max(width, size.width() + 10.0);
        lineHeight = size.height();
    }
    if (lineHeight <= 0.0)
        lineHeight = 22.0;
    size_ = QSizeF(width, double(lines.size()) * lineHeight + 25.0);
}

LastLoginInfoWindowController::~LastLoginInfoWindowController() = default;

QPointF LastLoginInfoWindowController::windowOrigin(const QRectF& screen) const
{
    const bool hasParent = parentRect_.width() != 0.0 && parentRect_.height() != 0.0;
    return windowgeometry::centredOrigin(hasParent ? parentRect_ : screen, size_);
}

void LastLoginInfoWindowController::windowDidLoad()
{
    emit fadeIn();
    startTimer();
}

void LastLoginInfoWindowController::startTimer()
{
    // Common modes: the window also closes while a menu or a modal window runs.
    timer_ = std::make_unique<platform::RunLoopTimer>(std::chrono::duration<double>(closeAfter_), false,
        platform::RunLoopModes::common(), [this] { doCloseWindow(); });
    timer_->start();
}

bool LastLoginInfoWindowController::windowShouldClose()
{
    if (timer_)
        timer_->stop();
    if (!isShuttingDown_) {
        isShuttingDown_ = true;
        emit fadeOut();
    }
    return false;
}

void LastLoginInfoWindowController::mouseEntered()
{
    if (timer_)
        timer_->stop();
}

void LastLoginInfoWindowController::mouseExited()
{
    if (!isShuttingDown_)
        startTimer();
}

void LastLoginInfoWindowController::animationDidStop()
{
    if (isShuttingDown_)
        emit closeRequested();
}
