#pragma once

#include "core/DataModel.h"
#include "core/DataModelObserver.h"
#include "shell/windows/AlertPresenter.h"

#include <QPointer>
#include <QString>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <vector>

class MenuItemViewController;

// Hears the answers of one action of a page (an order, a transfer, a
// password change, a cancel run) for as long as they take, so that what
// became of the action is told once, whatever became of the page: while the
// page still awaits them (not left, no account change, its own time limit not
// passed), the page hears each answer as its own; once it no longer does, the
// relay tells the outcome itself (the success text, the refusal, or that the
// outcome is unknown) on the page's window while it is shown, else on the
// main window, else over whatever window is up. A box told after the account
// it belongs to is no longer the active one (an account change, a logout)
// names that account, and one dismissed unseen by a logout shows again.
//
// A relay is owned by the relays' registry and lives until every request it
// sent has been answered. The kinds of action subclass it through
// LUMORA_OUTCOME_RELAY, one per answer protocol.
//
// The time limit of the dialog that confirmed an action is the relay's, not
// the page's: the dialog keeps the relays started while the page handled its
// confirm (Started), and when its limit passes with answers still out it has
// each of them tell the outcome is unknown (timeLimitPassed). The page tells
// nothing then: it only leaves its busy state. From then on the page hears
// none of that action's answers, the request's own unknown outcome included:
// whatever must follow that (the reads it leaves owed) starts where the
// request ends or in the relay, never in the page's answer handler.
class ActionOutcomeRelay : public virtual DataModelObserver {
public:
    static constexpr char kBatchFormat[] = "批量撤单\n成功数量:%1\n失败数量:%2";
    // What a box told for an account no longer active starts with.
    static constexpr char kAccountFormat[] = "账号%1：\n%2";

    // What the page does, once the last answer of the action is in, when
    // answers came past its dialog's time limit while the page is up for the
    // account: what they do while the page waits, the telling aside (read
    // again the figures the action changed; `accepted`: one of them was a
    // success, which may empty the form). Once for the whole run; never for
    // unknown outcomes alone.
    using AfterLateAnswer = std::function<void(bool accepted)>;

    // The page the relay stands for: where it tells (the page's window while
    // the page is shown, null once it is not) and what it does after late
    // answers (may be empty).
    struct Listener {
        DataModelObserver* observer = nullptr; // held weakly; lets go when the page drops its requests
        std::function<AlertPresenter*()> window;
        AfterLateAnswer afterLateAnswer = {};
    };
    // The page's window while the page is loaded. `readAgain`: what it
    // reads again after late answers, whichever they were.
    static Listener pageOf(MenuItemViewController& page, std::function<void()> readAgain = {});
    static Listener pageOf(MenuItemViewController& page, AfterLateAnswer afterLateAnswer);

    ~ActionOutcomeRelay() override;

    // A relay of class R for the next action; owned by the registry.
    template <class R, class... Args> static R& start(Args&&... args)
    {
        auto relay = std::make_unique<R>(std::forward<Args>(args)...);
        R& started = *relay;
        adopt(std::move(relay));
        return started;
    }
    // Relays still waiting for an answer (tests, diagnostics).
    static std::size_t pendingCount();
    // Where a box goes when no main window is up (the login window after a
    // logout): shows over whatever window is up. Set by the application.
    static void setAnyWindow(AlertPresenter* window);

    // One request of the action went out under `handle`; a single action
    // is then wholly sent. An empty handle: it did not go out. Equal
    // requests of a run that share one handle share its one answer, which
    // counts for each of them.
    void sent(const QString& handle);
    // A request of a run did not go out, for `why`: a failure of the run.
    void refused(const QString& why);
    // The run's requests have all been sent (or refused).
    void allSent();
    // The time limit of the dialog that confirmed this action passed with
    // answers still out. The relay tells once that the outcome is unknown,
    // in `words` (a run of several requests: its counts so far, those still
    // out counted as failures), and the page hears none of its answers
    // from now on: a later real answer is told by the relay, once; a later
    // unknown outcome is not told again. Nothing when every answer is in.
    void timeLimitPassed(const QString& words);
    // The relays started while one is open, in order (the innermost one
    // open takes them). A confirmation dialog opens one around the page's
    // handling of its confirm, so the run knows the relays of what it sent
    // without the page telling it: a page starts the relays of a confirmed
    // action there.
    class Started {
    public:
        Started();
        ~Started();
        Started(const Started&) = delete;
        Started& operator=(const Started&) = delete;
        std::vector<platform::WeakRef<ActionOutcomeRelay>> take() { return std::move(relays_); }

