#pragma once

// Shared pieces of the request-core tests: a server list that stands in for
// DMServerManager, and a fixture with the in-process broker simulator (TLS on
// the TC front) that the network factory connects to.
#include "comm/request/CSNetwork.h"
#include "comm/request/CSSession.h"
#include "core/DMNotificationCenter.h"
#include "core/DTTable.h"
#include "core/DataModelClass.h"
#include "core/DataModelFactory.h"
#include "core/NetworkFactory.h"
#include "core/QuoteDataModel.h"
#include "core/TradeDataModel.h"
#include "platform/TlsTrust.h"
#include "support/Spin.h"
#include "support/TrustSimulator.h"
#include "tools/broker-sim/BrokerSimulator.h"

#include <functional>
#include <gtest/gtest.h>
#include <map>
#include <memory>
#include <vector>

namespace coretest {

using namespace std::chrono_literals;

// --- Generic request classes, for tests only ---

inline constexpr brokersim::Function kEchoFunction { 900, 1 };
inline constexpr brokersim::Function kChangeFunction { 900, 2 };
inline constexpr brokersim::Function kQuoteEchoFunction { 900, 3 };

// A query: the account prefix and the link text echoed back in a table.
LUMORA_DATA_MODEL_PROTOCOL(IQueryEchoDelegate, queryEcho, std::shared_ptr<DTTable>)
class DMQueryEcho final
    : public DataModelClass<DMQueryEcho, TradeDataModel, tagCommonQueryParam, IQueryEchoDelegate> {
public:
    static constexpr DataModelInfo info { "0E5A1C2B-7D3F-4A6B-9C8D-1E2F3A4B5C6D", 900, 1 };
    static void body(const tagCommonQueryParam& p, RequestBody& b)
    {
        b.prefix(p.commonUrl).add("text", p.link);
    }
    static Result reply(const std::vector<VEKTCRS>& sets) { return std::make_shared<DTTable>(&sets.front()); }
};

// A request never merged, as an order is (with a password change's record),
// answered with "result".
LUMORA_DATA_MODEL_PROTOCOL(IChangeTestDelegate, changeTest, QString)
class DMChangeTest final
    : public DataModelClass<DMChangeTest, TradeDataModel, tagTradePasswordParam, IChangeTestDelegate> {
public:
    static constexpr DataModelInfo info { "0E5A1C2B-7D3F-4A6B-9C8D-1E2F3A4B5C6E", 900, 2, HandleRule::Fields,
        RequestEffect::NewIntent };
    static void body(const tagTradePasswordParam& p, RequestBody& b)
    {
        b.prefix(p.commonUrl).add("oldpwd", p.oldPassword).add("newpwd", p.newPassword);
    }
    static Result reply(const std::vector<VEKTCRS>& sets)
    {
        VEKTCRS first = sets.front();
        first.fetchFirst();
        return first.toStringWithName(QStringLiteral("result"));
    }
};

// An action merged with an equal one still waiting, as a cancel is.
class DMCancelTest final
    : public DataModelClass<DMCancelTest, TradeDataModel, tagCancelOrderParam, IChangeTestDelegate> {
public:
    static constexpr DataModelInfo info { "0E5A1C2B-7D3F-4A6B-9C8D-1E2F3A4B5C70", 900, 2, HandleRule::Fields,
        RequestEffect::Changes };
    static void body(const tagCancelOrderParam& p, RequestBody& b)
    {
        b.prefix(p.commonUrl).add("ordersno", p.ordersNo);
    }
    static Result reply(const std::vector<VEKTCRS>& sets) { return DMChangeTest::reply(sets); }
};

// A quote refresh: handle of the current second, service 400.
LUMORA_DATA_MODEL_PROTOCOL(IQuoteEchoDelegate, quoteEcho, QString)
class DMQuoteEcho final
    : public DataModelClass<DMQuoteEcho, QuoteDataModel, tagQuote5LevelParam, IQuoteEchoDelegate> {
public:
    static constexpr DataModelInfo info { "0E5A1C2B-7D3F-4A6B-9C8D-1E2F3A4B5C6F", 900, 3, HandleRule::Time,
        RequestEffect::Reads, false, 400 };
    static void body(const tagQuote5LevelParam& p, RequestBody& b) { b.add("code", p.code); }
    static Result reply(const std::vector<VEKTCRS>& sets)
    {
        VEKTCRS first = sets.front();
        first.fetchFirst();
        return first.toStringWithName(QStringLiteral("echo"));
    }
};

// A quote read whose handle is its fields alone.
class DMQuoteRead final
    : public DataModelClass<DMQuoteRead, QuoteDataModel, tagQuote5LevelParam, IQuoteEchoDelegate> {
public:
    static constexpr DataModelInfo info { "0E5A1C2B-7D3F-4A6B-9C8D-1E2F3A4B5C71", 900, 3, HandleRule::Fields,
        RequestEffect::Reads, false, 400 };
    static void body(const tagQuote5LevelParam& p, RequestBody& b) { DMQuoteEcho::body(p, b); }
    static Result reply(const std::vector<VEKTCRS>& sets) { return DMQuoteEcho::reply(sets); }
};

inline void registerTestDataModels()
{
    DataModelFactory::unregisterAll();
    DataModelFactory::registerDataModel<DMQueryEcho>();
    DataModelFactory::registerDataModel<DMChangeTest>();
    DataModelFactory::registerDataModel<DMQuoteEcho>();
    DataModelFactory::registerDataModel<DMCancelTest>();
    DataModelFactory::registerDataModel<DMQuoteRead>();
}

// Writes down what it hears; `log` is shared so tests can see the order.
class EchoObserver : public IQueryEchoDelegate {
public:
    explicit EchoObserver(QString name = {}, std::vector<QString>* log = nullptr)
        : name(std::move(name))
        , log(log)
    {
    }
    QString name;
    std::vector<QString>* log;
    std::vector<std::shared_ptr<DTTable>> tables;
    std::vector<QString> handles;
    std::vector<CSError> errors;
    std::function<void(DataModel*)> onCall;

