// Every flag and code a reply carries is read by its value, whatever form the
// server sends it in: as text ("1", "1.000") or as a number field. A missing
// field reads as its own rule says.
#include "compliance/RiskAssessmentRecords.h"
#include "compliance/permissions/PermissionRecords.h"
#include "core/DataModel.h"
#include "funds/requests/FundDataModels.h"
#include "login/LoginDataModels.h"
#include "login/LoginRecords.h"
#include "quotes/requests/QuoteRecords.h"
#include "tools/broker-sim/Table.h"
#include "trading/requests/TradeQueryRecords.h"
#include "transfer/FundTransferInfo.h"

#include <gtest/gtest.h>

namespace {

// The forms each field is sent in, in the order of `Field::readings`.
struct Form {
    const char* what;
    qint32 type; // 0: the field is missing
    QVariant sent;
};
const Form kForms[] = { { "\"0\"", brokersim::kText, "0" }, { "\"0.000\"", brokersim::kText, "0.000" },
    { "0.0", brokersim::kDouble, 0.0 }, { "\"1\"", brokersim::kText, "1" },
    { "\"1.0\"", brokersim::kText, "1.0" }, { "\"2.000\"", brokersim::kText, "2.000" }, { "missing", 0, {} },
    // 1 by its value, 10 by its leading digits.
    { "\"10e-1\"", brokersim::kText, "10e-1" } };

struct Field {
    const char* name;
    // The other fields of the row, as text.
    std::vector<std::pair<const char*, const char*>> others;
    // What the client makes of the reply.
    qint64 (*read)(const std::vector<VEKTCRS>& sets);
    qint64 readings[std::size(kForms)];
    const char* setName = "";
};

VEKTCRS firstRow(const std::vector<VEKTCRS>& sets)
{
    VEKTCRS set = sets.front();
    set.fetchFirst();
    return set;
}

} // namespace

