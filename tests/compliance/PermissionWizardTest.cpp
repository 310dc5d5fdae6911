#include "ComplianceTestRig.h"
#include "compliance/permissions/PermissionSettingsManager.h"
#include "compliance/permissions/PermissionSettingsViewController.h"
#include "core/UserDefaultConfig.h"
#include "platform/RunLoop.h"
#include "platform/WebView.h"
#include "shell/pages/ActionOutcomeRelay.h"
#include "shell/pages/MenuItemViewManager.h"
#include "tools/broker-sim/PermissionFunctions.h"
#include "tools/broker-sim/Table.h"

#include <QScopeGuard>

namespace {

using namespace std::chrono_literals;
using testsupport::spinUntil;
using Body = PermissionAlertWindowController::Body;
using brokersim::kPermissionOpenFunction;
using brokersim::kPermissionSignFunction;
const QString kUnknown = QString::fromUtf8(kPermissionAccessUnknownOutcome);

// Records every sheet as "<title>:<text>"; answers at once unless held, and
// closes held sheets that close on a lock at notification type 20.
struct Sheets : AlertPresenter {
    QStringList shown;
    bool hold = false;
    std::vector<std::pair<AlertRequest, Completion>> open;
    // After the fixture's set-up, which clears the centre.
    void listen()
    {
        NotificationCenter::getInstance()->addObserver(static_cast<const void*>(this), [this] {
            std::erase_if(open, [](auto& s) {
                if (!s.first.closesOnLock)
                    return false;
                if (s.second)
                    s.second(0);
                return true;
            });
        }, PermissionAlertWindowController::kCloseMessageBoxes);
    }
    ~Sheets() override { NotificationCenter::getInstance()->removeObserver(static_cast<const void*>(this)); }
    void runAlert(const AlertRequest& request, Completion completion) override
    {
        shown << request.title + ":" + request.text;
        if (hold)
            open.emplace_back(request, std::move(completion));
        else if (completion)
            completion(1);
    }
};

// Keeps the wizards the page runs and gives them the recording sheets.
struct Presenter : IPermissionWizardPresenter {
    Sheets* sheets = nullptr;
    std::shared_ptr<PermissionAlertWindowController> last;
    bool present(const std::shared_ptr<PermissionAlertWindowController>& wizard, QObject*) override
    {
        wizard->setAlertPresenter(sheets);
        last = wizard;
        return true;
    }
};

class PermissionWizardTest : public compliancetest::RiskSimulatorFixture {
protected:
    void SetUp() override
    {
        RiskSimulatorFixture::SetUp();
        PermissionSettingsManager::resetInstance();
        presenter.sheets = &sheets;
        sheets.listen();
        logIn(QStringLiteral("010100000001"), QStringLiteral("111111"));
    }
    void TearDown() override
    {
        presenter.last.reset();
        PermissionSettingsManager::resetInstance();
        RiskSimulatorFixture::TearDown();
    }

    // The countdown timer never fires by itself: tick() is the fake clock.
    PermissionSettingsPageServices services()
    {
        PermissionSettingsPageServices s;
        s.wizardPresenter = &presenter;
        s.wizard.makeTimer = [this](std::function<void()> tick) {
            auto timer = std::make_unique<platform::RunLoopTimer>(3600.0, true,
                platform::RunLoopModes::common(), std::move(tick));
            timers.push_back(timer.get());
            return timer;
        };
        return s;
    }
    void tick() { timers.back()->fire(); }

    std::unique_ptr<PermissionSettingsViewController> openPage()
    {
        auto page = std::make_unique<PermissionSettingsViewController>(nullptr, services());
        page->load();
        EXPECT_TRUE(spinUntil([&] { return page->numberOfRowsInTableView() == 3; }, 10s));
        return page;
    }
    PermissionAlertWindowController& runWizard(PermissionSettingsViewController& page, qsizetype row)
    {
        page.operateButtonSelected(row);
        EXPECT_TRUE(presenter.last);
        EXPECT_TRUE(spinUntil([&] { return !presenter.last->state().waiting; }, 10s));
        return *presenter.last;
    }
    bool idle(const PermissionAlertWindowController& w)
    {
        return spinUntil([&] { const auto& s = w.state(); return s.closed || !(s.waiting || s.signing || s.submitting); }, 10s);
    }

