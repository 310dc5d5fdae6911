#include "core/DMServerManager.h"

#include "comm/crypto/AesEncryption.h"
#include "comm/request/CSNetwork.h"
#include "comm/transport/DialTarget.h"
#include "core/DMNotificationCenter.h"
#include "core/NetworkFactory.h"
#include "platform/PropertyList.h"
#include "platform/UserFolder.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QThread>
#include <QtDebug>
#include <algorithm>
#include <cmath>
#include <map>
#include <mutex>
#include <set>

// The shipped server list lives in the static resources library.
static void initShippedResources()
{
    Q_INIT_RESOURCE(resources);
}

namespace {

std::recursive_mutex instanceMutex;
DMServerManager* instance = nullptr;

const QString kInfoList = QStringLiteral("info_list");
const QString kSelectedIp = QStringLiteral("selected_ip");
const QString kSelectedPort = QStringLiteral("selected_port");
const QString kIpAddress = QStringLiteral("ip_address");
const QString kPort = QStringLiteral("port");
const QString kName = QStringLiteral("name");
const QString kProviderName = QStringLiteral("provider_name");

QString storedDataKey()
{
    return QString::fromLatin1(DMServerManager::kStoredDataKey);
}

// A stored text read back; missing when it is no text or does not decrypt.
std::optional<QString> decrypt(const QVariant& value)
{
    if (value.typeId() != QMetaType::QString)
        return std::nullopt;
    return AesEncryption::decodeStringWithAES(value.toString(), storedDataKey());
}

QString encrypt(const QString& text)
{
    return AesEncryption::encodeStringWithAES(text, storedDataKey()).value_or(QString());
}

std::optional<QString> plainText(const QVariantMap& map, const QString& key)
{
    const auto it = map.constFind(key);
    if (it == map.constEnd() || it->typeId() != QMetaType::QString)
        return std::nullopt;
    return it->toString();
}

// Whether a network can be pointed at the server: an entry that fails this
// is refused by every connect.
bool usable(const RDOServerInfo& server)
{
    return NetworkFactory::acceptsServer(server.getServerIP(), server.getServerPort());
}

// The first server a network can be pointed at; -1 when there is none.
qint64 firstUsable(const std::vector<DMServerManager::ServerPtr>& servers)
{
    const auto it = std::find_if(
        servers.begin(), servers.end(), [](const DMServerManager::ServerPtr& s) { return usable(*s); });
    return it == servers.end() ? -1 : qint64(it - servers.begin());
}

void assertMainThread()
{
    Q_ASSERT(!qApp || QThread::currentThread() == qApp->thread());
}

} // namespace

// ---------------------------------------------------------------------------
// Creation

DMServerManager* DMServerManager::getInstance()
{
    std::lock_guard lock(instanceMutex);
    if (!instance) {
        instance
            = new DMServerManager([] { return static_cast<INetworkFactory*>(NetworkFactory::getInstance()); },
                DMNotificationCenter::getInstance());
        NetworkFactory::getInstance()->setServerManager(instance);
    }
    return instance;
}

void DMServerManager::resetInstance()
{
    DMServerManager* old = nullptr;
    {
        std::lock_guard lock(instanceMutex);
        old = std::exchange(instance, nullptr);
    }
    if (!old)
        return;
    NetworkFactory::getInstance()->setServerManager(nullptr);
    delete old;
}

DMServerManager::DMServerManager(std::function<INetworkFactory*()> networkCreator,
    DMNotificationCenter* notificationCenter, Options options)
    : networkCreator_(std::move(networkCreator))
    , notificationCenter(notificationCenter)
    , options_(std::move(options))
{
    initShippedResources();
    loadServerInfoFromLocal();
}

DMServerManager::~DMServerManager()
{
    // The probes ask the test manager from their threads: stop them first.
    if (serverTestManager_)
        serverTestManager_->cancel();
    serverTestManager_.reset();
}

INetworkFactory* DMServerManager::networkCreator() const
{
    return networkCreator_ ? networkCreator_() : nullptr;
}

// ---------------------------------------------------------------------------
// Lists and selection

DMServerManager::ListState* DMServerManager::list(int32_t type)
{
    return type == kQuote ? &quote_ : type == kTrade ? &trade_ : nullptr;
}

