// What becomes of an action's answers: heard by its page while the page
// awaits them, else told once by the relay, on the right window, for the
// right account, whatever the run, the lock or the logout did meanwhile.
#include "AccountsTestRig.h"
#include "core/DataModelClass.h"
#include "shell/pages/ActionOutcomeRelay.h"
#include "shell/pages/MenuItemViewManager.h"
#include "support/Spin.h"

#include <QStringList>
#include <gtest/gtest.h>

namespace {

LUMORA_DATA_MODEL_PROTOCOL(ITestActionDelegate, actionDone, QString)
LUMORA_OUTCOME_RELAY(TestActionRelay, ITestActionDelegate, actionDone)

// Records each box as "title|text"; the answer waits for the script.
class HeldAlerts final : public AlertPresenter {
public:
    QStringList shown;
    std::vector<Completion> open;
    void runAlert(const AlertRequest& request, Completion completion) override
    {
        EXPECT_FALSE(request.closesOnLock) << "an outcome outlives the lock";
        shown << request.title + '|' + request.text;
        open.push_back(std::move(completion));
    }
    void answerAll(int answer)
    {
        for (Completion& c : std::exchange(open, {}))
            if (c)
                c(answer);
    }
};

class ActionPage final : public MenuItemViewController, public ITestActionDelegate {
public:
    int heard = 0;
    void actionDone(DataModel*, const QString&, const QString&) override { ++heard; }
    bool actionDone(DataModel*, const QString&, const CSError&) override
    {
        ++heard;
        return true;
    }
};

class ActionOutcomeRelayTest : public testing::Test {
protected:
    void SetUp() override
    {
        shelltest::addLoggedInAccounts(*AccountManager::getInstance(), { "010100000001", "010100000002" });
        MenuItemViewManager::getInstance()->setWindow(&mainWindow);
        ActionOutcomeRelay::setAnyWindow(&anyWindow);
    }
    void TearDown() override
    {
        ActionOutcomeRelay::setAnyWindow(nullptr);
        MenuItemViewManager::resetInstance();
        AccountManager::resetInstance();
    }
    HeldAlerts pageWindow, mainWindow, anyWindow;
};

} // namespace

