// The fund requests against the simulator: bodies byte for byte, function
// numbers, orders never merged, handles that keep funds
// apart, refused values, empty replies, and what a customer change empties.
#include "FundTestRig.h"

#include <gtest/gtest.h>

using namespace fundtest;
using brokersim::Function;

class FundRequests : public FundSimulatorFixture {
protected:
    void SetUp() override
    {
        FundSimulatorFixture::SetUp();
        account = logIn();
    }
    // The body behind the account's prefix, which ends with "netaddr" (the
    // client rewrites the address once connected).
    std::string body(Function f) const
    {
        const std::string all = lastBody(f).toStdString();
        EXPECT_EQ(all.rfind("custid=010100000001&", 0), 0u);
        const size_t netaddr = all.find("&netaddr=");
        const size_t end = netaddr == std::string::npos ? netaddr : all.find('&', netaddr + 1);
        return end == std::string::npos ? all : all.substr(end);
    }
    static std::string prefix() { return {}; }

    std::shared_ptr<Account> account;
    OrderManagerFunds* orders() { return OrderManagerFunds::getInstance(); }
    OpenFundManager* funds() { return OpenFundManager::getInstance(); }
};

TEST_F(FundRequests, SubscribeAndPurchaseGoToTheirFunctions)
{
    TradeRecorder subscribe, purchase;
    orders()->requestSubscribeFund(&subscribe, "009901", "1000", "", "98");
    orders()->requestPurchaseFund(&purchase, "000001", "2000.5", "", "98");
    ASSERT_TRUE(spinUntil([&] { return subscribe.heard() && purchase.heard(); }));
    ASSERT_EQ(count(brokersim::kFundSubscribeFunction), 1);
    ASSERT_EQ(count(brokersim::kFundPurchaseFunction), 1);
    EXPECT_EQ(body(brokersim::kFundSubscribeFunction),
        prefix() + "&trdid=240020&ofcode=009901&orderamt=1000&risksignsno=&tacode=98");
    EXPECT_EQ(body(brokersim::kFundPurchaseFunction),
        prefix() + "&trdid=240022&ofcode=000001&orderamt=2000.5&risksignsno=&tacode=98");
    ASSERT_EQ(subscribe.results.size(), 1u);
    EXPECT_FALSE(subscribe.results[0].isEmpty());
}

TEST_F(FundRequests, TransformCarriesItsFixedKeysAndTheSerialLast)
{
    book().setRiskLevel("010100000001", 5);
    TransformRecorder recorder;
    // 000001 is of company 98, 000011 of 05: the company sent is the target's.
    orders()->requestTransformOpdFund(&recorder, "000001", "100.00", "000011", "", "05");
    ASSERT_TRUE(spinUntil([&] { return recorder.heard(); }));
    EXPECT_EQ(body(brokersim::kFundTransformFunction),
        prefix()
            + "&ofcode=000001&tacode=05&orderqty=100.00&otherofcode=000011&FID_JJZH=&FID_YWDM=036&FID_FHFS=1"
              "&risksignsno=");
    EXPECT_EQ(recorder.results.size(), 1u) << (recorder.errors.empty() ? "" : qPrintable(recorder.errors[0].domain));

    // The source's company is refused by the broker.
    TransformRecorder source;
    orders()->requestTransformOpdFund(&source, "000001", "100.00", "000011", "", "98");
    ASSERT_TRUE(spinUntil([&] { return source.heard(); }));
    ASSERT_EQ(source.errors.size(), 1u);
    EXPECT_EQ(source.errors[0].domain, QStringLiteral("转入基金公司代码不符"));
}

