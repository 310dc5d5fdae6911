#pragma once

#include "compliance/RiskAssessmentRecords.h"

#include <QtGlobal>
#include <optional>
#include <vector>

// The choices made on the questionnaire's list: per question, in question
// order, the chosen answer indexes, ascending. What the question list
// (RiskAssessmentTableView) keeps; its cells report clicks here.
class RiskAssessmentSelection {
public:
    // setRiskAssessment: a new questionnaire resets every choice.
    void setRiskAssessment(const RDORiskAssessment& riskAssessment);
    const RDORiskAssessment& riskAssessment() const { return riskAssessment_; }

    // resetSelectArray: one empty list per question.
    void resetSelectArray();
    // isAllSelected: every question has an answer (false without questions).
    bool isAllSelected() const;
    // selectedIndexs: the lists; nullopt without questions.
    std::optional<std::vector<std::vector<qint64>>> selectedIndexs() const;
    // The first question without an answer, counted from 0 (the number of
    // lists when none is missing, 0 when there are none).
    qint64 firstUnanswered() const;

    // riskAssessmentTableViewCell:selectedRow: a click on answer `row` of
    // question `question`: a single choice replaces, a multiple one toggles.
    // Indexes outside the questionnaire are ignored.
    void selectRow(qint64 question, qint64 row);
    // selectedRowItems: the choice of one question; nullopt out of range.
    std::optional<std::vector<qint64>> selectedRowItems(qint64 question) const;

private:
    RDORiskAssessment riskAssessment_;
    std::vector<std::vector<qint64>> selectIndexArray_;
};