// The script's steps: "s:h" sent under h, "r" a request of the run refused,
// "e" the run wholly sent, "+h"/"-h"/"?h" h answered with success/an
// error/an unknown outcome, "U" the page told its actions as unknown,
// "L" the page left, "C" an account change, "O" a logout, "I" the same
// customer in again, the main window not up yet (the risk check), "B" the
// page's own time limit, "D" the boxes dismissed unseen, then the queued
// steps run, "t" a box its page told for the first account.
TEST_F(ActionOutcomeRelayTest, EachActionIsToldOnceWhereverItsPageWent)
{
    const QString account = QStringLiteral("账号010100000001：\n");
    const struct {
        const char* name;
        bool run;
        const char* script;
        int heard;
        QStringList onPage, onMain, onAny;
    } rows[] = {
        { "heard by the page", false, "s:a +a", 1, {}, {}, {} },
        { "heard once", false, "s:a +a +a -a", 1, {}, {}, {} },
        { "refusals without a handle, each its own", true, "s:a e - - +a", 3, {}, {}, {} },
        { "page left", false, "s:a L +a", 0, {}, { "温馨提示|ok a" }, {} },
        { "refusal after the page left", false, "s:a L -a", 0, {}, { "错误|fail a" }, {} },
        { "answer before the handle was heard", false, "L +a s:a", 0, {}, { "温馨提示|ok a" }, {} },
        { "second answer under one handle", false, "s:a L +a +a -a", 0, {}, { "温馨提示|ok a" }, {} },
        { "run split by the page leaving", true, "s:a s:b s:c e +a L +b -c", 1, {},
            { "温馨提示|批量撤单\n成功数量:2\n失败数量:1" }, {} },
        { "run with a refusal", true, "s:a r e L -a", 0, {}, { "温馨提示|批量撤单\n成功数量:0\n失败数量:2" }, {} },
        { "run of one", true, "s:a e L +a", 0, {}, { "温馨提示|ok a" }, {} },
        { "run heard whole", true, "s:a s:b e +a +b", 2, {}, {}, {} },
        { "account change", false, "s:a C +a", 0, {}, { "温馨提示|" + account + "ok a" }, {} },
        { "logout", false, "s:a L O +a", 0, {}, {}, { "温馨提示|" + account + "ok a" } },
        { "answers after the page's time limit", true, "s:a s:b e +a B +b", 1, { "温馨提示|ok b" }, {}, {} },
        // The page's time limit of a later run: what this run's relay
        // counted since its own stays counted.
        { "a later time limit of the page", true, "s:a s:b s:c e +c B +a B -b", 1,
            { "温馨提示|批量撤单\n成功数量:1\n失败数量:1" }, {}, {} },
        { "box dismissed by the logout", false, "s:a L +a O D", 0, {}, { "温馨提示|ok a" },
            { "温馨提示|" + account + "ok a" } },
        { "box dismissed, same session", false, "s:a L +a D", 0, {}, { "温馨提示|ok a" }, {} },
        // Equal cancels still waiting share one request: its answer counts
        // for each of them, as the page counts it.
        { "equal cancels of a run", true, "s:a s:a s:b e L +a -b", 0, {},
            { "温馨提示|批量撤单\n成功数量:2\n失败数量:1" }, {} },
        { "a run of two equal cancels", true, "s:a s:a e L -a", 0, {},
            { "温馨提示|批量撤单\n成功数量:0\n失败数量:2" }, {} },
        { "same customer in again before the main window", false, "s:a L O I +a", 0, {}, {},
            { "温馨提示|ok a" } },
        // The page told it as unknown: a late unknown is not told again,
        // a late outcome is.
        { "late unknown after the page told it", false, "s:a U L ?a", 0, {}, {}, {} },
        { "late unknown, another account", false, "s:a U C ?a", 0, {}, {}, {} },
        { "late outcome after the page told it unknown", false, "s:a U L -a", 0, {}, { "错误|fail a" }, {} },
        { "the page told it unknown and still hears", false, "s:a U ?a", 1, {}, {}, {} },
        { "unknown never told before", false, "s:a L ?a", 0, {}, { "错误|unknown a" }, {} },
        { "late unknowns after the time limit", true, "s:a s:b s:c e +a B ?b +c", 1, { "温馨提示|ok c" }, {}, {} },
        // A page's own box, told where no window of its own is up.
        { "told before the main window", false, "s:a +a O I t", 1, {}, {}, { "温馨提示|told" } },
        { "told for an account no longer active", false, "s:a +a C t O D", 1, {},
            { "温馨提示|" + account + "told" }, { "温馨提示|" + account + "told" } },
    };
    // Relays of requests an earlier test left unanswered in this process.
    const std::size_t waiting = ActionOutcomeRelay::pendingCount();
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        AccountManager::getInstance()->setActiveLoginAccount(0);
        MenuItemViewManager::getInstance()->setWindow(&mainWindow);
        pageWindow = {};
        mainWindow = {};
        anyWindow = {};
        auto page = std::make_unique<ActionPage>();
        page->setAlertPresenter(&pageWindow);
        page->load();
        auto& relay = ActionOutcomeRelay::start<TestActionRelay>(
            ActionOutcomeRelay::pageOf(*page), *page, [](const QString& r) { return r; }, row.run);
        for (const QString& step : QString::fromLatin1(row.script).split(' ')) {
            const QString h = step.mid(step.startsWith(u's') ? 2 : 1);
            switch (step.at(0).toLatin1()) {
            case 's':
                relay.sent(h);
                break;
            case 'r':
                relay.refused(QStringLiteral("refused"));
                break;
            case 'e':
                relay.allSent();
                break;
            case '+':
                relay.actionDone(nullptr, h, QStringLiteral("ok ") + h);
                break;
            case '-':
                relay.actionDone(nullptr, h, CSError { QStringLiteral("fail ") + h, 5000, true });
                break;
            case '?':
                relay.actionDone(nullptr, h,
                    CSError { QStringLiteral("unknown ") + h, CSErrorOutcomeUnknown, false });
                break;
            case 'U':
                ActionOutcomeRelay::pageToldUnknown(page.get());
                break;
            case 'L':
                // Unloaded, its hidden window still there.
                page->unloadView();
                break;
            case 'C':
                AccountManager::getInstance()->setActiveLoginAccount(1);
                page->loginAccountChanged();
                break;
            case 'O':
                AccountManager::resetInstance();
                break;
            case 'I':
                MenuItemViewManager::getInstance()->setWindow(nullptr);
                shelltest::addLoggedInAccounts(*AccountManager::getInstance(), { "010100000001" });
                break;
            case 'B':
                ActionOutcomeRelay::pageStopsWaiting(page.get());
                break;
            case 'D':
                pageWindow.answerAll(0);
                mainWindow.answerAll(0);
                break;
            case 't':
                ActionOutcomeRelay::tell(MenuItemViewManager::getInstance()->window(),
                    AlertRequest::tip(QStringLiteral("told")), QStringLiteral("010100000001"));
                break;
            }
        }
        // The box shown again after a logout goes on the next pass.
        if (!row.onAny.isEmpty())
            ASSERT_TRUE(testsupport::spinUntil([&] { return !anyWindow.shown.isEmpty(); }));
        EXPECT_EQ(page->heard, row.heard);
        EXPECT_EQ(pageWindow.shown, row.onPage);
        EXPECT_EQ(mainWindow.shown, row.onMain);
        EXPECT_EQ(anyWindow.shown, row.onAny);
        EXPECT_EQ(ActionOutcomeRelay::pendingCount(), waiting);
        if (!AccountManager::getInstance()->getActiveLoginAccount())
            shelltest::addLoggedInAccounts(*AccountManager::getInstance(), { "010100000001", "010100000002" });
    }
}
