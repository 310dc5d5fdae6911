#include "core/NetworkFactory.h"

#include "comm/request/CSNetwork.h"
#include "comm/transport/DialTarget.h"
#include "core/DMNotificationCenter.h"
#include "core/DMServerManager.h"

#include <QCoreApplication>
#include <QThread>
#include <QtDebug>
#include <mutex>

namespace {

std::mutex instanceMutex;
std::unique_ptr<NetworkFactory> instance;
std::function<INetworkServerManager*()> serverManagerProvider;

} // namespace

NetworkFactory* NetworkFactory::getInstance()
{
    std::lock_guard lock(instanceMutex);
    if (!instance)
        instance.reset(new NetworkFactory());
    return instance.get();
}

void NetworkFactory::resetInstance()
{
    std::unique_ptr<NetworkFactory> old;
    {
        std::lock_guard lock(instanceMutex);
        old = std::move(instance);
    }
}

NetworkFactory::NetworkFactory()
    : notificationCenter(DMNotificationCenter::getInstance())
{
}

NetworkFactory::~NetworkFactory()
{
    for (auto& [kind, network] : networkDict) {
        if (network && network->connectionDelegate() == this)
            network->setConnectionDelegate(nullptr);
    }
}

void NetworkFactory::setServerManager(INetworkServerManager* serverManager)
{
    serverManager_ = serverManager;
}

INetworkServerManager* NetworkFactory::serverManager()
{
    if (!serverManager_) {
        std::function<INetworkServerManager*()> provider;
        {
            std::lock_guard lock(instanceMutex);
            provider = serverManagerProvider;
        }
        // The two services find each other lazily: without a provider the
        // shared server manager is the one, and it registers itself here.
        if (provider)
            serverManager_ = provider();
        else if (this == getInstance())
            DMServerManager::getInstance();
    }
    return serverManager_;
}

void NetworkFactory::setServerManagerProvider(std::function<INetworkServerManager*()> provider)
{
    std::lock_guard lock(instanceMutex);
    serverManagerProvider = std::move(provider);
}

bool NetworkFactory::acceptsServer(const QString& address, const QString& portText)
{
    return DialTarget::of(address, portText).has_value();
}

std::optional<CSServerInfo> NetworkFactory::makeServerInfo(
    int32_t kind, const QString& address, const QString& portText, qint64 timeout)
{
    const std::optional<DialTarget> target = DialTarget::of(address, portText);
    if (!target) {
        qWarning("NetworkFactory: server address or port cannot be dialled; no server");
        return std::nullopt;
    }
    std::optional<CSServerInfo> info = CSServerInfo::initWithAddress(target->host, target->port);
    if (info)
        configureServerInfo(*info, kind, timeout);
    return info;
}

void NetworkFactory::configureServerInfo(CSServerInfo& info, int32_t kind, qint64 timeout)
{
    info.setTimeout(timeout);
    info.setProtocolMode(kind == kTrade ? 0 : 1);
    info.setNeedSSL(kind == kTrade);
}

std::shared_ptr<CSNetwork> NetworkFactory::getNetwork(int32_t kind)
{
    Q_ASSERT(!qApp || QThread::currentThread() == qApp->thread());
    if (auto found = networkDict.find(kind); found != networkDict.end())
        return found->second;

    if (kind == kQuote)
        quoteRetryCount = 0;
    else if (kind == kTrade)
        tradeRetryCount = 0;
    auto network = std::make_shared<CSNetwork>();
    networkDict[kind] = network;
    // Trade replies are also delivered while a modal window runs.
    if (kind == kTrade)
        network->setRunLoopModes(platform::RunLoopModes::common());

    std::optional<CSServerInfo> server;
    if (INetworkServerManager* manager = serverManager())
        server = manager->serverInfoOfSelectedByType(kind);
    if (server) {
        configureServerInfo(*server, kind, kConnectTimeout);
        network->connectTo(*server);
    }
    network->setConnectionDelegate(this);
    return network;
}

std::shared_ptr<CSNetwork> NetworkFactory::existingNetwork(int32_t kind) const
{
    auto found = networkDict.find(kind);
    return found == networkDict.end() ? nullptr : found->second;
}

std::optional<int32_t> NetworkFactory::kindOf(const CSNetwork& network) const
{
    for (const auto& [kind, kept] : networkDict) {
        if (kept.get() == &network)
            return kind;
    }
    return std::nullopt;
}

void NetworkFactory::networkDidConnected(CSNetwork& network)
{
    const std::optional<int32_t> kind = kindOf(network);
    if (kind == kTrade || kind == kQuote)
        notificationCenter->postNotification(kConnectionEstablished, QVariant(int(*kind)));
}

void NetworkFactory::networkDidLogOn(CSNetwork& network)
{
    const std::optional<int32_t> kind = kindOf(network);
    if (kind == kTrade || kind == kQuote) {
        if (INetworkServerManager* manager = serverManager())
            manager->logonAcceptedByType(*kind);
        notificationCenter->postNotification(kServerServes, QVariant(int(*kind)));
    }
}

void NetworkFactory::networkWillDisconnetWithError(CSNetwork&, const std::optional<StreamSocketError>&)
{
}

void NetworkFactory::networkDidDisConnected(CSNetwork& network)
{
    const std::optional<int32_t> kind = kindOf(network);
    if (kind == kTrade || kind == kQuote) {
        if (INetworkServerManager* manager = serverManager())
            manager->connectionLostByType(*kind);
    }
    if (retryFlag)
        reconnectServer(network);
}

void NetworkFactory::reconnectServer(CSNetwork& network)
{
    const int32_t kind = kindOf(network) == kTrade ? kTrade : kQuote;
    INetworkServerManager* manager = serverManager();
    if (!manager)
        return;
    const quint64 n = manager->numberOfServerInfosByType(kind);
    if (n == 0)
        return;
    quint64& count = kind == kTrade ? tradeRetryCount : quoteRetryCount;
    const qint64 selected = manager->indexOfSelectedByType(kind);
    // An entry no network can be pointed at is refused at once and would
    // leave the network on no server, with nothing to move it on: the steps
    // go on past it. One pass over the list meets every other server.
    for (quint64 tries = 0; tries < n; ++tries) {
        count = count + 2 > n ? 1 : count + 1;
        quint64 index = quint64(std::max<qint64>(selected, 0)) + count;
        if (index > n - 1)
            index -= n;
        if (manager->reconnectToServerByType(kind, index))
            return;
    }
    // No other server can be dialled: the one selected is tried again.
    if (selected >= 0)
        manager->reconnectToServerByType(kind, quint64(selected));
}