    Sheets sheets;
    Presenter presenter;
    std::vector<platform::RunLoopTimer*> timers;
};

TEST_F(PermissionWizardTest, CountdownSignWebAndQuestionnaireStepsOpenThePermission)
{
    auto page = openPage();
    EXPECT_EQ(page->objectValueForTableColumn(QStringLiteral("status"), 0), QStringLiteral("未开通"));
    EXPECT_EQ(page->objectValueForTableColumn(QStringLiteral("operate"), 0), QStringLiteral("开通"));
    EXPECT_EQ(page->objectValueForTableColumn(QStringLiteral("other"), 0), std::nullopt);
    EXPECT_EQ(page->objectValueForTableColumn(QStringLiteral("status"), 3), std::nullopt);
    int result = -1;
    page->operateButtonSelected(0);
    ASSERT_TRUE(presenter.last);
    QObject::connect(presenter.last.get(), &PermissionAlertWindowController::finished, [&](int r) { result = r; });
    PermissionAlertWindowController& w = *presenter.last;
    EXPECT_TRUE(w.state().waiting);
    EXPECT_FALSE(w.state().cancelEnabled);
    ASSERT_TRUE(idle(w));
    ASSERT_EQ(w.contracts().size(), 3u);

    // Step 1: a text agreement with a three-second countdown and a sign link.
    const QString check = QStringLiteral("本人已阅读并同意《创业板投资风险揭示书》");
    EXPECT_EQ(w.state().body, Body::Text);
    EXPECT_EQ(w.state().tip, QStringLiteral("请仔细阅读协议内容"));
    EXPECT_EQ(w.state().confirmTitle, QStringLiteral("接受"));
    QStringList titles { w.state().checkTitle };
    for (int i = 0; i < 3; ++i) {
        EXPECT_FALSE(w.state().checkEnabled);
        w.checkButtonClicked(true); // refused while counting
        EXPECT_FALSE(w.state().confirmEnabled);
        tick();
        titles << w.state().checkTitle;
    }
    EXPECT_EQ(titles, QStringList({ check + "(3)", check + "(2)", check + "(1)", check }));
    EXPECT_TRUE(w.state().checkEnabled);
    EXPECT_FALSE(timers.back()->isActive());
    w.checkButtonClicked(true);
    EXPECT_TRUE(w.state().confirmEnabled);
    w.checkButtonClicked(false);
    EXPECT_FALSE(w.state().confirmEnabled);
    w.checkButtonClicked(true);

    // A failed sign keeps the step; the next one signs and moves on.
    sim.answerErrorNext(kPermissionSignFunction, 9, QStringLiteral("签署服务暂停"));
    w.confirmButtonClicked();
    EXPECT_TRUE(w.state().signing);
    EXPECT_FALSE(w.state().cancelEnabled);
    ASSERT_TRUE(idle(w));
    EXPECT_EQ(sheets.shown.last(), QStringLiteral("错误:签署服务暂停"));
    EXPECT_EQ(w.contractIndex(), 0u);
    EXPECT_TRUE(w.state().confirmEnabled);
    w.confirmButtonClicked();
    ASSERT_TRUE(spinUntil([&] { return w.contractIndex() == 1; }, 10s));
    EXPECT_EQ(sheets.shown.last(), QStringLiteral("温馨提示:《创业板投资风险揭示书》签署成功"));

    // Step 2: the web agreement, no countdown; its sign answers no message.
    EXPECT_EQ(w.state().body, Body::Web);
    EXPECT_TRUE(w.state().url.toString().endsWith(QStringLiteral("/agreements/cyb-rule.html")));
    // The page itself comes from the simulator's HTTP front.
    platform::NetworkWebPageLoader loader(5s);
    std::optional<platform::WebPage> agreement;
    auto token = loader.load(w.state().url, [&](const platform::WebPage& p) { agreement = p; });
    ASSERT_TRUE(spinUntil([&] { return agreement.has_value(); }, 10s));
    EXPECT_TRUE(agreement->html.contains(QStringLiteral("创业板交易特别规定")))
        << qPrintable(agreement->error.value_or(QString()));
    EXPECT_TRUE(w.state().checkEnabled);
    EXPECT_FALSE(w.state().confirmEnabled);
    EXPECT_TRUE(w.state().tip.isEmpty());
    w.checkButtonClicked(true);
    const qsizetype sheetsBefore = sheets.shown.size();
    w.confirmButtonClicked();
    ASSERT_TRUE(spinUntil([&] { return w.contractIndex() == 2; }, 10s));
    EXPECT_EQ(sheets.shown.size(), sheetsBefore);

    // Step 3: the questionnaire, the last step.
    EXPECT_EQ(w.state().body, Body::Questionnaire);
    EXPECT_EQ(w.state().confirmTitle, QStringLiteral("确定"));
    EXPECT_FALSE(w.state().checkVisible);
    w.riskAssessmentTableViewCell(0, 1);
    w.riskAssessmentTableViewCell(1, 1);
    w.confirmButtonClicked();
    EXPECT_EQ(sheets.shown.last(), QStringLiteral("温馨提示:第3道题未答,请完成答题后提交"));
    EXPECT_EQ(sim.receivedCount(brokersim::kRiskSubmitFunction), 0);
    for (auto [q, a] : { std::pair { 2, 1 }, { 2, 2 }, { 3, 1 }, { 4, 2 } })
        w.riskAssessmentTableViewCell(q, a);

    // Two quick confirms, and a third while the score query waits: one
    // submission. Neither the submission nor the score query disables a
    // button. The open request then fails once.
    sim.answerErrorNext(kPermissionOpenFunction, 3009, QStringLiteral("系统繁忙"));
    sim.withholdNext(brokersim::kRiskScoreFunction);
    w.confirmButtonClicked();
    EXPECT_TRUE(w.state().submitting);
    EXPECT_TRUE(w.state().confirmEnabled);
    EXPECT_TRUE(w.state().cancelEnabled);
    w.confirmButtonClicked();
    ASSERT_TRUE(spinUntil([&] { return sim.withheldCount() == 1; }, 10s));
    w.confirmButtonClicked();
    EXPECT_TRUE(w.state().confirmEnabled);
    EXPECT_TRUE(w.state().cancelEnabled);
    sim.releaseWithheld();
    ASSERT_TRUE(spinUntil([&] { return sim.receivedCount(kPermissionOpenFunction) == 1 && !w.state().waiting; }, 10s));
    EXPECT_EQ(sim.receivedCount(brokersim::kRiskSubmitFunction), 1);
    EXPECT_TRUE(sheets.shown.contains(QStringLiteral("测评结果:内容：您本次测评的得分为：15，评级级别为：积极型")));
    EXPECT_EQ(sheets.shown.last(), QStringLiteral("错误:系统繁忙"));
    EXPECT_EQ(w.contractIndex(), 2u);
    EXPECT_EQ(result, -1);

    // Confirming again repeats the step and opens the permission.
    w.confirmButtonClicked();
    ASSERT_TRUE(spinUntil([&] { return result != -1; }, 10s));
    EXPECT_EQ(result, 1);
    EXPECT_EQ(sheets.shown.last(), QStringLiteral("温馨提示:创业板交易权限开通成功"));
    ASSERT_TRUE(spinUntil([&] { return page->permissions()[0].status == 1; }, 10s));
    EXPECT_EQ(page->objectValueForTableColumn(QStringLiteral("status"), 0), QStringLiteral("已开通"));
    EXPECT_EQ(page->objectValueForTableColumn(QStringLiteral("operate"), 0), QStringLiteral("关闭"));
}

// Steps that remain title the confirm button "下一步" unless they sign; the
// open answer, with or without a message, leaves the busy state and shows
// its notice, and the wizard ends with 1 only when that is dismissed.
TEST_F(PermissionWizardTest, StepsLeftSayNextAndTheOpenNoticeEndsTheWizard)
{
    auto page = openPage();
    brokersim::Table steps;
    for (const char* name : { "type", "title", "content", "webaddr", "ans", "locktime", "tips", "showtips" })
        steps.column(QString::fromLatin1(name));
    const QString sign = QStringLiteral("tc_mfuncno=500&tc_sfuncno=3202&rightcode=fxjs&agmtid=fxjs-risk");
    for (const QString& ans : { sign, QString(), QString(), QString() })
        steps.row({ QStringLiteral("T"), QStringLiteral("须知"), QStringLiteral("内容"), QString(), ans,
            QStringLiteral("0"), QString(), QString() });
    sim.answerTablesNext(brokersim::kPermissionContractFunction, { steps });
    sim.answerTablesNext(
        kPermissionOpenFunction, { brokersim::Table().column(QStringLiteral("~msgok")).row({ QString() }) });
    sheets.hold = true;
    PermissionAlertWindowController& w = runWizard(*page, 1);
    int result = -1;
    QObject::connect(&w, &PermissionAlertWindowController::finished, [&](int r) { result = r; });
    QStringList titles;
    while (titles.size() < 4) {
        titles << w.state().confirmTitle;
        const quint64 step = w.contractIndex();
        w.confirmButtonClicked();
        if (step + 1 < w.contracts().size())
            ASSERT_TRUE(spinUntil([&] { return w.contractIndex() == step + 1; }, 10s));
    }
    EXPECT_EQ(titles, QStringList({ "接受", "下一步", "下一步", "确定" }));
    // The sign's message and the open notice are up.
    ASSERT_TRUE(spinUntil([&] { return sheets.open.size() == 2 || w.state().closed; }, 10s));
    EXPECT_FALSE(w.state().waiting);
    EXPECT_TRUE(w.state().confirmEnabled && w.state().cancelEnabled);
    ASSERT_EQ(sheets.open.size(), 2u);
    EXPECT_EQ(sheets.shown.last(), QStringLiteral("温馨提示:"));
    EXPECT_EQ(result, -1);
    // The open notice read first ends it only once the sign's is read too,
    // as it would go with the wizard's window.
    sheets.open.back().second(1);
    EXPECT_EQ(result, -1);
    sheets.open.front().second(1);
    EXPECT_EQ(result, 1);
}

TEST_F(PermissionWizardTest, LockEndsOnlyTheWizardAndLateRepliesReachNobody)
{
    auto page = openPage();
    const qsizetype lists = sim.receivedCount(brokersim::kPermissionListFunction);
    sheets.hold = true;

    // A signed step: its message sheet and the open message stay open ...
    PermissionAlertWindowController& w = runWizard(*page, 1);
    int result = -1;
    QObject::connect(&w, &PermissionAlertWindowController::finished, [&](int r) { result = r; });
    w.checkButtonClicked(true);
    w.confirmButtonClicked();
    ASSERT_TRUE(spinUntil([&] { return sheets.open.size() == 2; }, 10s)); // the sign and the open message
    // ... until the screen locks: the wizard ends with 0, and both go with
    // its window unread (read late, as this rig lets them be, they count for
    // nothing).
    NotificationCenter::getInstance()->postNotification(PermissionAlertWindowController::kLockScreen);
    EXPECT_EQ(result, 0);
    ASSERT_EQ(sheets.open.size(), 2u);
    for (auto& sheet : std::exchange(sheets.open, {}))
        sheet.second(1);
    EXPECT_EQ(result, 0);
    // The permission opened all the same: the list shows it.
    EXPECT_TRUE(
        spinUntil([&] { return sim.receivedCount(brokersim::kPermissionListFunction) == lists + 1; }, 10s));

    // A wizard that goes while its list is on its way hears nothing of it.
    sim.withholdNext(brokersim::kPermissionContractFunction);
    page->operateButtonSelected(0);
    ASSERT_TRUE(spinUntil([&] { return sim.withheldCount() == 1; }, 10s));
    std::weak_ptr<PermissionAlertWindowController> gone = presenter.last;
    presenter.last->windowWillClose();
    presenter.last.reset();
    spinUntil([&] { return gone.expired(); }, 2s);
    EXPECT_TRUE(gone.expired());
    sim.releaseWithheld();
    spinUntil([] { return false; }, 200ms);
}

TEST_F(PermissionWizardTest, ClosingWithOneStepAndWizardsThatEndAtOnce)
{
    auto page = openPage();
    // Account protection redraws the account column at once, masked.
    int redraws = 0;
    QObject::connect(page.get(), &PermissionSettingsViewController::changed, [&] { ++redraws; });
    EXPECT_EQ(page->objectValueForTableColumn(QStringLiteral("account"), 2), page->permissions()[2].secuid);
    UserDefaultConfig::getInstance()->setAccountProtectOption(true);
    NotificationCenter::getInstance()->postNotification(pagenotify::kAccountProtectOptionChanged);
    EXPECT_GE(redraws, 1);
    EXPECT_NE(page->objectValueForTableColumn(QStringLiteral("account"), 2), page->permissions()[2].secuid);

    // The opened permission: one step without sign link or check box closes it
    // with the first confirm; the button keeps the window's own title.
    PermissionAlertWindowController& w = runWizard(*page, 2);
    ASSERT_EQ(w.contracts().size(), 1u);
    EXPECT_TRUE(w.state().confirmTitle.isEmpty());
    EXPECT_TRUE(w.state().confirmEnabled);
    int result = -1;
    QObject::connect(&w, &PermissionAlertWindowController::finished, [&](int r) { result = r; });
    w.confirmButtonClicked();
    ASSERT_TRUE(spinUntil([&] { return result != -1; }, 10s));
    EXPECT_EQ(result, 1);
    EXPECT_EQ(sheets.shown.last(), QStringLiteral("温馨提示:退市整理股票交易权限关闭成功"));
    ASSERT_TRUE(spinUntil([&] { return page->permissions()[2].status == 0; }, 10s));

    // No open link: 0 at once, nothing asked. A failed list: its error, then 0.
    PermissionAlertWindowController bare(services().wizard);
    int bareResult = -1;
    QObject::connect(&bare, &PermissionAlertWindowController::finished, [&](int r) { bareResult = r; });
    bare.setAlertPresenter(&sheets);
    const qsizetype before = sim.receivedCount();
    bare.runModalForPermissionSettings(QStringLiteral("tc_mfuncno=500&tc_sfuncno=3201"), QString());
    EXPECT_EQ(bareResult, 0);
    EXPECT_EQ(sim.receivedCount(), before);

    PermissionAlertWindowController failing(services().wizard);
    int failingResult = -1;
    QObject::connect(&failing, &PermissionAlertWindowController::finished, [&](int r) { failingResult = r; });
    failing.setAlertPresenter(&sheets);
    failing.runModalForPermissionSettings(QStringLiteral("rightcode=x"), QStringLiteral("tc_mfuncno=500&tc_sfuncno=3203"));
    ASSERT_TRUE(spinUntil([&] { return failingResult != -1; }, 10s));
    EXPECT_EQ(failingResult, 0);
    EXPECT_TRUE(sheets.shown.last().startsWith(QStringLiteral("错误:权限链接缺少功能号")));
    EXPECT_EQ(sim.receivedCount(), before);
}

// A wizard that ends without opening -- cancelled at its first step, closed
// by its window, or ended by a failed agreement list -- leaves the page's
// rows as they are and asks for no new list.
TEST_F(PermissionWizardTest, AnAccountChangeEndsTheWizardOfThePreviousAccountsRow)
{
    auto page = openPage();
    PermissionAlertWindowController& w = runWizard(*page, 1);
    ASSERT_FALSE(w.state().closed);
    const qsizetype lists = sim.receivedCount(brokersim::kPermissionListFunction);
    NotificationCenter::getInstance()->postNotification(pagenotify::kActiveAccountChanged);
    // Its links belong to the previous account: nothing of it goes out.
    EXPECT_TRUE(w.state().closed);
    EXPECT_EQ(w.state().result, 0);
    EXPECT_FALSE(page->wizard());
    EXPECT_EQ(page->numberOfRowsInTableView(), 0);
    w.confirmButtonClicked();
    ASSERT_TRUE(spinUntil([&] { return page->numberOfRowsInTableView() == 3; }, 10s));
    EXPECT_EQ(sim.receivedCount(brokersim::kPermissionListFunction), lists + 1);
    EXPECT_EQ(sim.receivedCount(kPermissionOpenFunction), 0);
    EXPECT_EQ(sim.receivedCount(kPermissionSignFunction), 0);
}

TEST_F(PermissionWizardTest, AWizardEndedWithoutOpeningAsksForNoNewList)
{
    enum class Way { CancelButton, WindowClosed, ListFailed };
    const struct {
        const char* name;
        Way way;
    } cases[] = { { "cancel button", Way::CancelButton }, { "window closed", Way::WindowClosed },
        { "list failed", Way::ListFailed } };
    auto page = openPage();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const qsizetype lists = sim.receivedCount(brokersim::kPermissionListFunction);
        const std::vector<RDOPermission> rows = page->permissions();
        if (c.way == Way::ListFailed)
            sim.answerErrorNext(brokersim::kPermissionContractFunction, 9, QStringLiteral("协议查询失败"));
        PermissionAlertWindowController& w = runWizard(*page, 1);
        int result = -1;
        QObject::connect(&w, &PermissionAlertWindowController::finished, [&](int r) { result = r; });
        if (c.way == Way::CancelButton) {
            ASSERT_TRUE(w.state().cancelEnabled);
            w.cancelButtonClicked();
        } else if (c.way == Way::WindowClosed) {
            w.windowWillClose();
        }
        ASSERT_TRUE(spinUntil([&] { return result != -1 || w.state().closed; }, 10s));
        EXPECT_TRUE(w.state().closed);
        EXPECT_EQ(w.state().result, 0);
        spinUntil([] { return false; }, 200ms);
        EXPECT_EQ(sim.receivedCount(brokersim::kPermissionListFunction), lists);
        EXPECT_EQ(sim.receivedCount(kPermissionOpenFunction), 0);
        ASSERT_EQ(page->permissions().size(), rows.size());
        EXPECT_FALSE(page->wizard());
    }
}

} // namespace

