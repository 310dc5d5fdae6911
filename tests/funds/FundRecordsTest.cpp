// Records, tables and reply results from record sets, without a network.
#include "FundTestRig.h"

#include <gtest/gtest.h>

using brokersim::DescribedTable;
using fundtest::described;

namespace {

DescribedTable fundRow(const std::optional<QString>& checksdx)
{
    DescribedTable t;
    t.column("ofcode", "基金代码").column("ofname", "基金名称");
    QStringList row { "000001", "青岚成长混合" };
    if (checksdx) {
        t.column("ischecksdx", "适当性校验");
        row << *checksdx;
    }
    return t.row(row);
}

} // namespace

TEST(FundRecords, AppropriatenessFlagIsOneOnlyForTheValueOne)
{
    const struct {
        std::optional<QString> text;
        qint32 flag;
    } cases[] = { { "1", 1 }, { "0", 0 }, { "", 0 }, { "Y", 0 }, { " 1", 1 }, { "1.000", 1 }, { "1.0", 1 },
        { "0.000", 0 }, { "2", 0 }, { "1x", 0 }, { std::nullopt, 0 } };
    for (const auto& c : cases) {
        VEKTCRS set = described(fundRow(c.text));
        set.fetchFirst();
        EXPECT_EQ(RDOOpenEndFund(set).needCheckAppropriateness, c.flag) << qPrintable(c.text.value_or("(missing)"));
    }
}

TEST(FundRecords, TablesHideTheirFieldsButRowObjectsKeepThem)
{
    // The fund table: "poststr" and "tacode" are columns of no one, yet the
    // row object still names the company.
    const VEKTCRS funds = described(DescribedTable()
                                        .column("ofcode", "基金代码")
                                        .column("ofname", "基金名称")
                                        .column("poststr", "定位串")
                                        .column("tacode", "基金公司代码")
                                        .row({ "000001", "青岚成长混合", "1", "98" })
                                        .row({ "110011", "远帆中小盘", "2", "05" }));
    const DTOpenendFundTable table(&funds);
    EXPECT_EQ(table.tableColomnTitles(), QStringList({ "基金代码", "基金名称" }));
    ASSERT_EQ(table.contentObjectArray().size(), 2);
    EXPECT_EQ(table.objectAt(1).code, "110011");
    EXPECT_EQ(table.objectAt(1).corpCode, "05");
    EXPECT_EQ(table.objectAt(1).postString, "2");

    // The order list hides the status code; the order keeps it, and its
    // serial comes from "sno3".
    const VEKTCRS orders = described(DescribedTable()
                                         .column("ofcode", "基金代码")
                                         .column("~jj_orderstatus", "委托状态")
                                         .column("jj_orderstatus", "状态代码")
                                         .column("sno3", "委托编号")
                                         .row({ "000001", "未报", "0", "100007" }));
    DTOpdFundOrderList list(&orders);
    EXPECT_EQ(list.tableColomnTitles(), QStringList({ "基金代码", "委托状态", "委托编号" }));
    EXPECT_EQ(list.objectAt(0).orderStatus, "0");
    EXPECT_EQ(list.objectAt(0).orderNumber, "100007");

    // An update rebuilds rows and objects alike; a plan list without rows
    // keeps its titles.
    list.updateTable(&funds);
    EXPECT_EQ(list.contentObjectArray().size(), 2);
    EXPECT_EQ(list.arrayController()->count(), 2);
    const VEKTCRS noPlans = described(DescribedTable().column("ofcode", "基金代码").column("sendday", "扣款日期"));
    const DTInvestOntimeOrderTable plans(&noPlans);
    EXPECT_EQ(plans.tableColomnTitles(), QStringList({ "基金代码", "扣款日期" }));
    EXPECT_EQ(plans.count(), 0);
}

TEST(FundRecords, MissingSerialOrDividendMethodIsNoFailure)
{
    const std::vector<VEKTCRS> empty { described(DescribedTable().column("other", "").row({ "x" })) };
    EXPECT_EQ(DMRedeemOpdFund::reply(empty), QString());
    EXPECT_EQ(DMOpdFundTrade::reply(empty), QString());
    EXPECT_EQ(DMQueryBonusSetting::reply(empty), 0);
    const std::vector<VEKTCRS> cash { described(DescribedTable().column("dividmethod", "").row({ "1" })) };
    EXPECT_EQ(DMQueryBonusSetting::reply(cash), 1);
}

TEST(FundRecords, CacheKeysOfListTypes)
{
    const std::pair<const char*, int32_t> cases[]
        = { { "1", 1 }, { "2", 2 }, { "0", 3 }, { "01", 1 }, { "5", 0 }, { "", 0 }, { "x", 0 } };
    for (const auto& [type, key] : cases)
        EXPECT_EQ(DMQueryOpdFundList::getDataCacheType(QString::fromLatin1(type)), key) << type;
}

TEST(FundRecords, AppropriatenessWithEitherBothOrNeitherSet)
{
    auto status = [](const char* value) {
        DescribedTable t;
        t.info = "sdxstatus";
        return described(t.column("sdx_status", "").row({ value }));
    };
    DescribedTable notices;
    notices.info = "sdxxy";
    notices.column("title", "").column("ans", "").column("locktime", "");
    notices.row({ "风险揭示书", "tc_mfuncno=500&tc_sfuncno=1647", "10" }).row({ "提示", "", "" });
    const VEKTCRS xy = described(notices);

    const auto both = DMOpdQueryAppropriateness::reply({ status("1"), xy });
    EXPECT_TRUE(both.status);
    ASSERT_TRUE(both.notices);
    ASSERT_EQ(both.notices->size(), 2u);
    EXPECT_EQ((*both.notices)[0].problemConfirmUrl, "tc_mfuncno=500&tc_sfuncno=1647");
    EXPECT_EQ((*both.notices)[1].lockTime, 0);

    const auto onlyStatus = DMOpdQueryAppropriateness::reply({ status("0") });
    EXPECT_FALSE(onlyStatus.status);
    EXPECT_FALSE(onlyStatus.notices);

    const auto onlyNotices = DMOpdQueryAppropriateness::reply({ xy });
    EXPECT_FALSE(onlyNotices.status);
    EXPECT_EQ(onlyNotices.notices->size(), 2u);

    DescribedTable other;
    other.info = "other";
    const auto neither = DMOpdQueryAppropriateness::reply({ described(other.column("x", "").row({ "1" })) });
    EXPECT_FALSE(neither.status);
    EXPECT_FALSE(neither.notices);
}

TEST(FundRecords, RiskLevelMatch)
{
    const std::pair<const char*, bool> cases[] = { { "0", true }, { "-1", false }, { "1", false } };
    for (const auto& [code, matched] : cases) {
        VEKTCRS set = described(DescribedTable().column("errcode", "").column("errmsg", "").row({ code, "说明" }));
        set.fetchFirst();
        const RDOUserRiskLevelMatchInfo info(set);
        EXPECT_EQ(info.isMatched, matched) << code;
        EXPECT_EQ(info.matchedMessage, "说明");
    }
}