TEST_F(FundRequests, EqualOrdersAreNeverMergedAndACancelSendsTheOrderSerial)
{
    RedeemRecorder first, second;
    orders()->requestRedeemOpdFund(&first, "000001", "100", "0");
    orders()->requestRedeemOpdFund(&second, "000001", "100", "0");
    ASSERT_TRUE(spinUntil([&] { return first.heard() && second.heard(); }));
    EXPECT_EQ(count(brokersim::kFundRedeemFunction), 2);
    ASSERT_EQ(first.results.size(), 1u);
    ASSERT_EQ(second.results.size(), 1u);
    EXPECT_NE(first.results[0], second.results[0]);

    // The same holds for a plan; an equal dividend setting still waiting
    // only joins the first, and both hear its answer.
    FUND_RECORDER(BonusSetRecorder, ISubmitOpdFundBonusSettingDelegate, submitOpdFundBonusSetting)
    BonusSetRecorder set1, set2;
    PlanRecorder plan1, plan2;
    funds()->requestSubmitBonusSetting(&set1, "000001", 1);
    funds()->requestSubmitBonusSetting(&set2, "000001", 1);
    for (PlanRecorder* p : { &plan1, &plan2 })
        funds()->requestOpdFundInvestOntime(p, "000001", "500", 0, 0, 8, "20250101", "20260102", "2025-01-01", "98");
    ASSERT_TRUE(spinUntil([&] { return set1.heard() && set2.heard() && plan1.heard() && plan2.heard(); }));
    EXPECT_EQ(count(brokersim::kFundBonusSetFunction), 1);
    ASSERT_EQ(set1.results.size(), 1u);
    EXPECT_EQ(set2.results, set1.results);
    EXPECT_EQ(count(brokersim::kFundPlanOpenFunction), 2);

    OrdersRecorder today;
    funds()->requestOpdFundCurrentOrderList(&today);
    ASSERT_TRUE(spinUntil([&] { return today.heard(); }));
    EXPECT_EQ(body(brokersim::kFundOrdersFunction), prefix() + "&unlist=|orderdate|&count=9999&qryflag=1&poststr=");
    ASSERT_EQ(today.results.size(), 1u);
    const RDOOpdFundOrder order = today.results[0]->objectAt(0);
    ASSERT_EQ(today.results[0]->contentObjectArray().size(), 3); // two redeems, one dividend setting
    ASSERT_EQ(order.orderNumber, first.results[0]);

    CancelRecorder cancel;
    funds()->requestOpdFundCancelOrder(&cancel, order);
    ASSERT_TRUE(spinUntil([&] { return cancel.heard(); }));
    EXPECT_EQ(body(brokersim::kFundCancelFunction),
        prefix() + "&sno=" + order.orderNumber.toStdString() + "&ofcode=000001&orderdate=" + order.orderDate.toStdString());
    EXPECT_EQ(cancel.results.size(), 1u);

    // Once the broker has processed an order, its cancel is refused.
    book().processOrders();
    CancelRecorder late;
    funds()->requestOpdFundCancelOrder(&late, today.results[0]->objectAt(1));
    ASSERT_TRUE(spinUntil([&] { return late.heard(); }));
    ASSERT_EQ(late.errors.size(), 1u);
    EXPECT_EQ(late.errors[0].domain, "该委托已处理，不能撤单");
}

TEST_F(FundRequests, AppropriatenessHandlesKeepFundsApart)
{
    // Asked together for two funds: two requests, each caller its own fund's verdict.
    AppropriatenessRecorder suits, above;
    funds()->requestOpdQueryAppropriateness(&suits, "000001", "98", "1");
    funds()->requestOpdQueryAppropriateness(&above, "009902", "05", "0");
    ASSERT_TRUE(spinUntil([&] { return suits.heard() && above.heard(); }));
    EXPECT_EQ(count(brokersim::kFundAppropriatenessFunction), 2);
    ASSERT_EQ(suits.results.size(), 1u);
    ASSERT_EQ(above.results.size(), 1u);
    EXPECT_TRUE(suits.results[0].status);
    EXPECT_FALSE(suits.results[0].notices);
    EXPECT_FALSE(above.results[0].status);
    ASSERT_TRUE(above.results[0].notices);
    ASSERT_EQ(above.results[0].notices->size(), 2u);
    EXPECT_TRUE((*above.results[0].notices)[0].problemConfirmUrl.isEmpty());
    EXPECT_FALSE((*above.results[0].notices)[1].problemConfirmUrl.isEmpty());
    // A null company code goes empty, not as a failure.
    AppropriatenessRecorder noCompany;
    funds()->requestOpdQueryAppropriateness(&noCompany, "000001", QString(), QString());
    ASSERT_TRUE(spinUntil([&] { return noCompany.heard(); }));
    EXPECT_EQ(body(brokersim::kFundAppropriatenessFunction), prefix() + "&ofcode=000001&tacode=&oftrdid=");
}

