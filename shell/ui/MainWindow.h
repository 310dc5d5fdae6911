#pragma once

#include "shell/ui/LockScreenWindow.h"
#include "shell/ui/LoginPanel.h"
#include "shell/ui/MenuItemView.h"
#include "shell/ui/RunAlert.h"
#include "shell/ui/ScreenLocker.h"
#include "shell/ui/UnlockScreenWindow.h"
#include "shell/ui/Window.h"
#include "shell/ui/menueditor/MenuEditorWindow.h"
#include "shell/windows/BottomInfoViewController.h"
#include "shell/windows/LoginViewController.h"
#include "shell/windows/MainWindowController.h"

#include <QPointer>
#include <functional>

class BottomInfoView;
class MainWindowOutlineModel;
class QComboBox;
class QLabel;
class QScrollArea;
class QToolButton;
class QTreeView;

// What the main window is made with; empty members mean the shared services.
struct MainWindowServices {
    MainWindowController::Services controller;
    BottomInfoViewController::Services statusBar;
    ScreenLockController::Services screenLock;
    LoginViewControllerServices loginPanel;
};

// The window of a logged-in session; it shows its MainWindowController. The
// session flow creates it with `new MainWindow(services)`, shows it with
// show() (the first show loads the message poll and starts the idle lock
// with type 18) and closes it with close(): it deletes itself and signals
// windowWillClose first. It owns the session's ScreenLocker, so a lock hides
// every window of the session and an unlock shows them again where they were.
class MainWindow final : public ui::Window {
    Q_OBJECT
public:
    using ChildWindowFactory = std::function<ui::Window*(QWidget* parent)>;

    // The size a new window takes: wide enough for the trading page's
    // form, quote chart and five-level book, small enough for a screen of
    // 1280 x 800.
    static constexpr QSize kDefaultSize { 1240, 760 };

    explicit MainWindow(MainWindowServices services = {}, QWidget* parent = nullptr);
    ~MainWindow() override;

    MainWindowController& controller() { return controller_; }
    ScreenLocker& screenLocker() { return locker_; }
    BottomInfoView* bottomInfoView() const { return bottomView_; }
    // The widget of the page shown; none while no page is open.
    MenuItemView* currentPageView() const { return pageView_.data(); }
    // Where the page is shown; it scrolls a page larger than itself.
    QScrollArea* pageArea() const { return pageArea_; }
    QTreeView* outlineView() const { return itemListView_; }

    // lockWindow: YES covers the window with the lock-cover window (no input
    // reaches it while the session flow asks for the risk status), NO
    // removes the cover.
    void lockWindow(bool lock);
    bool isCovered() const { return !cover_.isNull(); }
    // windowIsLocked: the screen lock is on.
    bool windowIsLocked() { return locker_.controller().isLocked(); }
    // closeChildWindow: the settings, message-centre, menu-editor windows and
    // the add-account panel close; an open pop-up menu closes.
    void closeChildWindow();

    // The settings and message-centre windows belong to other parts of the
    // client; without a factory their buttons stay hidden.
    void setUserSettingWindowFactory(ChildWindowFactory factory);
    void setMessageCenterWindowFactory(ChildWindowFactory factory);
    // The editor the last press of the edit button made.
    MenuEditorWindow* menuEditor() const { return editor_.data(); }
    LoginPanel* loginPanel() const { return loginPanel_.data(); }

protected:
    void showEvent(QShowEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void willClose() override;

private:
    // The frame (title bar, borders) is the window system's and known once
    // the window is shown, sometimes only later: when it becomes known or
    // changes, the window shrinks so that it fits the screen's usable area
    // frame and all, and moves into it.
    void fitFrameToScreen();
    QWidget* makeTitleBar();
    QWidget* makeMenuBox();
    void refreshOutline();
    void refreshSelection();
    void refreshPage();
    void refreshAccounts();
    void refreshMessageCount();
    void runLoginPanel();

    MainWindowController controller_;
    WindowAlertPresenter alerts_;
    ScreenLocker locker_;
    LoginViewControllerServices loginPanelServices_;
    BottomInfoView* bottomView_ = nullptr;
    QComboBox* activedAccountsButton_ = nullptr;
    QToolButton* accountPButton_ = nullptr;
    QToolButton* lockScreenButton_ = nullptr;
    QToolButton* userSettingButton_ = nullptr;
    QToolButton* editButton_ = nullptr;
    QToolButton* messageNotification_ = nullptr;
    QLabel* messageCount_ = nullptr;
    QComboBox* itemSelectButton_ = nullptr;
    QLabel* menuTitleLabel_ = nullptr;
    QTreeView* itemListView_ = nullptr;
    MainWindowOutlineModel* outlineModel_ = nullptr;
    QWidget* itemView_ = nullptr;
    QLabel* emptyPageHint_ = nullptr;
    QScrollArea* pageArea_ = nullptr;
    QPointer<MenuItemView> pageView_;
    QPointer<MenuEditorWindow> editor_;
    ui::WindowSlot<ui::Window> userSettingWC_;
    ui::WindowSlot<ui::Window> messageCenterWC_;
    QPointer<LoginPanel> loginPanel_;
    QPointer<LockScreenWindow> cover_;
    ChildWindowFactory userSettingFactory_;
    ChildWindowFactory messageCenterFactory_;
    bool loaded_ = false;
    bool filling_ = false;
    QSize frameExtent_ { 0, 0 }; // what the frame adds to the window's size
};
