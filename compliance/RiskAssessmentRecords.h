#pragma once

#include "comm/recordset/VEKTCRS.h"

#include <QString>
#include <QtGlobal>
#include <optional>
#include <vector>

// The risk questionnaire as the trade server sends it: one row per answer
// option, grouped here into questions and their answers.

// One answer option: "SURVEY_CELL" and "SURVEY_CELL_TEXT".
class RDOSurveyCell {
public:
    RDOSurveyCell(QString key, QString text)
        : key_(std::move(key))
        , text_(std::move(text))
    {
    }
    const QString& key() const { return key_; }
    const QString& text() const { return text_; }

private:
    QString key_;
    QString text_;
};

// One question: "SURVEY_COL", "SURVEY_COL_TEXT" and its answers in row order.
class RDOSurveyCol {
public:
    RDOSurveyCol() = default;
    RDOSurveyCol(QString key, QString text)
        : key(std::move(key))
        , text(std::move(text))
    {
    }
    // addSurveyCell: a cell whose key is already listed is dropped.
    void addSurveyCell(const RDOSurveyCell& cell);

    std::vector<RDOSurveyCell> surveyCellArray;
    bool isMutiSelected = false; // "SURVEY_COL_OPT" has the value 1
    QString key;
    QString text;
};

// The questionnaire.
class RDORiskAssessment {
public:
    RDORiskAssessment() = default; // no question list
    // initWithTCRSObj: questions in the order their keys first appear.
    explicit RDORiskAssessment(const VEKTCRS& recordSet);

    quint64 surveyCount() const { return surveyColArray ? surveyColArray->size() : 0; }

    // resultBySelectedArray: the answers as the server expects them,
    // "<cells>&survey_cols=<cols>", with one entry of ascending answer indexes
    // per question. nullopt without questions, or for an index that names no
    // answer of its question.
    std::optional<QString> resultBySelectedArray(const std::vector<std::vector<qint64>>& selected) const;
    // resultBySelectedArrayEx: the same text.
    std::optional<QString> resultBySelectedArrayEx(const std::vector<std::vector<qint64>>& selected) const
    {
        return resultBySelectedArray(selected);
    }

    std::optional<std::vector<RDOSurveyCol>> surveyColArray;
    QString surveySn; // "SURVEY_SN" of the first row
};

// The result of the score query.
class RDORiskAssessmentMatch {
public:
    RDORiskAssessmentMatch() = default;
    explicit RDORiskAssessmentMatch(const VEKTCRS& recordSet); // the row at the cursor

    bool isOK = false; // "isOK" has the value 0
    std::optional<QString> score; // "survey_score", only when isOK
    std::optional<QString> level; // "rating_lvl_name", only when isOK
    std::optional<QString> reason; // "reason", only when not isOK
};