const DMServerManager::ListState* DMServerManager::list(int32_t type) const
{
    return type == kQuote ? &quote_ : type == kTrade ? &trade_ : nullptr;
}

const char* DMServerManager::listKey(int32_t type)
{
    return type == kQuote ? kQuoteListKey : kTradeListKey;
}

const std::vector<DMServerManager::ServerPtr>& DMServerManager::serverInfos(int32_t type) const
{
    static const std::vector<ServerPtr> none;
    const ListState* l = list(type);
    return l ? l->servers : none;
}

quint64 DMServerManager::numberOfServerInfosByType(int32_t type)
{
    return serverInfos(type).size();
}

DMServerManager::ServerPtr DMServerManager::DMServerInfoByType(int32_t type, quint64 index) const
{
    const std::vector<ServerPtr>& servers = serverInfos(type);
    return index < servers.size() ? servers[index] : nullptr;
}

DMServerManager::ServerPtr DMServerManager::DMServerInfoByType(int32_t type, const QString& tag) const
{
    const qint64 index = getIndexWithType(type, tag);
    return index < 0 ? nullptr : serverInfos(type)[std::size_t(index)];
}

qint64 DMServerManager::getIndexWithType(int32_t type, const QString& tag) const
{
    if (tag.isEmpty())
        return -1;
    const std::vector<ServerPtr>& servers = serverInfos(type);
    for (std::size_t i = 0; i < servers.size(); ++i) {
        if (servers[i]->getTag() == tag)
            return qint64(i);
    }
    return -1;
}

qint64 DMServerManager::indexOfSelectedByType(int32_t type)
{
    const ListState* l = list(type);
    return l ? l->selected : -1;
}

void DMServerManager::setIndexOfSelectedByType(int32_t type, quint64 index)
{
    ListState* l = list(type);
    // An entry no network can be pointed at is never the selection.
    if (!l || index >= l->servers.size() || !usable(*l->servers[index]))
        return;
    l->selected = qint64(index);
    if (serverManagerDict_) {
        const QString key = QString::fromLatin1(listKey(type));
        QVariantMap listDict = serverManagerDict_->value(key).toMap();
        listDict[kSelectedIp] = encrypt(l->servers[index]->getServerIP());
        listDict[kSelectedPort] = encrypt(l->servers[index]->getServerPort());
        serverManagerDict_->insert(key, listDict);
        markChanged(type, false);
    }
    saveServerInfoToLocal();
}

DMServerManager::ServerPtr DMServerManager::DMServerInfoOfSelectedByType(int32_t type) const
{
    const ListState* l = list(type);
    if (!l || l->selected < 0)
        return nullptr;
    return DMServerInfoByType(type, quint64(l->selected));
}

std::optional<CSServerInfo> DMServerManager::serverInfoOfSelectedByType(int32_t type)
{
    const ServerPtr server = DMServerInfoOfSelectedByType(type);
    if (!server)
        return std::nullopt;
    return NetworkFactory::makeServerInfo(
        type, server->getServerIP(), server->getServerPort(), NetworkFactory::kConnectTimeout);
}

// ---------------------------------------------------------------------------
// The document

QString DMServerManager::userCopyPath() const
{
    if (!options_.userPath.isEmpty())
        return options_.userPath;
    return platform::UserFolder::configFilePath(QString::fromLatin1(kFileName));
}

std::optional<QVariantMap> DMServerManager::readDocument(const QString& path) const
{
    if (path.isEmpty())
        return std::nullopt;
    const std::optional<QVariant> value = platform::PropertyList::readFile(path);
    if (!value)
        return std::nullopt;
    if (value->typeId() != QMetaType::QVariantMap) {
        qWarning("server list %s is no dictionary; treated as absent", qUtf8Printable(path));
        return std::nullopt;
    }
    return value->toMap();
}