// Only the list asked last is shown: one asked before (the set-up's, or one
// read again after a wizard) and answered late never puts its rows back.
TEST_F(PermissionWizardTest, OnlyTheListAskedLastIsShown)
{
    QStringList asked;
    PermissionSettingsPageServices s = services();
    s.listSource = [&](IQueryPermissionInfoDelegate*) {
        asked << QStringLiteral("list-%1").arg(asked.size() + 1);
        return asked.last();
    };
    PermissionSettingsViewController page(nullptr, s);
    page.load();
    ASSERT_EQ(asked, QStringList { QStringLiteral("list-1") });
    RDOPermission opened;
    opened.title = QStringLiteral("创业板交易权限");
    opened.status = 1;
    RDOPermission closed = opened;
    closed.status = 0;
    page.queryPermissionInfo(nullptr, QStringLiteral("list-1"), { closed, closed });
    ASSERT_EQ(page.numberOfRowsInTableView(), 2);

    // Another account asks again; the first list, answered again late, and
    // an unknown handle are dropped.
    NotificationCenter::getInstance()->postNotification(pagenotify::kActiveAccountChanged);
    ASSERT_TRUE(spinUntil([&] { return asked.size() == 2; }));
    page.queryPermissionInfo(nullptr, QStringLiteral("list-1"), { closed, closed, closed });
    page.queryPermissionInfo(nullptr, QString(), { closed, closed, closed });
    EXPECT_EQ(page.numberOfRowsInTableView(), 0);
    page.queryPermissionInfo(nullptr, QStringLiteral("list-2"), { opened });
    ASSERT_EQ(page.numberOfRowsInTableView(), 1);
    EXPECT_EQ(page.permissions()[0].status, 1);
    // Its answer came: an echo of it changes nothing either.
    page.queryPermissionInfo(nullptr, QStringLiteral("list-2"), { closed });
    EXPECT_EQ(page.permissions()[0].status, 1);
}

