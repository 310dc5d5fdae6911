#include "DataModelTestRig.h"
#include "support/LoopbackServer.h"
#include "support/LoopbackSocketRecorder.h"
#include "support/Spin.h"

#include <gtest/gtest.h>

using namespace coretest;

namespace {

struct ConnectionListener {
    std::vector<QVariant> objects;
    void onConnected(const platform::Notification& n) { objects.push_back(n.object); }
};

class NetworkFactoryTest : public SimulatorFixture { };

} // namespace

TEST_F(NetworkFactoryTest, OneNetworkPerKindConnectedToTheSelectedServer)
{
    ConnectionListener listener;
    DMNotificationCenter::getInstance()->addObserver(
        &listener, &ConnectionListener::onConnected, NetworkFactory::kConnectionEstablished);

    NetworkFactory* factory = NetworkFactory::getInstance();
    EXPECT_EQ(factory, NetworkFactory::getInstance());
    EXPECT_TRUE(factory->getRetryFlag());
    EXPECT_EQ(factory->existingNetwork(1), nullptr);

    std::shared_ptr<CSNetwork> trade = factory->getNetwork(1);
    ASSERT_TRUE(trade);
    ASSERT_TRUE(trade->serverInfo());
    EXPECT_TRUE(trade->serverInfo()->needSSL());
    EXPECT_EQ(trade->serverInfo()->protocolMode(), 0);
    EXPECT_EQ(trade->serverInfo()->timeout(), NetworkFactory::kConnectTimeout);
    EXPECT_EQ(trade->serverInfo()->port(), sim.tcPort());
    EXPECT_EQ(trade->runLoopModes(), platform::RunLoopModes::common());
    ASSERT_TRUE(testsupport::spinUntil([&] { return !listener.objects.empty(); }));
    EXPECT_EQ(listener.objects.front(), QVariant(1));

    // The same object, not connected again.
    const int connections = sim.connectionCount();
    EXPECT_EQ(factory->getNetwork(1), trade);
    testsupport::spinFor(50ms);
    EXPECT_EQ(sim.connectionCount(), connections);
    EXPECT_EQ(listener.objects.size(), 1u);

    std::shared_ptr<CSNetwork> quote = factory->getNetwork(0);
    ASSERT_TRUE(quote && quote->serverInfo());
    EXPECT_NE(quote, trade);
    EXPECT_FALSE(quote->serverInfo()->needSSL());
    EXPECT_EQ(quote->serverInfo()->protocolMode(), 1);
    EXPECT_EQ(quote->runLoopModes(), platform::RunLoopModes::defaultMode());
    ASSERT_TRUE(testsupport::spinUntil([&] { return listener.objects.size() == 2; }));
    EXPECT_EQ(listener.objects.back(), QVariant(0));

    // Another kind is made and kept but has no server.
    std::shared_ptr<CSNetwork> other = factory->getNetwork(5);
    ASSERT_TRUE(other);
    EXPECT_FALSE(other->serverInfo());
    EXPECT_EQ(factory->getNetwork(5), other);
    DMNotificationCenter::getInstance()->removeObserver(&listener);
}

TEST_F(NetworkFactoryTest, NoSelectedServerMakesAnUnconnectedNetwork)
{
    servers.selected.clear();
    std::shared_ptr<CSNetwork> trade = NetworkFactory::getInstance()->getNetwork(1);
    ASSERT_TRUE(trade);
    EXPECT_FALSE(trade->serverInfo());
    NetworkFactory::getInstance()->setServerManager(nullptr);
    EXPECT_TRUE(NetworkFactory::getInstance()->getNetwork(0));
}

TEST_F(NetworkFactoryTest, ServerInfoFromListTexts)
{
    auto trade
        = NetworkFactory::makeServerInfo(1, QStringLiteral("trade.example"), QStringLiteral("8443"), 5);
    ASSERT_TRUE(trade);
    EXPECT_EQ(trade->address(), QStringLiteral("trade.example"));
    EXPECT_EQ(trade->port(), 8443);
    EXPECT_EQ(trade->timeout(), 5);
    EXPECT_TRUE(trade->needSSL());
    EXPECT_EQ(trade->protocolMode(), 0);
    auto quote = NetworkFactory::makeServerInfo(0, QStringLiteral("quote.example"), QStringLiteral("80"), 10);
    ASSERT_TRUE(quote);
    EXPECT_FALSE(quote->needSSL());
    EXPECT_EQ(quote->protocolMode(), 1);
}

