#include "compliance/ui/RiskAssessmentPage.h"


#include <QButtonGroup>
#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QVBoxLayout>
#include <limits>

namespace {
constexpr int kTitleGap = 8;
constexpr int kAnswerHeight = 30;
constexpr int kAnswerIndent = 30;
} // namespace

RiskAssessmentTableViewCell::RiskAssessmentTableViewCell(qint64 tag, const RDOSurveyCol& question, QWidget* parent)
    : QWidget(parent)
    , tag_(tag)
    , title_(new QLabel(question.text, this))
    , group_(new QButtonGroup(this))
{
    setObjectName(QStringLiteral("question%1").arg(tag));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    title_->setObjectName(QStringLiteral("titleField"));
    title_->setTextFormat(Qt::PlainText);
    title_->setWordWrap(true);
    title_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    QFont big = title_->font();
    big.setPointSize(18);
    title_->setFont(big);
    layout->addWidget(title_, 1);
    layout->addSpacing(kTitleGap);
    group_->setExclusive(false); // the marks always follow the stored choice
    for (size_t row = 0; row < question.surveyCellArray.size(); ++row) {
        const QString text = question.surveyCellArray[row].text();
        QAbstractButton* button = question.isMutiSelected ? static_cast<QAbstractButton*>(new QCheckBox(text, this))
                                                           : new QRadioButton(text, this);
        button->setObjectName(QStringLiteral("answer%1").arg(row));
        button->setAutoExclusive(false);
        button->setFixedHeight(kAnswerHeight);
        group_->addButton(button, int(row));
        auto* line = new QHBoxLayout;
        line->addSpacing(kAnswerIndent);
        line->addWidget(button, 1);
        layout->addLayout(line);
    }
    connect(group_, &QButtonGroup::idClicked, this, [this](int row) { emit selectedRow(tag_, row); });
}

int RiskAssessmentTableViewCell::heightOfCellWidth(int width, const QString& title, qint64 options, const QFont& font)
{
    const QRect text = QFontMetrics(font).boundingRect(
        QRect(0, 0, std::max(1, width), std::numeric_limits<int>::max() / 2), Qt::TextWordWrap, title);
    return text.height() + kTitleGap + int(options) * kAnswerHeight;
}

void RiskAssessmentTableViewCell::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    const int height = heightOfCellWidth(width(), title_->text(), qint64(group_->buttons().size()), title_->font());
    if (height != this->height())
        setFixedHeight(height);
}

void RiskAssessmentTableViewCell::showSelection(const std::vector<qint64>& rows)
{
    for (QAbstractButton* button : group_->buttons())
        button->setChecked(std::find(rows.begin(), rows.end(), qint64(group_->id(button))) != rows.end());
}

QAbstractButton* RiskAssessmentTableViewCell::answerButton(qint64 row) const
{
    return group_->button(int(row));
}

RiskAssessmentTableView::RiskAssessmentTableView(QWidget* parent)
    : QScrollArea(parent)
{
    setObjectName(QStringLiteral("riskAssessmentTableView"));
    setWidgetResizable(true);
}

void RiskAssessmentTableView::setRiskAssessment(const RDORiskAssessment& riskAssessment)
{
    auto* list = new QWidget;
    auto* layout = new QVBoxLayout(list);
    cells_.clear();
    if (riskAssessment.surveyColArray) {
        for (size_t i = 0; i < riskAssessment.surveyColArray->size(); ++i) {
            auto* cell = new RiskAssessmentTableViewCell(qint64(i), (*riskAssessment.surveyColArray)[i], list);
            connect(cell, &RiskAssessmentTableViewCell::selectedRow, this, &RiskAssessmentTableView::selectedRow);
            layout->addWidget(cell);
            cells_.push_back(cell);
        }
    }
    layout->addStretch();
    setWidget(list); // the old list goes
}

RiskAssessmentTableViewCell* RiskAssessmentTableView::cell(qint64 row) const
{
    return row >= 0 && quint64(row) < cells_.size() ? cells_[size_t(row)] : nullptr;
}

RiskAssessmentPage::RiskAssessmentPage(RiskAssessmentViewController::Services services, QWidget* parent)
    : QWidget(parent)
    , owned_(std::make_unique<RiskAssessmentViewController>(services))
    , controller_(owned_.get())
    , alerts_(this)
{
    build(true);
}

RiskAssessmentPage::RiskAssessmentPage(RiskAssessmentViewController* controller, QWidget* parent, bool start)
    : QWidget(parent)
    , controller_(controller)
    , alerts_(this)
{
    build(start);
}

void RiskAssessmentPage::build(bool start)
{
    setObjectName(QStringLiteral("riskAssessmentPage"));
    warningText_ = new QLabel(RiskAssessmentViewController::introductionText(), this);
    warningText_->setObjectName(QStringLiteral("warningText"));
    warningText_->setTextFormat(Qt::PlainText);
    warningText_->setWordWrap(true);
    table_ = new RiskAssessmentTableView(this);
    submitButton_ = new QPushButton(QStringLiteral("提交"), this);
    submitButton_->setObjectName(QStringLiteral("submitButton"));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(warningText_);
    layout->addWidget(table_, 1);
    layout->addWidget(submitButton_, 0, Qt::AlignHCenter);

    controller_->setView(this);
    controller_->setAlertPresenter(&alerts_);
    connect(table_, &RiskAssessmentTableView::selectedRow, this, [this](qint64 tag, qint64 row) {
        if (!controller_)
            return;
        controller_->riskAssessmentTableViewCell(tag, row);
        if (RiskAssessmentTableViewCell* cell = table_->cell(tag))
            cell->showSelection(controller_->table().selectedRowItems(tag).value_or(std::vector<qint64>()));
    });
    connect(submitButton_, &QPushButton::clicked, this, [this] {
        if (controller_)
            controller_->submitAnswerButtonSelected();
    });
    if (start) {
        controller_->awakeFromNib();
        return;
    }
    if (controller_->riskAssessment().surveyColArray)
        showQuestionnaire(controller_->riskAssessment());
    setSubmitEnabled(controller_->submitEnabled());
}

RiskAssessmentPage::~RiskAssessmentPage()
{
    if (!controller_)
        return;
    controller_->setView(nullptr);
    if (controller_->alerts() == &alerts_)
        controller_->setAlertPresenter(nullptr);
}

void RiskAssessmentPage::showQuestionnaire(const RDORiskAssessment& riskAssessment)
{
    table_->setRiskAssessment(riskAssessment);
}

void RiskAssessmentPage::setSubmitEnabled(bool enabled)
{
    submitButton_->setEnabled(enabled);
}

void RiskAssessmentPage::scrollToTop()
{
    table_->verticalScrollBar()->setValue(0);
}

RiskAssessmentMenuView::RiskAssessmentMenuView(RiskAssessmentViewController& controller, QWidget* parent)
    : MenuItemView(controller, parent)
    , page_(new RiskAssessmentPage(&controller, this, false))
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(page_);
}

void registerRiskAssessmentView()
{
    MenuItemViewCatalogue::shared().registerView(QString::fromLatin1(RiskAssessmentViewController::kPageClass),
        [](MenuItemViewController& controller, QWidget* parent) -> MenuItemView* {
            auto* page = qobject_cast<RiskAssessmentViewController*>(&controller);
            return page ? new RiskAssessmentMenuView(*page, parent) : nullptr;
        });
}
