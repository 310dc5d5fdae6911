#pragma once

// Shared pieces of the login tests: a per-test user folder, fake device
// facts, and a fixture with the in-process broker simulator that the real
// network factory reaches over TLS.
#include "comm/request/CSNetwork.h"
#include "comm/request/CSSession.h"
#include "core/DMNotificationCenter.h"
#include "core/DMServerManager.h"
#include "core/DataModelFactory.h"
#include "core/DataModelManager.h"
#include "core/IPMacAddressInfo.h"
#include "core/NetworkFactory.h"
#include "core/NotificationCenter.h"
#include "core/SystemInfo.h"
#include "core/UserDefaultConfig.h"
#include "login/AccountManager.h"
#include "login/LoginDataModels.h"
#include "login/LoginManager.h"
#include "login/OrgInfoManager.h"
#include "login/OwedReads.h"
#include "platform/DeviceInfo.h"
#include "platform/TlsTrust.h"
#include "platform/UserDefaults.h"
#include "support/Spin.h"
#include "support/TrustSimulator.h"
#include "tools/broker-sim/Broker.h"
#include "tools/broker-sim/BrokerSimulator.h"
#include "tools/broker-sim/LoginFunctions.h"
#include "tools/broker-sim/Table.h"

#include <QTemporaryDir>
#include <QtEndian>
#include <gtest/gtest.h>
#include <map>
#include <memory>
#include <vector>

namespace logintest {

using namespace std::chrono_literals;

// Device queries that answer fixed facts.
struct FakeDevice : platform::DeviceQueries {
    QString osVersion() const override { return QStringLiteral("14.2"); }
    std::optional<QString> machineSerial() const override { return QStringLiteral("C02XYZ"); }
    std::vector<std::optional<QString>> diskSerials() const override { return { QStringLiteral("S3 DISK") }; }
    std::vector<platform::InterfaceRecord> interfaces() const override
    {
        platform::InterfaceRecord ip;
        ip.name = QStringLiteral("en0");
        ip.family = platform::InterfaceRecord::Family::IPv4;
        ip.ipv4 = qToBigEndian(quint32(0x0A010203)); // 10.1.2.3
        ip.up = true;
        platform::InterfaceRecord link;
        link.name = QStringLiteral("en0");
        link.family = platform::InterfaceRecord::Family::Link;
        link.hardwareAddress = QByteArray::fromHex("a1b2c3d4e5f6");
        link.up = true;
        return { ip, link };
    }
    std::optional<QString> defaultRouteInterface() const override { return QStringLiteral("en0"); }
};

// Resets every shared service onto a fresh user folder and fake device.
class HomeFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(home.isValid());
        savedHome = qgetenv("LUMORA_HOME");
        qputenv("LUMORA_HOME", home.path().toUtf8());
        platform::setDeviceQueries(std::make_shared<FakeDevice>());
        SystemInfo::setInfoDictionary({ { QStringLiteral("CFBundleVersion"), QStringLiteral("1.0") },
            { QStringLiteral("App identifier"), QStringLiteral("lumora") } });
        resetAll();
        DataModelFactory::unregisterAll();
        registerLoginDataModels();
    }

    void TearDown() override
    {
        resetAll();
        DataModelFactory::unregisterAll();
        platform::setDeviceQueries(nullptr);
        if (savedHome.isNull())
            qunsetenv("LUMORA_HOME");
        else
            qputenv("LUMORA_HOME", savedHome);
    }

    static void resetAll()
    {
        OwedReads::resetInstance();
        LoginManager::resetInstance();
        AccountManager::resetInstance();
        OrgInfoManager::resetInstance();
        DMServerManager::resetInstance();
        NetworkFactory::resetInstance();
        SystemInfo::resetInstance();
        UserDefaultConfig::resetInstance();
        platform::UserDefaults::resetStandardUserDefaults();
        DMNotificationCenter::resetForTesting();
    }

public:
    // A record set made from a simulator table.
    static VEKTCRS set(const brokersim::Table& table)
    {
        std::optional<VEKTCRS> made = brokersim::toRecordSet(table, 2);
        EXPECT_TRUE(made.has_value());
        return made.value_or(VEKTCRS());
    }

protected:
    QTemporaryDir home;
    QByteArray savedHome;
};

// Server lists that point the network factory at the simulator.
class SimServers : public INetworkServerManager {
public:
    std::optional<CSServerInfo> trade;
    quint64 numberOfServerInfosByType(int32_t type) override { return type == 1 && trade ? 1 : 0; }
    qint64 indexOfSelectedByType(int32_t type) override { return type == 1 && trade ? 0 : -1; }
    std::optional<CSServerInfo> serverInfoOfSelectedByType(int32_t type) override
    {
        return type == 1 ? trade : std::nullopt;
    }
    bool connectToServerByType(int32_t, quint64) override { return false; }
};

class SimulatorFixture : public HomeFixture {
protected:
    void SetUp() override
    {
        HomeFixture::SetUp();
        ASSERT_TRUE(sim.start()) << qPrintable(sim.errorString());
        testsupport::trustSimulator(sim.trustedCertificates());
        CSSession::releaseAll();
        // The real server manager exists (the application login rebuilds its
        // lists); the factory connects to the simulator.
        DMServerManager::getInstance();
        servers.trade = NetworkFactory::makeServerInfo(
            NetworkFactory::kTrade, QStringLiteral("127.0.0.1"), QString::number(sim.tcPort()), 10);
        NetworkFactory::getInstance()->setServerManager(&servers);
        NetworkFactory::getInstance()->setRetryFlag(false);
        NetworkFactory::getInstance()->getNetwork(NetworkFactory::kTrade)->setTimeoutBatchInterval(0.1);
    }

    void TearDown() override
    {
        resetAll();
        sim.stop();
        platform::TlsTrust::reset();
        CSSession::releaseAll();
        HomeFixture::TearDown();
    }

    QList<brokersim::Request> receivedOf(brokersim::Function function) const { return sim.receivedOf(function); }
    QString lastBody(brokersim::Function function) const
    {
        const QList<brokersim::Request> all = receivedOf(function);
        return all.isEmpty() ? QString() : QString::fromUtf8(all.back().rawBody);
    }

    brokersim::Broker& broker() { return sim.state().broker(); }

    brokersim::BrokerSimulator sim;
    SimServers servers;
};

} // namespace logintest