TEST(FlagsByValue, EveryFieldInEveryForm)
{
    const Field fields[] = {
        // The risk evaluation due after login: 1 or 2, else nothing.
        { "isrisk", {}, [](const auto& s) -> qint64 { return RDORiskAssessmentStatus(firstRow(s)).status; },
            { 0, 0, 0, 1, 1, 2, 0, 1 } },
        { "market", {},
            [](const auto& s) -> qint64 {
                const VEKTCRS row = firstRow(s);
                return RDOSecurityInfo(&row).marketCode;
            },
            { 0, 0, 0, 1, 1, 2, 0, 1 } },
        { "singleflag", {}, [](const auto& s) -> qint64 { return RDOAccount(s).singleFlag(); },
            { 0, 0, 0, 1, 1, 2, 0, 1 } },
        // The greeting was changed only with "ErrCode" 0.
        { "ErrCode", {}, [](const auto& s) -> qint64 { return DMReservationInfo::reply(s); },
            { 1, 1, 1, 0, 0, 0, 0, 0 } },
        // A multiple-choice question.
        { "SURVEY_COL_OPT", { { "SURVEY_COL", "Q1" }, { "SURVEY_CELL", "A" } },
            [](const auto& s) -> qint64 {
                return RDORiskAssessment(s.front()).surveyColArray->front().isMutiSelected;
            },
            { 0, 0, 0, 1, 1, 0, 0, 1 } },
        { "isOK", {}, [](const auto& s) -> qint64 { return RDORiskAssessmentMatch(firstRow(s)).isOK; },
            { 1, 1, 1, 0, 0, 0, 0, 0 } },
        { "right", {}, [](const auto& s) -> qint64 { return RDOPermission(firstRow(s)).status; },
            { 0, 0, 0, 1, 1, 0, 0, 1 } },
        // The fund asks for the suitability check.
        { "ischecksdx", {},
            [](const auto& s) -> qint64 { return RDOOpenEndFund(firstRow(s)).needCheckAppropriateness; },
            { 0, 0, 0, 1, 1, 0, 0, 1 } },
        { "sdx_status", {},
            [](const auto& s) -> qint64 { return DMOpdQueryAppropriateness::reply(s).status; },
            { 0, 0, 0, 1, 1, 0, 0, 1 }, "sdxstatus" },
        { "dividmethod", {}, [](const auto& s) -> qint64 { return DMQueryBonusSetting::reply(s); },
            { 0, 0, 0, 1, 1, 2, 0, 1 } },
        { "errcode", {},
            [](const auto& s) -> qint64 { return RDOUserRiskLevelMatchInfo(firstRow(s)).isMatched; },
            { 1, 1, 1, 0, 0, 0, 1, 0 } },
        // The main capital account, in the capital-account list and the
        // transfer pages; a missing "fundseq" marks it there.
        { "fundseq", { { "bankname", "工行" } },
            [](const auto& s) -> qint64 {
                return DTFundInfoTable(&s.front())
                    .valueForTitle(0, QString())
                    .endsWith(QStringLiteral("(主)"));
            },
            { 1, 1, 1, 0, 0, 0, 1, 0 } },
        { "fundseq", {},
            [](const auto& s) -> qint64 {
                const VEKTCRS row = firstRow(s);
                return RDOFundAccountInfo(&row).isMain();
            },
            { 1, 1, 1, 0, 0, 0, 1, 0 } },
        // The fund password of a bank-to-securities transfer in 人民币.
        { "fundpwdflag", { { "moneytype", "0" }, { "banktrantype", "1" } },
            [](const auto& s) -> qint64 {
                const VEKTCRS row = firstRow(s);
                return RDOFundAccountInfo(&row).transferNeedFundPassword(1, 0);
            },
            { 0, 0, 0, 1, 1, 1, 0, 1 } },
        // The trade market of a quote's exchange (-1: none), and whether the
        // security has no price limit.
        { "exchid", { { "classid", "1" } },
            [](const auto& s) -> qint64 {
                return RDOQuotesOf5Level(&s.front()).marketType.value_or(QStringLiteral("-1")).toLongLong();
            },
            { -1, -1, -1, 0, 0, 1, -1, 0 } },
        { "limflag", {}, [](const auto& s) -> qint64 { return RDOQuotesOf5Level(&s.front()).hasNotLimit; },
            { 0, 0, 0, 1, 1, 1, 0, 1 } },
        // The code of an error row, whatever reply it comes in.
        { "errcode", {}, [](const auto& s) -> qint64 { return DataModel::errorOfRow(s.front()).code; },
            { 0, 0, 0, 1, 1, 2, 0, 1 }, "error" },
    };
    for (const Field& field : fields) {
        for (std::size_t f = 0; f < std::size(kForms); ++f) {
            const Form& form = kForms[f];
            SCOPED_TRACE(QStringLiteral("%1 %2")
                             .arg(QLatin1String(field.name), QLatin1String(form.what))
                             .toStdString());
            brokersim::Table table;
            table.info = QString::fromLatin1(field.setName);
            QVariantList row;
            for (const auto& [name, value] : field.others) {
                table.described(QString::fromLatin1(name), QString());
                row << QString::fromUtf8(value);
            }
            if (form.type) {
                table.column(QString::fromLatin1(field.name), form.type);
                row << form.sent;
            }
            table.row(row);
            const std::optional<VEKTCRS> set = brokersim::toRecordSet(table, 2);
            ASSERT_TRUE(set.has_value());
            EXPECT_EQ(field.read({ *set }), field.readings[f]);
        }
    }
    // An error row's code is never cut to 32 bits (2^32 + 1 is not 1).
    brokersim::Table wide;
    wide.info = QStringLiteral("error");
    wide.column(QStringLiteral("errcode"), brokersim::kInt64).row({ qint64(4294967297) });
    EXPECT_EQ(DataModel::errorOfRow(brokersim::toRecordSet(wide, 2).value()).code, 4294967297);
}