void DMServerManager::loadServerInfoFromLocal()
{
    std::optional<QVariantMap> document = readDocument(userCopyPath());
    if (!document)
        document = readDocument(options_.shippedPath);
    if (!document) {
        qWarning("no server list can be read; both lists stay empty");
        serverManagerDict_ = QVariantMap();
        return;
    }
    serverManagerDict_ = std::move(document);
    const bool quoteLoaded = loadList(kQuote);
    const bool tradeLoaded = loadList(kTrade);
    if (!quoteLoaded || !tradeLoaded) {
        qWarning("the stored server list is damaged; the shipped one is used");
        serverManagerDict_ = readDocument(options_.shippedPath);
        if (serverManagerDict_) {
            loadList(kQuote);
            loadList(kTrade);
            // The next save mends the damaged copy whole.
            markChanged(kQuote, true);
            markChanged(kTrade, true);
        }
        return;
    }
    // A kind stored with no server a network can be pointed at (an earlier
    // version could store such a list) would leave nothing to connect to:
    // that kind comes from the shipped copy, the other stays as stored.
    std::optional<QVariantMap> shipped;
    for (const int32_t type : { kQuote, kTrade }) {
        if (firstUsable(list(type)->servers) >= 0)
            continue;
        if (!shipped)
            shipped = readDocument(options_.shippedPath);
        const QString key = QString::fromLatin1(listKey(type));
        if (!shipped || !shipped->contains(key))
            continue;
        qWarning(
            "the stored %s list holds no server to connect to; the shipped one is used", qUtf8Printable(key));
        const QVariant stored = serverManagerDict_->value(key);
        serverManagerDict_->insert(key, shipped->value(key));
        if (!loadList(type)) {
            serverManagerDict_->insert(key, stored);
            loadList(type);
        } else {
            markChanged(type, true);
        }
    }
}

bool DMServerManager::loadList(int32_t type)
{
    ListState& l = *list(type);
    const qint64 base = type == kQuote ? kQuoteTagBase : kTradeTagBase;
    const QVariantMap listDict = serverManagerDict_->value(QString::fromLatin1(listKey(type))).toMap();
    const std::optional<QString> selectedIp = decrypt(listDict.value(kSelectedIp));
    const std::optional<QString> selectedPort = decrypt(listDict.value(kSelectedPort));
    l.selected = 0;
    l.servers.clear();
    const QVariantList entries = listDict.value(kInfoList).toList();
    for (const QVariant& entry : entries) {
        const QVariantMap server = entry.toMap();
        const std::optional<QString> ip = decrypt(server.value(kIpAddress));
        const std::optional<QString> port = decrypt(server.value(kPort));
        if (!ip || !port) {
            l.servers.clear();
            return false;
        }
        // Tags and the selection count the servers made, so that an entry
        // skipped for want of a name shifts neither.
        const qint64 position = qint64(l.servers.size());
        ServerPtr info = RDOServerInfo::initWithName(
            plainText(server, kName), ip, port, plainText(server, kProviderName), base + position);
        if (!info)
            continue;
        if (selectedIp && selectedPort && *ip == *selectedIp && *port == *selectedPort)
            l.selected = position;
        l.servers.push_back(std::move(info));
    }
    // A selection no network can be pointed at moves to the first server one can.
    const qint64 first = firstUsable(l.servers);
    if (first >= 0 && !usable(*l.servers[std::size_t(l.selected)])) {
        l.selected = first;
        QVariantMap stored = listDict;
        stored[kSelectedIp] = encrypt(l.servers[std::size_t(first)]->getServerIP());
        stored[kSelectedPort] = encrypt(l.servers[std::size_t(first)]->getServerPort());
        serverManagerDict_->insert(QString::fromLatin1(listKey(type)), stored);
        markChanged(type, false);
    }
    return true;
}

