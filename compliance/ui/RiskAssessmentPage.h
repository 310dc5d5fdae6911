#pragma once

#include "compliance/RiskAssessmentViewController.h"
#include "shell/ui/MenuItemView.h"
#include "shell/ui/RunAlert.h"

#include <QPointer>
#include <QScrollArea>
#include <QWidget>
#include <memory>
#include <vector>

class QAbstractButton;
class QButtonGroup;
class QLabel;
class QPushButton;
class QVBoxLayout;

// One question: its text and one radio button (or check box, when several
// answers are allowed) per answer.
class RiskAssessmentTableViewCell final : public QWidget {
    Q_OBJECT
public:
    RiskAssessmentTableViewCell(qint64 tag, const RDOSurveyCol& question, QWidget* parent = nullptr);

    qint64 tag() const { return tag_; }
    // heightOfCellWidth:title:options: the title wrapped at `width`, 8 points,
    // then 30 a row per answer.
    static int heightOfCellWidth(int width, const QString& title, qint64 options, const QFont& titleFont);
    // Marks exactly these answers.
    void showSelection(const std::vector<qint64>& rows);
    QAbstractButton* answerButton(qint64 row) const;

signals:
    void selectedRow(qint64 tag, qint64 row);

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    qint64 tag_;
    QLabel* title_;
    QButtonGroup* group_;
};

// The question list.
class RiskAssessmentTableView final : public QScrollArea {
    Q_OBJECT
public:
    explicit RiskAssessmentTableView(QWidget* parent = nullptr);
    void setRiskAssessment(const RDORiskAssessment& riskAssessment);
    RiskAssessmentTableViewCell* cell(qint64 row) const;
    qint64 rowCount() const { return qint64(cells_.size()); }

signals:
    void selectedRow(qint64 tag, qint64 row);

private:
    std::vector<RiskAssessmentTableViewCell*> cells_;
};

// The questionnaire page: the introduction, the questions and submit. It
// shows the controller's state and forwards the clicks.
class RiskAssessmentPage final : public QWidget, public IRiskAssessmentPageView {
    Q_OBJECT
public:
    // A page with a controller of its own (a content page)...
    explicit RiskAssessmentPage(RiskAssessmentViewController::Services services = {}, QWidget* parent = nullptr);
    // ... or showing one that a window or the page dispatch owns. `start`:
    // the page asks for its questionnaire now; otherwise it was asked for
    // already (the dispatch loads its pages) and what came is shown.
    explicit RiskAssessmentPage(
        RiskAssessmentViewController* controller, QWidget* parent = nullptr, bool start = true);
    ~RiskAssessmentPage() override;

    RiskAssessmentViewController& controller() { return *controller_; }
    RiskAssessmentTableView* tableView() const { return table_; }

    // IRiskAssessmentPageView
    void showQuestionnaire(const RDORiskAssessment& riskAssessment) override;
    void setSubmitEnabled(bool enabled) override;
    void scrollToTop() override;

private:
    void build(bool start);

    std::unique_ptr<RiskAssessmentViewController> owned_;
    QPointer<RiskAssessmentViewController> controller_;
    WindowAlertPresenter alerts_;
    QLabel* warningText_;
    RiskAssessmentTableView* table_;
    QPushButton* submitButton_;
};

// The questionnaire as a content page of the main window (link id 50001).
class RiskAssessmentMenuView final : public MenuItemView {
    Q_OBJECT
public:
    RiskAssessmentMenuView(RiskAssessmentViewController& controller, QWidget* parent = nullptr);
    RiskAssessmentPage* page() const { return page_; }

private:
    RiskAssessmentPage* page_;
};

// Registers the questionnaire page's widget.
void registerRiskAssessmentView();
