#include "compliance/ui/BusinessContractView.h"

#include "compliance/ui/NoticeTextBrowser.h"
#include "compliance/ui/PermissionSettingsPage.h"
#include "compliance/ui/RiskAssessmentPage.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>
#include <initializer_list>

namespace {

constexpr int kProgressWidth = 80;
constexpr int kProgressGap = 10;

} // namespace

BusinessContractView::BusinessContractView(std::shared_ptr<BusinessContractWindow> controller, QWidget* parent)
    : ui::Window(parent)
    , controller_(std::move(controller))
    , alerts_(this)
{
    setObjectName(QStringLiteral("businessContractWindow"));
    setMinimumSize(560, 420);
    textView_ = new NoticeTextBrowser(this);
    checkButton_ = new QCheckBox(QStringLiteral("我已阅读并同意以上内容"), this);
    checkButton_->setObjectName(QStringLiteral("checkButton"));
    cancelButton_ = new QPushButton(QStringLiteral("取消"), this);
    cancelButton_->setObjectName(QStringLiteral("cancelButton"));
    agreeButton_ = new QPushButton(QStringLiteral("同意"), this);
    agreeButton_->setObjectName(QStringLiteral("agreeButton"));
    for (QPushButton* button : { cancelButton_, agreeButton_ })
        button->setMinimumHeight(ui::kDialogButtonHeight);
    progressIndicator_ = new QProgressBar(this);
    progressIndicator_->setObjectName(QStringLiteral("progressIndicator"));
    progressIndicator_->setRange(0, 0);
    progressIndicator_->setMaximumWidth(kProgressWidth);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(textView_, 1);
    if (controller_->state().agreeCentred) {
        // Without cancel the agree button keeps its own width in the middle
        // of the window, the progress indicator 10 to its right. Both sides
        // are as wide as the wider of the check box and the indicator and
        // keep that width when either is hidden, so the button stays centred
        // and never covers the check box's text.
        progressIndicator_->setFixedWidth(kProgressWidth);
        for (QWidget* side : std::initializer_list<QWidget*> { checkButton_, progressIndicator_ }) {
            QSizePolicy keepsPlace = side->sizePolicy();
            keepsPlace.setRetainSizeWhenHidden(true);
            side->setSizePolicy(keepsPlace);
        }
        const int sideWidth = std::max(checkButton_->sizeHint().width(), kProgressWidth);
        auto* row = new QGridLayout;
        row->setHorizontalSpacing(kProgressGap);
        row->addWidget(checkButton_, 0, 0, Qt::AlignLeft | Qt::AlignVCenter);
        row->addWidget(agreeButton_, 0, 1, Qt::AlignCenter);
        row->addWidget(progressIndicator_, 0, 2, Qt::AlignLeft | Qt::AlignVCenter);
        for (const int column : { 0, 2 }) {
            row->setColumnMinimumWidth(column, sideWidth);
            row->setColumnStretch(column, 1);
        }
        layout->addLayout(row);
    } else {
        auto* buttons = new QHBoxLayout;
        buttons->addWidget(checkButton_);
        buttons->addStretch();
        buttons->addWidget(cancelButton_);
        buttons->addWidget(agreeButton_);
        buttons->addWidget(progressIndicator_);
        buttons->addStretch();
        layout->addLayout(buttons);
    }

    controller_->setAlertPresenter(&alerts_);
    connect(controller_.get(), &BusinessContractWindow::changed, this, &BusinessContractView::refresh);
    connect(checkButton_, &QCheckBox::toggled, this, [this](bool on) { controller_->checkButtonClick(on); });
    connect(cancelButton_, &QPushButton::clicked, this, [this] { controller_->cancelButtonClick(); });
    connect(agreeButton_, &QPushButton::clicked, this, [this] { controller_->agreeButtonClick(); });
    refresh();
    // The minimum above is the window's own; the buttons' row, titled now,
    // may need more room (large fonts).
    setMinimumWidth(std::max(minimumWidth(), layout->totalMinimumSize().width()));
}

BusinessContractView::~BusinessContractView()
{
    controller_->setAlertPresenter(nullptr);
}

void BusinessContractView::refresh()
{
    const BusinessContractWindow::State& s = controller_->state();
    if (!s.windowTitle.isEmpty())
        setWindowTitle(s.windowTitle);
    if (!bodyShown_) {
        bodyShown_ = true;
        const RDOOpdAppropriateness& notice = controller_->appropriateness();
        if (s.body == BusinessContractWindow::Body::Text)
            textView_->showText(notice.content);
        else if (s.body == BusinessContractWindow::Body::Web)
            textView_->showWebPage(QUrl(notice.webUrl));
        if (s.compactHeight) {
            setMinimumHeight(300);
            resize(width(), 300);
        }
    }
    checkButton_->setVisible(s.checkVisible);
    checkButton_->setEnabled(s.checkEnabled);
    cancelButton_->setVisible(s.cancelVisible);
    cancelButton_->setEnabled(s.cancelEnabled);
    agreeButton_->setEnabled(s.agreeEnabled);
    if (!s.agreeTitle.isEmpty())
        agreeButton_->setText(s.agreeTitle);
    if (!s.cancelTitle.isEmpty())
        cancelButton_->setText(s.cancelTitle);
    progressIndicator_->setVisible(s.busy);
    if (s.closed && isVisible())
        close();
}

void BusinessContractView::willClose()
{
    // Closing the window declines, as cancel would.
    controller_->cancelButtonClick();
}

void ContractWindowPresenter::present(const std::shared_ptr<BusinessContractWindow>& window, QObject* parent)
{
    auto* view = new BusinessContractView(window, qobject_cast<QWidget*>(parent));
    view->setWindowModality(Qt::ApplicationModal);
    view->showOver();
}

void installComplianceViews()
{
    static ContractWindowPresenter presenter;
    setDefaultContractPresenter(&presenter);
    installPermissionViews();
    registerRiskAssessmentView();
}