void DMServerManager::updateList(int32_t type)
{
    ListState& l = *list(type);
    const QString key = QString::fromLatin1(listKey(type));
    const QVariantMap stored = serverManagerDict_ ? serverManagerDict_->value(key).toMap() : QVariantMap();
    QVariant selectedIp = stored.value(kSelectedIp);
    QVariant selectedPort = stored.value(kSelectedPort);
    // Every encryption draws a new IV: the stored selection is compared in plain text.
    const std::optional<QString> plainIp = decrypt(selectedIp);
    const std::optional<QString> plainPort = decrypt(selectedPort);

    QVariantList infoList;
    bool matched = false;
    for (std::size_t i = 0; i < l.servers.size(); ++i) {
        const RDOServerInfo& server = *l.servers[i];
        if (plainIp && plainPort && server.getServerIP() == *plainIp && server.getServerPort() == *plainPort
            && usable(server)) {
            l.selected = qint64(i);
            matched = true;
        }
        QVariantMap entry;
        entry[kIpAddress] = encrypt(server.getServerIP());
        entry[kPort] = encrypt(server.getServerPort());
        entry[kName] = server.getServerName();
        if (server.getProviderName())
            entry[kProviderName] = *server.getProviderName();
        infoList << entry;
    }
    if (!matched) {
        // The first server a network can be pointed at, not an entry every
        // connect refuses.
        l.selected = std::max<qint64>(firstUsable(l.servers), 0);
        if (l.servers.empty()) {
            // Nothing to select: the list holds no selection.
            selectedIp = QVariant();
            selectedPort = QVariant();
        } else {
            selectedIp = encrypt(l.servers[std::size_t(l.selected)]->getServerIP());
            selectedPort = encrypt(l.servers[std::size_t(l.selected)]->getServerPort());
        }
    }
    QVariantMap listDict;
    listDict[kInfoList] = infoList;
    if (selectedIp.isValid() && selectedPort.isValid()) {
        listDict[kSelectedIp] = selectedIp;
        listDict[kSelectedPort] = selectedPort;
    }
    if (serverManagerDict_)
        serverManagerDict_->insert(key, listDict);
}

void DMServerManager::markChanged(int32_t type, bool servers)
{
    const QString key = QString::fromLatin1(listKey(type));
    changedFields_.insert({ key, kSelectedIp });
    changedFields_.insert({ key, kSelectedPort });
    if (servers)
        changedFields_.insert({ key, kInfoList });
}

void DMServerManager::saveServerInfoToLocal()
{
    if (!serverManagerDict_)
        return;
    const QString path = userCopyPath();
    const QFileInfo file(path);
    // The folder that holds "Config/" is made at start-up, not here.
    if (!file.dir().exists() && QFileInfo(file.dir().absolutePath()).dir().exists())
        QDir().mkdir(file.dir().absolutePath());
    // Another client on the same folder may have stored its lists or choice
    // since: only what this one changed goes over them.
    const auto written
        = platform::PropertyList::updateFile(path, [this](const std::optional<QVariantMap>& stored) {
              // A copy that is missing or unreadable holds nothing of another's.
              if (!stored)
                  return platform::PropertyList::cleanedForWriting(*serverManagerDict_).toMap();
              QVariantMap document = *stored;
              for (const auto& [key, field] : changedFields_) {
                  QVariantMap list = document.value(key).toMap();
                  const QVariantMap ours = serverManagerDict_->value(key).toMap();
                  if (ours.contains(field))
                      list.insert(field, ours.value(field));
                  else
                      list.remove(field);
                  document.insert(key, list);
              }
              return platform::PropertyList::cleanedForWriting(document).toMap();
          });
    if (written)
        changedFields_.clear();
    else
        qWarning("server list %s cannot be written", qUtf8Printable(path));
    unsaved_.setOwed(!written);
}

