#include "compliance/ComplianceDataModels.h"
#include "compliance/RiskAssessmentManager.h"
#include "compliance/ui/BusinessContractView.h"
#include "compliance/ui/NoticeTextBrowser.h"
#include "compliance/ui/RiskAssessmentPage.h"
#include "compliance/ui/RiskEvaluationWindow.h"
#include "compliance/ui/RiskGateWindows.h"
#include "login/LoginTestRig.h"
#include "platform/WebView.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QFont>
#include <QLayout>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QTextDocument>

namespace {

using namespace std::chrono_literals;

template <class W> W* topLevel(const QString& name)
{
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (w->objectName() == name && w->isVisible())
            if (auto* typed = qobject_cast<W*>(w))
                return typed;
    }
    return nullptr;
}

QMessageBox* shownBox()
{
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* box = qobject_cast<QMessageBox*>(w); box && box->isVisible())
            return box;
    return nullptr;
}

// With LUMORA_SCREENSHOTS set, the picture of a window goes there (docs/).
void screenshot(QWidget* window, const char* name)
{
    const QString dir = qEnvironmentVariable("LUMORA_SCREENSHOTS");
    if (!dir.isEmpty())
        window->grab().save(dir + u'/' + QLatin1String(name));
}

struct FakeLoader : platform::WebPageLoader {
    QList<QUrl> asked;
    std::shared_ptr<void> load(const QUrl& url, Completion done) override
    {
        asked << url;
        platform::WebPage page;
        page.url = url;
        page.html = QStringLiteral("<p>协议正文<img src=\"https://tracker.invalid/p.png\"></p>"
                                   "<script>document.write('脚本')</script><a href=\"https://example.invalid/\">链接</a>");
        done(page);
        return nullptr;
    }
};

TEST(NoticeTextBrowserTest, LoadsNothingAndOpensOnlyWebLinks)
{
    NoticeTextBrowser browser;
    EXPECT_FALSE(browser.openLinks());
    EXPECT_FALSE(browser.openExternalLinks());
    EXPECT_FALSE(browser.loadResource(QTextDocument::ImageResource, QUrl("https://tracker.invalid/p.png")).isValid());
    EXPECT_FALSE(browser.loadResource(QTextDocument::StyleSheetResource, QUrl("file:///etc/passwd")).isValid());
    EXPECT_TRUE(NoticeTextBrowser::opensLink(QUrl("https://example.invalid/a")));
    EXPECT_TRUE(NoticeTextBrowser::opensLink(QUrl("http://example.invalid/a")));
    for (const char* bad : { "javascript:alert(1)", "file:///etc/passwd", "mailto:a@b.c", "ftp://x/y", "relative" })
        EXPECT_FALSE(NoticeTextBrowser::opensLink(QUrl(QString::fromLatin1(bad)))) << bad;

    FakeLoader loader;
    platform::WebPageLoader::setShared(&loader);
    browser.showWebPage(QUrl("https://broker.invalid/agreement"));
    platform::WebPageLoader::setShared(nullptr);
    ASSERT_EQ(loader.asked.size(), 1);
    EXPECT_TRUE(browser.toPlainText().contains(QStringLiteral("协议正文")));
    EXPECT_FALSE(browser.toPlainText().contains(QStringLiteral("脚本")));
}

TEST(BusinessContractViewTest, AgreeNeedsTheCheckBoxAndClosesTheWindow)
{
    RDOOpdAppropriateness notice;
    notice.title = QStringLiteral("风险揭示书");
    notice.content = QStringLiteral("请仔细阅读");
    auto controller = std::make_shared<BusinessContractWindow>(notice);
    int result = -1;
    QObject::connect(controller.get(), &BusinessContractWindow::finished, [&](int r) { result = r; });
    controller->windowDidLoad();
    ContractWindowPresenter().present(controller, nullptr);
    auto* view = topLevel<BusinessContractView>(QStringLiteral("businessContractWindow"));
    ASSERT_TRUE(view);
    QPointer<BusinessContractView> alive(view);
    EXPECT_EQ(view->windowTitle(), QStringLiteral("风险揭示书"));
    EXPECT_EQ(view->findChild<NoticeTextBrowser*>("textView")->toPlainText(), QStringLiteral("请仔细阅读"));
    auto* agree = view->findChild<QPushButton*>("agreeButton");
    EXPECT_FALSE(agree->isEnabled());
    view->findChild<QCheckBox*>("checkButton")->click();
    EXPECT_TRUE(agree->isEnabled());
    agree->click();
    EXPECT_EQ(result, kContractAgreed);
    EXPECT_TRUE(testsupport::spinUntil([&] { return alive.isNull(); }));

    // Closing the window declines.
    auto second = std::make_shared<BusinessContractWindow>(notice);
    QObject::connect(second.get(), &BusinessContractWindow::finished, [&](int r) { result = r; });
    second->windowDidLoad();
    ContractWindowPresenter().present(second, nullptr);
    topLevel<BusinessContractView>(QStringLiteral("businessContractWindow"))->close();
    EXPECT_EQ(result, kContractDeclined);
}