// One rule decides what can be dialled: the lists, the network's server and
// the socket itself ask it, and a server is taken exactly when the socket
// dials it, in the form it is dialled.
TEST_F(NetworkFactoryTest, WhatCanBeDialledIsWhatTheSocketDials)
{
    enum Dial { NoDial, Connects, RefusedAtOnce };
    const struct {
        const char* address;
        const char* port;
        const char* dialled; // nullptr: refused
        quint16 dialledPort;
        Dial dial;
    } rows[] = {
        { "127.0.0.1", "80", "127.0.0.1", 80, Connects },
        { "127.0.0.1 ", "80", "127.0.0.1", 80, Connects },
        { " 127.0.0.1", " 8080 ", "127.0.0.1", 8080, NoDial },
        { "127.1", "80", "127.0.0.1", 80, Connects }, // the socket's parser reads it so
        { "999.1.1.1", "80", nullptr, 0, RefusedAtOnce },
        { "1.2.3.4.5", "80", nullptr, 0, NoDial },
        { "[::1]", "80", nullptr, 0, RefusedAtOnce },
        { "::1", "80", "::1", 80, NoDial },
        { "0.0.0.0", "80", nullptr, 0, RefusedAtOnce },
        { "trade.example", "8443", "trade.example", 8443, NoDial },
        { " trade.example ", "8443", "trade.example", 8443, NoDial },
        { "trade.example.", "8443", "trade.example.", 8443, NoDial },
        { "trade_1.example", "8443", "trade_1.example", 8443, NoDial },
        { "交易.例子.cn", "80", "交易.例子.cn", 80, NoDial },
        { "-trade.example", "80", nullptr, 0, NoDial },
        { "x..y", "80", nullptr, 0, NoDial },
        { "host:1", "80", nullptr, 0, NoDial },
        { "a/b", "80", nullptr, 0, NoDial },
        { "10.0.0.1 x", "80", nullptr, 0, NoDial },
        { "@@@ ###", "80", nullptr, 0, NoDial },
        { "", "80", nullptr, 0, RefusedAtOnce },
        { "  ", "80", nullptr, 0, NoDial },
        { "127.0.0.1", "0", nullptr, 0, RefusedAtOnce },
        { "127.0.0.1", "65535", "127.0.0.1", 65535, NoDial },
        { "127.0.0.1", "0080", "127.0.0.1", 80, NoDial },
        { "127.0.0.1", "65536", nullptr, 0, NoDial },
        { "127.0.0.1", "70000", nullptr, 0, NoDial },
        { "127.0.0.1", "-1", nullptr, 0, NoDial },
        // A port is a number by value, as every number a server sends.
        { "127.0.0.1", "+80", "127.0.0.1", 80, NoDial },
        { "127.0.0.1", "9001.000", "127.0.0.1", 9001, NoDial },
        { "127.0.0.1", " 8e1 ", "127.0.0.1", 80, NoDial },
        { "127.0.0.1", "80.5", nullptr, 0, NoDial },
        { "127.0.0.1", "65535.0", "127.0.0.1", 65535, NoDial },
        { "127.0.0.1", "65536.0", nullptr, 0, NoDial },
        { "127.0.0.1", "0.0", nullptr, 0, NoDial },
        { "127.0.0.1", "NaN", nullptr, 0, NoDial },
        { "127.0.0.1", "80x", nullptr, 0, NoDial },
        { "127.0.0.1", "", nullptr, 0, NoDial },
        { "::ffff:0.0.0.0", "80", nullptr, 0, RefusedAtOnce },
        { "0", "80", nullptr, 0, NoDial },
        { "::", "80", nullptr, 0, NoDial },
        { "\xef\xbc\x91\xef\xbc\x92\xef\xbc\x97.0.0.1", "80", nullptr, 0, NoDial },
    };
    testsupport::LoopbackServer server;
    ASSERT_TRUE(server.start());
    for (const auto& row : rows) {
        const QString address = QString::fromUtf8(row.address);
        const QString port = QString::fromUtf8(row.port);
        SCOPED_TRACE(QStringLiteral("[%1]:[%2]").arg(address, port).toStdString());
        EXPECT_EQ(NetworkFactory::acceptsServer(address, port), row.dialled != nullptr);
        const std::optional<CSServerInfo> info = NetworkFactory::makeServerInfo(1, address, port, 5);
        ASSERT_EQ(info.has_value(), row.dialled != nullptr);
        if (info) {
            EXPECT_EQ(info->address(), QString::fromUtf8(row.dialled));
            EXPECT_EQ(info->port(), row.dialledPort);
        }
        if (row.dial == NoDial)
            continue;
        testsupport::LoopbackSocketRecorder recorder;
        StreamSocket socket(&recorder);
        StreamSocketError error;
        const quint16 target = port == "0" ? 0 : server.port();
        if (row.dial == RefusedAtOnce) {
            EXPECT_FALSE(socket.connectToHost(address, target, 5.0, &error));
            EXPECT_EQ(error.domain, QString::fromLatin1(kCFStreamErrorDomainNetDB));
            EXPECT_TRUE(recorder.events.isEmpty());
            continue;
        }
        ASSERT_TRUE(socket.connectToHost(address, target, 5.0, &error));
        ASSERT_TRUE(testsupport::spinUntil([&] { return recorder.events.contains("connect"); }));
        EXPECT_EQ(recorder.host, QString::fromUtf8(row.dialled));
    }
}

