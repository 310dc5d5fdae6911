#pragma once

// Fakes around WindowController: a clock advanced by hand, a scripted server,
// the windows as a log of what the user would see.
#include "compliance/RiskEvaluationGate.h"
#include "session/SessionServer.h"
#include "session/SessionTimers.h"
#include "session/SessionWindows.h"
#include "session/WindowController.h"

#include <QStringList>
#include <gtest/gtest.h>
#include <memory>
#include <vector>

namespace sessiontest {

// Timers that fire only when the test says so.
class FakeClock {
public:
    struct Timer {
        double seconds = 0;
        bool repeats = false;
        platform::RunLoopModes modes;
        std::function<void()> tick;
        bool alive = true;
    };
    class Handle final : public SessionTimer {
    public:
        explicit Handle(std::shared_ptr<Timer> t)
            : timer_(std::move(t))
        {
        }
        ~Handle() override { timer_->alive = false; }

    private:
        std::shared_ptr<Timer> timer_;
    };

    std::vector<std::shared_ptr<Timer>> timers;

    SessionTimerFactory factory()
    {
        return
            [this](double seconds, bool repeats, platform::RunLoopModes modes, std::function<void()> tick) {
                timers.push_back(std::make_shared<Timer>(Timer { seconds, repeats, modes, std::move(tick) }));
                return std::unique_ptr<SessionTimer>(std::make_unique<Handle>(timers.back()));
            };
    }
    std::shared_ptr<Timer> live() const
    {
        for (auto it = timers.rbegin(); it != timers.rend(); ++it)
            if ((*it)->alive)
                return *it;
        return nullptr;
    }
    // Fires the live timer once; false when none is live.
    bool fire()
    {
        std::shared_ptr<Timer> t = live();
        if (!t)
            return false;
        if (!t->repeats)
            t->alive = false;
        auto tick = t->tick;
        tick();
        return true;
    }
};

// The server as a script: requests are recorded with their observers and the
// test answers them.
class ScriptedServer final : public ISessionServer {
public:
    QStringList calls;
    bool utidStored = false;
    bool orgChanged = true;
    bool menuChanged = true;
    bool orgAccepted = true;
    bool menuRequestPossible = true;
    IUtidDelegate* utidObserver = nullptr;
    IAppLoginDelegate* appLoginObserver = nullptr;
    IOrganizationInfoDelegate* orgObserver = nullptr;
    IQueryMenuInfoDelegate* menuObserver = nullptr;
    int testRounds = 0;

    int count(const QString& call) const { return int(calls.count(call)); }

    void startTesting(DMServerManagerDelegate*) override
    {
        ++testRounds;
        calls << "startTesting";
    }
    void cancelTesting() override { calls << "cancelTesting"; }
    void selectServer(int32_t kind, const QString& tag) override
    {
        calls << QStringLiteral("select %1 %2").arg(kind).arg(tag);
    }
    bool needRequestUtid() override { return !utidStored; }
    void requestUtid(IUtidDelegate* o) override
    {
        utidObserver = o;
        calls << "requestUtid";
    }
    void setUtid(const QString& utid) override
    {
        utidStored = true;
        calls << "setUtid " + utid;
    }
    void setNetworkUtidConifg() override { calls << "setNetworkUtidConifg"; }
    void requestAppLogin(IAppLoginDelegate* o) override
    {
        appLoginObserver = o;
        calls << "requestAppLogin";
    }
    bool needRetryAppLogin(qint64 code) override { return code == 90001; }
    void setContId(const QString&) override { }
    bool needRequestOrgInfo(const std::optional<QString>&) override { return orgChanged; }
    void requestOrgInfo(IOrganizationInfoDelegate* o) override
    {
        orgObserver = o;
        calls << "requestOrgInfo";
    }
    bool setOrgInfo(const RDOOrganizationInfo&) override { return orgAccepted; }
    bool needRequestMenuInfo(const QString&) override { return menuChanged; }
    bool requestMenuInfo(IQueryMenuInfoDelegate* o) override
    {
        menuObserver = o;
        calls << "requestMenuInfo";
        return menuRequestPossible;
    }
    void setMenuInfo(std::shared_ptr<RDOMenuManager>) override { calls << "setMenuInfo"; }

    void utid(const QString& id) { utidObserver->queryUtid(nullptr, QString(), id); }
    void appLoginOk() { appLoginObserver->appLogin(nullptr, QString(), std::nullopt); }
    void appLoginError(qint64 code)
    {
        appLoginObserver->appLogin(nullptr, QString(), CSError { "失败", code });
    }
    void orgOk() { orgObserver->queryOrganizationInfo(nullptr, QString(), RDOOrganizationInfo()); }
    void menuOk(bool entries = true)
    {
        std::vector<RDOMenuInfo::Ptr> nodes;
        if (entries)
            nodes.push_back(RDOMenuInfo::fromFields("1", "-1", "网上交易", "trademenu", QString()));
        menuObserver->queryMenuInfo(nullptr, QString(), std::make_shared<RDOMenuManager>(nodes));
    }
};

// The login window, its boxes and the last-login window as a log; boxes wait
// for the test's answer.
class FakeWindows final : public ISessionWindows {
public:
    struct Box {
        AlertRequest request;
        AlertPresenter::Completion done;
    };
    QStringList log;
    bool loginWindow = false;
    std::function<void()> loginClosedByUser;
    std::function<void()> loginCancelled; // the form's cancel after the server took the login
    std::vector<Box> boxes;

