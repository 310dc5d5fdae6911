#include "shell/pages/ActionOutcomeRelay.h"

#include "login/AccountManager.h"
#include "shell/pages/MenuItemViewController.h"
#include "shell/pages/MenuItemViewManager.h"

#include <QTimer>
#include <algorithm>
#include <vector>

namespace {

std::vector<std::unique_ptr<ActionOutcomeRelay>>& registry()
{
    static std::vector<std::unique_ptr<ActionOutcomeRelay>> relays;
    return relays;
}

ActionOutcomeRelay::Started*& openStarted()
{
    static ActionOutcomeRelay::Started* started = nullptr;
    return started;
}

AlertPresenter*& anyWindow()
{
    static AlertPresenter* window = nullptr;
    return window;
}

// The box of an outcome, for `account`, on `window`: it stays through a lock;
// dismissed unseen because that account's session ended meanwhile (the
// logout from the locked screen closes what waited for the unlock), it shows
// once more, over whatever window is up then.
void showOutcome(AlertPresenter* window, AlertRequest box, const QString& account, bool named, bool again = true)
{
    box.closesOnLock = false;
    window->runAlert(box, [box, account, named, again](int answer) {
        if (answer == 1 || !again || ActionOutcomeRelay::activeAccount() == account)
            return;
        // After the logout has run to its end: its windows are gone then.
        QTimer::singleShot(0, [box, account, named] {
            AlertRequest shown = box;
            if (!named)
                shown.text = QString::fromUtf8(ActionOutcomeRelay::kAccountFormat).arg(account, box.text);
            showOutcome(anyWindow() ? anyWindow() : AlertPresenter::headless(), shown, account, true, false);
        });
    });
}

// Where a box goes without a window of its own up: the main window while an
// account is logged in and it is up, else (logged out, or logging in and
// still checked before it opens) over whatever window is.
AlertPresenter* shownOn(AlertPresenter* window, const QString& active)
{
    if (!window || window == AlertPresenter::headless())
        window = active.isEmpty() ? nullptr : MenuItemViewManager::getInstance()->window();
    if (!window || window == AlertPresenter::headless())
        window = anyWindow() ? anyWindow() : AlertPresenter::headless();
    return window;
}

} // namespace

ActionOutcomeRelay::Listener ActionOutcomeRelay::pageOf(
    MenuItemViewController& page, std::function<void()> readAgain)
{
    AfterLateAnswer after;
    if (readAgain)
        after = [read = std::move(readAgain)](bool) { read(); };
    return pageOf(page, std::move(after));
}

ActionOutcomeRelay::Listener ActionOutcomeRelay::pageOf(
    MenuItemViewController& page, AfterLateAnswer afterLateAnswer)
{
    return { &page,
        [p = QPointer<MenuItemViewController>(&page)]() -> AlertPresenter* {
            return p && !p->isUnloaded() ? p->alerts() : nullptr;
        },
        std::move(afterLateAnswer) };
}

ActionOutcomeRelay::ActionOutcomeRelay(Listener page, bool run)
    : page_(page.observer)
    , pageWindow_(std::move(page.window))
    , afterLateAnswer_(std::move(page.afterLateAnswer))
    , run_(run)
    , account_(activeAccount())
{
}

ActionOutcomeRelay::~ActionOutcomeRelay() = default;

void ActionOutcomeRelay::adopt(std::unique_ptr<ActionOutcomeRelay> relay)
{
    // Relays whose answers have all come are let go here, never from inside
    // their own answer.
    std::erase_if(registry(), [](const auto& r) { return r->done(); });
    if (Started* started = openStarted())
        started->relays_.emplace_back(relay.get());
    registry().push_back(std::move(relay));
}

ActionOutcomeRelay::Started::Started()
    : outer_(openStarted())
{
    openStarted() = this;
}

ActionOutcomeRelay::Started::~Started()
{
    openStarted() = outer_;
}

std::size_t ActionOutcomeRelay::pendingCount()
{
    return std::size_t(std::count_if(registry().begin(), registry().end(), [](const auto& r) { return !r->done(); }));
}

void ActionOutcomeRelay::setAnyWindow(AlertPresenter* window)
{
    anyWindow() = window;
}

void ActionOutcomeRelay::sent(const QString& handle)
{
    // An answer may come before the sender has heard its handle.
    if (!handle.isEmpty() && !answered_.count(handle))
        ++awaited_[handle];
    if (!run_)
        allSent();
}

void ActionOutcomeRelay::refused(const QString& why)
{
    ++failed_;
    lastSucceeded_ = false;
    lastText_ = why;
}

