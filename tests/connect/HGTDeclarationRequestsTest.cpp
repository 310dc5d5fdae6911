#include "connect/HGTRequestManager.h"
#include "core/NetworkFactory.h"
#include "login/LoginTestRig.h"

#include <gtest/gtest.h>

namespace {

constexpr char kPrefix[] = "custid=1&fundid=2";

QString body(const std::optional<CSPacket>& packet)
{
    return packet ? packet->data() : QStringLiteral("<refused>");
}

VEKTCRS recordSet(const brokersim::Table& table)
{
    return logintest::HomeFixture::set(table);
}

} // namespace

TEST(HGTDeclarationRequests, BodiesByteForByte)
{
    tagHGTVote vote;
    vote.commonUrl = kPrefix;
    vote.stockCode = "00700";
    vote.publicNo = "G001";
    vote.billNo = "3";
    vote.freeNo = "200";
    vote.securityId = "A101000001";
    EXPECT_EQ(body(DMHGTVote::makePacket(vote)),
        "custid=1&fundid=2&settno=&stk_code=00700&isin_no=&pub_no=G001&bill_no=3&up_no=&down_no=&free_no=200"
        "&trdacct=A101000001&int_org=");

    tagHGTOtherVote declaration;
    declaration.commonUrl = kPrefix;
    declaration.stockCode = "00700";
    declaration.voteType = 3;
    declaration.quantity = "300";
    declaration.orgNo = "D00700";
    declaration.securityId = "A101000001";
    declaration.orgId = "0101";
    EXPECT_EQ(body(DMHGTOtherVote::makePacket(declaration)),
        "custid=1&fundid=2&settno=&stk_code=00700&hk_type=H66&hk_dle_type=HSB&declare_quan=300&org_no=D00700"
        "&trdacct=A101000001&int_org=0101");

    tagHGTCancelOtherVote withdrawal;
    withdrawal.commonUrl = kPrefix;
    withdrawal.voteType = 0;
    withdrawal.stockCode = "00700";
    withdrawal.quantity = "100";
    withdrawal.orgNo = "D00700";
    withdrawal.securityId = "A101000001";
    EXPECT_EQ(body(DMHGTCancelOtherVote::makePacket(withdrawal)),
        "custid=1&fundid=2&settno=&stk_code=00700&hk_type=H63&hk_dle_type=HSB&declare_quan=-100&org_no=D00700"
        "&trdacct=A101000001&int_org=");

    tagPermissionInfoParam permissions;
    permissions.commonUrl = kPrefix;
    const std::optional<CSPacket> list = DMHGTQueryPermissionInfo::makePacket(permissions);
    EXPECT_EQ(body(list), "custid=1&fundid=2&func=s&market=5");
    ASSERT_TRUE(list);
    EXPECT_EQ(list->sFunc(), 259u);

    tagHGTCancelOrder cancel;
    cancel.commonUrl = kPrefix;
    cancel.orderDate = "20261202";
    cancel.orderSno = "500001";
    EXPECT_EQ(body(DMHGTCancelOrder::makePacket(cancel)), "custid=1&fundid=2&count=1&orderdate=20261202&snos=500001");

    tagHGTOrdersOfToday orders;
    orders.commonUrl = kPrefix;
    orders.queryFlag = "1";
    orders.count = 9999;
    EXPECT_EQ(body(DMHGTQueryOrdersOfToday::makePacket(orders)), "custid=1&fundid=2&qryflag=1&count=9999");

    tagHGTQueryOtherVote listed;
    listed.commonUrl = kPrefix;
    listed.beginDate = "20261201";
    listed.endDate = "20261202";
    EXPECT_EQ(body(DMHGTQueryOtherVote::makePacket(listed)), "custid=1&fundid=2&bgn_date=20261201&end_date=20261202");

    tagHGTQueryNotification notices;
    notices.commonUrl = kPrefix;
    notices.stockCode = "00700";
    EXPECT_EQ(body(DMHGTQueryNotification::makePacket(notices)), "custid=1&fundid=2&bgn_date=&end_date=&zqdm=00700");

    tagHGTQueryStockTarget targets;
    targets.commonUrl = kPrefix;
    EXPECT_EQ(body(DMHGTQueryStockTarget::makePacket(targets)), "custid=1&fundid=2&market=5&stkcode=");

    // A typed value that would add a field never reaches the wire.
    withdrawal.orgNo = "D1&declare_quan=999";
    EXPECT_FALSE(DMHGTCancelOtherVote::makePacket(withdrawal));
}

