#include "core/ServerListController.h"

#include "core/DMNotificationCenter.h"
#include "core/NotificationCenter.h"

ServerTestVerdict serverTestVerdict(bool reachable, double trafficTime)
{
    if (!reachable)
        return { QStringLiteral("超时"), QStringLiteral("网络不通"), QString() };
    const double t = trafficTime * 1000.0;
    if (t <= 300)
        return { QString::asprintf("%.0f毫秒", t), QStringLiteral("连接通畅"), QStringLiteral("推荐") };
    if (t < 1000)
        return { QString::asprintf("%.0f毫秒", t), QStringLiteral("连接缓慢"), QString() };
    if (t < 60000)
        return { QString::asprintf("%.0f秒", t / 1000), QStringLiteral("连接缓慢"), QString() };
    return { QString::asprintf("%.0f分钟", t / 60000), QStringLiteral("严重拥堵"), QString() };
}

ServerListController::ServerListController(
    DMServerManager* serverManager, DMNotificationCenter* notificationCenter, NotificationCenter* uiCenter)
    : serverManager_(serverManager)
    , notificationCenter(notificationCenter ? notificationCenter : DMNotificationCenter::getInstance())
    , uiCenter_(uiCenter ? uiCenter : NotificationCenter::getInstance())
{
    this->notificationCenter->addObserver(
        this, &ServerListController::serverReconnect, DMServerManager::kConnectionRestart);
    this->notificationCenter->addObserver(
        this, &ServerListController::serverListsChanged, DMServerManager::kServerListsChanged);
}

ServerListController::~ServerListController()
{
    notificationCenter->removeObserver(static_cast<QObject*>(this));
    if (serverManager_ && serverManager_->delegate() == this)
        serverManager_->setDelegate(nullptr);
}

int ServerListController::selectedItem(qint64 index, int count)
{
    return index >= 0 && index < count ? int(index) : -1;
}

void ServerListController::windowDidLoad(int selectedSegment)
{
    testSelectedSegment_ = selectedSegment;
    readLists();
}

void ServerListController::readLists()
{
    tradeNames_.clear();
    quoteNames_.clear();
    for (const DMServerManager::ServerPtr& server : serverManager_->serverInfos(DMServerManager::kTrade))
        tradeNames_ << server->getServerName();
    for (const DMServerManager::ServerPtr& server : serverManager_->serverInfos(DMServerManager::kQuote))
        quoteNames_ << server->getServerName();
    tradeSelected_
        = selectedItem(serverManager_->indexOfSelectedByType(DMServerManager::kTrade), tradeNames_.size());
    quoteSelected_
        = selectedItem(serverManager_->indexOfSelectedByType(DMServerManager::kQuote), quoteNames_.size());
    emit popUpsChanged();
}

void ServerListController::serverListsChanged()
{
    // A row's name and tag belong to the list it was tested in: a tag, a
    // position, now names whatever server sits there.
    if (ownsRunningTest())
        serverManager_->cancelTest(ownTest_);
    if (!testSpeedDatas.empty()) {
        testSpeedDatas.clear();
        emit rowsChanged();
    }
    readLists();
}

bool ServerListController::ownsRunningTest() const
{
    return ownTest_ != 0 && serverManager_->runningTest() == ownTest_;
}

void ServerListController::serverReconnect()
{
    // Only an index within the items moves a pop-up.
    const qint64 trade = serverManager_->indexOfSelectedByType(DMServerManager::kTrade);
    if (trade >= 0 && trade < tradeNames_.size())
        tradeSelected_ = int(trade);
    const qint64 quote = serverManager_->indexOfSelectedByType(DMServerManager::kQuote);
    if (quote >= 0 && quote < quoteNames_.size())
        quoteSelected_ = int(quote);
    emit popUpsChanged();
}

void ServerListController::currentConnectionSelected(int32_t kind, int selectedItem)
{
    if ((kind != DMServerManager::kQuote && kind != DMServerManager::kTrade) || selectedItem < 0)
        return;
    // A server no network can be pointed at is refused and the connection
    // stays where it was: the pop-up goes back to the server in use.
    if (!serverManager_->connectToServerByType(kind, quint64(selectedItem)))
        emit popUpsChanged();
}

bool ServerListController::testSpeedButtonClick(int selectedSegment)
{
    // Its reports are the starter's: taking them over would leave it waiting.
    if (serverManager_->isTesting() && !ownsRunningTest())
        return false;
    serverManager_->setDelegate(this);
    if (!serverManager_->startTestingByType(kindOfSegment(selectedSegment)))
        return false;
    ownTest_ = serverManager_->runningTest();
    testSpeedDatas.clear();
    emit rowsChanged();
    return true;
}

void ServerListController::testSpeedTypeSegmentedControlSelected(int selectedSegment)
{
    if (selectedSegment == testSelectedSegment_)
        return;
    testSelectedSegment_ = selectedSegment;
    if (ownsRunningTest())
        serverManager_->cancelTest(ownTest_);
    testSpeedDatas.clear();
    emit rowsChanged();
}

void ServerListController::tableItemDoubleClicked(int selectedSegment, int selectedRow)
{
    if (selectedRow < 0 || selectedRow >= int(testSpeedDatas.size()))
        return;
    const QVariantMap& row = testSpeedDatas[std::size_t(selectedRow)];
    const QString tag = row.value(QString::fromLatin1(kTag)).toString();
    // A row whose test has not finished has no tag: nothing to connect.
    if (tag.isEmpty())
        return;
    serverManager_->connectToServerByType(kindOfSegment(selectedSegment), tag);
}

void ServerListController::windowWillClose()
{
    uiCenter_->postNotification(kWindowClosed);
}

void ServerListController::serverManagerWillStartTest(DMServerManager&, const RDOServerInfo& server)
{
    QVariantMap row;
    row[QString::fromLatin1(kServerName)] = server.getServerName();
    row[QString::fromLatin1(kTrafficTime)] = QStringLiteral("测试中");
    row[QString::fromLatin1(kNetworkStatus)] = QString();
    row[QString::fromLatin1(kSuggest)] = QString();
    testSpeedDatas.push_back(row);
    emit rowsChanged();
}

void ServerListController::serverManagerDidFinishedTest(
    DMServerManager&, const RDOServerInfo& server, bool reachable, double trafficTime)
{
    const ServerTestVerdict verdict = serverTestVerdict(reachable, trafficTime);
    // Rows are matched by display name: of two same-named servers the first row gets both results.
    for (QVariantMap& row : testSpeedDatas) {
        if (row.value(QString::fromLatin1(kServerName)).toString() != server.getServerName())
            continue;
        row[QString::fromLatin1(kTrafficTime)] = verdict.trafficTime;
        row[QString::fromLatin1(kNetworkStatus)] = verdict.networkStatus;
        row[QString::fromLatin1(kSuggest)] = verdict.suggest;
        row[QString::fromLatin1(kTag)] = server.getTag();
        break;
    }
    emit rowsChanged();
}

QVariant ServerListController::objectValue(const QString& columnIdentifier, int row) const
{
    if (row < 0 || row >= int(testSpeedDatas.size()))
        return {};
    return testSpeedDatas[std::size_t(row)].value(columnIdentifier);
}
