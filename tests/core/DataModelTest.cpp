// The request framework end to end: request classes on the network factory's
// networks against the in-process broker simulator (TLS on the TC front).
#include "DataModelTestRig.h"
#include "core/DataModelManager.h"

#include <atomic>
#include <gtest/gtest.h>
#include <thread>

using namespace coretest;

namespace {

class DataModelE2E : public SimulatorFixture {
protected:
    void SetUp() override
    {
        SimulatorFixture::SetUp();
        echo = make<DMQueryEcho>();
        NetworkFactory::getInstance()->getNetwork(1)->setTimeoutBatchInterval(0.1);
    }
    void TearDown() override
    {
        echo.reset();
        DataModelManager::resetInstance();
        SimulatorFixture::TearDown();
    }

    template <class T> std::unique_ptr<DataModel> make()
    {
        return DataModelManager::getInstance()->getDataModel(QString::fromLatin1(T::info.identifier));
    }

    // The caller's pattern: mallocParam, fill the class's record, requestData, freeParam.
    template <class Member, class Fill>
    QString ask(DataModel& model, DataModelObserver* observer, Fill&& fill, qint32 timeout = 30)
    {
        tagRequestParam param;
        model.mallocParam(&param);
        if (Member* member = param.get<Member>())
            fill(*member);
        else
            ADD_FAILURE() << "no record of the class";
        const QString handle = model.requestData(observer, param, timeout);
        model.freeParam(&param);
        EXPECT_TRUE(param.empty());
        return handle;
    }

    QString askEcho(DataModel& model, DataModelObserver* observer, const QString& text,
        const QString& prefix = QStringLiteral("fundid=1&secuid=A1"), qint32 timeout = 30)
    {
        return ask<tagCommonQueryParam>(
            model, observer,
            [&](tagCommonQueryParam& p) {
                EXPECT_TRUE(requestparam::setParam(p, &tagCommonQueryParam::commonUrl, prefix));
                EXPECT_TRUE(requestparam::setParam(p, &tagCommonQueryParam::link, text));
            },
            timeout);
    }

    QString askChange(
        DataModel& model, DataModelObserver* observer, const char* oldPassword, const char* newPassword)
    {
        return ask<tagTradePasswordParam>(model, observer, [&](tagTradePasswordParam& p) {
            EXPECT_TRUE(requestparam::setParam(p, &tagTradePasswordParam::commonUrl, "fundid=1"));
            EXPECT_TRUE(requestparam::setParam(p, &tagTradePasswordParam::oldPassword, oldPassword));
            EXPECT_TRUE(requestparam::setParam(p, &tagTradePasswordParam::newPassword, newPassword));
        });
    }

    std::unique_ptr<DataModel> echo;
};

} // namespace

TEST_F(DataModelE2E, IdenticalQueriesJoinOneRequestAndEachObserverHearsOnce)
{
    ASSERT_TRUE(echo);
    std::vector<QString> log;
    EchoObserver a(QStringLiteral("a"), &log);
    EchoObserver b(QStringLiteral("b"), &log);

    const QString h1 = askEcho(*echo, &a, QStringLiteral("hello"));
    const QString h2 = askEcho(*echo, &b, QStringLiteral("hello"));
    const QString h3 = askEcho(*echo, &a, QStringLiteral("hello")); // moved to the end
    EXPECT_FALSE(h1.isEmpty());
    EXPECT_EQ(h1, h2);
    EXPECT_EQ(h1, h3);
    EXPECT_EQ(echo->observersOfHandle(h1), (std::vector<DataModelObserver*> { &b, &a }));

    ASSERT_TRUE(testsupport::spinUntil([&] { return a.calls() + b.calls() >= 2; }));
    testsupport::spinFor(50ms);
    EXPECT_EQ(receivedOf(kEchoFunction).size(), 1);
    EXPECT_EQ(log, (std::vector<QString> { QStringLiteral("b"), QStringLiteral("a") }));
    ASSERT_EQ(a.tables.size(), 1u);
    ASSERT_EQ(b.tables.size(), 1u);
    EXPECT_EQ(a.tables[0], b.tables[0]); // the same answer
    EXPECT_EQ(a.echoed(0), QStringLiteral("hello"));
    EXPECT_EQ(a.handles[0], h1);
    // "poststr" is no column.
    EXPECT_EQ(a.tables[0]->tableColomnTitles().size(), 1);
    EXPECT_EQ(echo->pendingHandleCount(), 0u);

    // The body is the prefix and the checked pair.
    const brokersim::Request sent = receivedOf(kEchoFunction).front();
    EXPECT_EQ(sent.rawBody, QByteArray("fundid=1&secuid=A1&text=hello"));

    // Once answered, an equal request goes on the wire again; other
    // parameters (even a different prefix) never share a handle.
    askEcho(*echo, &a, QStringLiteral("hello"));
    const QString other = askEcho(*echo, &b, QStringLiteral("hello"), QStringLiteral("fundid=2"));
    EXPECT_NE(other, h1);
    ASSERT_TRUE(testsupport::spinUntil([&] { return a.calls() == 2 && b.calls() == 2; }));
    EXPECT_EQ(receivedOf(kEchoFunction).size(), 3);
}

