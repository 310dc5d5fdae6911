#include "compliance/ui/PermissionAlertWindow.h"

#include "compliance/ui/NoticeTextBrowser.h"
#include "compliance/ui/RiskAssessmentPage.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

PermissionAlertWindow::PermissionAlertWindow(
    std::shared_ptr<PermissionAlertWindowController> controller, QWidget* parent)
    : ui::Window(parent)
    , controller_(std::move(controller))
    , alerts_(this)
{
    setObjectName(QStringLiteral("permissionAlertWindow"));
    setMinimumSize(620, 480);
    titleTextField_ = new QLabel(this);
    titleTextField_->setObjectName(QStringLiteral("titleTextField"));
    titleTextField_->setAlignment(Qt::AlignCenter);
    contentTextView_ = new NoticeTextBrowser(this);
    contentTextView_->setObjectName(QStringLiteral("contentTextView"));
    riskAssessmentTableView_ = new RiskAssessmentTableView(this);
    riskAssessmentTableView_->setObjectName(QStringLiteral("riskAssessmentTableView"));
    checkButton_ = new QCheckBox(this);
    checkButton_->setObjectName(QStringLiteral("checkButton"));
    showTipLabel_ = new QLabel(this);
    showTipLabel_->setObjectName(QStringLiteral("showTipLabel"));
    showTipLabel_->setWordWrap(true);
    waitProgress_ = new QProgressBar(this);
    waitProgress_->setObjectName(QStringLiteral("waitProgress"));
    waitProgress_->setRange(0, 0);
    waitProgress_->setMaximumWidth(80);
    // A thin bar without text: one as tall as the buttons beside it reads as
    // a blank button.
    waitProgress_->setTextVisible(false);
    waitProgress_->setFixedHeight(6);
    cancelButton_ = new QPushButton(QStringLiteral("取消"), this);
    cancelButton_->setObjectName(QStringLiteral("cancelButton"));
    confirmButton_ = new QPushButton(QStringLiteral("确定"), this);
    confirmButton_->setObjectName(QStringLiteral("confirmButton"));

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(checkButton_);
    buttons->addStretch();
    buttons->addWidget(waitProgress_);
    buttons->addWidget(cancelButton_);
    buttons->addWidget(confirmButton_);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(titleTextField_);
    layout->addWidget(contentTextView_, 1);
    layout->addWidget(riskAssessmentTableView_, 1);
    layout->addWidget(showTipLabel_);
    layout->addLayout(buttons);

    controller_->setAlertPresenter(&alerts_);
    connect(controller_.get(), &PermissionAlertWindowController::changed, this, &PermissionAlertWindow::refresh);
    connect(checkButton_, &QCheckBox::clicked, this, [this](bool on) { controller_->checkButtonClicked(on); });
    connect(cancelButton_, &QPushButton::clicked, this, [this] { controller_->cancelButtonClicked(); });
    connect(confirmButton_, &QPushButton::clicked, this, [this] { controller_->confirmButtonClicked(); });
    connect(riskAssessmentTableView_, &RiskAssessmentTableView::selectedRow, this,
        [this](qint64 question, qint64 row) { controller_->riskAssessmentTableViewCell(question, row); });
    refresh();
}

PermissionAlertWindow::~PermissionAlertWindow()
{
    controller_->setAlertPresenter(nullptr);
}

void PermissionAlertWindow::refresh()
{
    using Body = PermissionAlertWindowController::Body;
    const PermissionAlertWindowController::State& s = controller_->state();
    setWindowTitle(s.windowTitle);
    const quint64 index = controller_->contractIndex();
    const void* step = index < controller_->contracts().size() ? controller_->contracts()[index].get() : nullptr;
    if (step != shownStep_ || s.body != shownBody_) {
        // A new step: its body once, so the reader's place is kept meanwhile.
        shownStep_ = step;
        shownBody_ = s.body;
        titleTextField_->setText(s.title);
        if (s.body == Body::Text) {
            contentTextView_->showText(s.content);
            contentTextView_->moveCursor(QTextCursor::Start);
        } else if (s.body == Body::Web) {
            contentTextView_->showWebPage(s.url);
        } else if (s.body == Body::Questionnaire) {
            riskAssessmentTableView_->setRiskAssessment(controller_->selection().riskAssessment());
        }
    }
    titleTextField_->setVisible(shownBody_ == Body::Text);
    contentTextView_->setVisible(shownBody_ == Body::Text || shownBody_ == Body::Web);
    riskAssessmentTableView_->setVisible(shownBody_ == Body::Questionnaire);
    if (shownBody_ == Body::Questionnaire) {
        for (qint64 q = 0; q < riskAssessmentTableView_->rowCount(); ++q) {
            if (RiskAssessmentTableViewCell* cell = riskAssessmentTableView_->cell(q))
                cell->showSelection(controller_->selection().selectedRowItems(q).value_or(std::vector<qint64>()));
        }
    }
    checkButton_->setVisible(s.checkVisible);
    checkButton_->setText(s.checkTitle);
    checkButton_->setChecked(s.checkOn);
    checkButton_->setEnabled(s.checkEnabled);
    showTipLabel_->setVisible(!s.tip.isEmpty());
    showTipLabel_->setText(s.tip);
    waitProgress_->setVisible(s.waiting || s.signing || s.submitting);
    cancelButton_->setEnabled(s.cancelEnabled);
    confirmButton_->setEnabled(s.confirmEnabled);
    if (!s.confirmTitle.isEmpty())
        confirmButton_->setText(s.confirmTitle);
    if (s.closed && isVisible())
        close();
}

void PermissionAlertWindow::willClose()
{
    controller_->windowWillClose();
}

bool PermissionWizardPresenter::present(
    const std::shared_ptr<PermissionAlertWindowController>& wizard, QObject* parent)
{
    auto* view = new PermissionAlertWindow(wizard, qobject_cast<QWidget*>(parent));
    view->setWindowModality(Qt::ApplicationModal);
    view->showOver();
    return view->isVisible();
}