TEST_F(NetworkFactoryTest, ReconnectStepsThroughTheList)
{
    NetworkFactory* factory = NetworkFactory::getInstance();
    FakeServerManager fake;
    auto server = *NetworkFactory::makeServerInfo(1, QStringLiteral("127.0.0.1"), QStringLiteral("1"), 5);
    fake.lists[1] = { server, server, server };
    fake.lists[0] = { server, server, server, server, server };
    factory->setServerManager(&fake);
    // Made without a selection, so they stay unconnected and only the calls below move them.
    std::shared_ptr<CSNetwork> trade = factory->getNetwork(1);
    std::shared_ptr<CSNetwork> quote = factory->getNetwork(0);
    fake.selected = { { 1, 2 }, { 0, 0 } };

    // Three trade servers, server 2 selected: 0, 2, 0 (steps 1, 2, 1).
    for (int i = 0; i < 3; ++i)
        factory->networkDidDisConnected(*trade);
    ASSERT_EQ(fake.connects.size(), 3u);
    EXPECT_EQ(fake.connects[0], std::make_pair(1, quint64(0)));
    EXPECT_EQ(fake.connects[1], std::make_pair(1, quint64(2)));
    EXPECT_EQ(fake.connects[2], std::make_pair(1, quint64(0)));
    EXPECT_EQ(factory->getTradeRetryCount(), 1u);

    // Five quote servers, server 0 selected: 1, 3, 1, 0, 1.
    fake.connects.clear();
    for (int i = 0; i < 5; ++i)
        factory->reconnectServer(*quote);
    std::vector<quint64> indexes;
    for (auto& [kind, index] : fake.connects) {
        EXPECT_EQ(kind, 0);
        indexes.push_back(index);
    }
    EXPECT_EQ(indexes, (std::vector<quint64> { 1, 3, 1, 0, 1 }));

    // One server: always that one. None: nothing.
    fake.connects.clear();
    fake.lists[1] = { server };
    fake.selected[1] = 0;
    factory->reconnectServer(*trade);
    factory->reconnectServer(*trade);
    EXPECT_EQ(fake.connects, (std::vector<std::pair<int32_t, quint64>> { { 1, 0 }, { 1, 0 } }));
    fake.lists[1].clear();
    factory->reconnectServer(*trade);
    EXPECT_EQ(fake.connects.size(), 2u);

    // With the retry flag off a lost connection stays lost.
    fake.lists[1] = { server, server };
    factory->setRetryFlag(false);
    factory->networkDidDisConnected(*trade);
    EXPECT_EQ(fake.connects.size(), 2u);
    factory->setRetryFlag(true);
    factory->networkDidDisConnected(*trade);
    EXPECT_EQ(fake.connects.size(), 3u);

    // A kind other than 0 and 1 resets no retry count.
    const quint64 before = factory->getQuoteRetryCount();
    factory->getNetwork(7);
    EXPECT_EQ(factory->getQuoteRetryCount(), before);
    factory->setServerManager(nullptr);
}

