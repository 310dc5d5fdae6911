#include "ComplianceTestRig.h"

namespace {

using namespace std::chrono_literals;
using brokersim::kRiskQuestionnaireFunction;
using brokersim::kRiskScoreFunction;
using brokersim::kRiskStatusFunction;
using brokersim::kRiskSubmitExFunction;
using brokersim::kRiskSubmitFunction;

// Records every reply of the four requests and of the status request.
struct Observer : IQueryRiskAssessmentInfoDelegate,
                  ISubmitRiskAssessmentResultDelegate,
                  ISubmitRiskAssessmentResultExDelegate,
                  IQueryRiskAssessmentMatchDelegate,
                  IQueryRiskAssessmentStatusDelegate {
    std::vector<RDORiskAssessment> questionnaires;
    std::vector<QString> messages;
    std::vector<std::vector<RDOOpdAppropriateness>> notices;
    std::vector<RDORiskAssessmentMatch> matches;
    std::vector<RDORiskAssessmentStatus> statuses;
    std::vector<CSError> errors;
    std::size_t calls() const
    {
        return questionnaires.size() + messages.size() + notices.size() + matches.size() + statuses.size()
            + errors.size();
    }
    void queryRiskAssessmentInfo(DataModel*, const QString&, const RDORiskAssessment& v) override
    {
        questionnaires.push_back(v);
    }
    bool queryRiskAssessmentInfo(DataModel*, const QString&, const CSError& e) override { return fail(e); }
    void submitRiskAssessmentResult(DataModel*, const QString&, const QString& v) override { messages.push_back(v); }
    bool submitRiskAssessmentResult(DataModel*, const QString&, const CSError& e) override { return fail(e); }
    void submitRiskAssessmentResultEx(
        DataModel*, const QString&, const std::vector<RDOOpdAppropriateness>& v) override
    {
        notices.push_back(v);
    }
    bool submitRiskAssessmentResultEx(DataModel*, const QString&, const CSError& e) override { return fail(e); }
    void queryRiskAssessmentMatch(DataModel*, const QString&, const RDORiskAssessmentMatch& v) override
    {
        matches.push_back(v);
    }
    bool queryRiskAssessmentMatch(DataModel*, const QString&, const CSError& e) override { return fail(e); }
    void queryRiskAssessmentStatus(DataModel*, const QString&, const RDORiskAssessmentStatus& v) override
    {
        statuses.push_back(v);
    }
    bool queryRiskAssessmentStatus(DataModel*, const QString&, const CSError& e) override { return fail(e); }
    bool fail(const CSError& e)
    {
        errors.push_back(e);
        return true;
    }
};

class RiskRequestsTest : public compliancetest::RiskSimulatorFixture {
protected:
    bool waitCalls(const Observer& o, std::size_t n) { return testsupport::spinUntil([&] { return o.calls() >= n; }, 10s); }
    RiskAssessmentManager& manager() { return *RiskAssessmentManager::getInstance(); }
};

TEST_F(RiskRequestsTest, QuestionnaireAnsweredSubmittedAndScoredAsTheSimulatorComputes)
{
    auto account = logIn(QStringLiteral("010200000002"), QStringLiteral("222222")); // 李四, "isrisk" "1"
    Observer o;
    LoginManager::getInstance()->requestRiskEvaluationStatus(&o);
    ASSERT_TRUE(waitCalls(o, 1));
    ASSERT_EQ(o.statuses.size(), 1u);
    EXPECT_EQ(o.statuses[0].status, 1);

    manager().requestQueryRiskAssessmentInfo(&o);
    ASSERT_TRUE(waitCalls(o, 2));
    ASSERT_EQ(o.questionnaires.size(), 1u) << qPrintable(o.errors.empty() ? QString() : o.errors[0].domain);
    EXPECT_EQ(lastBody(kRiskQuestionnaireFunction), account->commonUrlString);
    const RDORiskAssessment q = o.questionnaires[0];
    const brokersim::RiskQuestionnaire& questionnaire = brokersim::riskQuestionnaire();
    ASSERT_EQ(q.surveyCount(), questionnaire.questions.size());
    EXPECT_EQ(q.surveySn, questionnaire.serial);
    EXPECT_TRUE((*q.surveyColArray)[2].isMutiSelected);

    // 31-50 (3), 1-3 years (2), bonds and shares (2 + 3), 10-30% (2), 3 years and more (3).
    const std::vector<std::vector<qint64>> answers { { 1 }, { 1 }, { 1, 2 }, { 1 }, { 2 } };
    const QString result = q.resultBySelectedArrayEx(answers).value();
    EXPECT_EQ(result, QStringLiteral("B|B|B,C|B|C|&survey_cols=1|2|3|4|5|"));
    manager().requestSubmitRiskAssessmentResultEx(&o, qint32(q.surveyCount()), result, q.surveySn);
    ASSERT_TRUE(waitCalls(o, 3));
    ASSERT_EQ(o.notices.size(), 1u) << qPrintable(o.errors.empty() ? QString() : o.errors[0].domain);
    EXPECT_EQ(lastBody(kRiskSubmitExFunction),
        account->commonUrlString
            + QStringLiteral("&survey_sn=%1&count=5&survey_cells=B|B|B,C|B|C|&survey_cols=1|2|3|4|5|").arg(questionnaire.serial));
    ASSERT_EQ(o.notices[0].size(), 2u);
    EXPECT_TRUE(o.notices[0][0].content.contains(QStringLiteral("15分")));

    manager().requestQueryRiskAssessmentMatch(&o, q.surveySn);
    ASSERT_TRUE(waitCalls(o, 4));
    ASSERT_EQ(o.matches.size(), 1u);
    EXPECT_TRUE(o.matches[0].isOK);
    EXPECT_EQ(o.matches[0].score, QStringLiteral("15"));
    EXPECT_EQ(o.matches[0].level, QStringLiteral("积极型"));
    EXPECT_EQ(lastBody(kRiskScoreFunction),
        account->commonUrlString + QStringLiteral("&trdacct_excls=1&survey_sn=%1&stkbd=00&cust_agmt_type=L").arg(questionnaire.serial));

    // The evaluation is valid now.
    LoginManager::getInstance()->requestRiskEvaluationStatus(&o);
    ASSERT_TRUE(waitCalls(o, 5));
    EXPECT_EQ(o.statuses.back().status, 0);

    // The plain submit answers its message; the lowest answers score 5.
    manager().requestSubmitRiskAssessmentResult(&o, 5, QStringLiteral("D|A|A|A|A|&survey_cols=1|2|3|4|5|"), q.surveySn);
    ASSERT_TRUE(waitCalls(o, 6));
    ASSERT_EQ(o.messages.size(), 1u);
    EXPECT_EQ(o.messages[0], QStringLiteral("风险测评提交成功，您的风险等级为保守型"));
    EXPECT_EQ(sim.receivedCount(kRiskSubmitFunction), 1);
    EXPECT_EQ(book().score(QStringLiteral("010200000002")), 5);
}

TEST_F(RiskRequestsTest, BadSubmitsAreRefusedByTheServerOrBeforeSending)
{
    logIn(QStringLiteral("010100000001"), QStringLiteral("111111"));
    const QString sn = brokersim::riskQuestionnaire().serial;
    Observer o;
    struct Case {
        qint32 count;
        QString cells;
        QString serial;
    };
    const Case refusedByServer[] = {
        { 5, QStringLiteral("B|B||B|C|&survey_cols=1|2|3|4|5|"), sn }, // question 3 unanswered
        { 5, QStringLiteral("B,C|B|B|B|C|&survey_cols=1|2|3|4|5|"), sn }, // two answers to a single choice
        { 4, QStringLiteral("B|B|B|B|&survey_cols=1|2|3|4|"), sn }, // too few
        { 5, QStringLiteral("B|B|B|B|C|&survey_cols=1|2|3|4|5|"), QStringLiteral("OLD") },
    };
    std::size_t expected = 0;
    for (const Case& c : refusedByServer) {
        manager().requestSubmitRiskAssessmentResultEx(&o, c.count, c.cells, c.serial);
        ASSERT_TRUE(waitCalls(o, ++expected));
        EXPECT_EQ(o.errors.size(), expected) << qPrintable(c.cells);
    }
    EXPECT_EQ(o.errors[0].code, 2001);
    EXPECT_EQ(book().score(QStringLiteral("010100000001")), std::nullopt);

    // Answers longer than their field are refused before anything is sent.
    const qsizetype sent = sim.receivedCount(kRiskSubmitExFunction);
    manager().requestSubmitRiskAssessmentResultEx(&o, 5, QString(600, u'A'), sn);
    ASSERT_TRUE(waitCalls(o, ++expected));
    EXPECT_EQ(o.errors.back().code, DataModel::kRefusedRequestCode);
    EXPECT_EQ(sim.receivedCount(kRiskSubmitExFunction), sent);

    // Without a result yet the score query gives the reason.
    manager().requestQueryRiskAssessmentMatch(&o, sn);
    ASSERT_TRUE(waitCalls(o, ++expected));
    ASSERT_EQ(o.matches.size(), 1u);
    EXPECT_FALSE(o.matches[0].isOK);
    EXPECT_EQ(o.matches[0].reason, QStringLiteral("尚未完成风险承受能力评估"));
}

TEST_F(RiskRequestsTest, StatusFollowsTheBookAndEveryClassIsCatalogued)
{
    logIn(QStringLiteral("010100000001"), QStringLiteral("111111"));
    Observer o;
    const std::pair<brokersim::RiskState, qint32> states[] = { { brokersim::RiskState::NeedsQuestionnaire, 2 },
        { brokersim::RiskState::Expired, 1 }, { brokersim::RiskState::Valid, 0 } };
    for (const auto& [state, status] : states) {
        book().setState(QStringLiteral("010100000001"), state);
        LoginManager::getInstance()->requestRiskEvaluationStatus(&o);
        ASSERT_TRUE(waitCalls(o, o.calls() + 1));
        EXPECT_EQ(o.statuses.back().status, status);
        EXPECT_EQ(o.statuses.back().tips.isEmpty(), status == 0);
    }
    for (const char* id : { DMQueryRiskAssessmentInfo::info.identifier, DMSubmitRiskAssessmentResult::info.identifier,
             DMSubmitRiskAssessmentResultEx::info.identifier, DMQueryRiskAssessmentMatch::info.identifier })
        EXPECT_TRUE(DataModelFactory::isRegistered(QString::fromLatin1(id))) << id;
}

} // namespace
