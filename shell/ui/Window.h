#pragma once

// How a window or page of this client is made; every new one follows it.
//  1. Behaviour and state live in a controller without widgets (shell/windows
//     or the page's own folder): a QObject whose services come in a Services
//     struct, null members meaning the shared instances, and a changed()
//     signal. Tests drive the controller headless; it shows message boxes
//     through the AlertPresenter it is given.
//  2. The view is a ui::Window (a top-level window) or a plain QWidget (a
//     form or a page inside one). It builds its widgets in code with object
//     names, shows the controller's state in refresh() and forwards every
//     user action to the controller; it keeps no state of its own.
//  3. The owner keeps each window in a ui::WindowSlot: at most one of a kind,
//     a second open brings the first to the front. A child window is centred
//     over its parent and deleted, hence detached, when it closes. Modal runs
//     go through Window::runModal; ui::stopModal() ends the innermost modal
//     run, whatever its kind, as rejected. Message boxes go through RunAlert.
//  4. Nothing shows over the screen lock: every way of showing a window
//     (showOver, runModal, RunAlert, a dialog that shows itself) asks
//     ui::mayShow first, and a window refused is closed as cancelled or
//     waits for the unlock (see ScreenLocker).

#include <QMargins>
#include <QPointer>
#include <QWidget>
#include <functional>
#include <utility>

namespace ui {

// The height of a dialog's push buttons (confirm, agree, cancel): a roomy
// target whatever the style's own, which is shorter on some desktops.
constexpr int kDialogButtonHeight = 30;

// Moves `window` so that its frame is centred over the frame of `parent`
// (or over the available screen without a parent), inside the screen's
// usable area. While it stays shown it is placed again each time the frame
// the window system puts around it changes (it is framed late, or given a
// taller frame than first announced), unless the customer maximised it.
void centreOver(QWidget* window, const QWidget* parent);
// The frame the window system has put around `window` so far.
QMargins frameMargins(const QWidget* window);
// Tests stand in for a window manager's frame (null: the real one).
void setFrameMarginsForTesting(std::function<QMargins(const QWidget*)> source);
// Whether `window` may show now. While the screen is locked only the unlock
// window and what opens on it may; a window refused is dealt with by the
// lock: a modal one but a message box closes as cancelled (after the caller
// has returned), any other shows at the unlock.
bool mayShow(QWidget* window);
// Centres over the parent window, shows, raises and activates; while the
// screen is locked, as mayShow says.
void showOver(QWidget* window);

// A top-level window of the client. With a parent it is a child window that
// stays above it. It deletes itself when closed.
class Window : public QWidget {
    Q_OBJECT
public:
    explicit Window(QWidget* parentWindow = nullptr, Qt::WindowFlags extraFlags = {});
    ~Window() override;

    void showOver() { ui::showOver(this); }
    // Shows the window application-modal and runs until endModal() or
    // stopModal(); closing the window ends the run with 0.
    int runModal();
    void endModal(int code);
    bool isRunningModal() const { return modalRun_ != nullptr; }
    // It has begun to close (it is deleted later).
    bool isClosing() const { return closing_; }
    struct ModalRun; // one run of runModal

signals:
    // Sent once, when the window starts to close.
    void windowWillClose();

protected:
    void closeEvent(QCloseEvent* event) override;
    // Esc closes a child window, as it cancels a dialog.
    void keyPressEvent(QKeyEvent* event) override;
    // Called once before the window closes; a modal run ends with 0 after it
    // unless the hook ended it already.
    virtual void willClose() { }

private:
    ModalRun* modalRun_ = nullptr;
    bool closing_ = false;
};

// Ends the innermost modal run of any kind as "rejected" (a window's run
// with 0).
void stopModal();
// Ends every modal run as rejected (the screen locks).
void stopAllModals();
// The number of windows' modal runs in progress.
int modalDepth();

// The one window of a kind that an owner keeps open.
template <class W> class WindowSlot {
public:
    W* get() const { return window_.data(); }
    bool isOpen() const { return !window_.isNull(); }
    // Makes the window with `make` when none is open; either way shows it
    // centred over its parent and in front.
    W* open(const std::function<W*()>& make)
    {
        if (!window_) {
            window_ = make();
            window_->setAttribute(Qt::WA_DeleteOnClose);
        }
        ui::showOver(window_);
        return window_;
    }
    // The slot lets go of the window as it closes, though the window is
    // deleted only later: an open() right after makes a new one.
    void close()
    {
        if (QPointer<W> window = std::exchange(window_, nullptr))
            window->close();
    }

private:
    QPointer<W> window_;
};

} // namespace ui
