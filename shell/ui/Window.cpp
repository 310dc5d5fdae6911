#include "shell/ui/Window.h"

#include "platform/RunLoop.h"
#include "platform/WindowGeometry.h"
#include "shell/ui/ScreenLocker.h"
#include "shell/ui/WheelScroll.h"

#include <QCloseEvent>
#include <QEventLoop>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QScreen>
#include <QTimer>
#include <algorithm>
#include <optional>
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

// Places a window again each time the frame the window system puts around it
// changes while it is shown. An X11 window manager adds the frame only after
// the window is mapped, and some announce a frame before drawing a taller
// one: a placing that fitted the client area alone, or the first frame, left
// the title bar above the screen or the bottom below it.
class FrameFitter final : public QObject {
public:
    static constexpr char kName[] = "frameFitter";

    // The window was just placed for the frame it has now.
    static void watch(QWidget* window, const QWidget* parent)
    {
        auto* fitter = static_cast<FrameFitter*>(
            window->findChild<QObject*>(QLatin1String(kName), Qt::FindDirectChildrenOnly));
        if (!fitter) {
            fitter = new FrameFitter(window);
            window->installEventFilter(fitter);
        }
        fitter->parent_ = parent;
        fitter->placedFor_ = frameMargins(window);
        // Until its first paint the window system may still put it elsewhere.
        fitter->placedAt_ = fitter->painted_ ? std::optional<QPoint>(window->pos()) : std::nullopt;
    }

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        // Shown again it is placed again, or stays where it was.
        if (event->type() == QEvent::Hide) {
            window_->removeEventFilter(this);
            setObjectName(QString());
            deleteLater();
            return false;
        }
        // Where the window system put it when it first showed it: moved
        // from there since, the customer moved it.
        if (!painted_ && event->type() == QEvent::Paint) {
            painted_ = true;
            placedAt_ = window_->pos();
        }
        // The frame comes with no event of its own (no move, no resize): the
        // first event after it, its first paint, tells it.
        if (queued_ || !mayPlaceAgain())
            return false;
        // After the event that brought it has been handled.
        queued_ = true;
        QTimer::singleShot(0, this, [this] {
            queued_ = false;
            if (mayPlaceAgain())
                centreOver(window_, parent_);
        });
        return false;
    }

private:
    // Its frame changed, and the window is where it was put: a window the
    // customer moved, or maximised, keeps the place it was given.
    bool mayPlaceAgain() const
    {
        return window_->isVisible() && frameMargins(window_) != placedFor_
            && (!placedAt_ || window_->pos() == *placedAt_)
            && !(window_->windowState() & (Qt::WindowMaximized | Qt::WindowFullScreen | Qt::WindowMinimized));
    }

    explicit FrameFitter(QWidget* window)
        : QObject(window)
        , window_(window)
    {
        setObjectName(QLatin1String(kName));
    }

    QWidget* window_;
    QPointer<const QWidget> parent_;
    QMargins placedFor_;
    std::optional<QPoint> placedAt_; // its corner when it was last placed, once known
    bool painted_ = false;
    bool queued_ = false;
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