TEST_F(DataModelE2E, NewIntentsAreNeverMerged)
{
    std::unique_ptr<DataModel> change = make<DMChangeTest>();
    ASSERT_TRUE(change);
    EXPECT_TRUE(change->changesState());
    EXPECT_FALSE(change->mergesEqualRequests());
    ChangeObserver first;
    ChangeObserver second;
    const QString h1 = askChange(*change, &first, "111111", "222222");
    const QString h2 = askChange(*change, &second, "111111", "222222");
    const QString h3 = askChange(*change, &first, "111111", "222222");
    EXPECT_NE(h1, h2);
    EXPECT_NE(h1, h3);
    // No password in clear in a handle or the request identifier.
    for (const QString& h : { h1, h2, h3 }) {
        EXPECT_FALSE(h.contains(QStringLiteral("111111")));
        EXPECT_FALSE(change->requestIdentifier(h).contains(QStringLiteral("222222")));
    }

    ASSERT_TRUE(
        testsupport::spinUntil([&] { return first.results.size() == 2 && second.results.size() == 1; }));
    EXPECT_EQ(receivedOf(kChangeFunction).size(), 3);
    EXPECT_EQ(first.results.front(), QStringLiteral("done"));
    EXPECT_EQ(
        receivedOf(kChangeFunction).front().rawBody, QByteArray("fundid=1&oldpwd=111111&newpwd=222222"));
    EXPECT_EQ(change->pendingHandleCount(), 0u);
}

// A read asked after an action, sent or answered, never takes the answer of
// an equal read that went out before it; equal asks between two actions
// still share one request.
TEST_F(DataModelE2E, AReadAskedAfterAnActionIsAnsweredByARequestSentAfterIt)
{
    std::unique_ptr<DataModel> change = make<DMChangeTest>();
    std::vector<QString> log;
    EchoObserver before(QStringLiteral("before"), &log);
    EchoObserver sent(QStringLiteral("sent"), &log);
    EchoObserver joined(QStringLiteral("joined"), &log);
    EchoObserver answered(QStringLiteral("answered"), &log);
    sim.withholdNext(kEchoFunction, 2);

    const QString early = askEcho(*echo, &before, QStringLiteral("positions"));
    ChangeObserver order;
    // Asked from the action's answer, as a page reads again after an order.
    QString fromAnswer;
    order.onResult = [&] { fromAnswer = askEcho(*echo, &answered, QStringLiteral("positions")); };
    askChange(*change, &order, "111111", "222222");
    const QString afterSend = askEcho(*echo, &sent, QStringLiteral("positions"));
    EXPECT_NE(afterSend, early);
    EXPECT_EQ(askEcho(*echo, &joined, QStringLiteral("positions")), afterSend);

    ASSERT_TRUE(testsupport::spinUntil([&] { return !fromAnswer.isEmpty(); }));
    EXPECT_NE(fromAnswer, early);
    EXPECT_NE(fromAnswer, afterSend);
    ASSERT_TRUE(testsupport::spinUntil([&] { return answered.calls() == 1; }));
    EXPECT_EQ(receivedOf(kEchoFunction).size(), 3);
    EXPECT_EQ(before.calls() + sent.calls() + joined.calls(), 0);
    sim.releaseWithheld();
    ASSERT_TRUE(testsupport::spinUntil([&] { return before.calls() + sent.calls() + joined.calls() == 3; }));
    EXPECT_EQ(before.handles.front(), early);
    EXPECT_EQ(sent.handles.front(), afterSend);
    EXPECT_EQ(echo->pendingHandleCount(), 0u);
}

