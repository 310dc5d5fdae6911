#pragma once

#include "core/DataModelObserver.h"
#include "login/OwedReads.h"
#include "shell/menu/BaseNode.h"
#include "shell/pages/AskedFor.h"
#include "shell/windows/AlertPresenter.h"

#include <QObject>
#include <QString>
#include <cstdint>
#include <functional>
#include <memory>

class NotificationCenter;
namespace platform {
struct Notification;
class RunLoopTimer;
}

// The NotificationCenter types the pages and the main window post and observe.
namespace pagenotify {
inline constexpr int32_t kActiveAccountChanged = 2; // object: none, or the new Account
inline constexpr int32_t kMenuChanged = 7;
inline constexpr int32_t kMessageCountChanged = 8;
inline constexpr int32_t kBuyPosition = 11; // user info "RDOPositionDetail"
inline constexpr int32_t kSellPosition = 12; // user info "RDOPositionDetail"
inline constexpr int32_t kFillTradePage = 13; // object: the main window, user info passed on
inline constexpr int32_t kExitTrading = 14;
inline constexpr int32_t kAccountProtectOptionChanged = 19;
inline constexpr char kPositionDetailKey[] = "RDOPositionDetail";
} // namespace pagenotify

// What a page works with; null ones are the shared instances.
struct MenuItemViewControllerServices {
    NotificationCenter* notificationCenter = nullptr;
};

// The base of every content page: the page's menu entry, its set-up, and its
// pending requests. A page sends its requests with itself as the observer;
// unloadView and an account change drop them, so a reply that arrives later
// reaches nobody. Set-up (awakeFromNib) may run many times: the timers and
// registrations it makes through schedulePageTimer and observePage live until
// the next run or the unload, so a rerun never doubles them. A page that
// shows figures an action may change (figuresShown) takes part, from each
// set-up on, in reading them again while the account owes them (OwedReads).
// Main thread only.
class MenuItemViewController : public QObject, public IOwedReader {
    Q_OBJECT
public:
    using Services = MenuItemViewControllerServices;

    // initWithNodeInfo: keeps the node and follows account changes. The set-up
    // runs in load(), once the object is whole.
    explicit MenuItemViewController(BaseNode::Ptr node = nullptr, Services services = Services());
    ~MenuItemViewController() override;
    MenuItemViewController(const MenuItemViewController&) = delete;
    MenuItemViewController& operator=(const MenuItemViewController&) = delete;

    // The page's first set-up: awakeFromNib, then initViewControls.
    void load();
    // unloadView: drops the pending requests, the set-up's timers and every
    // notification registration. The page does nothing more after it.
    void unloadView();
    bool isUnloaded() const { return unloaded_; }
    // The timers of the current set-up (diagnostics).
    std::size_t pageTimerCount() const;
    // The notification registrations of the current set-up (diagnostics).
    int pageRegistrationCount() const;
    // loginAccountChanged (type 2): drops the pending requests, clears what
    // the page showed of the previous account (clearAccountFigures), then runs
    // the set-up again for the new account: clear first, then ask.
    void loginAccountChanged();

    const BaseNode::Ptr& menuInfo() const { return menuInfo_; }
    // setItemId:
    void setItemId(BaseNode::Ptr node) { menuInfo_ = std::move(node); }
    QString pageTitle() const { return menuInfo_ ? menuInfo_->nodeTitle : QString(); }
    // The page class name the dispatch table chose the page under; the views
    // are looked up by it.
    const QString& pageClass() const { return pageClass_; }
    void setPageClass(const QString& name) { pageClass_ = name; }

    // What the page shows that an action of unknown outcome may have changed
    // and the page has not read again since: its figures may be out of date,
    // and its view says so.
    QStringList figuresOutOfDate() const;
    // Whether the page shows any figure an action may change: its view keeps
    // room for the line that says they may be out of date.
    bool showsChangeableFigures() const { return !figuresShown().isEmpty(); }

    // Message boxes on the page's window; the view gives its own.
    void setAlertPresenter(AlertPresenter* alerts) { alerts_ = alerts ? alerts : AlertPresenter::headless(); }
    AlertPresenter* alerts() const { return alerts_; }

signals:
    // The view shows the page's state again.
    void changed();

protected:
    // The page's set-up from its interface; reruns on an account change.
    virtual void awakeFromNib() { }
    // The page's set-up once the node is known; runs once.
    virtual void initViewControls() { }
    // Called after the pending requests were dropped and before the set-up's
    // resources go (unload and account change).
    virtual void willDropRequests() { }
    // On an account change, before the set-up asks again: the page forgets
    // and stops showing every figure, row and choice of the previous account,
    // so a failed or slow query for the new one leaves nothing of it behind.
    virtual void clearAccountFigures() { }

    // A timer of the default run-loop mode (it waits while a modal panel
    // runs), started now; it lives until the next set-up or the unload.
    platform::RunLoopTimer* schedulePageTimer(
        double seconds, std::function<void()> fire, bool repeats = true);
    // Stops and forgets one timer of the current set-up; a timer of an
    // earlier set-up (already gone) is ignored.
    void cancelPageTimer(const platform::RunLoopTimer* timer);
    // A registration on the notification centre that lives as long.
    void observePage(int32_t notificationType, std::function<void(const platform::Notification&)> handler);
    // The figures the page shows that an action may change (owedfigure
    // names): while one is owed the page reads it again (readOwed, none by
    // default) and tells each answer of those reads (figureRead).
    virtual QStringList figuresShown() const { return {}; }
    QStringList readOwed(const QStringList&) override { return {}; }
    // The page's read of `figure` was answered: with its rows, or not. Told
    // from the answer's own handler: what settles the figure is the request
    // that answer belongs to (sent after the outcome, for the account).
    void figureRead(const char* figure, bool withRows);
    void owedReadsChanged() override { emit changed(); }

    // The pending requests of the page reach nobody from now on.
    void dropPendingRequests();
    // What the page's pending answers were asked for; forgotten with them.
    AskedFor& askedFor() { return askedFor_; }
    const AskedFor& askedFor() const { return askedFor_; }

    NotificationCenter* notificationCenter;

private:
    struct SetupScope;
    void resetSetupScope();
    void joinOwedReads();

    BaseNode::Ptr menuInfo_;
    QString pageClass_;
    AlertPresenter* alerts_ = AlertPresenter::headless();
    std::unique_ptr<SetupScope> setupScope_;
    AskedFor askedFor_;
    bool unloaded_ = false;
};