// An open or close answered after its wizard ended is told once, on the main
// window: after the lock the page reads its list again and shows the change;
// a page left or another account reads nothing more, and the box then names
// the account it was sent for. So are a sign, also of unknown outcome, and
// the answers of a step. The messages up at the lock are told again on the
// main window, where they wait for the unlock or, dismissed by the logout,
// show once more naming the account; the list shows the change.
TEST_F(PermissionWizardTest, AChangeAnsweredAfterItsWizardEndedIsToldAndShown)
{
    enum class Way { Lock, PageLeft, AccountChange, LockOverMessages, AccountChangeOverMessages };
    enum class Action { Open, Sign, Submit };
    using brokersim::kRiskScoreFunction;
    const struct {
        Action action;
        Way way;
        std::optional<brokersim::Function> withheld = {}; // else the action's own
        std::optional<brokersim::Function> refusedBy = {}; // its refusal up
        bool unmatched = false; // the answers taken, the permission not matched
    } rows[] = {
        { Action::Open, Way::Lock },
        { Action::Open, Way::PageLeft },
        { Action::Open, Way::AccountChange },
        { Action::Sign, Way::Lock },
        { Action::Submit, Way::PageLeft },
        { Action::Submit, Way::Lock, kRiskScoreFunction }, // taken, its result on its way
        { Action::Open, Way::LockOverMessages }, // then the logout
        { Action::Submit, Way::LockOverMessages }, // its result up
        { Action::Open, Way::AccountChangeOverMessages },
        { Action::Sign, Way::LockOverMessages, {}, kPermissionSignFunction },
        { Action::Submit, Way::LockOverMessages, {}, brokersim::kRiskSubmitFunction },
        { Action::Submit, Way::LockOverMessages, {}, kRiskScoreFunction },
        { Action::Submit, Way::LockOverMessages, {}, {}, true },
        { Action::Open, Way::LockOverMessages, {}, kPermissionOpenFunction },
    };
    Sheets mainWindow, anyWindow;
    MenuItemViewManager::getInstance()->setWindow(&mainWindow);
    ActionOutcomeRelay::setAnyWindow(&anyWindow);
    const auto noWindow = qScopeGuard([] {
        MenuItemViewManager::getInstance()->setWindow(nullptr);
        ActionOutcomeRelay::setAnyWindow(nullptr);
    });
    AccountManager& accounts = *AccountManager::getInstance();
    const qint64 firstIndex = accounts.activeAccountIndex();
    auto other = std::make_shared<Account>();
    other->customerNumber = QStringLiteral("010100000002");
    int asks = 0; // the page's lists, counted as they are asked
    PermissionSettingsPageServices s = services();
    s.listSource = [&](IQueryPermissionInfoDelegate* page) {
        ++asks;
        return PermissionSettingsManager::getInstance()->requestQueryPermissionInfo(page);
    };
    for (const auto& row : rows) {
        const Way way = row.way;
        SCOPED_TRACE(int(way) * 10 + int(row.action));
        const bool messageUp = way == Way::LockOverMessages || way == Way::AccountChangeOverMessages;
        const bool accountChange = way == Way::AccountChange || way == Way::AccountChangeOverMessages;
        auto page = std::make_unique<PermissionSettingsViewController>(nullptr, s);
        page->load();
        ASSERT_TRUE(spinUntil([&] { return page->numberOfRowsInTableView() == 3; }, 10s));
        const int status = page->permissions()[2].status; // closed and opened again, row after row
        const QString signed2 = QStringLiteral("温馨提示:《退市整理股票风险揭示书》签署成功");
        QStringList told { QStringLiteral("温馨提示:退市整理股票交易权限%1成功")
                               .arg(status == 1 ? QStringLiteral("关闭") : QStringLiteral("开通")) };
        PermissionAlertWindowController* w = nullptr;
        sheets.hold = messageUp;
        if (row.action == Action::Open) {
            w = &runWizard(*page, 2);
            w->checkButtonClicked(true);
            if (!messageUp)
                sim.withholdNext(kPermissionOpenFunction);
            else if (status == 0) // the agreement signed first: its message is up too
                told.prepend(signed2);
        } else if (row.action == Action::Sign) {
            w = &runWizard(*page, 1);
            w->checkButtonClicked(true);
            if (!messageUp) {
                sim.withholdNext(kPermissionSignFunction);
                // Its connection lost: an unknown outcome, told all the same.
                told = QStringList { QStringLiteral("错误:无法连接网络或者网络断开连接") };
            }
        } else {
            // A questionnaire the only step.
            brokersim::Table step;
            step.column(QStringLiteral("type")).column(QStringLiteral("webaddr")).row({ "answer", "2" });
            sim.answerTablesNext(
                brokersim::kPermissionContractFunction, { step, brokersim::riskQuestionnaireTable() });
            w = &runWizard(*page, 0);
            for (auto [q, a] : { std::pair { 0, 1 }, { 1, 1 }, { 2, 1 }, { 2, 2 }, { 3, 1 }, { 4, 2 } })
                w->riskAssessmentTableViewCell(q, a);
            if (row.unmatched) {
                brokersim::Table match;
                match.column(QStringLiteral("isOK"))
                    .column(QStringLiteral("reason"))
                    .row({ "1", "等级不匹配" });
                sim.answerTablesNext(kRiskScoreFunction, { match });
                told = QStringList { QStringLiteral("测评结果:等级不匹配") };
            } else if (messageUp) {
                told = QStringList { QStringLiteral(
                    "测评结果:内容：您本次测评的得分为：15，评级级别为：积极型") };
            } else {
                sim.withholdNext(row.withheld.value_or(brokersim::kRiskSubmitFunction));
                told = QStringList { QStringLiteral("温馨提示:风险测评提交成功，您的风险等级为积极型") };
            }
        }
        if (row.refusedBy) {
            sim.answerErrorNext(*row.refusedBy, 9, QStringLiteral("服务暂停"));
            told.last() = QStringLiteral("%1:服务暂停")
                              .arg(*row.refusedBy == kRiskScoreFunction ? QStringLiteral("错误提示")
                                                                        : QStringLiteral("错误"));
        }
        w->confirmButtonClicked();
        if (messageUp)
            ASSERT_TRUE(spinUntil([&] { return sheets.open.size() == std::size_t(told.size()); }, 10s));
        else
            ASSERT_TRUE(spinUntil([&] { return sim.withheldCount() == 1; }, 10s));
        const qsizetype sheetsShown = sheets.shown.size();
        const int asked = asks;
        mainWindow.hold = messageUp;
        if (way == Way::PageLeft) {
            page->unloadView();
            page.reset();
        } else if (accountChange) {
            accounts.addActiveAccount(other);
            NotificationCenter::getInstance()->postNotification(pagenotify::kActiveAccountChanged);
        } else {
            // The lock closes the message boxes first, then the windows.
            NotificationCenter* centre = NotificationCenter::getInstance();
            centre->postNotification(PermissionAlertWindowController::kCloseMessageBoxes);
            centre->postNotification(PermissionAlertWindowController::kLockScreen);
        }
        ASSERT_TRUE(w->state().closed);
        if (row.action == Action::Sign && !messageUp)
            sim.dropConnections();
        sim.releaseWithheld();
        ASSERT_TRUE(spinUntil([] { return ActionOutcomeRelay::pendingCount() == 0; }, 10s));
        for (QString& box : told)
            if (accountChange)
                box.insert(box.indexOf(u':') + 1, QStringLiteral("账号010100000001：\n"));
        EXPECT_EQ(mainWindow.shown, told);
        EXPECT_EQ(sheets.shown.size(), sheetsShown); // nothing on the ended wizard's window
        const bool readAgain = row.action == Action::Open && !row.refusedBy
            && (way == Way::Lock || way == Way::LockOverMessages);
        // Another account's page reads its own list.
        EXPECT_EQ(asks, asked + (readAgain || accountChange ? 1 : 0));
        if (readAgain)
            EXPECT_TRUE(spinUntil(
                [&] {
                    return page->numberOfRowsInTableView() == 3 && page->permissions()[2].status != status;
                },
                10s));
        if (messageUp) {
            // Held by the lock, dismissed unread by the logout from it.
            accounts.logoutAllAccount();
            for (auto& box : std::exchange(mainWindow.open, {}))
                box.second(0);
            ASSERT_TRUE(spinUntil([&] { return anyWindow.shown.size() == told.size(); }));
            for (QString& box : told)
                if (!accountChange)
                    box.insert(box.indexOf(u':') + 1, QStringLiteral("账号010100000001：\n"));
            EXPECT_EQ(anyWindow.shown, told);
            anyWindow.shown.clear();
            logIn(QStringLiteral("010100000001"), QStringLiteral("111111"));
        }
        page.reset();
        presenter.last.reset();
        sheets.open.clear();
        accounts.setActiveLoginAccount(firstIndex);
        mainWindow.shown.clear();
    }
}

