#pragma once

#include "compliance/BusinessContractWindow.h"
#include "compliance/RiskAssessmentSelection.h"
#include "platform/Lifetime.h"
#include "shell/pages/MenuItemViewController.h"

#include <QString>
#include <memory>

class NotificationCenter;
class RiskAssessmentManager;

// riskEvaluationSucceed: the questionnaire was submitted and its notices all
// agreed (true), or its notices were closed unagreed (false).
class RiskAssessmentViewControllerDeleagate : public platform::Lifetime {
public:
    virtual ~RiskAssessmentViewControllerDeleagate() = default;
    virtual void riskEvaluationSucceed(bool succeeded) = 0;
};

// What the questionnaire page shows; the Qt page implements it.
class IRiskAssessmentPageView {
public:
    virtual ~IRiskAssessmentPageView() = default;
    // The answers view with this questionnaire, every choice cleared.
    virtual void showQuestionnaire(const RDORiskAssessment& riskAssessment) = 0;
    virtual void setSubmitEnabled(bool enabled) = 0;
    virtual void scrollToTop() = 0;
};

// What the questionnaire page works with; null ones are the shared instances
// (the presenter and signer: the defaults set by the application).
struct RiskAssessmentPageServices {
    RiskAssessmentManager* riskAssessmentManager = nullptr;
    NotificationCenter* notificationCenter = nullptr;
    IContractWindowPresenter* contractPresenter = nullptr;
    IPermissionSigner* permissionSigner = nullptr;
};

// The risk questionnaire page: fetches the questionnaire, keeps the choices,
// refuses a submit with an unanswered question, sends the extended submit
// and shows the notices of its reply, which can only be agreed. A content
// page (link id 50001) and the content of the re-evaluation window. On an
// account change (type 2) the pending replies are dropped and it starts over.
class RiskAssessmentViewController : public MenuItemViewController, public BusinessContractDelegate {
    Q_OBJECT
public:
    static constexpr char kPageClass[] = "RiskAssessmentViewController";

    using Services = RiskAssessmentPageServices;

    explicit RiskAssessmentViewController(Services services = Services());
    // initWithNodeInfo: the content page of a menu entry.
    RiskAssessmentViewController(BaseNode::Ptr node, Services services);
    ~RiskAssessmentViewController() override;

    void setView(IRiskAssessmentPageView* view) { view_ = view; }
    void setDeleagate(RiskAssessmentViewControllerDeleagate* delegate) { deleagate_ = delegate; }

    // awakeFromNib: asks for the questionnaire.
    void awakeFromNib() override;
    void descriptAcceptButtonSelected();
    void submitAnswerButtonSelected();
    // riskAssessmentTableViewCell:selectedRow:
    void riskAssessmentTableViewCell(qint64 question, qint64 row) { table_.selectRow(question, row); }

    // BusinessContractDelegate
    void businessContractSuccess(bool agreed) override;

    const RiskAssessmentSelection& table() const { return table_; }
    const RDORiskAssessment& riskAssessment() const { return table_.riskAssessment(); }
    bool submitEnabled() const { return submitEnabled_; }
    // The notice sequence while it runs.
    BusinessContractManager* manager() const { return manager_.get(); }
    static QString introductionText();

protected:
    void willDropRequests() override;
    void clearAccountFigures() override;

private:
    class Replies;
    friend class Replies;
    void queryRiskAssessmentInfo(const RDORiskAssessment& info);
    void queryRiskAssessmentInfoFailed(const QString& message);
    void submitted(const std::vector<RDOOpdAppropriateness>& notices);
    void submitFailed(const QString& message);
    void showBusinessContracts(const std::vector<RDOOpdAppropriateness>& notices);
    void setSubmitEnabled(bool enabled);

    RiskAssessmentManager* riskAssessmentManager;
    IContractWindowPresenter* contractPresenter;
    IPermissionSigner* permissionSigner;
    IRiskAssessmentPageView* view_ = nullptr;
    platform::WeakRef<RiskAssessmentViewControllerDeleagate> deleagate_;
    RiskAssessmentSelection table_;
    std::unique_ptr<Replies> replies_;
    std::unique_ptr<BusinessContractManager> manager_;
    bool submitEnabled_ = true;
};

// Makes the questionnaire a page the menu's page dispatch can open.
void registerRiskAssessmentPage();