void ActionOutcomeRelay::allSent()
{
    sentAll_ = true;
    tellIfDone();
    afterLateAnswerIfDone();
}

QString ActionOutcomeRelay::activeAccount()
{
    const auto account = AccountManager::getInstance()->getActiveLoginAccount();
    return account ? account->customerNumber : QString();
}

void ActionOutcomeRelay::tell(AlertPresenter* window, const AlertRequest& box, const QString& account)
{
    const QString active = activeAccount();
    const QString owner = account.isEmpty() ? active : account;
    const bool named = owner != active;
    AlertRequest shown = box;
    if (named)
        shown.text = QString::fromUtf8(kAccountFormat).arg(owner, box.text);
    showOutcome(shownOn(window, active), shown, owner, named);
}

void ActionOutcomeRelay::pageStopsWaiting(const DataModelObserver* page)
{
    for (const auto& relay : registry()) {
        // A relay the page stopped waiting for before (an earlier run's)
        // keeps what it counted since.
        if (!relay->done() && relay->pageWaits_ && page && relay->page_.get() == page)
            relay->stopPageWaiting();
    }
}

void ActionOutcomeRelay::stopPageWaiting()
{
    // What was heard so far is told; what comes later is told apart.
    pageWaits_ = false;
    unknownTold_ = true;
    succeeded_ = failed_ = 0;
}

void ActionOutcomeRelay::timeLimitPassed(const QString& words)
{
    if (done() || timeLimitPassed_)
        return;
    timeLimitPassed_ = true;
    int out = 0;
    for (const auto& [handle, requests] : awaited_)
        out += requests;
    // Every answer of the run so far, those the page heard too, and the
    // requests still out as failures: the counts a run's page told at its
    // limit.
    const bool counts = run_ && succeeded_ + failed_ + out > 1;
    const AlertRequest box = counts
        ? AlertRequest::tip(QString::fromUtf8(kBatchFormat).arg(succeeded_).arg(failed_ + out))
        : AlertRequest::error(words);
    stopPageWaiting();
    unheard_ = false; // told in the box
    show(box);
}

ActionOutcomeRelay::Route ActionOutcomeRelay::take(
    const QString& handle, bool succeeded, const QString& text, bool unknown)
{
    // One answer per request; a refusal carries no handle, and each is the
    // answer of a request of its own.
    if (!handle.isEmpty() && !answered_.insert(handle).second)
        return Route::Ignore;
    // Equal cancels of a run share one request: its answer counts for each.
    const auto awaited = awaited_.find(handle);
    const int requests = awaited != awaited_.end() ? awaited->second : 1;
    if (awaited != awaited_.end())
        awaited_.erase(awaited);
    const bool heard = pageWaits_ && page_;
    if (unknown && unknownTold_ && !heard) {
        // The page told it as unknown already, and counted it so.
        tellIfDone();
        afterLateAnswerIfDone();
        return Route::Told;
    }
    (succeeded ? succeeded_ : failed_) += requests;
    lastSucceeded_ = succeeded;
    lastText_ = text;
    unheard_ = unheard_ || !heard;
    answeredLate_ = answeredLate_ || timeLimitPassed_;
    acceptedLate_ = acceptedLate_ || (timeLimitPassed_ && succeeded);
    tellIfDone();
    afterLateAnswerIfDone();
    return heard ? Route::Page : Route::Told;
}

void ActionOutcomeRelay::afterLateAnswerIfDone()
{
    // Answers after all, past the dialog's time limit: once the last of the
    // run is in, the page, still up for the account, does what they do while
    // it waits, once for all of them.
    if (!done() || !answeredLate_ || std::exchange(afterLateAnswerDone_, true))
        return;
    if (afterLateAnswer_ && page_ && activeAccount() == account_ && pageWindow_ && pageWindow_())
        afterLateAnswer_(acceptedLate_);
}

void ActionOutcomeRelay::tellIfDone()
{
    // A run is told once, when its last answer is in, with every answer of
    // it counted: those the page heard and those it did not.
    if (!done() || !unheard_ || told_)
        return;
    told_ = true;
    const bool counts = run_ && succeeded_ + failed_ > 1;
    show(counts              ? AlertRequest::tip(QString::fromUtf8(kBatchFormat).arg(succeeded_).arg(failed_))
            : lastSucceeded_ ? AlertRequest::tip(lastText_)
                             : AlertRequest::error(lastText_));
}

void ActionOutcomeRelay::show(const AlertRequest& box) const
{
    // Never on the page's window under another customer, nor without the
    // name of the account.
    AlertPresenter* window = activeAccount() == account_ && pageWindow_ ? pageWindow_() : nullptr;
    tell(window, box, account_);
}