// However the equal read sent before the action ended, or while it still
// waits, an ask with nothing between it and the read sent after the action
// joins that one.
TEST_F(DataModelE2E, AnEqualAskJoinsTheLatestReadSentSinceTheLastAction)
{
    std::unique_ptr<DataModel> change = make<DMChangeTest>();
    const struct {
        const char* earlier; // what became of the read sent before the action
        std::function<void(const QString&)> end;
    } rows[] = {
        { "still waiting", [](const QString&) {} },
        { "timed out",
            [&](const QString& h) {
                echo->respondWithError(CSErrors::requestTimeout(), echo->requestIdentifier(h));
            } },
        { "cancelled", [&](const QString& h) { echo->cancelRequest(h); } },
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.earlier);
        EchoObserver before, after, joined;
        ChangeObserver order;
        sim.withholdNext(kEchoFunction, 2);
        sim.withholdNext(kChangeFunction); // its answer would end the later read too
        const QString early = askEcho(*echo, &before, QStringLiteral("positions"));
        askChange(*change, &order, "111111", "222222");
        const QString late = askEcho(*echo, &after, QStringLiteral("positions"));
        ASSERT_NE(late, early);
        ASSERT_TRUE(testsupport::spinUntil([&] { return sim.withheldCount() == 3; }));
        row.end(early);
        const qsizetype sent = receivedOf(kEchoFunction).size();
        EXPECT_EQ(askEcho(*echo, &joined, QStringLiteral("positions")), late);
        EXPECT_EQ(echo->observersOfHandle(late), (std::vector<DataModelObserver*> { &after, &joined }));
        sim.releaseWithheld();
        ASSERT_TRUE(testsupport::spinUntil([&] { return joined.calls() == 1 && after.calls() == 1; }));
        EXPECT_EQ(joined.echoed(0), QStringLiteral("positions"));
        EXPECT_EQ(receivedOf(kEchoFunction).size(), sent);
        ASSERT_TRUE(testsupport::spinUntil(
            [&] { return echo->pendingHandleCount() + change->pendingHandleCount() == 0; }));
    }
}

// An action ends, as merge targets, the reads of its own server sent before
// it, however it went: an equal read asked after it goes out anew. An equal
// action still waiting, and the other server's reads, still take the ask.
TEST_F(DataModelE2E, AnActionEndsOnlyTheEarlierReadsOfItsOwnServer)
{
    std::unique_ptr<DataModel> change = make<DMChangeTest>();
    std::unique_ptr<DataModel> cancel = make<DMCancelTest>();
    std::unique_ptr<DataModel> quote = make<DMQuoteRead>();
    const auto askCancel = [&](DataModelObserver* observer, const char* number) {
        return ask<tagCancelOrderParam>(*cancel, observer, [&](tagCancelOrderParam& p) {
            EXPECT_TRUE(requestparam::setParam(p, &tagCancelOrderParam::commonUrl, "fundid=1"));
            EXPECT_TRUE(requestparam::setParam(p, &tagCancelOrderParam::ordersNo, number));
        });
    };
    const auto askQuote = [&](DataModelObserver* observer) {
        return ask<tagQuote5LevelParam>(*quote, observer, [](tagQuote5LevelParam& p) {
            EXPECT_TRUE(requestparam::setParam(p, &tagQuote5LevelParam::code, "600000"));
        });
    };
    // Sends an action whose answer the server holds back.
    const auto heldBack = [&](std::function<void()> send) {
        return [this, send] {
            const int withheld = sim.withheldCount() + 1;
            sim.withholdNext(kChangeFunction);
            send();
            ASSERT_TRUE(testsupport::spinUntil([&] { return sim.withheldCount() == withheld; }));
        };
    };
    ChangeObserver order;
    const auto orderSent = heldBack([&] { askChange(*change, &order, "111111", "222222"); });
    const struct {
        const char* between;
        std::function<void()> before; // before the reads and the cancel are asked
        std::function<void()> act;
        bool tradeWaits; // the trade requests still wait afterwards
    } rows[] = {
        { "an order sent", {}, orderSent, true },
        { "an order answered", {},
            [&] {
                const std::size_t heard = order.results.size();
                askChange(*change, &order, "111111", "222222");
                ASSERT_TRUE(testsupport::spinUntil([&] { return order.results.size() == heard + 1; }));
            },
            true },
        { "another cancel sent", {}, heldBack([&] { askCancel(&order, "other"); }), true },
        { "an order dropped by a trade reconnect", orderSent,
            [] {
                DMNotificationCenter::getInstance()->postNotification(
                    DataModel::kServerReconnect, QVariant(1));
            },
            false },
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.between);
        EchoObserver read, readAgain;
        ChangeObserver cancelled, cancelledAgain;
        QuoteObserver quoted, quotedAgain;
        if (row.before)
            row.before();
        sim.withholdNext(kEchoFunction);
        sim.withholdNext(kQuoteEchoFunction);
        sim.withholdNext(kChangeFunction);
        const int withheld = sim.withheldCount() + 3;
        const QString r = askEcho(*echo, &read, QStringLiteral("positions"));
        const QString q = askQuote(&quoted);
        const QString c = askCancel(&cancelled, "100001");
        ASSERT_TRUE(testsupport::spinUntil([&] { return sim.withheldCount() == withheld; }));
        row.act();

        EXPECT_EQ(askQuote(&quotedAgain), q);
        EXPECT_EQ(quote->observersOfHandle(q), (std::vector<DataModelObserver*> { &quoted, &quotedAgain }));
        if (row.tradeWaits) {
            EXPECT_NE(askEcho(*echo, &readAgain, QStringLiteral("positions")), r);
            EXPECT_EQ(echo->pendingHandleCount(), 2u);
            EXPECT_EQ(askCancel(&cancelledAgain, "100001"), c);
            EXPECT_EQ(cancel->observersOfHandle(c),
                (std::vector<DataModelObserver*> { &cancelled, &cancelledAgain }));
        }
        sim.releaseWithheld();
        ASSERT_TRUE(testsupport::spinUntil([&] {
            return echo->pendingHandleCount() + cancel->pendingHandleCount() + quote->pendingHandleCount()
                + change->pendingHandleCount()
                == 0;
        }));
        EXPECT_EQ(quotedAgain.results, std::vector<QString> { QStringLiteral("600000") });
    }
}

