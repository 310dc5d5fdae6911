// What becomes of an action's answers: heard by its page while the page
// awaits them, else told once by the relay, on the right window, for the
// right account, whatever the run, the lock or the logout did meanwhile.
#include "AccountsTestRig.h"
#include "core/DataModelClass.h"
#include "shell/pages/ActionOutcomeRelay.h"
#include "shell/pages/MenuItemViewManager.h"
#include "support/Spin.h"

#include <QStringList>
#include <QTimer>
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
// error/an unknown outcome ("-" alone: a refusal without a handle), "T" the
// time limit of the dialog that confirmed it, "L" the page left, "C" an
// account change, "O" a logout, "I" the same customer in again, the main
// window not up yet (the risk check), "B" the page stops waiting, "D" the
// boxes dismissed unseen, "W" the next pass of the loop (a box a logout
// dismissed shows again then), "t" a box its page told for the first
// account.
TEST_F(ActionOutcomeRelayTest, EachActionIsToldOnceWhereverItsPageWent)
{
    const QString account = QStringLiteral("账号010100000001：\n");
    const struct {
        const char* name;
        bool run;
        const char* script;
        int heard;
        QStringList onPage, onMain, onAny;
        // The page's steps after answers past the time limit: "+" when one
        // of them was a success, "-" when none was.
        const char* late = "";
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
        // The dialog's time limit is the relay's to tell, once: a late
        // unknown is not told again, a late outcome is, and the page hears
        // neither, even while it is still up.
        { "late unknown after the time limit", false, "s:a T L ?a", 0, { "错误|limit" }, {}, {} },
        { "late unknown, another account", false, "s:a T C ?a", 0, { "错误|limit" }, {}, {} },
        { "late outcome after the time limit", false, "s:a T L -a", 0, { "错误|limit" }, { "错误|fail a" },
            {} },
        { "late unknown, the page still up", false, "s:a T ?a", 0, { "错误|limit" }, {}, {} },
        { "late answer, the page still up", false, "s:a T +a", 0, { "错误|limit", "温馨提示|ok a" }, {}, {},
            "+" },
        { "late refusal, the page still up", false, "s:a T -a", 0, { "错误|limit", "错误|fail a" }, {}, {},
            "-" },
        { "late answer, the page left", false, "s:a T L +a", 0, { "错误|limit" }, { "温馨提示|ok a" }, {} },
        { "late answer, another account", false, "s:a T C +a", 0, { "错误|limit" },
            { "温馨提示|" + account + "ok a" }, {} },
        { "time limit after the answer", false, "s:a +a T", 1, {}, {}, {} },
        { "time limit twice", false, "s:a T T ?a", 0, { "错误|limit" }, {}, {} },
        { "time limit after an account change", false, "s:a C T +a", 0, {},
            { "错误|" + account + "limit", "温馨提示|" + account + "ok a" }, {} },
        // A run: its counts so far, those still out as failures.
        { "time limit of a run", true, "s:a s:b s:c e +a T ?b +c", 1,
            { "温馨提示|批量撤单\n成功数量:1\n失败数量:2", "温馨提示|ok c" }, {}, {}, "+" },
        { "time limit of a run of one", true, "s:a e T -a", 0, { "错误|limit", "错误|fail a" }, {}, {}, "-" },
        // Read again once, after the last of the run's late answers.
        { "late answers of a run", true, "s:a s:b s:c e T +a -b +c", 0,
            { "温馨提示|批量撤单\n成功数量:0\n失败数量:3", "温馨提示|批量撤单\n成功数量:2\n失败数量:1" }, {},
            {}, "+" },
        { "late answers of a run, the last unknown", true, "s:a s:b e T +a ?b", 0,
            { "温馨提示|批量撤单\n成功数量:0\n失败数量:2", "温馨提示|ok a" }, {}, {}, "+" },
        { "time limit of a run the page left", true, "s:a s:b e L -a T ?b", 0, {},
            { "温馨提示|批量撤单\n成功数量:0\n失败数量:2" }, {} },
        { "unknown never told before", false, "s:a L ?a", 0, {}, { "错误|unknown a" }, {} },
        { "late unknowns after the page stopped waiting", true, "s:a s:b s:c e +a B ?b +c", 1,
            { "温馨提示|ok c" }, {}, {} },
        // Told once: a refusal without a handle after the outcome was told
        // is no second box.
        { "refusal after the outcome was told", false, "s:a L +a -", 0, {}, { "温馨提示|ok a" }, {} },
        // Shown again once after the logout, not again when dismissed again.
        { "box dismissed by the logout, twice", false, "s:a L +a O D W D W", 0, {}, { "温馨提示|ok a" },
            { "温馨提示|" + account + "ok a" } },
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
        QString late;
        bool readBeforeTheLast = false; // read while an answer of the action was still out
        auto& relay = ActionOutcomeRelay::start<TestActionRelay>(
            ActionOutcomeRelay::pageOf(*page,
                [&](bool accepted) {
                    late += accepted ? u'+' : u'-';
                    readBeforeTheLast = readBeforeTheLast || ActionOutcomeRelay::pendingCount() != waiting;
                }),
            *page, [](const QString& r) { return r; }, row.run);
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
            case 'T':
                relay.timeLimitPassed(QStringLiteral("limit"));
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
                anyWindow.answerAll(0);
                break;
            case 't':
                ActionOutcomeRelay::tell(MenuItemViewManager::getInstance()->window(),
                    AlertRequest::tip(QStringLiteral("told")), QStringLiteral("010100000001"));
                break;
            case 'W': {
                bool passed = false;
                QTimer::singleShot(0, [&passed] { passed = true; });
                ASSERT_TRUE(testsupport::spinUntil([&] { return passed; }));
                break;
            }
            }
        }
        // The box shown again after a logout goes on the next pass.
        if (!row.onAny.isEmpty())
            ASSERT_TRUE(testsupport::spinUntil([&] { return !anyWindow.shown.isEmpty(); }));
        EXPECT_EQ(page->heard, row.heard);
        EXPECT_EQ(late, QString::fromLatin1(row.late));
        EXPECT_FALSE(readBeforeTheLast);
        EXPECT_EQ(pageWindow.shown, row.onPage);
        EXPECT_EQ(mainWindow.shown, row.onMain);
        EXPECT_EQ(anyWindow.shown, row.onAny);
        EXPECT_EQ(ActionOutcomeRelay::pendingCount(), waiting);
        if (!AccountManager::getInstance()->getActiveLoginAccount())
            shelltest::addLoggedInAccounts(*AccountManager::getInstance(), { "010100000001", "010100000002" });
    }
}