    bool hasLoginWindow() const override { return loginWindow; }
    void showLoginWindow(std::function<void()> closedByUser, std::function<void()> cancelled) override
    {
        if (!loginWindow)
            log << "loginWindow";
        loginWindow = true;
        loginClosedByUser = std::move(closedByUser);
        loginCancelled = std::move(cancelled);
    }
    void closeLoginWindow() override
    {
        if (loginWindow)
            log << "closeLogin";
        loginWindow = false;
    }
    void appLoginComplete() override { log << "formEnabled"; }
    void loginComplete() override { log << "loginComplete"; }
    void resetUI() override { log << "resetUI"; }
    void runAlert(const AlertRequest& request, AlertPresenter::Completion completion) override
    {
        log << "box " + request.title;
        boxes.push_back(Box { request, std::move(completion) });
    }
    void showLastLoginInfoWindow(const QString&, const QString&, const std::optional<QRect>&) override
    {
        log << "lastLogin";
    }
    void closeLastLoginInfoWindow() override { log << "closeLastLogin"; }
    void refreshAccountLists() override { log << "refresh"; }
    void stopModal() override { log << "stopModal"; }

    // Answers the last box.
    void answer(int button)
    {
        ASSERT_FALSE(boxes.empty());
        Box box = std::move(boxes.back());
        boxes.pop_back();
        if (box.done)
            box.done(button);
    }
    // The user closes the login window.
    void userClosesLoginWindow()
    {
        loginWindow = false;
        if (loginClosedByUser)
            loginClosedByUser();
    }
};

class FakeMainWindow final : public IMainWindowOpener {
public:
    bool open_ = false;
    QStringList* log = nullptr;
    std::function<bool()> screenLocked; // empty: never locked
    bool isOpen() const override { return open_; }
    bool isScreenLocked() const override { return screenLocked && screenLocked(); }
    void open(std::function<void()>) override
    {
        open_ = true;
        *log << "mainWindow";
    }
    void close() override
    {
        if (open_)
            *log << "closeMain";
        open_ = false;
    }
    void lockWindow(bool locked) override { *log << (locked ? "cover" : "uncover"); }
    QRect frame() const override { return QRect(0, 0, 800, 600); }
};

// The risk notice, its follow-up box and the questionnaire.
class FakeRiskWindows final : public IRiskGateWindows {
public:
    struct Shown final : IGateWindow {
        bool* closed;
        explicit Shown(bool* c)
            : closed(c)
        {
        }
        void close() override { *closed = true; }
    };
    std::function<void(int)> noticeDone;
    std::function<void()> alertDone;
    RiskEvaluationWindowControllerDeleagate* evaluation = nullptr;
    QString alterButton;
    bool noticeClosed = false, alertClosed = false, evaluationClosed = false;

    std::unique_ptr<IGateWindow> showStatusNotice(const QString&, const QString&, const QString& alter,
        const QString&, std::function<void(int)> done) override
    {
        alterButton = alter;
        noticeDone = std::move(done);
        return std::make_unique<Shown>(&noticeClosed);
    }
    std::unique_ptr<IGateWindow> showFollowUpAlert(
        const QString&, const QString&, std::function<void()> done) override
    {
        alertDone = std::move(done);
        return std::make_unique<Shown>(&alertClosed);
    }
    std::unique_ptr<IGateWindow> showEvaluationWindow(RiskEvaluationWindowControllerDeleagate* d) override
    {
        evaluation = d;
        return std::make_unique<Shown>(&evaluationClosed);
    }
};

// The session flow's services on the fakes above, with the risk windows
// given; the risk status is asked as the login sequence asks it.
inline WindowController::Services sessionServices(ISessionWindows& windows, IMainWindowOpener& mainWindow,
    IRiskGateWindows& riskWindows, ScriptedServer& server, FakeClock& clock)
{
    WindowController::Services s;
    s.windows = &windows;
    s.mainWindow = &mainWindow;
    s.riskWindows = &riskWindows;
    s.server = &server;
    s.timers = clock.factory();
    return s;
}

// The same on the fake risk windows; the risk-status request's observer
// lands in `statusObserver`.
inline WindowController::Services sessionServices(ISessionWindows& windows, IMainWindowOpener& mainWindow,
    FakeRiskWindows& riskWindows, ScriptedServer& server, FakeClock& clock,
    IQueryRiskAssessmentStatusDelegate*& statusObserver)
{
    WindowController::Services s = sessionServices(windows, mainWindow, riskWindows, server, clock);
    s.requestRiskStatus = [&statusObserver](IQueryRiskAssessmentStatusDelegate* o) {
        statusObserver = o;
        return QString();
    };
    s.cancelRiskStatus = [](const QString&) {};
    return s;
}

} // namespace sessiontest
