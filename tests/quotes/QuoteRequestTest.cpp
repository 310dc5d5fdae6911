#include "comm/crypto/AesEncryption.h"
#include "quotes/QuoteTestRig.h"

#include <gtest/gtest.h>

using namespace quotetest;
using brokersim::Function;
using testsupport::spinUntil;

namespace {

const QString kFields = QStringLiteral(
    "1|2|3|4|20|21|17|18|32|29|30|27|26|50|51|52|53|54|55|56|57|58|59|70|71|72|73|74|75|76|77|78|79|19|22|35|"
    "36|38|39|6|24|25|16|11|210|215");

class QuoteRequestTest : public MarketFixture {
protected:
    template <class Model, class Param>
    QString ask(Model& model, DataModelObserver* observer, std::string Param::*field, const QString& value)
    {
        tagRequestParam param;
        model.mallocParam(&param);
        requestparam::setParam(*param.template get<Param>(), field, value);
        const QString handle = model.requestData(observer, param, 5);
        model.freeParam(&param);
        return handle;
    }
};

} // namespace

TEST_F(QuoteRequestTest, FiveLevelAndTimesharingOfAShanghaiStockAndABond)
{
    DMQuote5LevelEx fiveLevel;
    DMStockTimesharingInfo timesharing;
    for (const char* code : { "600000", "019547" }) {
        SCOPED_TRACE(code);
        QuoteCatcher quote;
        ask(fiveLevel, &quote, &tagQuote5LevelParam::code, QString::fromLatin1(code));
        ASSERT_TRUE(spinUntil([&] { return quote.done(); }));
        ASSERT_EQ(quote.results.size(), 1u);
        const RDOQuotesOf5Level& q = quote.results[0];
        const brokersim::MarketSecurity& s = *market().security(QString::fromLatin1(code));
        EXPECT_EQ(q.identifycode, code);
        EXPECT_EQ(q.queryCode, QString::fromLatin1(code) + ".2");
        EXPECT_EQ(q.marketType, QStringLiteral("1"));
        EXPECT_EQ(q.precision, s.precision);
        EXPECT_EQ(q.recentPrice, brokersim::Market::ticksText(s.minutes[s.cursor].priceTicks, s.precision));
        EXPECT_GT(q.sellPrices[0], q.buyPrices[0]);
        EXPECT_GT(q.buyQuantities[4], 0);

        const brokersim::Request sent = sim.receivedOf(brokersim::kQuote5LevelExFunction).back();
        EXPECT_EQ(sent.front, brokersim::Front::HTTP);
        EXPECT_EQ(sent.service, 400u);
        EXPECT_EQ(QString::fromUtf8(sent.rawBody),
            QStringLiteral("code=%1&exclude=2&IgnoreDataConv=1&field=%2&iswd=1").arg(code, kFields));

        TimesharingCatcher chart;
        ask(timesharing, &chart, &tagQuotaInfoParam::code, q.queryCode);
        ASSERT_TRUE(spinUntil([&] { return chart.done(); }));
        ASSERT_EQ(chart.results.size(), 1u);
        const RDOStock& day = chart.results[0];
        EXPECT_EQ(day.code, code);
        ASSERT_TRUE(day.timesharingInfoArray);
        EXPECT_EQ(qsizetype(day.timesharingInfoArray->size()), s.cursor + 1);
        EXPECT_EQ(day.timesharingInfoArray->front().quoteTime, "931");
        EXPECT_FALSE(day.afterTimesharingInfoArray);
        EXPECT_EQ(lastBody(brokersim::kTimesharingFunction),
            QStringLiteral("code=%1.2&iswd=0&lx=12&IgnoreDataConv=1").arg(code));
    }
}

TEST_F(QuoteRequestTest, RequestsForDifferentCodesInOneSecondGetTheirOwnReplies)
{
    DMQuote5Level fiveLevel;
    QuoteCatcher first;
    QuoteCatcher second;
    QuoteCatcher again;
    const QString h1 = ask(fiveLevel, &first, &tagQuote5LevelParam::code, QStringLiteral("600000"));
    const QString h2 = ask(fiveLevel, &second, &tagQuote5LevelParam::code, QStringLiteral("000001"));
    const QString h3 = ask(fiveLevel, &again, &tagQuote5LevelParam::code, QStringLiteral("600000"));
    EXPECT_NE(h1, h2);
    ASSERT_TRUE(spinUntil([&] { return first.done() && second.done() && again.done(); }));
    ASSERT_EQ(first.results.size(), 1u);
    ASSERT_EQ(second.results.size(), 1u);
    EXPECT_EQ(first.results[0].identifycode, "600000");
    EXPECT_EQ(second.results[0].identifycode, "000001");
    EXPECT_EQ(again.results.at(0).identifycode, "600000");
    // The same code within the same second is one request on the wire.
    const qsizetype sent = sim.receivedCount(brokersim::kQuote5LevelFunction);
    EXPECT_EQ(sent, h1 == h3 ? 2 : 3);
}