TEST_F(DataModelE2E, ErrorRowsAndNetworkErrors)
{
    EchoObserver told;
    CompletionOnlyObserver silent;
    EXPECT_EQ(echo->getLastErrorCode(), 0);
    EXPECT_TRUE(echo->getLastErrorMessage().isEmpty());

    // An error row with a message; the observer without an error callback is skipped.
    sim.answerErrorNext(kEchoFunction, 42, QStringLiteral("资金不足"));
    const QString handle = askEcho(*echo, &silent, QStringLiteral("x"));
    askEcho(*echo, &told, QStringLiteral("x"));
    ASSERT_TRUE(testsupport::spinUntil([&] { return told.calls() == 1; }));
    EXPECT_EQ(told.errors.at(0), (CSError { QStringLiteral("资金不足"), 42, true }));
    EXPECT_EQ(silent.completions, 0);
    EXPECT_EQ(echo->getLastErrorMessage(), QStringLiteral("资金不足"));
    EXPECT_EQ(echo->getLastErrorCode(), 42);
    EXPECT_TRUE(echo->observersOfHandle(handle).empty()); // dropped with the handle

    // Without a message: "未知错误".
    sim.answerErrorNext(kEchoFunction, 7);
    askEcho(*echo, &told, QStringLiteral("y"));
    ASSERT_TRUE(testsupport::spinUntil([&] { return told.calls() == 2; }));
    EXPECT_EQ(told.errors.at(1), (CSError { QStringLiteral("未知错误"), 7, true }));

    // A later success leaves the last error as it was.
    askEcho(*echo, &told, QStringLiteral("z"));
    ASSERT_TRUE(testsupport::spinUntil([&] { return told.calls() == 3; }));
    EXPECT_EQ(told.echoed(0), QStringLiteral("z"));
    EXPECT_EQ(echo->getLastErrorCode(), 7);

    // A server's error row under one of the library's numbers keeps its words.
    EchoObserver refused;
    sim.answerErrorNext(kEchoFunction, 300, QStringLiteral("柜台系统维护"));
    askEcho(*echo, &refused, QStringLiteral("row"));
    ASSERT_TRUE(testsupport::spinUntil([&] { return refused.calls() == 1; }));
    EXPECT_EQ(refused.errors.at(0), (CSError { QStringLiteral("柜台系统维护"), 300, true }));
    EXPECT_EQ(DataModel::getNetworkError(refused.errors.at(0)), refused.errors.at(0));

    // A time-out: code 6, "请求超时".
    sim.withholdNext(kEchoFunction);
    askEcho(*echo, &told, QStringLiteral("late"), QStringLiteral("fundid=1"), 1);
    ASSERT_TRUE(testsupport::spinUntil([&] { return told.calls() == 4; }));
    EXPECT_EQ(told.errors.at(2), (CSError { QStringLiteral("请求超时"), 6 }));

    // The connection drops under a pending request: code 300.
    sim.withholdNext(kEchoFunction);
    askEcho(*echo, &told, QStringLiteral("dropped"));
    ASSERT_TRUE(testsupport::spinUntil([&] { return sim.withheldCount() == 1; }));
    sim.dropConnections();
    ASSERT_TRUE(testsupport::spinUntil([&] { return told.calls() == 5; }));
    EXPECT_EQ(told.errors.at(3), (CSError { QStringLiteral("无法连接网络或者网络断开连接"), 300 }));
    EXPECT_EQ(servers.connects.size(), 1u); // the factory moved the network on

    // The library's session error, and a code the request core keeps as it is.
    const QString pending = askEcho(*echo, &told, QStringLiteral("session"));
    echo->respondWithError(CSErrors::sessionParam(), echo->requestIdentifier(pending));
    EXPECT_EQ(told.errors.at(4), (CSError { QStringLiteral("session参数错误"), 101 }));
    EXPECT_EQ(DataModel::getNetworkError(CSErrors::serverNoData()), CSErrors::serverNoData());
    EXPECT_EQ(DataModel::getNetworkError(CSErrors::buildPacket()), CSErrors::buildPacket());
    EXPECT_EQ(DataModel::getNetworkError(CSErrors::requestTimeout()).domain, QStringLiteral("请求超时"));
}

