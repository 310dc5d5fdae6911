#include "compliance/ComplianceDataModels.h"
#include "compliance/RiskAssessmentSelection.h"
#include "login/LoginTestRig.h"

#include <gtest/gtest.h>
#include <limits>

namespace {

using brokersim::Table;
using logintest::HomeFixture;

Table surveyTable(const QList<QStringList>& rows)
{
    Table t;
    for (const char* name :
        { "SURVEY_COL", "SURVEY_COL_TEXT", "SURVEY_COL_OPT", "SURVEY_CELL", "SURVEY_CELL_TEXT", "SURVEY_SN" })
        t.column(QString::fromLatin1(name));
    for (const QStringList& r : rows)
        t.row({ r[0], r[1], r[2], r[3], r[4], r[5] });
    return t;
}

// Question 1 (A, B, C) and question 2 (A to D, several allowed), rows mixed.
RDORiskAssessment twoQuestions()
{
    return RDORiskAssessment(HomeFixture::set(surveyTable({
        { "2", "品种", "1", "A", "存款", "SN1" },
        { "1", "年龄", "0", "A", "青年", "SN2" },
        { "2", "品种", "1", "B", "债券", "SN1" },
        { "1", "年龄", "0", "B", "中年", "SN1" },
        { "1", "年龄", "0", "B", "重复", "SN1" },
        { "2", "品种", "1", "C", "股票", "SN1" },
        { "1", "年龄", "0", "C", "老年", "SN1" },
        { "2", "品种", "1", "D", "期货", "SN1" },
    })));
}

TEST(RiskQuestionnaireTest, QuestionsInFirstAppearanceAnswersInRowOrderRepeatsDropped)
{
    const RDORiskAssessment q = twoQuestions();
    ASSERT_EQ(q.surveyCount(), 2u);
    EXPECT_EQ(q.surveySn, QStringLiteral("SN1")); // the first row's, not a later one's
    const RDOSurveyCol& first = (*q.surveyColArray)[0];
    const RDOSurveyCol& second = (*q.surveyColArray)[1];
    EXPECT_EQ(first.key, QStringLiteral("2"));
    EXPECT_TRUE(first.isMutiSelected);
    EXPECT_EQ(first.surveyCellArray.size(), 4u);
    EXPECT_EQ(second.key, QStringLiteral("1"));
    EXPECT_EQ(second.text, QStringLiteral("年龄"));
    EXPECT_FALSE(second.isMutiSelected);
    ASSERT_EQ(second.surveyCellArray.size(), 3u);
    EXPECT_EQ(second.surveyCellArray[1].text(), QStringLiteral("中年"));

    // Several answers by the value 1 in any form, one answer otherwise.
    const struct {
        const char* opt;
        bool multiple;
    } opts[] = { { "0", false }, { "", false }, { "2", false }, { "0.000", false }, { "1.000", true },
        { "1.0", true }, { "x", false } };
    for (const auto& o : opts) {
        const RDORiskAssessment single(
            HomeFixture::set(surveyTable({ { "1", "t", QString::fromLatin1(o.opt), "A", "a", "S" } })));
        EXPECT_EQ((*single.surveyColArray)[0].isMutiSelected, o.multiple) << o.opt;
    }
    EXPECT_EQ(RDORiskAssessment().surveyCount(), 0u);
}

TEST(RiskQuestionnaireTest, AnswerEncoding)
{
    // Keys 1 (A, B, C) and 2 (A, B, C, D, several allowed), as the server's example.
    const RDORiskAssessment q(HomeFixture::set(surveyTable({
        { "1", "q1", "0", "A", "a", "S" }, { "1", "q1", "0", "B", "b", "S" }, { "1", "q1", "0", "C", "c", "S" },
        { "2", "q2", "1", "A", "a", "S" }, { "2", "q2", "1", "B", "b", "S" }, { "2", "q2", "1", "C", "c", "S" },
        { "2", "q2", "1", "D", "d", "S" },
    })));
    struct Case {
        std::vector<std::vector<qint64>> selected;
        std::optional<QString> expected;
    };
    const Case cases[] = {
        { { { 1 }, { 0, 2 } }, QStringLiteral("B|A,C|&survey_cols=1|2|") },
        { { { 2 }, { 0, 1, 2, 3 } }, QStringLiteral("C|A,B,C,D|&survey_cols=1|2|") },
        { { { 0 } }, QStringLiteral("A|&survey_cols=1|") }, // shorter: leading questions only
        { { {}, { 3 } }, QStringLiteral("|D|&survey_cols=1|2|") }, // an empty entry is only "|"
        { { { 3 }, { 0 } }, std::nullopt }, // no fourth answer to question 1
        { { { -1 }, { 0 } }, std::nullopt },
    };
    for (const Case& c : cases) {
        EXPECT_EQ(q.resultBySelectedArray(c.selected), c.expected);
        EXPECT_EQ(q.resultBySelectedArrayEx(c.selected), c.expected);
    }
    EXPECT_EQ(RDORiskAssessment().resultBySelectedArray({ { 0 } }), std::nullopt);
}

TEST(RiskQuestionnaireTest, SelectionReplacesSingleTogglesMultipleAndIgnoresStrayClicks)
{
    RiskAssessmentSelection table;
    table.setRiskAssessment(twoQuestions()); // question 0 multiple (4 answers), question 1 single (3)
    EXPECT_FALSE(table.isAllSelected());
    table.selectRow(1, 0);
    table.selectRow(1, 2);
    EXPECT_EQ(table.selectedRowItems(1), std::vector<qint64>({ 2 }));
    table.selectRow(0, 2);
    table.selectRow(0, 0);
    EXPECT_EQ(table.selectedRowItems(0), std::vector<qint64>({ 0, 2 }));
    table.selectRow(0, 2);
    EXPECT_EQ(table.selectedRowItems(0), std::vector<qint64>({ 0 }));
    table.selectRow(0, 4); // no such answer
    table.selectRow(2, 0); // no such question
    table.selectRow(0, -1);
    EXPECT_EQ(table.selectedIndexs(), (std::vector<std::vector<qint64>> { { 0 }, { 2 } }));
    EXPECT_TRUE(table.isAllSelected());
    EXPECT_EQ(table.selectedRowItems(5), std::nullopt);

    table.setRiskAssessment(twoQuestions()); // a new questionnaire clears every choice
    EXPECT_EQ(table.firstUnanswered(), 0);
    table.selectRow(0, 1);
    EXPECT_EQ(table.firstUnanswered(), 1);

    // A question a number field marks "1.000" takes several answers, and the
    // evaluation sent carries them all.
    const RDORiskAssessment numbered(HomeFixture::set(
        surveyTable({ { "1", "q", "1.000", "A", "a", "S" }, { "1", "q", "1.000", "B", "b", "S" } })));
    table.setRiskAssessment(numbered);
    table.selectRow(0, 0);
    table.selectRow(0, 1);
    EXPECT_EQ(table.selectedRowItems(0), std::vector<qint64>({ 0, 1 }));
    ASSERT_TRUE(table.selectedIndexs());
    EXPECT_EQ(numbered.resultBySelectedArray(*table.selectedIndexs()), QStringLiteral("A,B|&survey_cols=1|"));
}

TEST(RiskQuestionnaireTest, ScoreResultAndNotices)
{
    struct Case {
        QStringList columns, values;
        bool ok;
        std::optional<QString> score, level, reason;
    };
    const Case cases[] = {
        { { "isOK", "survey_score", "rating_lvl_name", "reason" }, { "0", "18", "积极型", "x" }, true,
            QStringLiteral("18"), QStringLiteral("积极型"), std::nullopt },
        { { "isOK", "survey_score", "reason" }, { "1", "18", "未评估" }, false, std::nullopt, std::nullopt,
            QStringLiteral("未评估") },
        { { "isOK", "reason" }, { "", "r" }, false, std::nullopt, std::nullopt, QStringLiteral("r") },
        { { "isOK", "survey_score", "rating_lvl_name" }, { "0.000", "18", "积极型" }, true,
            QStringLiteral("18"), QStringLiteral("积极型"), std::nullopt },
        { { "reason" }, { "r" }, false, std::nullopt, std::nullopt, QStringLiteral("r") },
    };
    for (const Case& c : cases) {
        Table t;
        QVariantList row;
        for (qsizetype i = 0; i < c.columns.size(); ++i) {
            t.column(c.columns[i]);
            row << c.values[i];
        }
        t.row(row);
        VEKTCRS set = HomeFixture::set(t);
        set.fetchFirst();
        const RDORiskAssessmentMatch match(set);
        EXPECT_EQ(match.isOK, c.ok);
        EXPECT_EQ(match.score, c.score);
        EXPECT_EQ(match.level, c.level);
        EXPECT_EQ(match.reason, c.reason);
    }

    Table notices;
    for (const char* name : { "title", "content", "webaddr", "locktime", "ans", "tips" })
        notices.column(QString::fromLatin1(name));
    notices.row({ "告知书", "正文", "", "15", "tc_mfuncno=500&tc_sfuncno=1", "已阅读" });
    notices.row({ "网页", "", "https://example.invalid/a", "", "", "" });
    // The wait by its value, never shorter than sent: a part second counts
    // whole, and a text that is no number is no wait, as a missing field.
    const struct {
        const char* sent;
        qint64 seconds;
    } waits[] = { { "2.5", 3 }, { "1e1", 10 }, { "3s", 0 }, { "-5", 0 }, { "0.001", 1 },
        { "1e30", std::numeric_limits<qint64>::max() },
        { "9223372036854775808", std::numeric_limits<qint64>::max() }, { "inf", 0 } };
    for (const auto& w : waits)
        notices.row({ "秒", "", "", w.sent, "", "" });
    const auto list = RDOOpdAppropriateness::parseResultsets({ HomeFixture::set(notices) }, 0);
    ASSERT_TRUE(list);
    ASSERT_EQ(list->size(), 2 + std::size(waits));
    for (std::size_t i = 0; i < std::size(waits); ++i)
        EXPECT_EQ((*list)[2 + i].lockTime, waits[i].seconds) << waits[i].sent;
    EXPECT_EQ((*list)[0].lockTime, 15);
    EXPECT_EQ((*list)[0].problemConfirmUrl, QStringLiteral("tc_mfuncno=500&tc_sfuncno=1"));
    EXPECT_EQ((*list)[0].confirmPrompt, QStringLiteral("已阅读"));
    EXPECT_EQ((*list)[1].lockTime, 0);
    EXPECT_EQ((*list)[1].webUrl, QStringLiteral("https://example.invalid/a"));
    EXPECT_EQ((*list)[1].type, QString());
    EXPECT_FALSE((*list)[1].submitTitle);
    EXPECT_EQ(RDOOpdAppropriateness::parseResultsets({ HomeFixture::set(notices) }, 1), std::nullopt);
    EXPECT_EQ(RDOOpdAppropriateness::parseResultsets({}, 0), std::nullopt);
}

TEST(RiskRequestBodyTest, BodiesByteForByte)
{
    tagRiskAssessmentResultParam submit;
    submit.commonUrl = "custid=1&ticket=t";
    submit.surveySn = "SN1";
    submit.count = 2;
    submit.result = "B|A,C|&survey_cols=1|2|";
    auto packet = DMSubmitRiskAssessmentResultEx::makePacket(submit);
    ASSERT_TRUE(packet);
    EXPECT_EQ(packet->data(), QStringLiteral("custid=1&ticket=t&survey_sn=SN1&count=2&survey_cells=B|A,C|&survey_cols=1|2|"));
    EXPECT_EQ(packet->sFunc(), 2166u);
    EXPECT_EQ(DMSubmitRiskAssessmentResult::makePacket(submit)->sFunc(), 161u);

    // Answers that would add or rewrite a pair are refused, not sent.
    for (const char* bad : { "B|A&trdpwd=1|&survey_cols=1|", "B=|&survey_cols=1|", "B|&survey_cols=1&x=2" }) {
        submit.result = bad;
        EXPECT_FALSE(DMSubmitRiskAssessmentResultEx::makePacket(submit)) << bad;
    }

    tagRiskAssessmentInfoParam info;
    info.commonUrl = "custid=1";
    EXPECT_EQ(DMQueryRiskAssessmentInfo::makePacket(info)->data(), QStringLiteral("custid=1"));
    tagRiskAssessmentMatchParam match;
    match.commonUrl = "custid=1";
    match.trdacctExcls = "1";
    match.surveySn = "SN1";
    EXPECT_EQ(DMQueryRiskAssessmentMatch::makePacket(match)->data(),
        QStringLiteral("custid=1&trdacct_excls=1&survey_sn=SN1&stkbd=00&cust_agmt_type=L"));
    EXPECT_EQ(DMQueryRiskAssessmentMatch::makePacket(match)->sFunc(), 175u);
}

} // namespace
