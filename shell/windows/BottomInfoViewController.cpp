#include "shell/windows/BottomInfoViewController.h"

#include "core/DMNotificationCenter.h"
#include "core/NetworkFactory.h"
#include "core/NotificationCenter.h"
#include "core/ServerListController.h"
#include "core/UserDefaultConfig.h"
#include "platform/ChinaClock.h"
#include "shell/menu/MenuManager.h"
#include "shell/tables/TableCellRules.h"
#include "shell/tables/TableStyle.h"

namespace {

constexpr double kRiseThreshold = 0.000001;

QColor calibrated(float red, float green)
{
    return QColor::fromRgbF(red, green, 0.0f);
}

} // namespace

BottomInfoViewController::BottomInfoViewController(Services services, QObject* parent)
    : QObject(parent)
    , services_(std::move(services))
{
    Services& s = services_;
    if (!s.serverManager)
        s.serverManager = DMServerManager::getInstance();
    if (!s.menuManager)
        s.menuManager = MenuManager::getInstance();
    if (!s.notificationCenter)
        s.notificationCenter = NotificationCenter::getInstance();
    if (!s.dmNotificationCenter)
        s.dmNotificationCenter = DMNotificationCenter::getInstance();
    if (!s.userDefaultConfig)
        s.userDefaultConfig = UserDefaultConfig::getInstance();
    if (!s.style)
        s.style = TableStyle::getInstance();
}

BottomInfoViewController::~BottomInfoViewController()
{
    services_.notificationCenter->removeObserver(static_cast<QObject*>(this));
}

void BottomInfoViewController::awakeFromNib()
{
    requestIndexes();
    testSpeed();
    resetRefreshTimer();
    startTestSpeedTimer();

    NotificationCenter* center = services_.notificationCenter;
    center->addObserver(
        this, &BottomInfoViewController::quoteColorTypeChanged, UserDefaultConfig::kQuoteColorTypeChanged);
    center->addObserver(
        this, &BottomInfoViewController::resetRefreshTimer, UserDefaultConfig::kQuoteRefreshTimeChanged);
    center->addObserver(this, &BottomInfoViewController::updateSiteInfo, ServerListController::kWindowClosed);
    services_.dmNotificationCenter->addObserver(this,
        TypedNotificationCenter::Handler(
            [this](const platform::Notification& n) { reconnectNetwork(n.object); }),
        NetworkFactory::kConnectionEstablished);
}

void BottomInfoViewController::unloadView()
{
    refreshTimer_.reset();
    testSpeedTimer_.reset();
}

bool BottomInfoViewController::isOpeningTime(const QDateTime& chinaTime)
{
    // On every day of the week; the quote panel's ticker keeps its own hours.
    const int hh = chinaTime.time().hour();
    const int mm = chinaTime.time().minute();
    return (hh == 9 && mm >= 30) || hh == 10 || (hh == 11 && mm <= 30) || hh == 13 || hh == 14;
}

void BottomInfoViewController::requestIndexes()
{
    // Without the menu's ticker link there is nothing to ask for.
    const std::optional<QString> link = services_.menuManager->getPMDParam();
    if (link && services_.requestQueryStockIndexInfo)
        services_.requestQueryStockIndexInfo(this, *link);
}

void BottomInfoViewController::refreshStockIndexInfo()
{
    if (isOpeningTime(platform::ChinaClock::now()))
        requestIndexes();
}

void BottomInfoViewController::quoteColorTypeChanged()
{
    requestIndexes();
}

void BottomInfoViewController::reconnectNetwork(const QVariant& object)
{
    if (object.isValid() && object.toInt() == NetworkFactory::kQuote)
        requestIndexes();
}

double BottomInfoViewController::refreshSeconds() const
{
    if (services_.refreshInterval)
        return *services_.refreshInterval;
    return UserDefaultConfig::getTimeIntervalForRefresh(services_.userDefaultConfig->quoteRefreshTime());
}

void BottomInfoViewController::resetRefreshTimer()
{
    refreshTimer_ = std::make_unique<platform::RunLoopTimer>(
        refreshSeconds(), true, platform::RunLoopModes::defaultMode(), [this] { refreshStockIndexInfo(); });
    refreshTimer_->start();
}

void BottomInfoViewController::startTestSpeedTimer()
{
    testSpeedTimer_ = std::make_unique<platform::RunLoopTimer>(
        services_.speedTestInterval, true, platform::RunLoopModes::defaultMode(), [this] { testSpeed(); });
    testSpeedTimer_->start();
}

void BottomInfoViewController::testSpeed()
{
    DMServerManager* manager = services_.serverManager;
    manager->cancelTestingByType(kTradeServers);
    manager->setDelegate(this);
    const qint64 selected = manager->indexOfSelectedByType(kTradeServers);
    if (selected >= 0)
        manager->startTestingByType(kTradeServers, quint64(selected));
}

void BottomInfoViewController::updateSiteInfo()
{
    testSpeed();
    startTestSpeedTimer();
}

void BottomInfoViewController::serverInfoClicked()
{
    testSpeedTimer_.reset();
    services_.serverManager->cancelTestingByType(kTradeServers);
    emit openServerList();
}

void BottomInfoViewController::queryStockIndexInfo(
    DataModel*, const QString&, const std::vector<RDOIndexInfo>& indexes)
{
    // Further records are ignored; with fewer, the other lines keep their texts.
    for (size_t i = 0; i < lines_.size() && i < indexes.size(); ++i) {
        const RDOIndexInfo& index = indexes[i];
        const QString spacer = QStringLiteral("    ");
        lines_[i].text = QStringList { index.name, index.valueText, index.upDownText, index.upDownRateText,
            index.dealAmountText }
                             .join(spacer);
        // An unchanged index takes the falling colour.
        const bool rises = tablecells::leadingDouble(index.upDownRate) > kRiseThreshold;
        lines_[i].color = rises ? services_.style->indexUpsColor() : services_.style->indexDownsColor();
    }
    emit changed();
}

void BottomInfoViewController::serverManagerDidFinishedTest(
    DMServerManager&, const RDOServerInfo& server, bool reachable, double trafficTime)
{
    server_ = serverVerdict(server.getServerName(), reachable, trafficTime);
    emit changed();
}

BottomInfoViewController::Line BottomInfoViewController::serverVerdict(
    const QString& serverName, bool reachable, double trafficTime)
{
    const double ms = trafficTime * 1000.0;
    QString word;
    QColor color;
    if (!reachable) {
        word = QStringLiteral("连接中断");
        color = calibrated(0.8f, 0.0f);
    } else if (ms <= 300) {
        word = QStringLiteral("连接通畅");
        color = calibrated(0.0f, 0.415f);
    } else if (ms < 60000) {
        word = QStringLiteral("连接缓慢");
        color = calibrated(0.8f, 0.415f);
    } else {
        word = QStringLiteral("严重拥堵");
        color = calibrated(0.8f, 0.0f);
    }
    return { serverName + QStringLiteral("     ") + word, color };
}