// The ledger of requests: each request that goes out gets the next serial
// and whom the sender source names (an ask that joins it, the same serial);
// while its answer is handed out, however it comes, the ledger names that
// request, and the watch hears it once every observer has; an answer handed
// out inside another names its own request, then the outer one again. An
// answer no request waits for names none.
TEST_F(DataModelE2E, TheLedgerNamesTheRequestEachAnswerBelongsTo)
{
    static const auto sender = std::make_shared<int>(1);
    static std::vector<std::pair<quint64, bool>> watched;
    RequestLedger::setSenderSource([]() -> std::shared_ptr<const void> { return sender; });
    RequestLedger::setWatch([](quint64 serial, bool withRows) { watched.emplace_back(serial, withRows); });
    enum class Way { Rows, ErrorRow, NoData, TimeOut, Dropped };
    const struct {
        const char* name;
        Way way;
        bool withRows;
    } rows[] = {
        { "rows", Way::Rows, true },
        { "an error row", Way::ErrorRow, false },
        { "no record set", Way::NoData, false },
        { "a time-out", Way::TimeOut, false },
        { "the connection lost", Way::Dropped, false },
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        watched.clear();
        sim.clearControls();
        if (row.way == Way::ErrorRow)
            sim.answerErrorNext(kEchoFunction, 1, QStringLiteral("refused"));
        if (row.way == Way::NoData)
            sim.answerNotRecordSetNext(kEchoFunction);
        if (row.way == Way::TimeOut || row.way == Way::Dropped)
            sim.withholdNext(kEchoFunction);
        EchoObserver first, joined;
        std::vector<RequestLedger::Answer> heard;
        first.onCall = joined.onCall = [&](DataModel*) {
            ASSERT_TRUE(RequestLedger::answering());
            heard.push_back(*RequestLedger::answering());
            EXPECT_TRUE(watched.empty());
        };
        std::vector<quint64> serials;
        {
            RequestLedger::AskRecorder recorder;
            askEcho(*echo, &first, QString::fromLatin1(row.name), QStringLiteral("fundid=1"),
                row.way == Way::TimeOut ? 1 : 30);
            askEcho(*echo, &joined, QString::fromLatin1(row.name), QStringLiteral("fundid=1"));
            serials = recorder.serials();
        }
        ASSERT_EQ(serials.size(), 2u);
        EXPECT_EQ(serials[0], serials[1]);
        EXPECT_EQ(serials[0], RequestLedger::last());
        if (row.way == Way::Dropped) {
            ASSERT_TRUE(testsupport::spinUntil([&] { return sim.withheldCount() == 1; }));
            sim.dropConnections();
        }
        ASSERT_TRUE(testsupport::spinUntil([&] { return joined.calls() == 1; }));
        ASSERT_EQ(heard.size(), 2u);
        for (const RequestLedger::Answer& answer : heard) {
            EXPECT_EQ(answer.request.serial, serials[0]);
            EXPECT_EQ(answer.request.sender.lock(), sender);
            EXPECT_GE(answer.came, serials[0]);
        }
        EXPECT_EQ(watched, (std::vector<std::pair<quint64, bool>> { { serials[0], row.withRows } }));
        EXPECT_FALSE(RequestLedger::answering());
    }
    watched.clear();
    const RequestLedger::Request outer = RequestLedger::sent();
    quint64 inner = 0;
    {
        const RequestLedger::Answering answering(outer, true);
        EchoObserver observer;
        observer.onCall = [&](DataModel*) { inner = RequestLedger::answering()->request.serial; };
        const QString handle = askEcho(*echo, &observer, QStringLiteral("inner"), QStringLiteral("fundid=2"));
        echo->respondWithError(CSErrors::requestTimeout(), echo->requestIdentifier(handle));
        echo->cancelRequest(handle);
        EXPECT_EQ(inner, RequestLedger::last());
        ASSERT_TRUE(RequestLedger::answering());
        EXPECT_EQ(RequestLedger::answering()->request.serial, outer.serial);
    }
    EXPECT_EQ(watched, (std::vector<std::pair<quint64, bool>> { { inner, false }, { outer.serial, true } }));
    watched.clear();
    echo->respondWithError(CSErrors::requestTimeout(), echo->requestIdentifier(QStringLiteral("stray")));
    EXPECT_TRUE(watched.empty());
    RequestLedger::setWatch(nullptr);
    RequestLedger::setSenderSource(nullptr);
}

