#include "compliance/RiskAssessmentViewController.h"

#include "compliance/ComplianceDataModels.h"
#include "compliance/ComplianceOutcomeRelays.h"
#include "compliance/RiskAssessmentManager.h"
#include "platform/RunLoop.h"
#include "shell/pages/MenuItemViewManager.h"

// The observer of the page's requests. The page makes a new one when it
// starts over, so replies to the old requests reach nobody.
class RiskAssessmentViewController::Replies : public IQueryRiskAssessmentInfoDelegate,
                                              public ISubmitRiskAssessmentResultExDelegate {
public:
    explicit Replies(RiskAssessmentViewController& page)
        : page(page)
    {
    }
    void queryRiskAssessmentInfo(DataModel*, const QString&, const RDORiskAssessment& info) override
    {
        page.queryRiskAssessmentInfo(info);
    }
    bool queryRiskAssessmentInfo(DataModel*, const QString&, const CSError& error) override
    {
        page.queryRiskAssessmentInfoFailed(error.domain);
        return true;
    }
    void submitRiskAssessmentResultEx(
        DataModel*, const QString&, const std::vector<RDOOpdAppropriateness>& notices) override
    {
        page.submitted(notices);
    }
    bool submitRiskAssessmentResultEx(DataModel*, const QString&, const CSError& error) override
    {
        page.submitFailed(error.domain);
        return true;
    }

private:
    RiskAssessmentViewController& page;
};

RiskAssessmentViewController::RiskAssessmentViewController(Services services)
    : RiskAssessmentViewController(nullptr, services)
{
}

RiskAssessmentViewController::RiskAssessmentViewController(BaseNode::Ptr node, Services services)
    : MenuItemViewController(std::move(node), MenuItemViewController::Services { services.notificationCenter })
    , riskAssessmentManager(
        services.riskAssessmentManager ? services.riskAssessmentManager : RiskAssessmentManager::getInstance())
    , contractPresenter(services.contractPresenter)
    , permissionSigner(services.permissionSigner)
    , replies_(std::make_unique<Replies>(*this))
{
}

RiskAssessmentViewController::~RiskAssessmentViewController()
{
    platform::RunLoop::main()->cancelAll(this);
    if (manager_)
        manager_->setDelegate(nullptr);
}

QString RiskAssessmentViewController::introductionText()
{
    return QStringLiteral(
        "\n尊敬的投资者：\n\n        "
        "为了便于您了解自身的风险承受能力，选择合适的投资品种，请您填写以下评估问卷，我公司承诺对您的所有个人资料保密。"
        "下列问题可协助评估您对各种投资品种的风险承受能力，您的测试结果不是由任何单个问题决定的，而是通过综合评估得出，"
        "请您根据自身情况认真选择。我们将根据您的评估结果，协助您选择与自身风险承受能力相匹配的金融产品。"
        "为了及时了解您的投资风险承受能力，我们建议您定期评估。\n\n        "
        "风险提示：证券投资可能获得比较高的投资收益，但也存在比较大的投资风险，请您根据自身的风险承受能力，"
        "审慎作出投资决定。");
}

void RiskAssessmentViewController::awakeFromNib()
{
    riskAssessmentManager->requestQueryRiskAssessmentInfo(replies_.get());
}

void RiskAssessmentViewController::descriptAcceptButtonSelected()
{
    awakeFromNib();
}

void RiskAssessmentViewController::willDropRequests()
{
    replies_ = std::make_unique<Replies>(*this);
    platform::RunLoop::main()->cancelAll(this);
    if (manager_)
        manager_->setDelegate(nullptr);
    manager_.reset();
    setSubmitEnabled(true);
}

void RiskAssessmentViewController::clearAccountFigures()
{
    // The previous account's questionnaire and answers go before the new one
    // is asked for: were its fetch to fail, they must not be submitted for it.
    queryRiskAssessmentInfo(RDORiskAssessment());
}

void RiskAssessmentViewController::submitAnswerButtonSelected()
{
    // One submit at a time: a second press while one is out sends nothing.
    if (!submitEnabled_)
        return;
    const RDORiskAssessment& questionnaire = table_.riskAssessment();
    if (!table_.isAllSelected()) {
        alerts()->runAlert(
            AlertRequest::tip(QStringLiteral("第%1道题未答,请完成答题后提交").arg(table_.firstUnanswered() + 1)), nullptr);
        return;
    }
    const std::optional<QString> result = questionnaire.resultBySelectedArrayEx(*table_.selectedIndexs());
    if (!result)
        return;
    setSubmitEnabled(false);
    // The answers change the customer's standing whatever becomes of the
    // page: once it no longer awaits them (left, another account, its window
    // closed) their relay tells the outcome.
    auto& relay = ActionOutcomeRelay::start<RiskSubmitRelay>(
        ActionOutcomeRelay::pageOf(*this), *replies_, [](const auto&) { return riskSubmittedText(); });
    const QString handle = riskAssessmentManager->requestSubmitRiskAssessmentResultEx(
        &relay, qint32(questionnaire.surveyCount()), *result, questionnaire.surveySn);
    relay.sent(handle);
    // Nothing went out and no error will come: the button must not stay off.
    if (handle.isEmpty())
        setSubmitEnabled(true);
}

void RiskAssessmentViewController::queryRiskAssessmentInfo(const RDORiskAssessment& info)
{
    table_.setRiskAssessment(info);
    if (view_)
        view_->showQuestionnaire(info);
}

void RiskAssessmentViewController::queryRiskAssessmentInfoFailed(const QString& message)
{
    alerts()->runAlert(AlertRequest::error(message), nullptr);
}

void RiskAssessmentViewController::submitted(const std::vector<RDOOpdAppropriateness>& notices)
{
    // The notices run outside the reply's handling.
    platform::RunLoop::main()->perform(
        platform::RunLoopModes::common(), [this, notices] { showBusinessContracts(notices); }, this);
}

void RiskAssessmentViewController::submitFailed(const QString& message)
{
    setSubmitEnabled(true);
    alerts()->runAlert(AlertRequest::error(message), nullptr);
}

void RiskAssessmentViewController::showBusinessContracts(const std::vector<RDOOpdAppropriateness>& notices)
{
    manager_ = std::make_unique<BusinessContractManager>(notices, contractPresenter, permissionSigner);
    manager_->setDelegate(this);
    manager_->canCancel = false;
    manager_->showBusinessContracts();
}

void RiskAssessmentViewController::businessContractSuccess(bool agreed)
{
    setSubmitEnabled(true);
    manager_.reset();
    const platform::Lifetime::Watch alive = BusinessContractDelegate::watch();
    if (RiskAssessmentViewControllerDeleagate* delegate = deleagate_.get())
        delegate->riskEvaluationSucceed(agreed);
    if (alive.survived() && view_)
        view_->scrollToTop();
}

void RiskAssessmentViewController::setSubmitEnabled(bool enabled)
{
    submitEnabled_ = enabled;
    if (view_)
        view_->setSubmitEnabled(enabled);
}

void registerRiskAssessmentPage()
{
    MenuItemViewManager::getInstance()->registerPageClass(
        QString::fromLatin1(RiskAssessmentViewController::kPageClass), [](const BaseNode::Ptr& node) {
            return std::make_unique<RiskAssessmentViewController>(node, RiskAssessmentViewController::Services());
        });
}
