#include "compliance/RiskAssessmentRecords.h"

#include "comm/recordset/ServerNumber.h"

#include <algorithm>

namespace {

QString text(const VEKTCRS& set, const char* name)
{
    return set.toStringWithName(QLatin1StringView(name));
}

} // namespace

void RDOSurveyCol::addSurveyCell(const RDOSurveyCell& cell)
{
    const bool known = std::any_of(surveyCellArray.begin(), surveyCellArray.end(),
        [&](const RDOSurveyCell& c) { return c.key() == cell.key(); });
    if (!known)
        surveyCellArray.push_back(cell);
}

RDORiskAssessment::RDORiskAssessment(const VEKTCRS& recordSet)
{
    VEKTCRS rows = recordSet;
    std::vector<RDOSurveyCol> cols;
    bool haveSerial = false;
    for (qint32 row = 0; row < rows.rowsAffected(); ++row) {
        if (!rows.moveTo(row))
            continue;
        const QString key = text(rows, "SURVEY_COL");
        RDOSurveyCell cell(text(rows, "SURVEY_CELL"), text(rows, "SURVEY_CELL_TEXT"));
        auto it = std::find_if(cols.begin(), cols.end(), [&](const RDOSurveyCol& c) { return c.key == key; });
        if (it != cols.end()) {
            it->addSurveyCell(cell);
            continue;
        }
        if (!haveSerial) {
            surveySn = text(rows, "SURVEY_SN");
            haveSerial = true;
        }
        RDOSurveyCol col(key, text(rows, "SURVEY_COL_TEXT"));
        col.isMutiSelected = servernumber::Row(rows).wholeValue("SURVEY_COL_OPT") == 1;
        col.addSurveyCell(cell);
        cols.push_back(std::move(col));
    }
    surveyColArray = std::move(cols);
}

std::optional<QString> RDORiskAssessment::resultBySelectedArray(
    const std::vector<std::vector<qint64>>& selected) const
{
    if (surveyCount() == 0)
        return std::nullopt;
    QString cells;
    QString cols;
    for (size_t i = 0; i < surveyColArray->size() && i < selected.size(); ++i) {
        const RDOSurveyCol& col = (*surveyColArray)[i];
        const std::vector<qint64>& entry = selected[i];
        for (size_t n = 0; n < entry.size(); ++n) {
            // The page admits only existing answers; anything else is refused
            // rather than read past the list.
            if (entry[n] < 0 || quint64(entry[n]) >= col.surveyCellArray.size())
                return std::nullopt;
            cells += col.surveyCellArray[size_t(entry[n])].key();
            if (n + 1 < entry.size())
                cells += u',';
        }
        cols += col.key;
        cells += u'|';
        cols += u'|';
    }
    return QStringLiteral("%1&survey_cols=%2").arg(cells, cols);
}

RDORiskAssessmentMatch::RDORiskAssessmentMatch(const VEKTCRS& set)
{
    isOK = servernumber::Row(set).wholeValue("isOK") == 0;
    if (isOK) {
        score = text(set, "survey_score");
        level = text(set, "rating_lvl_name");
    } else {
        reason = text(set, "reason");
    }
}