TEST_F(FundRequests, PlanOpenListAndCancel)
{
    struct Plan {
        qint64 period, day;
        const char* expected;
    };
    const Plan plans[] = { { 3, 3, "&actionmode=3&sendday=3&" }, { 0, 26, "&actionmode=0&sendday=26&" } };
    for (const Plan& p : plans) {
        PlanRecorder recorder;
        funds()->requestOpdFundInvestOntime(
            &recorder, "000001", "500", 0, p.period, p.day, "20250101", "20260102", "2025-01-01", "98");
        ASSERT_TRUE(spinUntil([&] { return recorder.heard(); }));
        EXPECT_EQ(recorder.results.size(), 1u);
        EXPECT_NE(body(brokersim::kFundPlanOpenFunction).find(p.expected), std::string::npos);
    }
    EXPECT_EQ(body(brokersim::kFundPlanOpenFunction),
        prefix()
            + "&action=A&ofcode=000001&orderamt=500&overkind=0&actionmode=0&sendday=26&begindate=20250101"
              "&enddate=20260102&sqrq=2025-01-01&risksignsno=&tacode=98");

    PlanListRecorder list;
    funds()->requestOpdFundInvestOntimeOrderList(&list);
    ASSERT_TRUE(spinUntil([&] { return list.heard(); }));
    EXPECT_EQ(body(brokersim::kFundPlanListFunction),
        prefix() + "&unlist=|~overkind|overkind|actionmode|&count=9999&qryflag=1&poststr=");
    ASSERT_EQ(list.results.size(), 1u);
    ASSERT_EQ(list.results[0]->contentObjectArray().size(), 2);
    const RDOInvestOntimeOrder weekly = list.results[0]->objectAt(0);

    PlanCancelRecorder cancel;
    funds()->requsstInvestOntimeCancelOrder(&cancel, weekly);
    ASSERT_TRUE(spinUntil([&] { return cancel.heard(); }));
    EXPECT_EQ(cancel.results.size(), 1u);
    EXPECT_EQ(body(brokersim::kFundPlanCancelFunction),
        prefix() + "&action=D&sno=" + weekly.orderNumber.toStdString() + "&ofcode=000001&orderdate="
            + weekly.orderDate.toStdString() + "&sendsn=" + weekly.sendNumber.toStdString() + "&orderamt=500.00&overkind=&actionmode=&begindate=20250101"
            + "&enddate=20260102&sendday=3");
}