void DMServerManager::updateServerInfo(const VEKTCRS& recordSet)
{
    assertMainThread();
    if (recordSet.rowsAffected() <= 0)
        return;
    VEKTCRS rows = recordSet; // the cursor moves
    std::map<int32_t, std::vector<ServerPtr>> built;
    for (qint32 row = 0; row < rows.rowsAffected(); ++row) {
        rows.moveTo(row);
        const QString provider = rows.toStringWithName(QStringLiteral("msp"));
        for (const int32_t type : { kQuote, kTrade }) {
            std::vector<ServerPtr>& servers = built[type];
            const qint64 base = type == kQuote ? kQuoteTagBase : kTradeTagBase;
            const QStringList pieces
                = rows.toStringWithName(QLatin1StringView(listKey(type))).split(QLatin1Char(','));
            for (const QString& piece : pieces) {
                const qsizetype first = piece.indexOf(QLatin1Char(':'));
                const qsizetype second = first < 0 ? -1 : piece.indexOf(QLatin1Char(':'), first + 1);
                if (second < 0)
                    continue;
                const QString name = piece.left(first);
                const QString address = piece.mid(first + 1, second - first - 1);
                const QString port = piece.mid(second + 1);
                // Empty texts cannot be stored enciphered, and name no server.
                if (address.isEmpty() || port.isEmpty())
                    continue;
                ServerPtr info
                    = RDOServerInfo::initWithName(name, address, port, provider, base + qint64(servers.size()));
                if (info)
                    servers.push_back(std::move(info));
            }
        }
    }
    // A kind that comes back with no server a network can be pointed at keeps
    // the list it had: such a list, once saved, would leave nothing to connect
    // to, even after a restart, and nothing to pick in the server settings.
    const auto anyUsable = [&](int32_t type) { return firstUsable(built[type]) >= 0; };
    if (!anyUsable(kQuote) && !anyUsable(kTrade))
        return;
    const std::vector<ServerPtr> formerQuotes = quote_.servers;
    const std::vector<ServerPtr> formerTrades = trade_.servers;
    for (const int32_t type : { kQuote, kTrade }) {
        if (!anyUsable(type))
            continue;
        list(type)->servers = std::move(built[type]);
        markChanged(type, true);
    }
    updateList(kQuote);
    updateList(kTrade);
    // A waiting connect goes only to a server that is still listed.
    std::vector<int32_t> unlisted;
    for (const int32_t type : { kQuote, kTrade }) {
        ListState* l = list(type);
        const bool listed = std::any_of(l->servers.begin(), l->servers.end(), [&](const ServerPtr& server) {
            return std::pair(server->getServerIP(), server->getServerPort()) == l->pendingServer;
        });
        if (listed)
            continue;
        if (isConnectWaiting(type))
            unlisted.push_back(type);
        l->pendingConnect.reset();
    }
    saveServerInfoToLocal();
    carryTestOver(formerQuotes, formerTrades);
    // Whoever shows the lists, or holds a position or tag of them, reads them again.
    const auto alive = alive_.watch();
    if (notificationCenter)
        notificationCenter->postNotification(kServerListsChanged);
    if (!alive.survived())
        return;
    // The network was left pointed at the server that is gone: it moves, as
    // after any lost connection, to the one the selection names now.
    for (const int32_t type : unlisted)
        reconnectToServerByType(type, quint64(list(type)->selected));
    // A network made while its list was empty is on no server: it takes the
    // selection, so that the next request connects there.
    INetworkFactory* factory = networkCreator();
    for (const int32_t type : { kQuote, kTrade }) {
        const std::shared_ptr<CSNetwork> network = factory ? factory->existingNetwork(type) : nullptr;
        if (network && !network->serverInfo() && !network->connection())
            network->setServerInfo(serverInfoOfSelectedByType(type));
    }
}

void DMServerManager::carryTestOver(
    const std::vector<ServerPtr>& formerQuotes, const std::vector<ServerPtr>& formerTrades)
{
    // The running test goes on for the servers still listed where it probes
    // them (the same address and port as dialled): their results are passed
    // on as the rebuilt lists' servers, whose tags and positions the
    // listeners go by, each to one server (two listed at one address keep a
    // result each). A server no longer listed leaves the test, and a test
    // left with none ends at once, so that the next may start.
    const auto listed = [](const std::vector<ServerPtr>& servers, const ServerPtr& server) {
        return std::find(servers.begin(), servers.end(), server);
    };
    std::erase_if(testServerInfos, [&](TestPair& pair) {
        const bool quote = listed(formerQuotes, pair.dmserverinfo) != formerQuotes.end();
        if (!quote && listed(formerTrades, pair.dmserverinfo) == formerTrades.end())
            return true;
        const std::vector<ServerPtr>& former = quote ? formerQuotes : formerTrades;
        const std::vector<ServerPtr>& now = quote ? quote_.servers : trade_.servers;
        if (listed(now, pair.dmserverinfo) != now.end())
            return false; // a list the rebuild kept
        const auto probedHere = [&](const ServerPtr& server) {
            const std::optional<DialTarget> target
                = DialTarget::of(server->getServerIP(), server->getServerPort());
            return target && target->host == pair.csserverinfo->address()
                && target->port == pair.csserverinfo->port();
        };
        // The n-th server the list held at this address is the n-th the
        // rebuilt list holds there, also when one before it has reported and
        // left the test already.
        auto nth = std::count_if(former.begin(), listed(former, pair.dmserverinfo), probedHere);
        auto same = std::find_if(now.begin(), now.end(), probedHere);
        for (; same != now.end() && nth > 0; --nth)
            same = std::find_if(std::next(same), now.end(), probedHere);
        if (same == now.end())
            return true;
        pair.dmserverinfo = *same;
        return false;
    });
    if (isTesting_ && testServerInfos.empty())
        cancelTestingByType(-1);
}

