#pragma once

// Shared pieces of the request-layer tests: an observer and a connection
// delegate that write down every call, and a fixture with the in-process
// broker simulator (TLS on the TC front) and an echo function.
#include "comm/request/CSNetwork.h"
#include "comm/request/CSSession.h"
#include "platform/TlsTrust.h"
#include "support/Spin.h"
#include "support/TrustSimulator.h"
#include "tools/broker-sim/BrokerSimulator.h"

#include <QElapsedTimer>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <vector>

namespace csnetworktest {

using namespace std::chrono_literals;

inline constexpr brokersim::Function kEcho { 900, 1 };

class Observer : public CSNetworkObserver {
public:
    struct Reply {
        QString identifier;
        std::vector<VEKTCRS> sets;
    };
    std::vector<std::pair<QString, CSError>> errors;
    std::vector<Reply> replies;
    QStringList stars;
    QStringList stops;
    std::function<void()> onCall;

    bool starNetworkActivityIndicatorForIndentifier(const QString& identifier) override
    {
        stars << identifier;
        return true;
    }
    bool stopNetworkActivityIndicatorForIndentifier(const QString& identifier) override
    {
        stops << identifier;
        return true;
    }
    bool respondWithRecordSet(const std::vector<VEKTCRS>& sets, const QString& identifier) override
    {
        replies.push_back({ identifier, sets });
        if (onCall)
            onCall();
        return true;
    }
    bool respondWithError(const CSError& error, const QString& identifier) override
    {
        errors.emplace_back(identifier, error);
        if (onCall)
            onCall();
        return true;
    }

    size_t calls() const { return errors.size() + replies.size(); }
    // The "echo" field of reply i; "" when there is none.
    QString echoed(size_t i) const
    {
        if (i >= replies.size() || replies[i].sets.empty())
            return {};
        VEKTCRS set = replies[i].sets.front();
        return set.fetchFirst() ? set.toStringWithName(QStringLiteral("echo")) : QString();
    }
};

class Delegate : public CSNetworkConnectionDelegate {
public:
    int connected = 0;
    int loggedOn = 0;
    int willDisconnect = 0;
    int didDisconnect = 0;
    std::function<void(CSNetwork&)> onDisconnected;

    void networkWillDisconnetWithError(CSNetwork&, const std::optional<StreamSocketError>&) override
    {
        ++willDisconnect;
    }
    void networkDidConnected(CSNetwork&) override { ++connected; }
    void networkDidLogOn(CSNetwork&) override { ++loggedOn; }
    void networkDidDisConnected(CSNetwork& network) override
    {
        ++didDisconnect;
        if (onDisconnected)
            onDisconnected(network);
    }
};

class CSNetworkE2E : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(sim.start());
        sim.registerFunction(kEcho.main, kEcho.sub, [](const brokersim::Request& r, brokersim::BrokerState&) {
            return brokersim::Reply::withTable(
                brokersim::Table().column(QStringLiteral("echo")).row({ r.valueOr(QStringLiteral("text")) }));
        });
        testsupport::trustSimulator(sim.trustedCertificates());
        CSSession::releaseAll();
        ASSERT_TRUE(CSNetwork::setConfigUtid(
            QStringLiteral("T0001"), QStringLiteral("lumora"), QStringLiteral("1.0")));
        net = std::make_unique<CSNetwork>();
        net->setConnectionDelegate(&delegate);
        net->setTimeoutBatchInterval(0.1);
    }

    void TearDown() override
    {
        net.reset();
        sim.stop();
        platform::TlsTrust::reset();
        CSSession::releaseAll();
    }

    CSServerInfo tcServer() const
    {
        CSServerInfo info = *CSServerInfo::initWithAddress(QStringLiteral("127.0.0.1"), sim.tcPort());
        info.setNeedSSL(true);
        return info;
    }
    CSServerInfo httpServer() const
    {
        CSServerInfo info = *CSServerInfo::initWithAddress(QStringLiteral("127.0.0.1"), sim.httpPort());
        info.setProtocolMode(1);
        return info;
    }

    quint64 echo(Observer& observer, const QString& text, bool session = false, quint64 timeout = 5,
        const QString& identifier = QStringLiteral("echo"))
    {
        CSPacket packet(kEcho.main, kEcho.sub, QStringLiteral("text=") + text);
        packet.setSession(session);
        packet.setEncoding(2);
        return net->sendRequestWithObserver(&observer, identifier, &packet, timeout);
    }

    static bool waitCalls(const Observer& observer, size_t count, std::chrono::milliseconds timeout = 5s)
    {
        return testsupport::spinUntil([&] { return observer.calls() >= count; }, timeout);
    }

    bool connectAndLogOn()
    {
        net->connectTo(tcServer());
        return testsupport::spinUntil([&] { return net->isLoggedOn(); });
    }

    QList<brokersim::Request> receivedOf(brokersim::Function function) const
    {
        return sim.receivedOf(function);
    }

    brokersim::BrokerSimulator sim;
    Delegate delegate;
    std::unique_ptr<CSNetwork> net;
};

} // namespace csnetworktest