TEST_F(FundRequests, ValuesThatFailTheirFieldAreNeverSent)
{
    RedeemRecorder badShares;
    TradeRecorder badCode, injected;
    PlanRecorder badDate;
    orders()->requestRedeemOpdFund(&badShares, "000001", "1\x01", "0");
    orders()->requestPurchaseFund(&badCode, "00001\x01", "100", "", "98");
    orders()->requestPurchaseFund(&injected, "000001", "100&orderamt=1", "", "98");
    funds()->requestOpdFundInvestOntime(&badDate, "000001", "500", 0, 0, 27, "20250101", "20260102", "2025-01-01", "98");
    ASSERT_TRUE(spinUntil([&] { return badShares.heard() && badCode.heard() && injected.heard() && badDate.heard(); }));
    for (const std::vector<CSError>* errors : { &badShares.errors, &badCode.errors, &injected.errors, &badDate.errors }) {
        ASSERT_EQ(errors->size(), 1u);
        EXPECT_EQ(errors->front().code, DataModel::kRefusedRequestCode);
    }
    EXPECT_EQ(badCode.errors[0].domain, QStringLiteral("基金代码含有不能发送的字符"));
    EXPECT_EQ(injected.errors[0].domain, QStringLiteral("金额含有不能发送的字符"));
    EXPECT_EQ(count(brokersim::kFundRedeemFunction) + count(brokersim::kFundPurchaseFunction)
            + count(brokersim::kFundPlanOpenFunction),
        0);

    // A code longer than its field is refused when sent, never cut.
    FUND_RECORDER(OpdFundInfoRecorder, IQueryOpdFundDelegate, queryOpdFundInfo)
    OpdFundInfoRecorder longCode;
    funds()->requestQueryOpdFund(&longCode, QString(300, u'1'));
    ASSERT_TRUE(spinUntil([&] { return longCode.heard(); }));
    ASSERT_EQ(longCode.errors.size(), 1u);
    EXPECT_TRUE(longCode.errors[0].domain.contains(QStringLiteral("过长")))
        << qPrintable(longCode.errors[0].domain);
    EXPECT_EQ(count(brokersim::kFundInfoFunction), 0);

    // An amount's or a code's form and limits are the server's: sent as
    // typed, and its refusal is the answer.
    const struct {
        const char* code;
        const char* shares;
        const char* refusal;
    } typed[] = { { "000001", "1.005", "委托份额不正确" }, { "000001", "-5", "委托份额不正确" },
        { "000001", "1e3", "委托份额不正确" }, { "000001", "999999", "可用份额不足" },
        { "00001", "10", "基金代码不存在" }, { "AB0001", "10", "基金代码不存在" } };
    for (const auto& t : typed) {
        SCOPED_TRACE(t.shares);
        RedeemRecorder redeem;
        orders()->requestRedeemOpdFund(&redeem, t.code, t.shares, "0");
        ASSERT_TRUE(spinUntil([&] { return redeem.heard(); }));
        EXPECT_TRUE(
            body(brokersim::kFundRedeemFunction)
                .ends_with(std::string("&ofcode=") + t.code + "&orderqty=" + t.shares + "&redeemtype=0"));
        ASSERT_EQ(redeem.errors.size(), 1u);
        EXPECT_EQ(redeem.errors[0].domain, QString::fromUtf8(t.refusal));
    }
}

TEST_F(FundRequests, AReplyWithoutRecordSetsReachesTheCallerAsAnError)
{
    // No record set in the payload, and no payload at all (which the
    // connection drops, so the order's time-out answers): the order form
    // hears an error either way and is never left busy.
    sim.answerNotRecordSetNext(brokersim::kFundPurchaseFunction);
    TradeRecorder garbled;
    orders()->requestPurchaseFund(&garbled, "000001", "100", "", "98");
    ASSERT_TRUE(spinUntil([&] { return garbled.heard(); }));
    EXPECT_EQ(garbled.errors.size(), 1u);

    sim.answerEmptyNext(brokersim::kFundPurchaseFunction);
    orders()->sender().setRequestTimeout(1);
    TradeRecorder empty;
    orders()->requestPurchaseFund(&empty, "000001", "100", "", "98");
    ASSERT_TRUE(spinUntil([&] { return empty.heard(); }, 10s));
    EXPECT_TRUE(empty.results.empty());
    EXPECT_EQ(empty.errors.size(), 1u);
}

