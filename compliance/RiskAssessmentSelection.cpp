#include "compliance/RiskAssessmentSelection.h"

#include <algorithm>

void RiskAssessmentSelection::setRiskAssessment(const RDORiskAssessment& riskAssessment)
{
    riskAssessment_ = riskAssessment;
    resetSelectArray();
}

void RiskAssessmentSelection::resetSelectArray()
{
    selectIndexArray_.assign(size_t(riskAssessment_.surveyCount()), {});
}

bool RiskAssessmentSelection::isAllSelected() const
{
    if (riskAssessment_.surveyCount() == 0)
        return false;
    return std::all_of(selectIndexArray_.begin(), selectIndexArray_.end(),
        [](const std::vector<qint64>& list) { return !list.empty(); });
}

std::optional<std::vector<std::vector<qint64>>> RiskAssessmentSelection::selectedIndexs() const
{
    if (riskAssessment_.surveyCount() == 0)
        return std::nullopt;
    return selectIndexArray_;
}

qint64 RiskAssessmentSelection::firstUnanswered() const
{
    const auto it = std::find_if(selectIndexArray_.begin(), selectIndexArray_.end(),
        [](const std::vector<qint64>& list) { return list.empty(); });
    return qint64(it - selectIndexArray_.begin());
}

void RiskAssessmentSelection::selectRow(qint64 question, qint64 row)
{
    if (row < 0 || question < 0 || quint64(question) >= selectIndexArray_.size()
        || quint64(question) >= riskAssessment_.surveyCount())
        return;
    const RDOSurveyCol& col = (*riskAssessment_.surveyColArray)[size_t(question)];
    if (quint64(row) >= col.surveyCellArray.size())
        return;
    std::vector<qint64>& list = selectIndexArray_[size_t(question)];
    if (!col.isMutiSelected) {
        list = { row };
        return;
    }
    const auto it = std::find(list.begin(), list.end(), row);
    if (it != list.end())
        list.erase(it);
    else
        list.push_back(row);
    std::sort(list.begin(), list.end());
}

std::optional<std::vector<qint64>> RiskAssessmentSelection::selectedRowItems(qint64 question) const
{
    if (question < 0 || quint64(question) >= selectIndexArray_.size())
        return std::nullopt;
    return selectIndexArray_[size_t(question)];
}