struct PendingSigner : IPermissionSigner {
    IPermissionSign* observer = nullptr;
    QString requestPermissionSign(IPermissionSign* asker, const QString&) override
    {
        observer = asker;
        return QStringLiteral("pending");
    }
};

struct ListOutcome : BusinessContractDelegate {
    std::vector<bool> agreed;
    void businessContractSuccess(bool all) override { agreed.push_back(all); }
};

// The server's message on a signed notice stays until it is read, whether the
// notice came over a window (a fund order's) or over none (the questionnaire's,
// which has no cancel); the notice then closes agreed and the list goes on.
TEST(BusinessContractViewTest, ASignMessageStaysOnScreenUntilItIsRead)
{
    for (const bool overAWindow : { true, false }) {
        SCOPED_TRACE(overAWindow ? "fund notice" : "questionnaire notice");
        QWidget mainWindow;
        mainWindow.show();
        RDOOpdAppropriateness notice;
        notice.content = QStringLiteral("请仔细阅读");
        notice.problemConfirmUrl = QStringLiteral("tc_mfuncno=500&tc_sfuncno=9");
        PendingSigner signer;
        ContractWindowPresenter presenter;
        ListOutcome outcome;
        BusinessContractManager list({ notice }, &presenter, &signer);
        list.setDelegate(&outcome);
        list.canCancel = overAWindow;
        if (overAWindow)
            list.setParentWindow(&mainWindow);
        list.showBusinessContracts();
        QPointer<BusinessContractView> view
            = topLevel<BusinessContractView>(QStringLiteral("businessContractWindow"));
        ASSERT_TRUE(view);
        view->findChild<QCheckBox*>("checkButton")->click();
        view->findChild<QPushButton*>("agreeButton")->click();
        ASSERT_TRUE(signer.observer);
        signer.observer->permissionSign(
            nullptr, QStringLiteral("pending"), QStringLiteral("《风险揭示书》签署成功"));
        testsupport::spinFor(50ms);
        QMessageBox* box = shownBox();
        ASSERT_TRUE(box);
        EXPECT_EQ(box->informativeText(), QStringLiteral("《风险揭示书》签署成功"));
        EXPECT_TRUE(outcome.agreed.empty());
        EXPECT_FALSE(view->findChild<QPushButton*>("agreeButton")->isEnabled());
        box->buttons().front()->click();
        ASSERT_TRUE(testsupport::spinUntil([&] { return !outcome.agreed.empty(); }));
        EXPECT_EQ(outcome.agreed, std::vector<bool>({ true }));
        EXPECT_TRUE(testsupport::spinUntil([&] { return view.isNull(); }));
    }
}

// Without cancel, the agree button keeps its own width in the middle of the
// window, the check box shown or not, the check box's text whole beside it
// and the progress indicator 10 to its right, at the smallest width the
// window takes and wider, also in a large font.
TEST(BusinessContractViewTest, WithoutCancelTheAgreeButtonIsCentred)
{
    const struct {
        bool checkHidden;
        int width; // 0: the window's minimum
        int pointSize; // 0: the application's font
    } rows[] = {
        { false, 0, 0 },
        { false, 701, 0 },
        { false, 1200, 0 },
        { true, 0, 0 },
        { true, 701, 0 },
        { false, 0, 24 },
    };
    const QFont appFont = QApplication::font();
    for (const auto& row : rows) {
        SCOPED_TRACE(testing::Message() << row.checkHidden << " " << row.width << " " << row.pointSize);
        if (row.pointSize) {
            QFont large = appFont;
            large.setPointSize(row.pointSize);
            QApplication::setFont(large);
        }
        RDOOpdAppropriateness notice;
        notice.content = QStringLiteral("请仔细阅读");
        notice.problemConfirmUrl = QStringLiteral("tc_mfuncno=500&tc_sfuncno=9");
        PendingSigner signer;
        auto controller = std::make_shared<BusinessContractWindow>(notice, &signer);
        controller->canCancel = false;
        controller->checkButtonHidden = row.checkHidden;
        controller->windowDidLoad();
        BusinessContractView view(controller);
        QApplication::setFont(appFont);
        view.resize(row.width ? row.width : view.minimumWidth(), 420);
        view.show();
        auto* check = view.findChild<QCheckBox*>("checkButton");
        auto* agree = view.findChild<QPushButton*>("agreeButton");
        if (!row.checkHidden)
            check->click();
        agree->click(); // signing: the progress indicator shows
        view.layout()->activate();
        EXPECT_EQ(check->isVisible(), !row.checkHidden);
        const auto* progress = view.findChild<QProgressBar*>("progressIndicator");
        ASSERT_TRUE(progress->isVisible());

        const QRect button(agree->mapTo(&view, QPoint()), agree->size());
        EXPECT_EQ(button.width(), agree->sizeHint().width());
        EXPECT_NEAR(button.x(), (view.width() - button.width()) / 2, 1);
        EXPECT_EQ(progress->mapTo(&view, QPoint()).x(), button.x() + button.width() + 10);
        if (!row.checkHidden) {
            EXPECT_GE(check->width(), check->sizeHint().width());
            EXPECT_LE(check->mapTo(&view, QPoint(check->width(), 0)).x(), button.x());
        }
    }
}

