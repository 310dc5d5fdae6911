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
    if (available.isEmpty()) {
        window->move(windowgeometry::centredOrigin(QRectF(reference), QSizeF(window->frameGeometry().size()))
                         .toPoint());
        return;
    }
    // A window larger than the screen's usable area shrinks to it, frame and
    // all, down to its minimum: what does not fit scrolls inside it. One that
    // has no size of its own yet gets it from show(), and is fitted then.
    if (window->isVisible() || window->testAttribute(Qt::WA_Resized)) {
        const QSize extent = window->frameGeometry().size() - window->size();
        const QSize fitted
            = window->size().boundedTo(available.size() - extent).expandedTo(window->minimumSize());
        if (fitted != window->size())
            window->resize(fitted);
    }
    const QRectF frame = windowgeometry::placedFrame(
        QRectF(reference), QRectF(available), QSizeF(window->frameGeometry().size()));
    window->move(frame.topLeft().toPoint());
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