TEST_F(QuoteRequestTest, AReplyForAnotherCodeIsDropped)
{
    sim.registerFunction(1100, 1, [this](const brokersim::Request&, brokersim::BrokerState&) {
        return brokersim::Reply::withTable(market().quote5Level(*market().security(QStringLiteral("000001"))));
    });
    DMQuote5LevelEx fiveLevel;
    QuoteCatcher quote;
    ask(fiveLevel, &quote, &tagQuote5LevelParam::code, QStringLiteral("600000"));
    ASSERT_TRUE(spinUntil([&] { return quote.done(); }));
    EXPECT_TRUE(quote.results.empty());
    ASSERT_EQ(quote.errors.size(), 1u);
    EXPECT_EQ(quote.errors[0], quoteCodeMismatchError());
    EXPECT_EQ(fiveLevel.pendingHandleCount(), 0u);
}

TEST_F(QuoteRequestTest, ErrorRowsAndUnknownCodes)
{
    DMStockTimesharingInfo timesharing;
    TimesharingCatcher unknown;
    ask(timesharing, &unknown, &tagQuotaInfoParam::code, QStringLiteral("999999.2"));
    ASSERT_TRUE(spinUntil([&] { return unknown.done(); }));
    ASSERT_EQ(unknown.errors.size(), 1u);
    EXPECT_EQ(unknown.errors[0].code, 2001);
    EXPECT_EQ(unknown.errors[0].domain, QStringLiteral("证券代码不存在"));

    sim.answerErrorNext(brokersim::kTimesharingFunction, 77, QString());
    TimesharingCatcher empty;
    ask(timesharing, &empty, &tagQuotaInfoParam::code, QStringLiteral("600000.2"));
    ASSERT_TRUE(spinUntil([&] { return empty.done(); }));
    ASSERT_EQ(empty.errors.size(), 1u);
    EXPECT_EQ(empty.errors[0], (CSError { QStringLiteral("未知错误"), 77, true }));
    EXPECT_EQ(timesharing.getLastErrorMessage(), QStringLiteral("未知错误"));

    // A reply without a record set is an error, and the handle is free again.
    sim.answerNotRecordSetNext(brokersim::kTimesharingFunction);
    TimesharingCatcher none;
    ask(timesharing, &none, &tagQuotaInfoParam::code, QStringLiteral("000001.1"));
    ASSERT_TRUE(spinUntil([&] { return none.done(); }));
    ASSERT_EQ(none.errors.size(), 1u);
    EXPECT_EQ(none.errors[0].code, CSErrorServerNoData);
    EXPECT_EQ(timesharing.pendingHandleCount(), 0u);
}

TEST_F(QuoteRequestTest, TheIndexTickerShowsThreeMovingIndexes)
{
    const QString link = AesEncryption::encodeStringWithAES(QString::fromLatin1(brokersim::kIndexTickerLink),
        QString::fromLatin1(DMQueryStockIndexInfo::kLinkKey))
                             .value();
    DMQueryStockIndexInfo index;
    std::vector<std::vector<RDOIndexInfo>> rounds;
    for (int round = 0; round < 2; ++round) {
        IndexCatcher ticker;
        ask(index, &ticker, &tagPMDIndexInfoParam::link, link);
        ASSERT_TRUE(spinUntil([&] { return ticker.done(); }));
        ASSERT_EQ(ticker.results.size(), 1u);
        rounds.push_back(ticker.results[0]);
        // The next round in the next second: a request of its own, not merged.
        const qint64 second = QDateTime::currentSecsSinceEpoch();
        ASSERT_TRUE(spinUntil([&] { return QDateTime::currentSecsSinceEpoch() != second; }));
    }
    const brokersim::Request sent = sim.receivedOf(brokersim::kIndexFunction).back();
    EXPECT_EQ(sent.service, 400u);
    EXPECT_EQ(QString::fromUtf8(sent.rawBody), QStringLiteral("code=000001.2,399001.1,399006.1"));
    ASSERT_EQ(rounds[0].size(), 3u);
    EXPECT_EQ(rounds[0][0].name, QStringLiteral("上证指数"));
    EXPECT_TRUE(rounds[0][0].dealAmountText.endsWith(QStringLiteral("亿")));
    EXPECT_TRUE(rounds[0][1].upDownRateText.endsWith(u'%'));
    bool moved = false;
    for (std::size_t i = 0; i < 3; ++i)
        moved = moved || rounds[0][i].value != rounds[1][i].value || rounds[0][i].dealAmount != rounds[1][i].dealAmount;
    EXPECT_TRUE(moved);

    // A link that does not decipher is refused, never sent.
    IndexCatcher refused;
    ask(index, &refused, &tagPMDIndexInfoParam::link, QStringLiteral("garbage"));
    ASSERT_TRUE(spinUntil([&] { return refused.done(); }));
    EXPECT_EQ(refused.errors.at(0).domain, QStringLiteral("行情指数链接无法解密"));
    // Nor is one whose function number is no whole number ("1" of "1x").
    IndexCatcher noFunction;
    ask(index, &noFunction, &tagPMDIndexInfoParam::link,
        AesEncryption::encodeStringWithAES(
            QStringLiteral("pmdindex?tc_mfuncno=1x&tc_sfuncno=16&code=000001.2"),
            QString::fromLatin1(DMQueryStockIndexInfo::kLinkKey))
            .value());
    ASSERT_TRUE(spinUntil([&] { return noFunction.done(); }));
    EXPECT_EQ(noFunction.errors.at(0).domain, QStringLiteral("行情指数链接的功能号无效，未发送"));
    EXPECT_EQ(sim.receivedCount(brokersim::kIndexFunction), 2);
}