    void queryEcho(DataModel* request, const QString& handle, const std::shared_ptr<DTTable>& table) override
    {
        tables.push_back(table);
        handles.push_back(handle);
        if (log)
            log->push_back(name);
        if (onCall)
            onCall(request);
    }
    bool queryEcho(DataModel* request, const QString& handle, const CSError& error) override
    {
        errors.push_back(error);
        handles.push_back(handle);
        if (log)
            log->push_back(name);
        if (onCall)
            onCall(request);
        return true;
    }
    std::size_t calls() const { return tables.size() + errors.size(); }
    QString echoed(std::size_t i) const
    {
        if (i >= tables.size() || !tables[i] || tables[i]->arrayController()->count() == 0)
            return {};
        return tables[i]->arrayController()->arrangedObjects().front().value(0);
    }
};

// Implements the completion only.
class CompletionOnlyObserver : public IQueryEchoDelegate {
public:
    using IQueryEchoDelegate::queryEcho;
    int completions = 0;
    void queryEcho(DataModel*, const QString&, const std::shared_ptr<DTTable>&) override { ++completions; }
};

class ChangeObserver : public IChangeTestDelegate {
public:
    std::vector<QString> results;
    std::vector<CSError> errors;
    std::function<void()> onResult;
    void changeTest(DataModel*, const QString&, const QString& result) override
    {
        results.push_back(result);
        if (onResult)
            onResult();
    }
    bool changeTest(DataModel*, const QString&, const CSError& error) override
    {
        errors.push_back(error);
        return true;
    }
};

class QuoteObserver : public IQuoteEchoDelegate {
public:
    std::vector<QString> results;
    std::vector<CSError> errors;
    void quoteEcho(DataModel*, const QString&, const QString& result) override { results.push_back(result); }
    bool quoteEcho(DataModel*, const QString&, const CSError& error) override
    {
        errors.push_back(error);
        return true;
    }
};

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
        testsupport::trustSimulator(sim.trustedCertificates());
        CSSession::releaseAll();
        ASSERT_TRUE(CSNetwork::setConfigUtid(
            QStringLiteral("T0001"), QStringLiteral("lumora"), QStringLiteral("1.0")));
        servers.lists[NetworkFactory::kTrade] = { *NetworkFactory::makeServerInfo(
            NetworkFactory::kTrade, QStringLiteral("127.0.0.1"), QString::number(sim.tcPort()), 10) };
        servers.lists[NetworkFactory::kQuote] = { *NetworkFactory::makeServerInfo(
            NetworkFactory::kQuote, QStringLiteral("127.0.0.1"), QString::number(sim.httpPort()), 10) };
        servers.selected = { { NetworkFactory::kTrade, 0 }, { NetworkFactory::kQuote, 0 } };
        NetworkFactory::getInstance()->setServerManager(&servers);

        sim.registerFunction(
            kEchoFunction.main, kEchoFunction.sub, [](const brokersim::Request& r, brokersim::BrokerState&) {
                return brokersim::Reply::withTable(
                    brokersim::Table()
                        .column(QStringLiteral("echo"))
                        .column(QStringLiteral("poststr"))
                        .row({ r.valueOr(QStringLiteral("text")), QStringLiteral("p") }));
            });
        sim.registerFunction(kChangeFunction.main, kChangeFunction.sub,
            [](const brokersim::Request&, brokersim::BrokerState&) {
                return brokersim::Reply::withTable(
                    brokersim::Table().column(QStringLiteral("result")).row({ QStringLiteral("done") }));
            });
        sim.registerFunction(kQuoteEchoFunction.main, kQuoteEchoFunction.sub,
            [](const brokersim::Request& r, brokersim::BrokerState&) {
                return brokersim::Reply::withTable(brokersim::Table()
                                                       .column(QStringLiteral("echo"))
                                                       .row({ r.valueOr(QStringLiteral("code")) }));
            });
        registerTestDataModels();
    }

    void TearDown() override
    {
        DataModelFactory::unregisterAll();
        NetworkFactory::resetInstance();
        sim.stop();
        platform::TlsTrust::reset();
        CSSession::releaseAll();
        DMNotificationCenter::resetForTesting();
    }

    QList<brokersim::Request> receivedOf(brokersim::Function function) const { return sim.receivedOf(function); }

    brokersim::BrokerSimulator sim;
    FakeServerManager servers;
};

} // namespace coretest