TEST_F(DataModelE2E, ReplyWithoutRecordSetEndsTheHandle)
{
    EchoObserver observer;
    sim.withholdNext(kEchoFunction);
    const QString handle = askEcho(*echo, &observer, QStringLiteral("empty"));
    // A reply for another class, or an unknown identifier, is ignored.
    echo->respondWithRecordSet({}, QStringLiteral("0E5A1C2B-7D3F-4A6B-9C8D-000000000000|") + handle);
    EXPECT_EQ(observer.calls(), 0u);
    // Found ignoring case, as the identifier is.
    echo->respondWithRecordSet(
        {}, echo->requestIdentifier(handle).toLower().replace(handle.toLower(), handle));
    ASSERT_EQ(observer.errors.size(), 1u);
    EXPECT_EQ(observer.errors[0], CSErrors::serverNoData());
    EXPECT_EQ(echo->pendingHandleCount(), 0u);

    // So the next equal request is sent instead of joining a dead one.
    sim.releaseWithheld();
    askEcho(*echo, &observer, QStringLiteral("empty"));
    ASSERT_TRUE(testsupport::spinUntil([&] { return observer.calls() == 2; }));
    EXPECT_EQ(receivedOf(kEchoFunction).size(), 2);
}

TEST_F(DataModelE2E, DestroyedObserversAndRequestObjectsHearNothing)
{
    auto gone = std::make_unique<EchoObserver>();
    EchoObserver stays;
    sim.withholdNext(kEchoFunction);
    const QString handle = askEcho(*echo, gone.get(), QStringLiteral("bye"));
    askEcho(*echo, &stays, QStringLiteral("bye"));
    ASSERT_TRUE(testsupport::spinUntil([&] { return sim.withheldCount() == 1; }));
    gone.reset();
    EXPECT_EQ(echo->observersOfHandle(handle), (std::vector<DataModelObserver*> { &stays }));
    sim.releaseWithheld();
    ASSERT_TRUE(testsupport::spinUntil([&] { return stays.calls() == 1; }));

    // Only the dead observer waits: the reply reaches nobody.
    gone = std::make_unique<EchoObserver>();
    sim.withholdNext(kEchoFunction);
    askEcho(*echo, gone.get(), QStringLiteral("nobody"));
    ASSERT_TRUE(testsupport::spinUntil([&] { return sim.withheldCount() == 1; }));
    gone.reset();
    sim.releaseWithheld();
    ASSERT_TRUE(testsupport::spinUntil([&] { return echo->pendingHandleCount() == 0; }));

    // The request object goes while its request is pending.
    std::unique_ptr<DataModel> shortLived = make<DMQueryEcho>();
    EchoObserver orphan;
    sim.withholdNext(kEchoFunction);
    askEcho(*shortLived, &orphan, QStringLiteral("orphan"));
    ASSERT_TRUE(testsupport::spinUntil([&] { return sim.withheldCount() == 1; }));
    shortLived.reset();
    sim.releaseWithheld();
    testsupport::spinFor(100ms);
    EXPECT_EQ(orphan.calls(), 0u);

    // An observer destroys the request object from its callback: the fan-out stops.
    std::unique_ptr<DataModel> owned = make<DMQueryEcho>();
    EchoObserver destroyer;
    EchoObserver after;
    destroyer.onCall = [&](DataModel*) { owned.reset(); };
    askEcho(*owned, &destroyer, QStringLiteral("self"));
    askEcho(*owned, &after, QStringLiteral("self"));
    ASSERT_TRUE(testsupport::spinUntil([&] { return destroyer.calls() == 1; }));
    testsupport::spinFor(50ms);
    EXPECT_EQ(after.calls(), 0u);
}

