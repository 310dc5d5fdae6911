#include "ComplianceTestRig.h"
#include "compliance/RiskEvaluationWindowController.h"
#include "platform/RunLoop.h"
#include "shell/pages/MenuItemViewManager.h"

#include <QScopeGuard>

namespace {

using namespace std::chrono_literals;

RDOOpdAppropriateness notice(const QString& title, const QString& content, const QString& web = {})
{
    RDOOpdAppropriateness n;
    n.title = title;
    n.content = content;
    n.webUrl = web;
    return n;
}

// Keeps every window it is asked to show.
struct FakePresenter : IContractWindowPresenter {
    std::vector<std::shared_ptr<BusinessContractWindow>> shown;
    void present(const std::shared_ptr<BusinessContractWindow>& window, QObject*) override { shown.push_back(window); }
};

// Records message boxes as "error:" or "tip:" and their text; answers at
// once unless held.
struct FakeAlerts : AlertPresenter {
    QStringList shown;
    bool hold = false;
    std::vector<std::pair<AlertRequest, Completion>> held;
    void runAlert(const AlertRequest& request, Completion completion) override
    {
        shown << (request.title == QStringLiteral("错误") ? "error:" : "tip:") + request.text;
        if (hold)
            held.emplace_back(request, std::move(completion));
        else if (completion)
            completion(1);
    }
    // The lock closes the boxes that close on it first, as dismissed.
    void lock()
    {
        for (auto& [request, completion] : std::exchange(held, {}))
            if (request.closesOnLock && completion)
                completion(0);
    }
};

struct FakeSigner : IPermissionSigner {
    std::vector<std::pair<IPermissionSign*, QString>> requests;
    bool sends = true;
    QString requestPermissionSign(IPermissionSign* observer, const QString& link) override
    {
        requests.emplace_back(observer, link);
        return sends ? QStringLiteral("fixed") : QString();
    }
    // The last sign's answer, to whoever was given it to hear.
    template <class Answer> void answer(const Answer& answer)
    {
        requests.back().first->permissionSign(nullptr, QStringLiteral("fixed"), answer);
    }
};

struct Outcome : BusinessContractDelegate, RiskAssessmentViewControllerDeleagate {
    std::vector<bool> contracts;
    std::vector<bool> evaluations;
    void businessContractSuccess(bool agreed) override { contracts.push_back(agreed); }
    void riskEvaluationSucceed(bool succeeded) override { evaluations.push_back(succeeded); }
};

TEST(NoticeWindowTest, ButtonsFollowTheCheckBoxTheCancelTitleAndTheBody)
{
    BusinessContractWindow withCheck(notice(QStringLiteral("告知书"), QStringLiteral("正文"), QStringLiteral("https://a")));
    withCheck.windowDidLoad();
    EXPECT_EQ(withCheck.state().windowTitle, QStringLiteral("告知书"));
    EXPECT_EQ(withCheck.state().body, BusinessContractWindow::Body::Text); // text wins over a web address
    EXPECT_FALSE(withCheck.state().agreeEnabled);
    withCheck.agreeButtonClick(); // refused while the box is off
    EXPECT_FALSE(withCheck.state().closed);
    withCheck.checkButtonClick(true);
    EXPECT_TRUE(withCheck.state().agreeEnabled);
    withCheck.checkButtonClick(false);
    EXPECT_FALSE(withCheck.state().agreeEnabled);

    BusinessContractWindow web(notice(QString(), QString(), QStringLiteral("https://a")));
    web.canCancel = false;
    web.windowDidLoad();
    EXPECT_EQ(web.state().body, BusinessContractWindow::Body::Web);
    EXPECT_FALSE(web.state().cancelVisible);
    EXPECT_TRUE(web.state().agreeCentred);

    for (const QString& alter : { QString(), QStringLiteral("稍后重新评估") }) {
        BusinessContractWindow status(QStringLiteral("请重新评估"), QStringLiteral("马上重新评估"), alter);
        status.windowDidLoad();
        EXPECT_EQ(status.state().cancelVisible, !alter.isEmpty());
        EXPECT_FALSE(status.state().checkVisible);
        EXPECT_TRUE(status.state().agreeEnabled);
        EXPECT_EQ(status.state().agreeTitle, QStringLiteral("马上重新评估"));
        EXPECT_TRUE(status.state().compactHeight);
        int result = -1;
        QObject::connect(&status, &BusinessContractWindow::finished, [&](int r) { result = r; });
        status.agreeButtonClick();
        status.cancelButtonClick(); // once closed, nothing more
        EXPECT_EQ(result, kContractAgreed);
    }
}

// The notice loaded, its box ticked and agreed to; `result` hears how it ends.
void agreeTo(BusinessContractWindow& window, AlertPresenter& alerts, int& result)
{
    window.setAlertPresenter(&alerts);
    QObject::connect(&window, &BusinessContractWindow::finished, [&result](int r) { result = r; });
    window.windowDidLoad();
    window.checkButtonClick(true);
    window.agreeButtonClick();
}

TEST(NoticeWindowTest, SignedBeforeItCountsAsAgreed)
{
    FakeSigner signer;
    FakeAlerts alerts;
    RDOOpdAppropriateness n = notice(QStringLiteral("协议"), QStringLiteral("正文"));
    n.problemConfirmUrl = QStringLiteral("tc_mfuncno=500&tc_sfuncno=9&x=1");
    BusinessContractWindow window(n, &signer);
    int result = -1;
    agreeTo(window, alerts, result);
    ASSERT_EQ(signer.requests.size(), 1u);
    EXPECT_EQ(signer.requests[0].second, n.problemConfirmUrl);
    EXPECT_TRUE(window.state().busy);
    EXPECT_FALSE(window.state().cancelEnabled);
    window.agreeButtonClick(); // while busy: nothing sent again
    EXPECT_EQ(signer.requests.size(), 1u);

    signer.answer(CSError { QStringLiteral("签署失败"), 7 });
    EXPECT_EQ(alerts.shown, QStringList({ "error:签署失败" }));
    EXPECT_FALSE(window.state().busy);
    EXPECT_FALSE(window.state().closed);
    EXPECT_TRUE(window.state().agreeEnabled);

    window.agreeButtonClick();
    signer.answer(QStringLiteral("签署成功"));
    EXPECT_EQ(alerts.shown.last(), QStringLiteral("tip:签署成功"));
    EXPECT_EQ(result, kContractAgreed);

    // A signing that succeeds without a word shows no box.
    BusinessContractWindow silent(n, &signer);
    int silentResult = -1;
    agreeTo(silent, alerts, silentResult);
    const qsizetype boxes = alerts.shown.size();
    signer.answer(QString());
    EXPECT_EQ(alerts.shown.size(), boxes);
    EXPECT_EQ(silentResult, kContractAgreed);

    // A link the signer cannot send leaves the window usable, with a message.
    signer.sends = false;
    BusinessContractWindow unsent(n, &signer);
    int unsentResult = -1;
    agreeTo(unsent, alerts, unsentResult);
    EXPECT_FALSE(unsent.state().busy);
    EXPECT_FALSE(unsent.state().closed);
    EXPECT_EQ(alerts.shown.last(), QStringLiteral("error:协议签署请求无效"));
}

TEST(NoticeListTest, FirstNoticeNotAgreedEndsTheListAndTheOutcomeComesLater)
{
    FakePresenter presenter;
    Outcome outcome;
    BusinessContractManager manager(
        { notice("1", "a"), notice("2", "b"), notice("3", "c") }, &presenter);
    manager.setDelegate(&outcome);
    manager.showBusinessContracts();
    ASSERT_EQ(presenter.shown.size(), 1u);
    presenter.shown[0]->checkButtonClick(true);
    presenter.shown[0]->agreeButtonClick();
    ASSERT_EQ(presenter.shown.size(), 2u);
    presenter.shown[1]->cancelButtonClick();
    EXPECT_EQ(presenter.shown.size(), 2u); // the third is never shown
    EXPECT_TRUE(outcome.contracts.empty()); // not inside the window's handling
    ASSERT_TRUE(testsupport::spinUntil([&] { return !outcome.contracts.empty(); }));
    EXPECT_EQ(outcome.contracts, std::vector<bool>({ false }));

    BusinessContractManager empty({}, &presenter);
    empty.setDelegate(&outcome);
    empty.showBusinessContracts();
    ASSERT_TRUE(testsupport::spinUntil([&] { return outcome.contracts.size() == 2; }));
    EXPECT_TRUE(outcome.contracts.back());
}

struct FakePage : IRiskAssessmentPageView {
    std::vector<RDORiskAssessment> questionnaires;
    std::vector<bool> submitStates;
    int scrolls = 0;
    void showQuestionnaire(const RDORiskAssessment& q) override { questionnaires.push_back(q); }
    void setSubmitEnabled(bool enabled) override { submitStates.push_back(enabled); }
    void scrollToTop() override { ++scrolls; }
};

struct WindowOutcome : RiskEvaluationWindowControllerDeleagate {
    std::vector<bool> outcomes;
    void riskEvaluationSucceed(bool passed, RiskEvaluationWindowController*) override { outcomes.push_back(passed); }
};

class RiskPageTest : public compliancetest::RiskSimulatorFixture {
protected:
    RiskAssessmentViewController::Services services() { return { nullptr, nullptr, &presenter, nullptr }; }
    FakePresenter presenter;
    FakePage view;
    FakeAlerts alerts;
    Outcome outcome;