TEST(HGTDeclarationRequests, CancelsAndVotesMergeEndEarlierReadsAndEveryQueryHandleCoversItsFields)
{
    // Cancels, votes and declarations change state: each ends the reads sent before it, and
    // merges with an equal one waiting.
    static_assert(DMHGTCancelOrder::info.changesState() && DMHGTCancelOrder::info.mergesEqualRequests());
    static_assert(DMHGTVote::info.changesState() && DMHGTVote::info.mergesEqualRequests());
    static_assert(DMHGTOtherVote::info.changesState() && DMHGTOtherVote::info.mergesEqualRequests());
    static_assert(
        DMHGTCancelOtherVote::info.changesState() && DMHGTCancelOtherVote::info.mergesEqualRequests());
    static_assert(!DMHGTQueryOtherVote::info.changesState());
    EXPECT_TRUE(DMHGTMakeOrder().endsEarlierReads() && DMHGTCancelOrder().endsEarlierReads()
        && DMHGTVote().endsEarlierReads() && DMHGTOtherVote().endsEarlierReads()
        && DMHGTCancelOtherVote().endsEarlierReads());
    EXPECT_FALSE(DMHGTQueryOrdersOfToday().endsEarlierReads());

    // Two listings with other dates never share an answer.
    auto handle = [](const char* begin, const char* end) {
        tagRequestParam param;
        tagHGTQueryOtherVote& p = param.value.emplace<tagHGTQueryOtherVote>();
        p.commonUrl = kPrefix;
        p.beginDate = begin;
        p.endDate = end;
        return DMHGTQueryOtherVote().getRequestHandle(param);
    };
    EXPECT_NE(handle("20261201", "20261202"), handle("20261201", "20261203"));
    EXPECT_NE(handle("20261201", "20261202"), handle("20261130", "20261202"));
    EXPECT_EQ(handle("20261201", "20261202"), handle("20261201", "20261202"));

    // Each class files its requests under its own identifier, the Stock
    // Connect permission list apart from the general one.
    EXPECT_STRNE(DMHGTQueryPermissionInfo::info.identifier, DMQueryPermissionInfo::info.identifier);
    EXPECT_EQ(DMHGTQueryPermissionInfo().identifier(), QLatin1String("089D76CC-A678-116C-6D47-AAB7E6A5D14D"));
    // The request objects made the shared networks; they must go before the run loop does at exit.
    NetworkFactory::resetInstance();
}

TEST(HGTDeclarationRecords, NotificationContentBecomesOneRow)
{
    const struct {
        const char* content;
        QStringList titles;
        QStringList values;
    } cases[] = {
        { "a=1|b=2", { "a", "b" }, { "1", "2" } },
        { "k=v=w", { "k" }, { "v" } },
        { "a=1|b=2|", { "a", "b" }, { "1", "2" } },
        { "a=1|a=3|b=2", { "a", "a", "b" }, { "3", "3", "2" } },
        { "plain|a=1||b", { "a" }, { "1" } },
        { "a=|=x", { "a", "" }, { "", "x" } },
        { "", {}, {} },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.content);
        const auto table = DTHGTNotificationInfoTable::fromTexts(QStringLiteral("T"), QString::fromUtf8(c.content));
        EXPECT_EQ(table->title, QStringLiteral("T"));
        EXPECT_EQ(table->tableColomnTitles(), c.titles);
        EXPECT_EQ(table->arrayController()->count(), c.titles.isEmpty() ? 0 : 1);
        if (!c.titles.isEmpty())
            EXPECT_EQ(table->arrayController()->arrangedObjects().front(), c.values);
    }

    // One table per row of the reply, in order; no rows, an empty list.
    using brokersim::Table;
    const VEKTCRS two = recordSet(Table()
            .column("title")
            .column("content")
            .row({ "第一", "公告编号=G1|议案编号=1" })
            .row({ "第二", "行为代码=D1" }));
    const DTHGTNotificationList list = DMHGTQueryNotification::reply({ two });
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list[0]->title, QStringLiteral("第一"));
    EXPECT_EQ(list[0]->tableColomnTitles(), QStringList({ "公告编号", "议案编号" }));
    EXPECT_EQ(list[1]->valueForTitle(0, QStringLiteral("行为代码")), QStringLiteral("D1"));
    EXPECT_TRUE(DMHGTQueryNotification::reply({ recordSet(Table().column("title").column("content")) }).empty());
}