TEST(RiskGateWindowsTest, StatusNoticeAndAlertShowTheGateTexts)
{
    RiskGateWindows windows([] { return nullptr; });
    int result = -1;
    auto notice = windows.showStatusNotice(QStringLiteral("评估已过期"), QStringLiteral("马上重新评估"),
        QStringLiteral("稍后重新评估"), QStringLiteral("风险评测提示"), [&](int r) { result = r; });
    auto* view = topLevel<BusinessContractView>(QStringLiteral("businessContractWindow"));
    ASSERT_TRUE(view);
    EXPECT_EQ(view->windowTitle(), QStringLiteral("风险评测提示"));
    screenshot(view, "risk-status-notice.png");
    EXPECT_FALSE(view->findChild<QCheckBox*>("checkButton")->isVisible());
    auto* later = view->findChild<QPushButton*>("cancelButton");
    auto* now = view->findChild<QPushButton*>("agreeButton");
    EXPECT_EQ(later->text(), QStringLiteral("稍后重新评估"));
    EXPECT_EQ(now->text(), QStringLiteral("马上重新评估"));
    // The notice's buttons are as high as the other dialogs' (the order confirmation's).
    EXPECT_EQ(later->height(), 30);
    EXPECT_EQ(now->height(), 30);
    later->click();
    EXPECT_EQ(result, 0);
    notice->close(); // already gone: nothing happens

    bool dismissed = false;
    auto alert = windows.showFollowUpAlert(QStringLiteral("风险测评提示"), QStringLiteral("请完成评估"), [&] { dismissed = true; });
    QMessageBox* box = shownBox();
    ASSERT_TRUE(box);
    EXPECT_EQ(box->informativeText(), QStringLiteral("请完成评估"));
    alert->close();
    EXPECT_TRUE(testsupport::spinUntil([&] { return dismissed; }));
}

TEST(RiskAssessmentCellTest, HeightIsTheTitlePlusEightPlusThirtyPerAnswer)
{
    RDOSurveyCol question(QStringLiteral("1"), QStringLiteral("您的年龄是？"));
    for (const char* key : { "A", "B", "C", "D" })
        question.addSurveyCell(RDOSurveyCell(QString::fromLatin1(key), QStringLiteral("答案")));
    RiskAssessmentTableViewCell cell(0, question);
    cell.resize(600, 10);
    cell.show();
    QFont font = cell.font();
    font.setPointSize(18);
    const int t = QFontMetrics(font).boundingRect(QRect(0, 0, 600, 10000), Qt::TextWordWrap, question.text).height();
    EXPECT_EQ(RiskAssessmentTableViewCell::heightOfCellWidth(600, question.text, 4, font), t + 8 + 120);
    EXPECT_TRUE(testsupport::spinUntil([&] { return cell.height() == t + 8 + 120; }));
}

struct Outcome : RiskEvaluationWindowControllerDeleagate {
    std::vector<bool> outcomes;
    void riskEvaluationSucceed(bool passed, RiskEvaluationWindowController*) override { outcomes.push_back(passed); }
};

class RiskEvaluationWindowTest : public logintest::SimulatorFixture {
protected:
    void SetUp() override
    {
        SimulatorFixture::SetUp();
        registerComplianceDataModels();
        RiskAssessmentManager::resetInstance();
        installComplianceViews();
        const brokersim::Customer* c = broker().customer(QStringLiteral("010200000002"));
        auto account = std::make_shared<Account>();
        account->commonUrlString = broker().openLogin(*c, c->funds.front().fundId, QStringLiteral("222222"), "M:t");
        AccountManager::getInstance()->addActiveAccount(account);
    }
    void TearDown() override
    {
        RiskAssessmentManager::resetInstance();
        NotificationCenter::resetForTesting();
        SimulatorFixture::TearDown();
    }
};