// ---------------------------------------------------------------------------
// Connecting

std::chrono::steady_clock::time_point DMServerManager::now() const
{
    return options_.clock ? options_.clock() : std::chrono::steady_clock::now();
}

bool DMServerManager::hasServed(const ListState& l) const
{
    using Duration = std::chrono::steady_clock::duration;
    return l.servedSince
        && now() - *l.servedSince
        >= std::chrono::round<Duration>(std::chrono::duration<double>(options_.maxRetryDelay));
}

void DMServerManager::settleServed(ListState& l)
{
    if (hasServed(l))
        l.attempts = 0;
    l.servedSince.reset();
}

double DMServerManager::nextConnectDelay(int32_t type) const
{
    const ListState* l = list(type);
    if (!l || l->attempts == 0 || hasServed(*l))
        return 0.0;
    const double delay
        = options_.firstRetryDelay * std::pow(2.0, double(std::min<quint32>(l->attempts - 1, 30)));
    return std::min(delay, options_.maxRetryDelay);
}

bool DMServerManager::isConnectWaiting(int32_t type) const
{
    const ListState* l = list(type);
    return l && l->pendingConnect && l->pendingConnect->isActive();
}

std::optional<CSServerInfo> DMServerManager::connectionInfo(int32_t type, const RDOServerInfo& server) const
{
    // A port text that is no port number names no server (logged by the factory).
    return NetworkFactory::makeServerInfo(
        type, server.getServerIP(), server.getServerPort(), kConnectTimeout);
}

void DMServerManager::pointPublicAddressLookup()
{
    // The broker's web server is the selected quote server: the HTTP server of
    // the lists (quotes speak HTTP forms). Unchanged, it starts nothing.
    const ServerPtr quote = DMServerInfoOfSelectedByType(kQuote);
    const std::optional<DialTarget> target
        = quote ? DialTarget::of(quote->getServerIP(), quote->getServerPort()) : std::nullopt;
    if (!target)
        return;
    QUrl base;
    base.setScheme(QStringLiteral("http"));
    base.setHost(target->host);
    base.setPort(target->port);
    if (base.isValid())
        IPMacAddressInfo::setSharedWebServer(base);
}

bool DMServerManager::connectServer(
    int32_t type, const RDOServerInfo& server, const CSServerInfo& info, bool paced)
{
    pointPublicAddressLookup();
    INetworkFactory* factory = networkCreator();
    if (!factory)
        return false;
    const std::shared_ptr<CSNetwork> network = factory->getNetwork(type);
    if (!network)
        return false;
    ListState& l = *list(type);
    if (!paced && network->isConnectedTo(info)) {
        // Chosen where the network already is: the connection, what it
        // carries and the time it has served all stay.
        l.pendingConnect.reset();
        return true;
    }
    // A server that refuses at once, closes before the logon is answered or
    // right after it would otherwise be retried on every pass of the run
    // loop: moves with no server serving in between wait longer each time.
    // A person's choice goes at once, but counts as an attempt.
    settleServed(l);
    const double delay = paced ? nextConnectDelay(type) : 0.0;
    ++l.attempts;
    l.pendingConnect.reset();
    std::weak_ptr<CSNetwork> weakNetwork = network;
    if (delay <= 0.0) {
        connectNow(type, weakNetwork, info);
        return true;
    }
    // A request made while the connect waits opens a connection when there is
    // none: it goes to the server moved to, never to the one that failed.
    if (!network->connection())
        network->setServerInfo(info);
    l.pendingServer = { server.getServerIP(), server.getServerPort() };
    l.pendingConnect = std::make_unique<platform::RunLoopTimer>(
        delay, false, platform::RunLoopModes::common(), [this, type, weakNetwork, info] {
            const std::shared_ptr<CSNetwork> network = weakNetwork.lock();
            // Already there (a request connected meanwhile), or on a
            // connection that is logged on or carries a request: connecting
            // would tear down what was sent there.
            if (!network || network->isConnectedTo(info) || network->isInUse())
                return;
            list(type)->servedSince.reset();
            network->connectTo(info);
        });
    l.pendingConnect->start();
    // The selection moved now: whoever shows or relies on it hears so now.
    postConnectionRestart(type);
    return true;
}