// An open or close that failed is told in the words every other box uses:
// the client's own failures as the user reads them, the server's as sent.
TEST(PermissionAccessWords, AFailureIsToldAsEveryBoxTellsIt)
{
    const struct {
        CSError error;
        const char* told;
    } rows[] = {
        { CSErrors::requestTimeout(), "请求超时" },
        { CSErrors::networkDisconnect(), "无法连接网络或者网络断开连接" },
        { { QStringLiteral("权限已开通"), 6, true }, "权限已开通" },
    };
    for (const auto& row : rows)
        EXPECT_EQ(PermissionAccessRelay::failureText(row.error), QString::fromUtf8(row.told));
}

// An open whose answer timed out: the wizard says its outcome is unknown,
// and the server did open it. The list is owed until read again in the
// account's rounds: a read that fails keeps the old status shown as maybe
// out of date, and the next round (here the trade logon) shows the status
// the server has.
TEST_F(PermissionWizardTest, AnOpenLeftUnknownHasTheListReadInRoundsUntilItComes)
{
    OwedReads::getInstance()->setRoundDelays({ 1h, 1h, 1h });
    auto page = openPage();
    const int status = page->permissions()[2].status;
    PermissionAlertWindowController& w = runWizard(*page, 2);
    w.checkButtonClicked(true);
    sim.withholdNext(kPermissionOpenFunction);
    w.confirmButtonClicked();
    ASSERT_TRUE(spinUntil([&] { return sim.withheldCount() == 1; }, 10s));
    sim.answerErrorNext(brokersim::kPermissionListFunction, -1, QStringLiteral("系统忙"), 10);
    const qsizetype lists = sim.receivedCount(brokersim::kPermissionListFunction);
    const std::shared_ptr<CSNetwork> trade
        = NetworkFactory::getInstance()->getNetwork(NetworkFactory::kTrade);
    trade->connectionSendPacketsTimeout(
        *trade->connection(), { quint64(sim.receivedOf(kPermissionOpenFunction).back().packetId) });
    sim.releaseWithheld(); // the server has opened it
    ASSERT_TRUE(spinUntil(
        [&] {
            return sheets.shown.contains(QStringLiteral("错误:请求超时，") + kUnknown)
                && OwedReads::getInstance()->roundWait() > 0ms;
        },
        10s));
    EXPECT_GT(sim.receivedCount(brokersim::kPermissionListFunction), lists);
    EXPECT_EQ(page->permissions()[2].status, status);
    EXPECT_EQ(page->figuresOutOfDate(), QStringList { owedfigure::kPermissions });
    EXPECT_TRUE(w.state().closed);
    sim.clearControls();
    DMNotificationCenter::getInstance()->postNotification(
        NetworkFactory::kServerServes, QVariant(int(NetworkFactory::kTrade)));
    ASSERT_TRUE(spinUntil([&] { return page->figuresOutOfDate().isEmpty(); }, 10s));
    EXPECT_NE(page->permissions()[2].status, status);
    EXPECT_EQ(sim.receivedCount(kPermissionOpenFunction), 1); // never sent again
}