TEST_F(RiskEvaluationWindowTest, AnsweredAndAgreedReportsSuccessClosingReportsAbandon)
{
    Outcome outcome;
    auto* window = new RiskEvaluationWindow();
    window->controller().setDeleagate(&outcome);
    window->showOver();
    RiskAssessmentPage* page = window->page();
    ASSERT_TRUE(testsupport::spinUntil([&] { return page->tableView()->rowCount() == 5; }, 10s));
    auto* submit = page->findChild<QPushButton*>("submitButton");
    screenshot(window, "risk-evaluation-window.png");

    // A multiple-choice question toggles; its marks follow the stored choice.
    RiskAssessmentTableViewCell* multiple = page->tableView()->cell(2);
    multiple->answerButton(2)->click();
    multiple->answerButton(0)->click();
    multiple->answerButton(2)->click();
    EXPECT_TRUE(multiple->answerButton(0)->isChecked());
    EXPECT_FALSE(multiple->answerButton(2)->isChecked());
    RiskAssessmentTableViewCell* single = page->tableView()->cell(0);
    single->answerButton(1)->click();
    single->answerButton(3)->click();
    EXPECT_FALSE(single->answerButton(1)->isChecked());
    EXPECT_TRUE(single->answerButton(3)->isChecked());
    for (qint64 q : { 1, 3, 4 })
        page->tableView()->cell(q)->answerButton(0)->click();
    submit->click();
    EXPECT_FALSE(submit->isEnabled());

    // The two notices of the reply, one after another, agree only.
    for (int i = 0; i < 2; ++i) {
        BusinessContractView* notice = nullptr;
        ASSERT_TRUE(testsupport::spinUntil(
            [&] { return (notice = topLevel<BusinessContractView>(QStringLiteral("businessContractWindow"))); }, 10s));
        EXPECT_FALSE(notice->findChild<QPushButton*>("cancelButton")->isVisible());
        if (i == 0)
            screenshot(notice, "risk-result-notice.png");
        notice->findChild<QCheckBox*>("checkButton")->click();
        notice->findChild<QPushButton*>("agreeButton")->click();
        testsupport::spinFor(10ms);
    }
    ASSERT_TRUE(testsupport::spinUntil([&] { return !outcome.outcomes.empty(); }));
    EXPECT_EQ(outcome.outcomes, std::vector<bool>({ true }));
    EXPECT_TRUE(submit->isEnabled());

    QPointer<RiskEvaluationWindow> alive(window);
    window->close();
    EXPECT_EQ(outcome.outcomes, std::vector<bool>({ true, false }));
    EXPECT_TRUE(testsupport::spinUntil([&] { return alive.isNull(); }));
}

// At 144 DPI on a laptop's screen the questionnaire opens whole: inside the
// screen's usable area, 提交 on it, the questions scrolling inside, and no
// minimum larger than a 1280 x 720 screen shown at 1.5 times (853 x 480).
TEST_F(RiskEvaluationWindowTest, OnASmallScreenItOpensWholeAndTheQuestionsScroll)
{
    const QFont appFont = QApplication::font();
    QFont large = appFont;
    large.setPointSizeF(appFont.pointSizeF() * 1.5);
    QApplication::setFont(large);
    auto* window = new RiskEvaluationWindow();
    window->showOver();
    RiskAssessmentPage* page = window->page();
    ASSERT_TRUE(testsupport::spinUntil([&] { return page->tableView()->rowCount() == 5; }, 10s));
    testsupport::spinFor(20ms);
    const QRect screen = window->screen()->availableGeometry();
    EXPECT_TRUE(screen.contains(window->frameGeometry()))
        << qPrintable(QDebug::toString(window->frameGeometry()));
    auto* submit = page->findChild<QPushButton*>("submitButton");
    EXPECT_TRUE(submit->isVisible());
    EXPECT_TRUE(screen.contains(QRect(submit->mapToGlobal(QPoint()), submit->size())));
    EXPECT_GT(page->tableView()->verticalScrollBar()->maximum(), 0);
    const QSize laptop(853, 480);
    EXPECT_TRUE(laptop.expandedTo(window->minimumSize()) == laptop) << window->minimumSize().height();
    EXPECT_TRUE(laptop.expandedTo(window->minimumSizeHint()) == laptop) << window->minimumSizeHint().height();
    QPointer<RiskEvaluationWindow> alive(window);
    window->closeQuietly();
    QApplication::setFont(appFont);
    EXPECT_TRUE(testsupport::spinUntil([&] { return alive.isNull(); }));
}

} // namespace