void DMServerManager::connectNow(
    int32_t type, const std::weak_ptr<CSNetwork>& weakNetwork, const CSServerInfo& info)
{
    const auto alive = alive_.watch();
    if (const std::shared_ptr<CSNetwork> network = weakNetwork.lock())
        network->connectTo(info);
    if (alive.survived())
        postConnectionRestart(type);
}

void DMServerManager::postConnectionRestart(int32_t type)
{
    if (notificationCenter)
        notificationCenter->postNotification(kConnectionRestart, QVariant(int(type)));
}

void DMServerManager::logonAcceptedByType(int32_t type)
{
    if (ListState* l = list(type))
        l->servedSince = now();
}

void DMServerManager::connectionLostByType(int32_t type)
{
    if (ListState* l = list(type))
        settleServed(*l);
}

bool DMServerManager::connectToIndex(int32_t type, quint64 index, bool paced)
{
    assertMainThread();
    const ServerPtr server = DMServerInfoByType(type, index);
    const std::optional<CSServerInfo> info = server ? connectionInfo(type, *server) : std::nullopt;
    if (!info)
        return false;
    setIndexOfSelectedByType(type, index);
    return connectServer(type, *server, *info, paced);
}

bool DMServerManager::connectToServerByType(int32_t type, quint64 index)
{
    return connectToIndex(type, index, false);
}

bool DMServerManager::reconnectToServerByType(int32_t type, quint64 index)
{
    return connectToIndex(type, index, true);
}

bool DMServerManager::connectToServerByType(int32_t type, const QString& tag)
{
    assertMainThread();
    const qint64 index = getIndexWithType(type, tag);
    return index >= 0 && connectToServerByType(type, quint64(index));
}

bool DMServerManager::connectToServerByTypeInfo(int32_t type, const ServerPtr& info)
{
    assertMainThread();
    const std::optional<CSServerInfo> server
        = info && list(type) ? connectionInfo(type, *info) : std::nullopt;
    if (!server)
        return false;
    const qint64 index = getIndexWithType(type, info->getTag());
    if (index >= 0)
        setIndexOfSelectedByType(type, quint64(index));
    return connectServer(type, *info, *server, false);
}

// ---------------------------------------------------------------------------
// Speed tests

bool DMServerManager::startTesting(const std::vector<ServerPtr>& servers)
{
    auto manager = std::make_shared<CSServerTestManager>();
    manager->setDelegate(this);
    std::vector<TestPair> pairs;
    std::vector<CSServerTestManager::ServerInfoPtr> list;
    for (const ServerPtr& server : servers) {
        // Probed as the network would dial it; an entry no network can be
        // pointed at is not probed, so it is never found and selected.
        const std::optional<DialTarget> target
            = DialTarget::of(server->getServerIP(), server->getServerPort());
        std::optional<CSServerInfo> info
            = target ? CSServerInfo::initWithAddress(target->host, target->port) : std::nullopt;
        if (!info)
            continue;
        info->setTimeout(kTestTimeout);
        auto shared = std::make_shared<const CSServerInfo>(*info);
        list.push_back(shared);
        pairs.push_back({ shared, server });
    }
    if (list.empty())
        return false;
    // The previous test (if any) is over or cancelled; replacing it stops its probes.
    if (serverTestManager_)
        serverTestManager_->cancel();
    serverTestManager_ = manager;
    testServerInfos = std::move(pairs);
    ++testSerial_;
    manager->setServerList(std::move(list));
    manager->startTesting();
    isTesting_ = true;
    return true;
}

