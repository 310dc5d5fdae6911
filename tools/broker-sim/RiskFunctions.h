#pragma once

#include "tools/broker-sim/Request.h"

#include <QHash>
#include <QObject>
#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

namespace brokersim {

class BrokerSimulator;
struct Customer;

// The server functions of the risk questionnaire.
inline constexpr Function kRiskQuestionnaireFunction { 500, 160 };
inline constexpr Function kRiskSubmitFunction { 500, 161 };
inline constexpr Function kRiskSubmitExFunction { 500, 2166 };
inline constexpr Function kRiskScoreFunction { 500, 175 };

// Where a customer's risk evaluation stands; the status function answers
// "isrisk" "2", "1" and "0" for them.
enum class RiskState { NeedsQuestionnaire, Expired, Valid };

// One answer option and its points.
struct RiskAnswer {
    QString key;
    QString text;
    qint32 points = 0;
};

struct RiskQuestion {
    QString key;
    QString text;
    bool multiple = false; // several answers allowed; their points add up
    std::vector<RiskAnswer> answers;
};

// The questionnaire the simulator hands out.
struct RiskQuestionnaire {
    QString serial;
    std::vector<RiskQuestion> questions;
};
const RiskQuestionnaire& riskQuestionnaire();

// The questionnaire as the server sends it: one row per answer.
Table riskQuestionnaireTable();

// The level name of a score.
QString riskLevelName(qint32 score);

// The risk evaluations of the simulator's customers: what the broker data
// says until a customer submits the questionnaire or a test sets a state.
// Lives as a child of the simulator; the simulator's thread only.
class RiskBook : public QObject {
public:
    explicit RiskBook(QObject* parent = nullptr);

    // The book of a simulator (registered with registerRiskFunctions).
    static RiskBook* of(BrokerSimulator& simulator);

    RiskState state(const Customer& customer) const;
    void setState(const QString& custid, RiskState state);
    // The score and level of the customer's last accepted questionnaire.
    std::optional<qint32> score(const QString& custid) const;
    void recordScore(const QString& custid, qint32 score);
    // Forgets every submit and state set since the start.
    void reset();

    // The score of submitted answers ("survey_cells" and "survey_cols" as the
    // client sends them); nullopt with `why` when they are not a complete,
    // valid answer of the questionnaire.
    static std::optional<qint32> scoreAnswers(
        const QString& serial, qint64 count, const QString& cells, const QString& cols, QString* why);

private:
    QHash<QString, RiskState> states_;
    QHash<QString, qint32> scores_;
};

// Registers the functions (and the status function in place of the login
// functions' fixed one) with a RiskBook of their own.
void registerRiskFunctions(BrokerSimulator& simulator);

} // namespace brokersim
