#pragma once

// Shared pieces of the request-core tests: a server list that stands in for
// DMServerManager, and a fixture with the in-process broker simulator (TLS on
// the TC front) that the network factory connects to.
#include "comm/CSNetwork.h"
#include "comm/CSSession.h"
#include "core/DMNotificationCenter.h"
#include "core/NetworkFactory.h"
#include "platform/TlsTrust.h"
#include "support/Spin.h"
#include "tools/broker-sim/BrokerSimulator.h"

#include <gtest/gtest.h>
#include <map>
#include <vector>

namespace coretest {

using namespace std::chrono_literals;

// Server lists by kind, the selection, and the connects asked for.
class FakeServerManager : public INetworkServerManager {
public:
    std::map<int32_t, std::vector<CSServerInfo>> lists;
    std::map<int32_t, qint64> selected;
    std::vector<std::pair<int32_t, quint64>> connects;
    // Also connect the network and post type 0, as DMServerManager does.
    bool connectForReal = false;

    quint64 numberOfServerInfosByType(int32_t type) override
    {
        auto found = lists.find(type);
        return found == lists.end() ? 0 : found->second.size();
    }
    qint64 indexOfSelectedByType(int32_t type) override
    {
        auto found = selected.find(type);
        return found == selected.end() ? -1 : found->second;
    }
    std::optional<CSServerInfo> serverInfoOfSelectedByType(int32_t type) override
    {
        const qint64 index = indexOfSelectedByType(type);
        if (index < 0 || quint64(index) >= numberOfServerInfosByType(type))
            return std::nullopt;
        return lists[type][size_t(index)];
    }
    bool connectToServerByType(int32_t type, quint64 index) override
    {
        if (index >= numberOfServerInfosByType(type))
            return false;
        connects.emplace_back(type, index);
        selected[type] = qint64(index);
        if (connectForReal) {
            CSServerInfo server = lists[type][size_t(index)];
            NetworkFactory::configureServerInfo(server, type, 5);
            NetworkFactory::getInstance()->getNetwork(type)->connectTo(server);
            DMNotificationCenter::getInstance()->postNotification(0, QVariant(int(type)));
        }
        return true;
    }
};

class SimulatorFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        DMNotificationCenter::resetForTesting();
        NetworkFactory::resetInstance();
        ASSERT_TRUE(sim.start());
        platform::TlsTrust::reset();
        platform::TlsTrust::addCaCertificates(sim.trustedCertificates());
        CSSession::releaseAll();
        ASSERT_TRUE(CSNetwork::setConfigUtid(
            QStringLiteral("T0001"), QStringLiteral("lumora"), QStringLiteral("1.0")));
        servers.lists[NetworkFactory::kTrade] = { *NetworkFactory::makeServerInfo(
            NetworkFactory::kTrade, QStringLiteral("127.0.0.1"), QString::number(sim.tcPort()), 10) };
        servers.lists[NetworkFactory::kQuote] = { *NetworkFactory::makeServerInfo(
            NetworkFactory::kQuote, QStringLiteral("127.0.0.1"), QString::number(sim.httpPort()), 10) };
        servers.selected = { { NetworkFactory::kTrade, 0 }, { NetworkFactory::kQuote, 0 } };
        NetworkFactory::getInstance()->setServerManager(&servers);
    }

    void TearDown() override
    {
        NetworkFactory::resetInstance();
        sim.stop();
        platform::TlsTrust::reset();
        CSSession::releaseAll();
        DMNotificationCenter::resetForTesting();
    }

    QList<brokersim::Request> receivedOf(brokersim::Function function) const
    {
        QList<brokersim::Request> out;
        for (const brokersim::Request& r : sim.received()) {
            if (!r.logon && r.function == function)
                out << r;
        }
        return out;
    }

    brokersim::BrokerSimulator sim;
    FakeServerManager servers;
};

} // namespace coretest