TEST_F(FundRequests, TheSignSerialGoesWhenTheCustomerChangesTheListsStay)
{
    DMCDataCache::getInstance()->setDataCache(1, QVariant::fromValue(std::make_shared<DTOpenendFundTable>()));
    for (int type : { 1 /* logout */, 2 /* account changed */ }) {
        funds()->setSignNumber("RS100001");
        NotificationCenter::getInstance()->postNotification(type);
        EXPECT_EQ(funds()->signNumber(), "") << type;
        EXPECT_TRUE(DMCDataCache::getInstance()->getDataCache(1).isValid()) << type;
    }
    funds()->setSignNumber(QString());
    EXPECT_FALSE(funds()->signNumber().isNull());
}

// A company code, a sign serial or a risk level came in a reply: it goes back
// as it came, whatever its characters, unless a body cannot carry it.
TEST_F(FundRequests, ValuesFromARepliesGoBackAsTheyCame)
{
    const struct {
        const char* corp;
        const char* serial;
        bool sent;
    } cases[] = {
        { "9.8", "2026/12-07 1", true },
        { "", "", true },
        { "9&8", "", false },
        { "98", "S=1", false },
        { "98", "S\n1", false },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.corp + std::string("|") + c.serial);
        sim.clearReceived();
        TradeRecorder trade;
        orders()->requestPurchaseFund(&trade, "110011", "100", QString::fromUtf8(c.serial), QString::fromUtf8(c.corp));
        ASSERT_TRUE(spinUntil([&] { return trade.heard(); }));
        if (!c.sent) {
            ASSERT_EQ(trade.errors.size(), 1u);
            EXPECT_EQ(trade.errors[0].code, DataModel::kRefusedRequestCode);
            EXPECT_EQ(count(brokersim::kFundPurchaseFunction), 0);
            continue;
        }
        ASSERT_EQ(count(brokersim::kFundPurchaseFunction), 1);
        EXPECT_TRUE(receivedOf(brokersim::kFundPurchaseFunction)[0].rawBody.endsWith(
            QByteArray("&risksignsno=") + c.serial + "&tacode=" + c.corp));
    }
}

namespace {

FUND_RECORDER(SettingRecorder, ISubmitOpdFundBonusSettingDelegate, submitOpdFundBonusSetting)

// What a test reads of any recorder.
struct Probe {
    std::function<bool()> heard;
    std::function<std::vector<CSError>()> errors;
    std::function<std::vector<QString>()> successes;
    std::shared_ptr<void> keep;
};

template <class Recorder, class Send> Probe probe(Send send)
{
    auto r = std::make_shared<Recorder>();
    send(r.get());
    return { [r] { return r->heard(); }, [r] { return r->errors; }, [r] { return r->results; }, r };
}

} // namespace