    private:
        friend class ActionOutcomeRelay;
        Started* outer_;
        std::vector<platform::WeakRef<ActionOutcomeRelay>> relays_;
    };
    // `page` no longer awaits the answers of its actions still waiting (a
    // wizard that ended) and told them as unknown: answers that come later
    // are their relays' to tell, a later unknown outcome not again.
    static void pageStopsWaiting(const DataModelObserver* page);
    // The client's own failure (no answer in time, the connection lost): the
    // server may or may not have taken the request.
    static bool isUnknownOutcome(const CSError& error)
    {
        return !error.fromErrorRow
            && (error.code == CSErrorOutcomeUnknown || error.code == CSErrorRequestTimeout
                || error.code == CSErrorNetworkDisconnect);
    }
    // A page tells an outcome it heard itself as a relay tells one: the box
    // stays through the lock and, dismissed unread by the logout from the
    // locked screen, shows again over whatever window is up, naming the
    // account it belongs to. `account`: the customer it belongs to, named in
    // the box when no longer the active one; empty: the active one. Without
    // a window of its own up, on the main window, else over whatever is up.
    static void tell(AlertPresenter* window, const AlertRequest& box, const QString& account = QString());
    // The customer number of the active account; empty when none is.
    static QString activeAccount();

protected:
    // `run`: the action is a run of several requests (a batch cancel), told
    // once as counts when more than one is told.
    ActionOutcomeRelay(Listener page, bool run);

    enum class Route {
        Ignore, // a second answer under one handle
        Page, // the page hears it
        Told, // the relay tells it
    };
    // One answer: counted for the run, then heard by the page or told.
    // `unknown`: a failure that leaves the outcome unknown.
    Route take(const QString& handle, bool succeeded, const QString& text, bool unknown = false);
    // The error text of an answer; kinds may tell an unknown outcome their way.
    static QString errorText(const CSError& error) { return DataModel::getNetworkError(error).domain; }
    DataModelObserver* page() const { return page_.get(); }

private:
    static void adopt(std::unique_ptr<ActionOutcomeRelay> relay);
    bool done() const { return sentAll_ && awaited_.empty(); }
    void tellIfDone();
    void afterLateAnswerIfDone();
    // The page hears nothing more: what comes later is counted afresh and
    // told apart, a later unknown outcome not at all (it was told).
    void stopPageWaiting();
    // Shows `box` where the relay tells: the page's window while shown, else
    // the main window, else any; named for an account no longer active.
    void show(const AlertRequest& box) const;

    platform::WeakRef<DataModelObserver> page_;
    std::function<AlertPresenter*()> pageWindow_;
    AfterLateAnswer afterLateAnswer_;
    bool run_ = false;
    QString account_; // the account the action was sent for
    std::map<QString, int> awaited_; // the requests sent under each handle
    std::set<QString> answered_;
    bool sentAll_ = false;
    bool pageWaits_ = true;
    bool timeLimitPassed_ = false;
    bool unknownTold_ = false; // the outcome was told as unknown
    bool unheard_ = false; // an answer the page did not hear
    bool answeredLate_ = false; // an answer (no unknown outcome) came past the time limit
    bool acceptedLate_ = false; // one of them was a success
    bool afterLateAnswerDone_ = false;
    bool told_ = false;
    int succeeded_ = 0;
    int failed_ = 0;
    QString lastText_;
    bool lastSucceeded_ = false;
};

// A relay for the answers of `Protocol` (whose answer operation is `verb`):
// `hears` is the page's own listener for them; `successText` makes the text
// of a successful answer, `failureText` that of an error.
#define LUMORA_OUTCOME_RELAY(Name, Protocol, verb)                                                               \
    class Name final : public Protocol, public ActionOutcomeRelay {                                              \
    public:                                                                                                      \
        using SuccessText = std::function<QString(const Protocol::Result&)>;                                     \
        using FailureText = std::function<QString(const CSError&)>;                                              \
        Name(Listener page, Protocol& hears, SuccessText successText, bool run = false,                          \
            FailureText failureText = &ActionOutcomeRelay::errorText)                                            \
            : ActionOutcomeRelay(std::move(page), run)                                                           \
            , hears_(&hears)                                                                                     \
            , successText_(std::move(successText))                                                               \
            , failureText_(std::move(failureText))                                                               \
        {                                                                                                        \
        }                                                                                                        \
        void verb(DataModel* request, const QString& handle, const Protocol::Result& result) override            \
        {                                                                                                        \
            if (take(handle, true, successText_(result)) == Route::Page)                                         \
                hears_->verb(request, handle, result);                                                           \
        }                                                                                                        \
        bool verb(DataModel* request, const QString& handle, const CSError& error) override                      \
        {                                                                                                        \
            if (take(handle, false, failureText_(error), isUnknownOutcome(error)) == Route::Page)                \
                return hears_->verb(request, handle, error);                                                     \
            return true;                                                                                         \
        }                                                                                                        \
                                                                                                                 \
    private:                                                                                                     \
        Protocol* hears_;                                                                                        \
        SuccessText successText_;                                                                                \
        FailureText failureText_;                                                                                \
    };