// An open or close whose answer never comes is told once, as of unknown
// outcome in its own words: on the wizard while it runs, which then sends
// nothing again, whatever is pressed, and ends with 0 once it is read; on
// the main window when the wizard went meanwhile.
TEST_F(PermissionWizardTest, AnOpenOfUnknownOutcomeIsToldOnceAndNeverSentAgain)
{
    const struct {
        bool timesOut; // else its connection is lost
        bool windowClosed;
        const char* cause;
    } rows[] = {
        { true, false, "请求超时" },
        { false, false, "无法连接网络或者网络断开连接" },
        { true, true, "请求超时" },
    };
    Sheets mainWindow;
    MenuItemViewManager::getInstance()->setWindow(&mainWindow);
    const auto noWindow = qScopeGuard([] { MenuItemViewManager::getInstance()->setWindow(nullptr); });
    // One step, whatever the permission's status: confirming it sends the open.
    brokersim::Table step;
    for (const char* name : { "type", "title", "content", "webaddr", "ans", "locktime", "tips", "showtips" })
        step.column(QString::fromLatin1(name));
    step.row({ "T", "须知", "内容", "", "", "0", "", "" });
    auto page = openPage();
    sheets.hold = true;
    for (const auto& row : rows) {
        SCOPED_TRACE(testing::Message() << row.cause << (row.windowClosed ? " window closed" : ""));
        sheets.shown.clear();
        mainWindow.shown.clear();
        sim.answerTablesNext(brokersim::kPermissionContractFunction, { step });
        PermissionAlertWindowController& w = runWizard(*page, 2);
        int result = -1;
        QObject::connect(&w, &PermissionAlertWindowController::finished, [&](int r) { result = r; });
        const qsizetype opens = sim.receivedCount(kPermissionOpenFunction);
        sim.withholdNext(kPermissionOpenFunction);
        w.confirmButtonClicked();
        ASSERT_TRUE(spinUntil([&] { return sim.withheldCount() == 1; }, 10s));
        if (row.windowClosed)
            w.windowWillClose();
        if (row.timesOut) {
            const std::shared_ptr<CSNetwork> trade
                = NetworkFactory::getInstance()->getNetwork(NetworkFactory::kTrade);
            trade->connectionSendPacketsTimeout(
                *trade->connection(), { quint64(sim.receivedOf(kPermissionOpenFunction).back().packetId) });
        } else {
            sim.dropConnections();
        }
        Sheets& told = row.windowClosed ? mainWindow : sheets;
        ASSERT_TRUE(spinUntil([&] { return !told.shown.isEmpty(); }, 10s));
        EXPECT_EQ(told.shown,
            QStringList(QStringLiteral("错误:%1，").arg(QString::fromUtf8(row.cause)) + kUnknown));
        w.checkButtonClicked(true);
        w.confirmButtonClicked();
        EXPECT_FALSE(w.state().confirmEnabled);
        if (!row.windowClosed) {
            EXPECT_EQ(result, -1);
            ASSERT_EQ(sheets.open.size(), 1u);
            std::exchange(sheets.open, {}).front().second(1);
        }
        EXPECT_EQ(result, 0);
        sim.releaseWithheld();
        ASSERT_TRUE(spinUntil([] { return ActionOutcomeRelay::pendingCount() == 0; }, 10s));
        spinUntil([] { return false; }, 200ms);
        EXPECT_EQ(sim.receivedCount(kPermissionOpenFunction), opens + 1);
        EXPECT_EQ(sheets.shown.size() + mainWindow.shown.size(), 1);
        presenter.last.reset();
    }
}
