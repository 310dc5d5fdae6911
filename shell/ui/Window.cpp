#include "shell/ui/Window.h"

#include "platform/RunLoop.h"
#include "shell/ui/ScreenLocker.h"
#include "shell/ui/WheelScroll.h"
#include "shell/windows/WindowGeometry.h"

#include <QCloseEvent>
#include <QEventLoop>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QScreen>
#include <QTimer>
#include <algorithm>
#include <vector>

namespace ui {

struct Window::ModalRun {
    QEventLoop loop;
    int code = 0;
    Window* window = nullptr;
    bool stopped = false; // possibly before the loop ran
};

namespace {
std::vector<Window::ModalRun*>& modalRuns()
{
    static std::vector<Window::ModalRun*> runs;
    return runs;
}
} // namespace

namespace {

std::function<QMargins(const QWidget*)>& frameSource()
{
    static std::function<QMargins(const QWidget*)> source;
    return source;
}

bool framed(const QWidget* window)
{
    return !frameMargins(window).isNull();
}

// Places a window again once the window system has framed it. An X11 window
// manager adds the frame only after the window is mapped, so the first
// placing fitted the client area alone and the title bar was left above the
// screen.
class FrameFitter final : public QObject {
public:
    static constexpr char kName[] = "frameFitter";

    static void watch(QWidget* window, const QWidget* parent)
    {
        if (framed(window) || window->findChild<QObject*>(QLatin1String(kName), Qt::FindDirectChildrenOnly))
            return;
        window->installEventFilter(new FrameFitter(window, parent));
    }

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        // The frame comes with no event of its own (no move, no resize): the
        // first event after it, its first paint, tells it.
        if (event->type() == QEvent::Hide) {
            window_->removeEventFilter(this);
            deleteLater();
        } else if (window_->isVisible() && framed(window_)) {
            // Once, after the event that brought it has been handled.
            window_->removeEventFilter(this);
            QTimer::singleShot(0, this, [this] {
                centreOver(window_, parent_);
                deleteLater();
            });
        }
        return false;
    }

private:
    FrameFitter(QWidget* window, const QWidget* parent)
        : QObject(window)
        , window_(window)
        , parent_(parent)
    {
        setObjectName(QLatin1String(kName));
    }

    QWidget* window_;
    QPointer<const QWidget> parent_;
};

} // namespace

QMargins frameMargins(const QWidget* window)
{
    if (frameSource())
        return frameSource()(window);
    // A window not made yet reports -1 on its right and bottom sides.
    const QRect frame = window->frameGeometry();
    const QRect client = window->geometry();
    return { std::max(0, client.left() - frame.left()), std::max(0, client.top() - frame.top()),
        std::max(0, frame.right() - client.right()), std::max(0, frame.bottom() - client.bottom()) };
}

void setFrameMarginsForTesting(std::function<QMargins(const QWidget*)> source)
{
    frameSource() = std::move(source);
}

void centreOver(QWidget* window, const QWidget* parent)
{
    QRect reference;
    QScreen* screen = nullptr;
    if (parent) {
        reference = parent->window()->frameGeometry();
        screen = QGuiApplication::screenAt(reference.center());
    }
    if (!screen)
        screen = window->screen() ? window->screen() : QGuiApplication::primaryScreen();
    const QRect available = screen ? screen->availableGeometry() : QRect();
    if (!parent)
        reference = available;
    const QMargins margins = frameMargins(window);
    const QSize extent(margins.left() + margins.right(), margins.top() + margins.bottom());
    // A window larger than the screen's usable area shrinks to it, frame and
    // all, down to its minimum: what does not fit scrolls inside it. One that
    // has no size of its own yet gets it from show(), and is fitted then.
    if (!available.isEmpty() && (window->isVisible() || window->testAttribute(Qt::WA_Resized))) {
        const QSize fitted
            = window->size().boundedTo(available.size() - extent).expandedTo(window->minimumSize());
        if (fitted != window->size())
            window->resize(fitted);
    }
    const QSizeF frameSize(window->size() + extent);
    const QPointF origin = available.isEmpty()
        ? windowgeometry::centredOrigin(QRectF(reference), frameSize)
        : windowgeometry::placedFrame(QRectF(reference), QRectF(available), frameSize).topLeft();
    // move() places the frame Qt knows of, which is the one above but for tests.
    const QPoint known = window->geometry().topLeft() - window->frameGeometry().topLeft();
    window->move(origin.toPoint() + QPoint(margins.left(), margins.top()) - known);
    if (window->isVisible())
        FrameFitter::watch(window, parent);
}

bool mayShow(QWidget* window)
{
    return ScreenLocker::admits(window);
}

void showOver(QWidget* window)
{
    if (!mayShow(window))
        return;
    if (!window->isVisible()) {
        window->adjustSize();
        centreOver(window, window->parentWidget());
        window->show();
        // The frame is known once shown; centre on that.
        centreOver(window, window->parentWidget());
    }
    window->raise();
    window->activateWindow();
}

Window::Window(QWidget* parentWindow, Qt::WindowFlags extraFlags)
    : QWidget(parentWindow, (parentWindow ? Qt::Dialog : Qt::Window) | extraFlags)
{
    setAttribute(Qt::WA_DeleteOnClose);
    letTheWheelScrollPastFields();
}

Window::~Window()
{
    if (modalRun_) {
        modalRun_->window = nullptr;
        modalRun_->loop.exit();
    }
}

int Window::runModal()
{
    ModalRun run;
    run.window = this;
    modalRun_ = &run;
    modalRuns().push_back(&run);
    setWindowModality(Qt::ApplicationModal);
    ui::showOver(this);
    {
        platform::ModalSession session(platform::RunLoop::current(), [&run] {
            run.code = 0;
            run.stopped = true;
            run.loop.exit();
        });
        if (!run.stopped)
            run.loop.exec();
    }
    std::erase(modalRuns(), &run);
    if (run.window)
        run.window->modalRun_ = nullptr;
    return run.code;
}

void Window::endModal(int code)
{
    if (!modalRun_)
        return;
    modalRun_->code = code;
    modalRun_->loop.exit();
}

void stopModal()
{
    platform::ModalSession::stopCurrent();
}

void stopAllModals()
{
    platform::ModalSession::stopAll();
}

int modalDepth() { return int(modalRuns().size()); }

void Window::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier && parentWidget()) {
        close();
        return;
    }
    QWidget::keyPressEvent(event);
}

void Window::closeEvent(QCloseEvent* event)
{
    if (!closing_) {
        closing_ = true;
        willClose();
        emit windowWillClose();
        if (modalRun_ && modalRun_->loop.isRunning())
            modalRun_->loop.exit();
    }
    QWidget::closeEvent(event);
}

} // namespace ui