TEST_F(DataModelE2E, ObserverAskingAgainFromItsCallbackIsSentAgain)
{
    EchoObserver observer;
    int rounds = 0;
    observer.onCall = [&](DataModel* model) {
        if (++rounds < 3)
            askEcho(*model, &observer, QStringLiteral("again"));
    };
    askEcho(*echo, &observer, QStringLiteral("again"));
    ASSERT_TRUE(testsupport::spinUntil([&] { return observer.calls() == 3; }));
    EXPECT_EQ(receivedOf(kEchoFunction).size(), 3);
}

TEST_F(DataModelE2E, CancelledRequestReachesNobody)
{
    EchoObserver observer;
    sim.withholdNext(kEchoFunction);
    const QString handle = askEcho(*echo, &observer, QStringLiteral("cancel"));
    ASSERT_TRUE(testsupport::spinUntil([&] { return sim.withheldCount() == 1; }));
    echo->cancelRequest(handle);
    EXPECT_EQ(echo->pendingHandleCount(), 0u);
    sim.releaseWithheld();
    testsupport::spinFor(100ms);
    EXPECT_EQ(observer.calls(), 0u);
    EXPECT_EQ(askEcho(*echo, &observer, QStringLiteral("cancel")), handle);
    ASSERT_TRUE(testsupport::spinUntil([&] { return observer.calls() == 1; }));
    EXPECT_EQ(receivedOf(kEchoFunction).size(), 2);
}

TEST_F(DataModelE2E, ServerReconnectTellsPendingObserversFirst)
{
    EchoObserver observer;
    CompletionOnlyObserver silent;
    sim.withholdNext(kEchoFunction);
    askEcho(*echo, &observer, QStringLiteral("pending"));
    askEcho(*echo, &silent, QStringLiteral("pending"));
    ASSERT_TRUE(testsupport::spinUntil([&] { return sim.withheldCount() == 1; }));

    // A post about the quote server leaves trade requests alone.
    DMNotificationCenter::getInstance()->postNotification(DataModel::kServerReconnect, QVariant(0));
    EXPECT_EQ(echo->pendingHandleCount(), 1u);
    EXPECT_EQ(observer.calls(), 0u);

    // One about every server (or the trade server) drops them, with error 300 first.
    DMNotificationCenter::getInstance()->postNotification(DataModel::kServerReconnect);
    ASSERT_EQ(observer.errors.size(), 1u);
    EXPECT_EQ(observer.errors[0], (CSError { QStringLiteral("无法连接网络或者网络断开连接"), 300 }));
    EXPECT_EQ(echo->pendingHandleCount(), 0u);

    // The late reply reaches nobody.
    sim.releaseWithheld();
    testsupport::spinFor(100ms);
    EXPECT_EQ(observer.calls(), 1u);
    EXPECT_EQ(silent.completions, 0);
}

TEST_F(DataModelE2E, UncheckedValuesNeverReachTheWire)
{
    EchoObserver observer;
    // "&" and "=" would add fields.
    askEcho(*echo, &observer, QStringLiteral("a&price=0"));
    EXPECT_EQ(observer.calls(), 0u); // told on a later pass, not inside requestData
    ASSERT_TRUE(testsupport::spinUntil([&] { return observer.calls() == 1; }));
    EXPECT_EQ(observer.errors[0].code, DataModel::kRefusedRequestCode);
    // The customer may read it: it names no key.
    EXPECT_EQ(observer.errors[0].domain, QStringLiteral("输入的内容含有不能发送的字符"));
    askEcho(*echo, &observer, QStringLiteral("line\nbreak"));
    askEcho(*echo, &observer, QStringLiteral("x"), QStringLiteral("fundid=1\r\n"));
    ASSERT_TRUE(testsupport::spinUntil([&] { return observer.calls() == 3; }));

    // Text that bypassed setParam and is too long for its field.
    tagRequestParam param;
    echo->mallocParam(&param);
    param.commonQuery()->link = std::string(tagCommonQueryParam::linkSize, 'a');
    echo->requestData(&observer, param, 30);
    ASSERT_TRUE(testsupport::spinUntil([&] { return observer.calls() == 4; }));
    EXPECT_EQ(observer.errors.back().domain, QStringLiteral("输入的内容过长：最多1023个字符"));

    // Another class's record.
    tagRequestParam wrong;
    wrong.value.emplace<tagTradePasswordParam>();
    echo->requestData(&observer, wrong, 30);
    ASSERT_TRUE(testsupport::spinUntil([&] { return observer.calls() == 5; }));
    EXPECT_EQ(observer.errors.back().code, DataModel::kRefusedRequestCode);

    // No observer, or one of another protocol: refused at once.
    ChangeObserver stranger;
    EXPECT_TRUE(echo->requestData(nullptr, param, 30).isEmpty());
    echo->freeParam(&param);
    echo->mallocParam(&param);
    EXPECT_TRUE(echo->requestData(&stranger, param, 30).isEmpty());
    echo->freeParam(&param);

    testsupport::spinFor(50ms);
    EXPECT_EQ(receivedOf(kEchoFunction).size(), 0);
    EXPECT_EQ(echo->pendingHandleCount(), 0u);
}

