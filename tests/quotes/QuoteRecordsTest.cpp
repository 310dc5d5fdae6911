#include "comm/crypto/AesEncryption.h"
#include "quotes/QuoteTestRig.h"

#include <cmath>
#include <cstring>
#include <gtest/gtest.h>
#include <limits>

using brokersim::Table;
using logintest::HomeFixture;

namespace {

VEKTCRS set(const Table& table)
{
    return HomeFixture::set(table);
}

Table fiveLevelRow(const QString& plvl, const QString& limflag)
{
    return Table()
        .column("code")
        .column("exchid")
        .column("classid")
        .column("zjcj")
        .column("zrsp")
        .column("bj1")
        .column("bl1")
        .column("sl5")
        .column("precision")
        .column("plvl")
        .column("limflag")
        .column("cjje")
        .row({ "600000", "2", "1", "10.500", "10.00", "10.49", "12345", "9000000000", "2.9", plvl, limflag,
            "3000000000.5" });
}

Table minutes(int count)
{
    Table t;
    t.column("zjcj").column("cjsl").column("cjje").column("cjjj").column("hqtm");
    for (int i = 0; i < count; ++i)
        t.row({ "10.01", "3000000000", "30030000000", "10.00", QString::number(931 + i) });
    return t;
}

} // namespace

TEST(QuoteRecords, MarketCodeFromExchangeAndClass)
{
    const struct {
        const char* exchange;
        const char* classId;
        std::optional<QString> market;
    } cases[] = {
        { "9", "12", QStringLiteral("2") },
        { "1", "101", QStringLiteral("2") },
        { "1", "1", QStringLiteral("0") },
        { "2", "101", QStringLiteral("3") },
        { "2", "116", QStringLiteral("1") },
        { "5", "101", QStringLiteral("7") },
        { "5", "", QStringLiteral("6") },
        { "9", "108", std::nullopt },
        { "", "", std::nullopt },
        // By their values, as a number field sends them.
        { "1.000", "1.000", QStringLiteral("0") },
        { "2.0", "101.000", QStringLiteral("3") },
        { "9", "12.000", QStringLiteral("2") },
        { " 5 ", "0", QStringLiteral("6") },
        { "1x", "1", std::nullopt },
    };
    for (const auto& c : cases)
        EXPECT_EQ(RDOQuotesOf5Level::getMarketCode(QString::fromLatin1(c.exchange), QString::fromLatin1(c.classId)),
            c.market)
            << c.exchange << "/" << c.classId;
}

// The chart's header reads its class and exchange as the five-level quote
// does: by value, and 0 where there is no whole one.
TEST(QuoteRecords, ChartCodesByTheirValue)
{
    const struct {
        const char* text;
        qint32 code;
    } cases[] = { { "108", 108 }, { "108.000", 108 }, { "1.08e2", 108 }, { "108.5", 0 }, { "5x", 0 },
        { "5000000000", 0 } };
    for (const auto& c : cases) {
        const VEKTCRS header = set(Table().column("code").column("exchid").column("classid").row(
            { "00700", QString::fromLatin1(c.text), QString::fromLatin1(c.text) }));
        const RDOStock stock({ header, header });
        EXPECT_EQ(stock.classId, c.code) << c.text;
        EXPECT_EQ(stock.exchangeId, c.code == 108 ? 108 : 0) << c.text;
    }
}