TEST(HGTDeclarationRecords, DeclarationRowsKeepTheirRecordAndTypeCodesMapBack)
{
    using brokersim::Table;
    const VEKTCRS set = recordSet(Table()
            .described("poststr", "定位串")
            .described("stk_code", "证券代码")
            .described("hk_type", "类型代码")
            .described("~hk_type", "业务类型")
            .described("hk_dle_type", "申报类型代码")
            .described("org_no", "行为代码")
            .described("declare_quan", "申报数量")
            .described("trdacct", "股东代码")
            .row({ "1", "00700", "H66", "红利现金选择权", "HSB", "D1", "300", "A1" })
            .row({ "2", "00005", "H64", "公开招股", "HSB", "D2", "100", "A1" }));
    const auto table = DMHGTQueryOtherVote::reply({ set });
    EXPECT_EQ(table->tableColomnTitles(), QStringList({ "证券代码", "业务类型", "行为代码", "申报数量", "股东代码" }));
    ASSERT_EQ(table->contentObjectArray().size(), 2);
    EXPECT_EQ(table->recordAt(1).stockCode, QStringLiteral("00005"));
    EXPECT_EQ(table->recordAt(1).hkTypeDesc, QStringLiteral("公开招股"));
    EXPECT_EQ(table->recordAt(0).quantity, QStringLiteral("300"));
    EXPECT_EQ(table->recordAt(5).stockCode, QString());

    const struct {
        const char* code;
        std::optional<qint32> type;
    } codes[] = { { "H63", 0 }, { "H64", 1 }, { "H65", 2 }, { "H66", 3 }, { "H67", std::nullopt },
        { "63", std::nullopt }, { "", std::nullopt }, { "X", std::nullopt }, { "H6", std::nullopt },
        // A type sent as its number, by its value: one that is not whole is none.
        { "0", 0 }, { "1", 1 }, { "2", 2 }, { "3", 3 }, { "03", 3 }, { " 2", 2 }, { "1x", std::nullopt },
        { "+1", 1 }, { "2.000", 2 }, { "2.5", std::nullopt }, { "4", std::nullopt }, { "-1", std::nullopt },
        { "x1", std::nullopt }, { " ", std::nullopt } };
    for (const auto& c : codes)
        EXPECT_EQ(hkVoteTypeOfCode(QString::fromLatin1(c.code)), c.type) << c.code;
}

TEST(HGTDeclarationRequests, QuantitiesGoAsTypedUnlessTheyCouldRewriteTheBody)
{
    // Declared and withdrawn quantities, the withdrawal's behind its minus.
    const struct {
        const char* quantity;
        const char* declared;
        const char* withdrawn;
    } declared[] = { { "100", "100", "-100" }, { "", "", "-" }, { "0", "0", "-0" },
        { "-100", "-100", "--100" }, { "1.5", "1.5", "-1.5" }, { " 100", " 100", "- 100" },
        { "100&x=1", nullptr, nullptr }, { "1\r", nullptr, nullptr } };
    for (const auto& c : declared) {
        tagHGTOtherVote declaration;
        declaration.commonUrl = kPrefix;
        declaration.stockCode = "00700";
        declaration.quantity = c.quantity;
        tagHGTCancelOtherVote withdrawal;
        withdrawal.commonUrl = kPrefix;
        withdrawal.stockCode = "00700";
        withdrawal.quantity = c.quantity;
        auto expected = [](const char* quantity) {
            return quantity
                ? QStringLiteral("custid=1&fundid=2&settno=&stk_code=00700&hk_type=H63&hk_dle_type=HSB"
                                 "&declare_quan=%1&org_no=&trdacct=&int_org=")
                      .arg(QString::fromLatin1(quantity))
                : QStringLiteral("<refused>");
        };
        EXPECT_EQ(body(DMHGTOtherVote::makePacket(declaration)), expected(c.declared)) << c.quantity;
        EXPECT_EQ(body(DMHGTCancelOtherVote::makePacket(withdrawal)), expected(c.withdrawn)) << c.quantity;
    }

    const struct {
        const char* up;
        const char* down;
        const char* free;
        bool sent;
    } votes[] = { { "300", "200", "", true }, { "-100", "1.5", "a", true }, { "", "", "", true },
        { "1&free_no=9", "", "", false }, { "", "1\n", "", false } };
    for (const auto& c : votes) {
        tagHGTVote vote;
        vote.commonUrl = kPrefix;
        vote.upNo = c.up;
        vote.downNo = c.down;
        vote.freeNo = c.free;
        const QString expected = c.sent
            ? QStringLiteral(
                "custid=1&fundid=2&settno=&stk_code=&isin_no=&pub_no=&bill_no=&up_no=%1&down_no=%2"
                "&free_no=%3&trdacct=&int_org=")
                  .arg(QLatin1String(c.up), QLatin1String(c.down), QLatin1String(c.free))
            : QStringLiteral("<refused>");
        EXPECT_EQ(body(DMHGTVote::makePacket(vote)), expected) << c.up << "/" << c.down << "/" << c.free;
    }
}
