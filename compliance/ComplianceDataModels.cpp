#include "compliance/ComplianceDataModels.h"

#include "compliance/permissions/PermissionDataModels.h"
#include "core/DataModelFactory.h"

namespace {

VEKTCRS firstRow(const std::vector<VEKTCRS>& sets)
{
    VEKTCRS first = sets.front();
    first.fetchFirst();
    return first;
}

} // namespace

void riskAssessmentResultBody(const tagRiskAssessmentResultParam& p, RequestBody& b)
{
    static constexpr std::string_view kCols = "&survey_cols=";
    const std::string_view result = p.result;
    const size_t split = result.find(kCols);
    b.prefix(p.commonUrl).add("survey_sn", p.surveySn).add("count", qint64(p.count));
    if (split == std::string_view::npos) {
        b.add("survey_cells", result);
        return;
    }
    b.add("survey_cells", result.substr(0, split)).add("survey_cols", result.substr(split + kCols.size()));
}

DMSubmitRiskAssessmentResult::Result DMSubmitRiskAssessmentResult::reply(const std::vector<VEKTCRS>& sets)
{
    return firstRow(sets).toStringWithName(QStringLiteral("~msgok"));
}

DMQueryRiskAssessmentMatch::Result DMQueryRiskAssessmentMatch::reply(const std::vector<VEKTCRS>& sets)
{
    return RDORiskAssessmentMatch(firstRow(sets));
}

void registerComplianceDataModels()
{
    DataModelFactory::registerDataModel<DMQueryRiskAssessmentInfo>();
    DataModelFactory::registerDataModel<DMSubmitRiskAssessmentResult>();
    DataModelFactory::registerDataModel<DMSubmitRiskAssessmentResultEx>();
    DataModelFactory::registerDataModel<DMQueryRiskAssessmentMatch>();
    registerPermissionDataModels();
}