bool DMServerManager::startTestingByType(int32_t type)
{
    assertMainThread();
    if (isTesting_)
        return false;
    std::vector<ServerPtr> servers;
    if (type == kQuote || type == kTrade) {
        servers = serverInfos(type);
    } else {
        servers = quote_.servers;
        servers.insert(servers.end(), trade_.servers.begin(), trade_.servers.end());
    }
    if (servers.empty())
        return false;
    return startTesting(servers);
}

bool DMServerManager::startTestingByType(int32_t type, quint64 index)
{
    assertMainThread();
    if (isTesting_)
        return false;
    const ServerPtr server = DMServerInfoByType(type, index);
    if (!server)
        return false;
    return startTesting({ server });
}

void DMServerManager::cancelTestingByType(int32_t)
{
    if (serverTestManager_ && isTesting_)
        serverTestManager_->cancel();
    isTesting_ = false;
}

void DMServerManager::cancelTest(quint64 test)
{
    if (test != 0 && runningTest() == test)
        cancelTestingByType(-1);
}

void DMServerManager::serverManagerWillStartTest(
    CSServerTestManager&, const std::shared_ptr<const CSServerInfo>& server)
{
    DMServerManagerDelegate* d = delegate();
    if (!d)
        return;
    const auto pair = std::find_if(testServerInfos.begin(), testServerInfos.end(),
        [&](const TestPair& p) { return p.csserverinfo == server; });
    if (pair == testServerInfos.end())
        return;
    const ServerPtr dmserverinfo = pair->dmserverinfo; // the delegate may start another test
    d->serverManagerWillStartTest(*this, *dmserverinfo);
}

void DMServerManager::serverManagerDidFinishedTest(CSServerTestManager&,
    const std::shared_ptr<const CSServerInfo>& server, bool reachable, double trafficTime)
{
    const auto pair = std::find_if(testServerInfos.begin(), testServerInfos.end(),
        [&](const TestPair& p) { return p.csserverinfo == server; });
    if (pair != testServerInfos.end()) {
        const ServerPtr dmserverinfo = pair->dmserverinfo;
        // The report is consumed with or without a delegate, so that a test
        // nobody listens to still ends.
        testServerInfos.erase(pair);
        const auto alive = alive_.watch();
        const bool wasLast = testServerInfos.empty();
        if (DMServerManagerDelegate* d = delegate())
            d->serverManagerDidFinishedTest(*this, *dmserverinfo, reachable, trafficTime);
        if (!alive.survived())
            return;
        // A delegate may have cancelled or started another test meanwhile.
        if (wasLast && testServerInfos.empty())
            isTesting_ = false;
        return;
    }
    if (testServerInfos.empty())
        isTesting_ = false;
}

// ---------------------------------------------------------------------------
// Other operations

void DMServerManager::removeQuoteRequestWithObserver(const CSNetworkObserver* observer)
{
    if (INetworkFactory* factory = networkCreator()) {
        if (const std::shared_ptr<CSNetwork> network = factory->getNetwork(kQuote))
            network->removeRequestWithObserver(observer);
    }
}

void DMServerManager::removeTradeRequestWithObserver(const CSNetworkObserver* observer)
{
    if (INetworkFactory* factory = networkCreator()) {
        if (const std::shared_ptr<CSNetwork> network = factory->getNetwork(kTrade))
            network->removeRequestWithObserver(observer);
    }
}

void DMServerManager::setNetworkRetryFlag(bool flag)
{
    if (INetworkFactory* factory = networkCreator())
        factory->setRetryFlag(flag);
}

bool DMServerManager::setNetworkConfigUtid(
    const QString& utid, const QString& softname, const QString& softversion)
{
    return CSNetwork::setConfigUtid(utid, softname, softversion);
}

void DMServerManager::getPublicInfo()
{
    IPMacAddressInfo* info = IPMacAddressInfo::sharedInstance();
    info->setDelegate(this);
    info->getPublicIP();
}

void DMServerManager::ipMacAddressInfo(IPMacAddressInfo&, const QString& publicIP)
{
    if (DMServerManagerDelegate* d = delegate())
        d->serverManager(*this, publicIP, std::nullopt);
}

void DMServerManager::ipMacAddressInfo(IPMacAddressInfo&, const IPMacAddressError&)
{
    if (DMServerManagerDelegate* d = delegate())
        d->serverManager(*this, std::nullopt, std::nullopt);
}