    // Opens the page as 李四 and answers every question with its first choice.
    void openAllAnswered(RiskAssessmentViewController& page)
    {
        logIn(QStringLiteral("010200000002"), QStringLiteral("222222"));
        page.setView(&view);
        page.setAlertPresenter(&alerts);
        page.awakeFromNib();
        ASSERT_TRUE(testsupport::spinUntil([&] { return !view.questionnaires.empty(); }, 10s));
        for (qint64 q = 0; q < 5; ++q)
            page.riskAssessmentTableViewCell(q, 0);
    }
};

TEST_F(RiskPageTest, RefusesUnansweredQuestionsSubmitsOnceAndReportsAfterTheNotices)
{
    logIn(QStringLiteral("010200000002"), QStringLiteral("222222"));
    RiskAssessmentViewController page(services());
    page.setView(&view);
    page.setAlertPresenter(&alerts);
    page.setDeleagate(&outcome);
    page.awakeFromNib();
    ASSERT_TRUE(testsupport::spinUntil([&] { return !view.questionnaires.empty(); }, 10s));
    EXPECT_EQ(page.riskAssessment().surveyCount(), 5u);

    page.submitAnswerButtonSelected();
    EXPECT_EQ(alerts.shown, QStringList({ "tip:第1道题未答,请完成答题后提交" }));
    page.riskAssessmentTableViewCell(0, 0);
    page.riskAssessmentTableViewCell(2, 3);
    page.riskAssessmentTableViewCell(3, 0);
    page.riskAssessmentTableViewCell(4, 0);
    page.submitAnswerButtonSelected();
    EXPECT_EQ(alerts.shown.last(), QStringLiteral("tip:第2道题未答,请完成答题后提交"));
    EXPECT_EQ(sim.receivedCount(brokersim::kRiskSubmitExFunction), 0);

    page.riskAssessmentTableViewCell(1, 3);
    page.submitAnswerButtonSelected();
    page.submitAnswerButtonSelected(); // a second press while it is out sends nothing
    EXPECT_FALSE(page.submitEnabled());
    ASSERT_TRUE(testsupport::spinUntil([&] { return presenter.shown.size() == 1; }, 10s));
    EXPECT_EQ(sim.receivedCount(brokersim::kRiskSubmitExFunction), 1);
    // Only agreeing is offered, and the box must be ticked.
    EXPECT_FALSE(presenter.shown[0]->state().cancelVisible);
    EXPECT_TRUE(page.manager());
    for (size_t i = 0; i < 2; ++i) {
        ASSERT_EQ(presenter.shown.size(), i + 1);
        presenter.shown[i]->checkButtonClick(true);
        presenter.shown[i]->agreeButtonClick();
    }
    ASSERT_TRUE(testsupport::spinUntil([&] { return !outcome.evaluations.empty(); }));
    EXPECT_EQ(outcome.evaluations, std::vector<bool>({ true }));
    EXPECT_TRUE(page.submitEnabled());
    EXPECT_FALSE(page.manager());
    EXPECT_EQ(view.scrolls, 1);
    // 4 + 4 + 4 + 1 + 1 as the simulator counts.
    EXPECT_EQ(book().score(QStringLiteral("010200000002")), 14);
}

TEST_F(RiskPageTest, SubmitFailureEnablesSubmitAgainAndKeepsTheChoices)
{
    RiskAssessmentViewController page(services());
    openAllAnswered(page);
    sim.answerErrorNext(brokersim::kRiskSubmitExFunction, 77, QStringLiteral("系统繁忙"));
    page.submitAnswerButtonSelected();
    ASSERT_TRUE(testsupport::spinUntil([&] { return !alerts.shown.isEmpty(); }, 10s));
    EXPECT_EQ(alerts.shown, QStringList({ "error:系统繁忙" }));
    EXPECT_TRUE(page.submitEnabled());
    EXPECT_TRUE(page.table().isAllSelected());

    // The account changes: the page starts over with a fresh questionnaire.
    NotificationCenter::getInstance()->postNotification(2);
    ASSERT_TRUE(testsupport::spinUntil([&] { return view.questionnaires.size() == 2; }, 10s));
    EXPECT_FALSE(page.table().isAllSelected());
}

TEST_F(RiskPageTest, AnAccountChangeWhoseFetchFailsLeavesNoAnswersToSubmit)
{
    RiskAssessmentViewController page(services());
    openAllAnswered(page);
    ASSERT_TRUE(page.table().isAllSelected());

    sim.answerErrorNext(brokersim::kRiskQuestionnaireFunction, 77, QStringLiteral("系统繁忙"));
    NotificationCenter::getInstance()->postNotification(2);
    // The previous account's questionnaire went off the page before the ask.
    EXPECT_EQ(view.questionnaires.size(), 2u);
    EXPECT_EQ(view.questionnaires.back().surveyCount(), 0u);
    ASSERT_TRUE(testsupport::spinUntil([&] { return !alerts.shown.isEmpty(); }, 10s));
    EXPECT_EQ(alerts.shown, QStringList({ "error:系统繁忙" }));
    EXPECT_FALSE(page.table().isAllSelected());

    page.submitAnswerButtonSelected();
    EXPECT_EQ(alerts.shown.last(), QStringLiteral("tip:第1道题未答,请完成答题后提交"));
    EXPECT_EQ(sim.receivedCount(brokersim::kRiskSubmitExFunction), 0);
}

TEST_F(RiskPageTest, LockWhileTheQuestionnaireNoticesAreOpenAbandonsIt)
{
    logIn(QStringLiteral("010200000002"), QStringLiteral("222222"));
    WindowOutcome windowOutcome;
    int stops = 0;
    RiskEvaluationWindowController window(services());
    window.setDeleagate(&windowOutcome);
    window.stopModal = [&] { ++stops; };
    window.windowDidLoad();
    RiskAssessmentViewController& page = *window.viewController();
    page.setView(&view);
    page.setAlertPresenter(&alerts);
    page.awakeFromNib();
    ASSERT_TRUE(testsupport::spinUntil([&] { return !view.questionnaires.empty(); }, 10s));
    for (qint64 q = 0; q < 5; ++q)
        page.riskAssessmentTableViewCell(q, 1);
    page.submitAnswerButtonSelected();
    ASSERT_TRUE(testsupport::spinUntil([&] { return presenter.shown.size() == 1; }, 10s));

    NotificationCenter::getInstance()->postNotification(3);
    EXPECT_TRUE(presenter.shown[0]->state().closed);
    ASSERT_TRUE(testsupport::spinUntil([&] { return !windowOutcome.outcomes.empty() && stops == 1; }));
    EXPECT_EQ(windowOutcome.outcomes, std::vector<bool>({ false }));
    EXPECT_EQ(presenter.shown.size(), 1u); // the second notice never shows
    window.windowWillClose();
}

// The answers and a notice's sign change the customer's standing: answered
// once their page or window went, each is told on the main window; a sign's
// message or refusal up when its notice goes is told there again, naming the
// account signed for when it is no longer the active one.
TEST_F(RiskPageTest, AnAnswerThatComesOnceItsWindowWentIsTold)
{
    enum class What { Answers, SignNoticeClosed, SignMessageUp, SignRefusedUp, SignMessageUpOtherAccount };
    const struct {
        What what;
        const char* told;
        const char* onNotice = "";
        bool read = false; // the box on the notice read before it goes
    } rows[] = {
        { What::Answers, "tip:风险测评问卷提交成功。" }, // logs 李四 in
        { What::SignNoticeClosed, "tip:签署成功" }, { What::SignMessageUp, "tip:签署成功", "tip:签署成功" },
        { What::SignRefusedUp, "error:签署失败", "error:签署失败" },
        { What::SignRefusedUp, "", "error:签署失败", true },
        { What::SignMessageUpOtherAccount, "tip:账号010200000002：\n签署成功",
            "tip:签署成功" }, // logs 张三 in
    };
    FakeAlerts mainWindow;
    MenuItemViewManager::getInstance()->setWindow(&mainWindow);
    const auto noWindow = qScopeGuard([] { MenuItemViewManager::getInstance()->setWindow(nullptr); });
    for (const auto& row : rows) {
        SCOPED_TRACE(int(row.what));
        mainWindow.shown.clear();
        alerts.shown.clear();
        if (row.what == What::Answers) {
            // The re-evaluation window's page, closed by the customer.
            auto window = std::make_unique<RiskEvaluationWindowController>(services());
            window->windowDidLoad();
            RiskAssessmentViewController& page = *window->viewController();
            openAllAnswered(page);
            sim.withholdNext(brokersim::kRiskSubmitExFunction);
            page.submitAnswerButtonSelected();
            ASSERT_TRUE(testsupport::spinUntil([&] { return sim.withheldCount() == 1; }, 10s));
            window->windowShouldClose();
            window->windowWillClose();
            window.reset();
            ASSERT_EQ(sim.releaseWithheld(), 1);
            ASSERT_TRUE(testsupport::spinUntil([&] { return !mainWindow.shown.isEmpty(); }, 10s));
            EXPECT_TRUE(presenter.shown.empty()); // no notice for a page gone
        } else {
            FakeSigner signer;
            FakeAlerts own;
            own.hold = *row.onNotice && !row.read;
            RDOOpdAppropriateness n = notice(QStringLiteral("协议"), QStringLiteral("正文"));
            n.problemConfirmUrl = QStringLiteral("tc_mfuncno=500&tc_sfuncno=9&x=1");
            BusinessContractWindow window(n, &signer);
            int result = -1;
            agreeTo(window, own, result);
            if (row.what == What::SignRefusedUp)
                signer.answer(CSError { QStringLiteral("签署失败"), 7 });
            else if (own.hold)
                signer.answer(QStringLiteral("签署成功"));
            own.lock();
            if (row.what == What::SignMessageUpOtherAccount)
                logIn(QStringLiteral("010100000001"), QStringLiteral("111111"));
            window.cancelButtonClick(); // the lock, an account change, or the step given up
            if (row.what == What::SignNoticeClosed)
                signer.answer(QStringLiteral("签署成功"));
            EXPECT_EQ(result, kContractDeclined);
            EXPECT_EQ(own.shown, *row.onNotice ? QStringList { row.onNotice } : QStringList());
        }
        EXPECT_EQ(mainWindow.shown, *row.told ? QStringList { row.told } : QStringList());
        EXPECT_TRUE(alerts.shown.isEmpty()) << qPrintable(alerts.shown.join(u'|'));
    }
}

class RiskEvaluationWindowTest : public logintest::HomeFixture {
protected:
    void TearDown() override
    {
        RiskAssessmentManager::resetInstance();
        NotificationCenter::resetForTesting();
        platform::RunLoop::main()->resetForTesting();
        HomeFixture::TearDown();
    }
};

TEST_F(RiskEvaluationWindowTest, ClosingOrLockingIsAbandoning)
{
    NotificationCenter::resetForTesting();
    int boxesClosed = 0;
    NotificationCenter::getInstance()->addObserver(static_cast<const void*>(&boxesClosed), [&] { ++boxesClosed; }, 20);
    FakePresenter presenter;
    WindowOutcome outcome;
    {
        RiskEvaluationWindowController window({ nullptr, nullptr, &presenter, nullptr });
        window.setDeleagate(&outcome);
        window.windowDidLoad();
        EXPECT_TRUE(window.windowShouldClose());
        EXPECT_TRUE(window.windowShouldClose()); // the delegate heard it once
        EXPECT_EQ(outcome.outcomes, std::vector<bool>({ false }));
    }
    {
        int stops = 0;
        RiskEvaluationWindowController window({ nullptr, nullptr, &presenter, nullptr });
        window.setDeleagate(&outcome);
        window.stopModal = [&] { ++stops; };
        window.windowDidLoad();
        NotificationCenter::getInstance()->postNotification(3);
        EXPECT_EQ(boxesClosed, 1);
        EXPECT_EQ(outcome.outcomes, std::vector<bool>({ false, false }));
        ASSERT_TRUE(testsupport::spinUntil([&] { return stops == 1; }));
        window.windowWillClose();
    }
}

} // namespace