TEST_F(DataModelE2E, QuoteRequestsTravelOnTheQuoteNetwork)
{
    std::unique_ptr<DataModel> quote = make<DMQuoteEcho>();
    ASSERT_TRUE(quote);
    EXPECT_EQ(quote->serverKind(), 0);
    EXPECT_EQ(quote->getNetwork(), NetworkFactory::getInstance()->getNetwork(0));
    EXPECT_EQ(echo->getNetwork(), NetworkFactory::getInstance()->getNetwork(1));
    QuoteObserver observer;
    tagRequestParam param;
    quote->mallocParam(&param);
    ASSERT_TRUE(requestparam::setParam(*param.quote5Level(), &tagQuote5LevelParam::code, "600000"));
    const qint64 before = QDateTime::currentSecsSinceEpoch();
    const QString handle = quote->requestData(&observer, param, 5);
    quote->freeParam(&param);
    const QStringList parts = handle.split(QLatin1Char('\x1f'));
    ASSERT_EQ(parts.size(), 2);
    EXPECT_GE(parts[0].toLongLong(), before);
    EXPECT_EQ(parts[1], QStringLiteral("600000"));
    ASSERT_TRUE(testsupport::spinUntil([&] { return observer.results.size() == 1; }));
    EXPECT_EQ(observer.results[0], QStringLiteral("600000"));
    const brokersim::Request sent = receivedOf(kQuoteEchoFunction).front();
    EXPECT_EQ(sent.front, brokersim::Front::HTTP);
    EXPECT_EQ(sent.service, 400u);
}

TEST_F(DataModelE2E, RequestsFromAnotherThreadAreSentOnTheMainThread)
{
    EchoObserver a;
    EchoObserver b;
    std::atomic<int> done { 0 };
    QString fromThread;
    // The reply waits until both are asked, so that the second always finds
    // the first on its way however the threads are scheduled.
    sim.withholdNext(kEchoFunction);
    std::thread caller([&] {
        fromThread = askEcho(*echo, &a, QStringLiteral("threaded"));
        askEcho(*echo, &b, QStringLiteral("threaded"));
        ++done;
    });
    ASSERT_TRUE(testsupport::spinUntil([&] { return done == 1; }));
    caller.join();
    ASSERT_TRUE(testsupport::spinUntil([&] { return sim.withheldCount() == 1; }));
    sim.releaseWithheld();
    ASSERT_TRUE(testsupport::spinUntil([&] { return a.calls() == 1 && b.calls() == 1; }));
    EXPECT_EQ(a.handles.front(), fromThread);
    EXPECT_EQ(receivedOf(kEchoFunction).size(), 1);
}

// An action that a reconnect drops may have reached the server: a read asked
// after it went out, still waiting for the new connection, answers an
// earlier question, and an equal read asked after the drop goes out anew.
TEST_F(DataModelE2E, AnActionDroppedByAReconnectEndsTheReadsAskedBeforeIt)
{
    std::unique_ptr<DataModel> change = make<DMChangeTest>();
    ChangeObserver order;
    EchoObserver before, after;
    sim.withholdNext(kChangeFunction);
    askChange(*change, &order, "111111", "222222");
    ASSERT_TRUE(testsupport::spinUntil([&] { return sim.withheldCount() == 1; }));
    const std::shared_ptr<CSNetwork> trade = echo->getNetwork();
    ASSERT_TRUE(trade->reconnect());
    const QString waiting = askEcho(*echo, &before, QStringLiteral("positions"));
    DMNotificationCenter::getInstance()->postNotification(DataModel::kServerReconnect, QVariant(1));
    ASSERT_EQ(order.errors.size(), 1u);
    EXPECT_EQ(echo->observersOfHandle(waiting), std::vector<DataModelObserver*> { &before });
    EXPECT_NE(askEcho(*echo, &after, QStringLiteral("positions")), waiting);
    ASSERT_TRUE(testsupport::spinUntil([&] { return before.calls() == 1 && after.calls() == 1; }));
}
