#pragma once

#include "core/DMServerManager.h"
#include "platform/RunLoop.h"
#include "quotes/requests/QuoteDataModels.h"

#include <QColor>
#include <QDateTime>
#include <QObject>
#include <array>
#include <functional>
#include <memory>
#include <optional>

class DMNotificationCenter;
class MenuManager;
class NotificationCenter;
class TableStyle;
class UserDefaultConfig;

// What BottomInfoViewController works with; null ones are the shared instances.
struct BottomInfoViewControllerServices {
    using IndexRequest = std::function<QString(IQueryStockIndexInfoDelegate* observer, const QString& link)>;

    DMServerManager* serverManager = nullptr;
    MenuManager* menuManager = nullptr;
    NotificationCenter* notificationCenter = nullptr;
    DMNotificationCenter* dmNotificationCenter = nullptr;
    UserDefaultConfig* userDefaultConfig = nullptr;
    TableStyle* style = nullptr;
    // Sends the index request (the security manager's); none: no request.
    IndexRequest requestQueryStockIndexInfo;
    // Seconds between two speed tests of the trade server.
    double speedTestInterval = 10.0;
    // Seconds between index refreshes; none: the user's quote-refresh setting.
    std::optional<double> refreshInterval;
};

// The status bar without its widgets: three market-index lines refreshed
// while the exchanges trade, and the trade server's name with a verdict of a
// speed test every 10 seconds. Trading hours are China time. Main thread only.
class BottomInfoViewController final : public QObject,
                                       public IQueryStockIndexInfoDelegate,
                                       public DMServerManagerDelegate {
    Q_OBJECT
public:
    using Services = BottomInfoViewControllerServices;
    // Kind of the tested servers: the trade list.
    static constexpr int32_t kTradeServers = 1;

    struct Line {
        QString text;
        QColor color;
    };

    explicit BottomInfoViewController(Services services = Services(), QObject* parent = nullptr);
    ~BottomInfoViewController() override;

    // awakeFromNib: first index request and speed test, both timers, the
    // notifications.
    void awakeFromNib();
    // unloadView: both timers stop.
    void unloadView();

    // isOpeningTime: 09:30 to 11:30 (that minute included) and 13:00 to
    // 14:59, China time, on every day of the week.
    static bool isOpeningTime(const QDateTime& chinaTime);

    const std::array<Line, 3>& indexLines() const { return lines_; }
    const Line& serverLine() const { return server_; }
    bool isTestSpeedTimerActive() const { return testSpeedTimer_ && testSpeedTimer_->isActive(); }
    bool isRefreshTimerActive() const { return refreshTimer_ && refreshTimer_->isActive(); }

    // Timer and notification handlers.
    void refreshStockIndexInfo();
    void quoteColorTypeChanged();
    void reconnectNetwork(const QVariant& object);
    void resetRefreshTimer();
    void testSpeed();
    void updateSiteInfo();
    // serverInfoClicked: the tests stop while the server-list window runs
    // its own; the view opens the window on openServerList.
    void serverInfoClicked();

    void queryStockIndexInfo(
        DataModel* request, const QString& requestHandle, const std::vector<RDOIndexInfo>& indexes) override;
    using IQueryStockIndexInfoDelegate::queryStockIndexInfo;
    void serverManagerDidFinishedTest(
        DMServerManager& manager, const RDOServerInfo& server, bool reachable, double trafficTime) override;

    // The verdict of a test: the word and its colour.
    static Line serverVerdict(const QString& serverName, bool reachable, double trafficTime);

signals:
    void changed();
    void openServerList();

private:
    void requestIndexes();
    void startTestSpeedTimer();
    double refreshSeconds() const;

    Services services_;
    std::array<Line, 3> lines_;
    Line server_;
    std::unique_ptr<platform::RunLoopTimer> refreshTimer_;
    std::unique_ptr<platform::RunLoopTimer> testSpeedTimer_;
};