// Every fund request that answers a serial: an answer whose serial is
// missing, empty or blank leaves the outcome unknown, told as an error in
// the fund actions' own words (the share orders' 当日委托 lists none of
// them); it never succeeds with a blank. A
// redemption, transform, order cancel or dividend setting is the exception:
// its success stands, with the text of "sno" (empty when it is missing). Any
// other serial is the success, as the server sent it. Two equal ones while
// the first waits: an order is the customer's second intent and goes out
// again; a setting or a cancel joins the one waiting.
TEST_F(FundRequests, ASerialMissingOrBlankLeavesTheOutcomeUnknownUnlessTheSuccessStandsWithoutIt)
{
    RDOOpdFundOrder order;
    order.orderNumber = "900001";
    order.fundCode = "000001";
    order.orderDate = "20261207";
    RDOInvestOntimeOrder plan;
    plan.orderNumber = "700001";
    plan.fundCode = "000001";
    const struct {
        const char* name;
        Function function;
        qsizetype sentOfTwo;
        std::function<Probe()> send;
        bool succeedsWithoutSerial = false;
    } requests[] = {
        { "subscribe", brokersim::kFundSubscribeFunction, 2,
            [&] {
                return probe<TradeRecorder>(
                    [&](auto* r) { orders()->requestSubscribeFund(r, "009901", "1000", "", "98"); });
            } },
        { "purchase", brokersim::kFundPurchaseFunction, 2,
            [&] {
                return probe<TradeRecorder>(
                    [&](auto* r) { orders()->requestPurchaseFund(r, "000001", "1000", "", "98"); });
            } },
        { "redeem", brokersim::kFundRedeemFunction, 2,
            [&] {
                return probe<RedeemRecorder>(
                    [&](auto* r) { orders()->requestRedeemOpdFund(r, "000001", "10", "0"); });
            },
            true },
        { "transform", brokersim::kFundTransformFunction, 2,
            [&] {
                return probe<TransformRecorder>([&](auto* r) {
                    orders()->requestTransformOpdFund(r, "000001", "10", "000011", "", "05");
                });
            },
            true },
        { "dividends", brokersim::kFundBonusSetFunction, 1,
            [&] {
                return probe<SettingRecorder>(
                    [&](auto* r) { funds()->requestSubmitBonusSetting(r, "000001", 1); });
            },
            true },
        { "plan", brokersim::kFundPlanOpenFunction, 2,
            [&] {
                return probe<PlanRecorder>([&](auto* r) {
                    funds()->requestOpdFundInvestOntime(
                        r, "000001", "500", 0, 0, 8, "20260101", "20270101", "2026-01-01", "98");
                });
            } },
        { "order cancel", brokersim::kFundCancelFunction, 1,
            [&] {
                return probe<CancelRecorder>([&](auto* r) { funds()->requestOpdFundCancelOrder(r, order); });
            },
            true },
        { "plan cancel", brokersim::kFundPlanCancelFunction, 1,
            [&] {
                return probe<PlanCancelRecorder>(
                    [&](auto* r) { funds()->requsstInvestOntimeCancelOrder(r, plan); });
            } },
    };
    // The serial as the answer gives it; none: the field is missing.
    const std::optional<const char*> serials[] = { std::nullopt, "", " ", "\t" };
    for (const auto& request : requests) {
        for (const std::optional<const char*>& serial : serials) {
            SCOPED_TRACE(std::string(request.name) + " [" + serial.value_or("(missing)") + "]");
            brokersim::Table answer;
            if (serial)
                answer.column("sno").row({ QString::fromLatin1(*serial) });
            else
                answer.column("msgok").row({ QStringLiteral("ok") });
            sim.answerTablesNext(request.function, { answer });
            const Probe p = request.send();
            ASSERT_TRUE(spinUntil([&] { return p.heard(); }));
            if (request.succeedsWithoutSerial) {
                EXPECT_TRUE(p.errors().empty());
                EXPECT_EQ(p.successes(), std::vector<QString>({ QString::fromLatin1(serial.value_or("")) }));
                continue;
            }
            EXPECT_TRUE(p.successes().empty());
            ASSERT_EQ(p.errors().size(), 1u);
            EXPECT_EQ(p.errors()[0].code, kOrderOutcomeUnknownCode);
            EXPECT_TRUE(p.errors()[0].domain.endsWith(request.function == brokersim::kFundPlanCancelFunction
                    ? QStringLiteral("基金撤单结果未知，请查询确认")
                    : QStringLiteral("基金委托结果未知，请查询确认，切勿重复下单")))
                << qPrintable(p.errors()[0].domain);
        }
        for (const char* serial : { "100123", "0", "12a", "-1" }) {
            sim.answerTablesNext(
                request.function, { brokersim::Table().column("sno").row({ QString::fromLatin1(serial) }) });
            const Probe p = request.send();
            ASSERT_TRUE(spinUntil([&] { return p.heard(); }));
            EXPECT_EQ(p.successes(), std::vector<QString>({ QString::fromLatin1(serial) })) << request.name;
        }
        const qsizetype before = count(request.function);
        const Probe first = request.send();
        const Probe second = request.send();
        ASSERT_TRUE(spinUntil([&] { return first.heard() && second.heard(); }));
        EXPECT_EQ(count(request.function) - before, request.sentOfTwo) << request.name;
    }
}