TEST_F(NetworkFactoryTest, LostTradeConnectionMovesToTheNextServer)
{
    // Two trade servers: a dead port selected, then the simulator.
    NetworkFactory* factory = NetworkFactory::getInstance();
    servers.lists[1].insert(servers.lists[1].begin(),
        *NetworkFactory::makeServerInfo(
            1, QStringLiteral("127.0.0.1"), QString::number(testsupport::unusedLoopbackPort()), 10));
    servers.connectForReal = true;
    ConnectionListener listener;
    DMNotificationCenter::getInstance()->addObserver(&listener, &ConnectionListener::onConnected, 2);

    std::shared_ptr<CSNetwork> trade = factory->getNetwork(1);
    ASSERT_TRUE(testsupport::spinUntil([&] { return !listener.objects.empty(); }));
    ASSERT_FALSE(servers.connects.empty());
    EXPECT_EQ(servers.connects.front(), std::make_pair(1, quint64(1)));
    EXPECT_EQ(trade->serverInfo()->port(), sim.tcPort());
    EXPECT_EQ(trade->serverInfo()->timeout(), 5);
    EXPECT_EQ(listener.objects.front(), QVariant(1));
    DMNotificationCenter::getInstance()->removeObserver(&listener);
}

// With the retry flag off, or no server listed to move to, a request that a
// caller asks for while hearing of the lost connection goes out on the
// connection the network opens again to its own server.
TEST_F(NetworkFactoryTest, ARequestAskedWhileHearingOfALossWithNoMoveStillGoesOut)
{
    struct Asker : CSNetworkObserver {
        std::vector<CSError> errors;
        int replies = 0;
        std::function<void()> onError;
        bool respondWithRecordSet(const std::vector<VEKTCRS>&, const QString&) override
        {
            ++replies;
            return true;
        }
        bool respondWithError(const CSError& error, const QString&) override
        {
            errors.push_back(error);
            if (onError)
                onError();
            return true;
        }
    };
    for (const bool emptyList : { false, true }) {
        for (const int32_t kind : { NetworkFactory::kTrade, NetworkFactory::kQuote }) {
            SCOPED_TRACE(testing::Message() << "empty list " << emptyList << ", kind " << kind);
            NetworkFactory::resetInstance();
            NetworkFactory* factory = NetworkFactory::getInstance();
            factory->setServerManager(&servers);
            factory->setRetryFlag(emptyList);
            const std::shared_ptr<CSNetwork> network = factory->getNetwork(kind);
            const std::vector<CSServerInfo> kept = servers.lists[kind];
            if (emptyList)
                servers.lists[kind].clear();
            CSPacket packet(kEchoFunction.main, kEchoFunction.sub, QStringLiteral("text=x"));
            Asker dropped, asked;
            sim.withholdNext(kEchoFunction);
            network->sendRequestWithObserver(&dropped, QStringLiteral("dropped"), &packet, 30);
            ASSERT_TRUE(testsupport::spinUntil([&] { return sim.withheldCount() == 1; }));
            dropped.onError
                = [&] { network->sendRequestWithObserver(&asked, QStringLiteral("asked"), &packet, 30); };
            sim.dropConnections();
            ASSERT_TRUE(testsupport::spinUntil([&] { return asked.replies + asked.errors.size() > 0; }));
            EXPECT_EQ(asked.replies, 1);
            EXPECT_TRUE(asked.errors.empty());
            EXPECT_TRUE(servers.connects.empty());
            servers.lists[kind] = kept;
            sim.clearControls();
            sim.releaseWithheld();
        }
    }
}