TEST(QuoteRecords, FiveLevelKeepsTextsAndWideQuantities)
{
    const VEKTCRS withStep = set(fiveLevelRow("0.01", "1"));
    const RDOQuotesOf5Level q(&withStep);
    EXPECT_EQ(q.identifycode, "600000");
    EXPECT_EQ(q.queryCode, "600000.2");
    EXPECT_EQ(q.marketType, QStringLiteral("1"));
    EXPECT_EQ(q.recentPrice, "10.500"); // exactly as sent, trailing zero kept
    EXPECT_EQ(q.yesterdayClosingPrice, "10.00");
    EXPECT_DOUBLE_EQ(q.buyPrices[0], 10.49);
    EXPECT_EQ(q.buyQuantities[0], 12345);
    EXPECT_EQ(q.sellQuantities[4], 9'000'000'000); // past 32 bits
    EXPECT_EQ(q.volume, 3'000'000'000);
    EXPECT_EQ(q.precision, 2); // truncated
    ASSERT_TRUE(q.priceStep);
    EXPECT_DOUBLE_EQ(*q.priceStep, 0.01);
    EXPECT_TRUE(q.hasNotLimit);

    for (const char* flag : { "0", "" }) {
        const VEKTCRS noStep = set(fiveLevelRow("", QString::fromLatin1(flag)));
        const RDOQuotesOf5Level plain(&noStep);
        EXPECT_FALSE(plain.priceStep);
        EXPECT_FALSE(plain.hasNotLimit);
    }
    const RDOQuotesOf5Level empty(nullptr);
    EXPECT_TRUE(empty.identifycode.isEmpty());

    // An exchange sent as "2.000" is exchange 2: the chart asks for
    // "600000.2", and the trade market is Shanghai's.
    const VEKTCRS number = set(Table()
                                   .column("code")
                                   .column("exchid")
                                   .column("classid", brokersim::kDouble)
                                   .column("limflag")
                                   .row({ "600000", "2.000", 1.0, "1.000" }));
    const RDOQuotesOf5Level byValue(&number);
    EXPECT_EQ(byValue.queryCode, "600000.2");
    EXPECT_EQ(byValue.marketType, QStringLiteral("1"));
    EXPECT_TRUE(byValue.hasNotLimit);
}

// The limits are only shown: what is no plausible price reads as NaN, which
// every display shows as "--", never as a limit of 0.00.
TEST(QuoteRecords, LimitsThatAreNoPriceReadAsNoValue)
{
    const struct {
        const char* text;
        std::optional<double> value;
    } cases[] = {
        { "11.00", 11.0 },
        { " 9.9 ", 9.9 },
        { "0", 0.0 },
        { "abc", std::nullopt },
        { "", std::nullopt },
        { "NaN", std::nullopt },
        { "inf", std::nullopt },
        { "-1", std::nullopt },
        { "1e999", std::nullopt },
        { "12abc", std::nullopt },
    };
    for (const auto& c : cases) {
        const VEKTCRS row = set(Table().column("code").column("zt").column("dt").row(
            { "600000", QString::fromLatin1(c.text), QString::fromLatin1(c.text) }));
        const RDOQuotesOf5Level q(&row);
        for (double limit : { q.limitUp, q.limitDown }) {
            if (c.value)
                EXPECT_DOUBLE_EQ(limit, *c.value) << c.text;
            else
                EXPECT_TRUE(std::isnan(limit)) << c.text;
        }
    }
    // A field the reply declares a double is judged the same way.
    VEKTCRS binary(2);
    TCRSField zt {};
    zt.type = 7;
    std::strncpy(zt.name, "zt", sizeof zt.name - 1);
    ASSERT_TRUE(binary.addField(zt));
    ASSERT_TRUE(binary.appendRecord());
    ASSERT_TRUE(binary.updateFieldWithDouble(0, -std::numeric_limits<double>::infinity()));
    EXPECT_TRUE(std::isnan(RDOQuotesOf5Level(&binary).limitUp));
    ASSERT_TRUE(binary.updateFieldWithDouble(0, 12.5));
    EXPECT_DOUBLE_EQ(RDOQuotesOf5Level(&binary).limitUp, 12.5);
    EXPECT_TRUE(std::isnan(RDOQuotesOf5Level(&binary).limitDown)); // missing
}

TEST(QuoteRecords, TimesharingBySetCount)
{
    const Table header = Table()
                             .column("code")
                             .column("precision")
                             .column("cjsl")
                             .column("cjje")
                             .column("zgcj")
                             .row({ "688001", "2", "5000000000", "99000000000", "36.2" });
    const VEKTCRS ok = set(Table::infoOnly("ok"));

    const RDOStock one({ ok });
    EXPECT_TRUE(one.code.isEmpty());
    EXPECT_FALSE(one.timesharingInfoArray);

    const RDOStock two({ ok, set(header) });
    EXPECT_EQ(two.code, "688001");
    EXPECT_EQ(two.totalTurnover, 5'000'000'000);
    EXPECT_EQ(two.dealVolume, 99'000'000'000); // a day's amount past 32 bits
    EXPECT_FALSE(two.timesharingInfoArray);
    EXPECT_FALSE(two.afterTimesharingInfoArray);

    const RDOStock three({ ok, set(header), set(minutes(0)) });
    ASSERT_TRUE(three.timesharingInfoArray);
    EXPECT_TRUE(three.timesharingInfoArray->empty());
    EXPECT_FALSE(three.afterTimesharingInfoArray);

    const RDOStock four({ ok, set(header), set(minutes(3)), set(minutes(2)) });
    ASSERT_EQ(four.timesharingInfoArray->size(), 3u);
    ASSERT_EQ(four.afterTimesharingInfoArray->size(), 2u);
    const RDOTimesharingInfo& last = four.timesharingInfoArray->back();
    EXPECT_EQ(last.quoteTime, "933");
    EXPECT_EQ(last.totalTurnover, 3'000'000'000);
    EXPECT_EQ(last.dealVolume, 30'030'000'000);
}

TEST(QuoteRecords, IndexTextsAndTurnover)
{
    const VEKTCRS rows = set(Table()
                                 .column("code")
                                 .column("name")
                                 .column("zjcj")
                                 .column("zhd")
                                 .column("zdf")
                                 .column("cjje")
                                 .column("precision", brokersim::kInt32)
                                 .row({ "000001", "上证指数", "3245.678", "-12.5", "-0.50", "123456789012", 2 })
                                 .row({ "399001", "深证成指", "3245.678", "1.23", "1.23", "x", 0 }));
    VEKTCRS cursor = rows;
    cursor.fetchFirst();
    const RDOIndexInfo first(&cursor);
    EXPECT_EQ(first.valueText, "3245.68");
    EXPECT_EQ(first.upDownText, "-12.50");
    EXPECT_EQ(first.upDownRateText, "-0.50%");
    EXPECT_EQ(first.dealAmountText, "1234.57亿");
    EXPECT_EQ(first.value, "3245.678");
    cursor.fetchNext();
    const RDOIndexInfo second(&cursor);
    EXPECT_EQ(second.valueText, "3246");
    EXPECT_EQ(second.upDownRateText, "1.23%");
    EXPECT_EQ(second.dealAmountText, "0"); // a turnover that is no number counts as 0

    // A level, change or rate that is no number shows "--", never 0.00.
    for (const char* bad : { "abc", "", "NaN", "1e999" }) {
        VEKTCRS one = set(Table()
                              .column("zjcj")
                              .column("zhd")
                              .column("zdf")
                              .column("precision", brokersim::kInt32)
                              .row({ bad, bad, bad, 2 }));
        one.fetchFirst();
        const RDOIndexInfo index(&one);
        EXPECT_EQ(index.valueText, "--") << bad;
        EXPECT_EQ(index.upDownText, "--") << bad;
        EXPECT_EQ(index.upDownRateText, "--") << bad;
    }
    VEKTCRS negative = set(Table().column("zjcj").column("zdf").row({ "-1.5", "-0.50" }));
    negative.fetchFirst();
    EXPECT_EQ(RDOIndexInfo(&negative).valueText, "--");
    EXPECT_EQ(RDOIndexInfo(&negative).upDownRateText, "-0.50%");

    const struct {
        const char* amount;
        const char* text;
    } turnovers[] = {
        { "10000", "10000" }, { "10001", "1.00万" }, { "12345", "1.23万" }, { "10000000", "1000.00万" },
        { "10000001", "1000.0万" }, { "12345678", "1234.6万" }, { "99999999", "10000.0万" },
        { "100000001", "1.00亿" }, { "199960000", "2.00亿" }, { "123456789012", "1234.57亿" }, { "0", "0" },
        { "", "0" }, { "-5", "-5" }, { "9223372036854775807", "92233720368.55亿" },
    };
    for (const auto& t : turnovers)
        EXPECT_EQ(RDOIndexInfo::transferAmount(QString::fromLatin1(t.amount)), QString::fromUtf8(t.text)) << t.amount;
}

TEST(QuoteRecords, IndexLinkIsDecipheredAndSplit)
{
    const QString key = QString::fromLatin1(DMQueryStockIndexInfo::kLinkKey);
    const std::string stored = AesEncryption::encodeStringWithAES(
        QStringLiteral("pmdindex? TC_MFUNCNO =1100&tc_sfuncno=16&unlist=1&code=1.2,3.4&a=b=c&flag"), key)
                                   .value()
                                   .toStdString();
    const auto link = DMQueryStockIndexInfo::parseLink(stored);
    ASSERT_TRUE(link);
    EXPECT_EQ(link->mFunc, 1100u);
    EXPECT_EQ(link->sFunc, 16u);
    EXPECT_EQ(link->body, "code=1.2,3.4&flag");

    const auto empty = DMQueryStockIndexInfo::parseLink("");
    ASSERT_TRUE(empty);
    EXPECT_EQ(empty->mFunc, 0u);
    EXPECT_TRUE(empty->body.isEmpty());
    const std::string noQuestion = AesEncryption::encodeStringWithAES(QStringLiteral("pmdindex"), key)->toStdString();
    EXPECT_EQ(DMQueryStockIndexInfo::parseLink(noQuestion)->sFunc, 0u);
    EXPECT_FALSE(DMQueryStockIndexInfo::parseLink("not a cipher text"));

    // The function numbers by their value, as every link's; one that is no
    // whole number names no function, and the link is refused.
    const struct {
        const char* link;
        std::optional<std::pair<quint64, quint64>> functions;
    } numbers[] = {
        { "pmdindex?tc_mfuncno=1100.000&tc_sfuncno=16", std::pair { 1100u, 16u } },
        { "pmdindex?tc_mfuncno=1e3&tc_sfuncno=16", std::pair { 1000u, 16u } },
        { "pmdindex?tc_mfuncno=1100", std::pair { 1100u, 0u } }, // missing: 0
        { "pmdindex?tc_mfuncno=0&tc_sfuncno=16", std::pair { 0u, 16u } },
        { "pmdindex?tc_mfuncno=8x&tc_sfuncno=16", std::nullopt },
        { "pmdindex?tc_mfuncno=1100&tc_sfuncno=", std::nullopt },
        { "pmdindex?tc_mfuncno=1100&tc_sfuncno", std::nullopt },
        { "pmdindex?tc_mfuncno=1100&tc_sfuncno=8.5", std::nullopt },
        { "pmdindex?tc_mfuncno=-1100&tc_sfuncno=16", std::nullopt },
    };
    for (const auto& n : numbers) {
        SCOPED_TRACE(n.link);
        QString why;
        const auto parsed = DMQueryStockIndexInfo::parseLink(
            AesEncryption::encodeStringWithAES(QString::fromLatin1(n.link), key)->toStdString(), &why);
        EXPECT_EQ(
            parsed ? std::optional(std::pair { parsed->mFunc, parsed->sFunc }) : std::nullopt, n.functions);
        EXPECT_EQ(why, n.functions ? QString() : QStringLiteral("行情指数链接的功能号无效，未发送"));
    }
}
