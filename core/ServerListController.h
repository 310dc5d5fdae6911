#pragma once

#include "core/DMServerManager.h"

#include <QObject>
#include <QString>
#include <QStringList>
#include <QVariantMap>
#include <cstdint>
#include <vector>

class DMNotificationCenter;
class NotificationCenter;

// The texts of one finished speed test: "TrafficTime", "NetworkStatus", "Suggest".
struct ServerTestVerdict {
    QString trafficTime;
    QString networkStatus;
    QString suggest;
    friend bool operator==(const ServerTestVerdict&, const ServerTestVerdict&) = default;
};

// Milliseconds up to a second, then seconds, then minutes; unreachable is "超时".
ServerTestVerdict serverTestVerdict(bool reachable, double trafficTime);

// What the server-list window does, without its widgets: the two server
// pop-ups, the speed test of one list with a verdict per server, switching
// the current connection, and the close notice. The window shows its state
// and forwards the user's actions; it reloads on the two signals.
// Main thread only.
class ServerListController final : public QObject, public DMServerManagerDelegate {
    Q_OBJECT
public:
    // Row keys, which are also the table's column identifiers.
    static constexpr char kServerName[] = "ServerName";
    static constexpr char kTrafficTime[] = "TrafficTime";
    static constexpr char kNetworkStatus[] = "NetworkStatus";
    static constexpr char kSuggest[] = "Suggest";
    static constexpr char kTag[] = "tag";
    static constexpr int32_t kWindowClosed = 10; // NotificationCenter type
    // Segments of the list switch.
    static constexpr int kTradeSegment = 0;
    static constexpr int kQuoteSegment = 1;

    // Observes DMNotificationCenter type 0 (a connection moved) and the
    // lists' rebuild (DMServerManager::kServerListsChanged).
    explicit ServerListController(DMServerManager* serverManager = DMServerManager::getInstance(),
        DMNotificationCenter* notificationCenter = nullptr, NotificationCenter* uiCenter = nullptr);
    ~ServerListController() override;

    // windowDidLoad: fills both pop-ups and remembers the segment shown.
    void windowDidLoad(int selectedSegment = kTradeSegment);
    void serverReconnect();
    // The lists were rebuilt: the pop-ups show the new ones, and the rows of
    // a test of the old ones go, with the test if it is this window's own.
    void serverListsChanged();
    // currentConnectionSelected: from the trade (kind 1) or quote (kind 0) pop-up.
    void currentConnectionSelected(int32_t kind, int selectedItem);
    // testSpeedButtonClick: true when a test started. A test someone else
    // started (the start-up, the status bar) is left to them: nothing changes.
    bool testSpeedButtonClick(int selectedSegment);
    // Another segment empties the rows, and cancels the test this window started.
    void testSpeedTypeSegmentedControlSelected(int selectedSegment);
    // tableItemDoubleClicked: the row (-1 for none) in the list of the segment shown.
    void tableItemDoubleClicked(int selectedSegment, int selectedRow);
    // windowWillClose: posts NotificationCenter type 10.
    void windowWillClose();

    // DMServerManagerDelegate
    void serverManagerWillStartTest(DMServerManager& manager, const RDOServerInfo& server) override;
    void serverManagerDidFinishedTest(
        DMServerManager& manager, const RDOServerInfo& server, bool reachable, double trafficTime) override;

    // The table.
    int numberOfRowsInTableView() const { return int(testSpeedDatas.size()); }
    // tableView:objectValueForTableColumn:row: nothing for a row past the end.
    QVariant objectValue(const QString& columnIdentifier, int row) const;
    const std::vector<QVariantMap>& rows() const { return testSpeedDatas; }

    // The pop-ups: names in list order and the selected item (-1 for none).
    const QStringList& tradeServerNames() const { return tradeNames_; }
    const QStringList& quoteServerNames() const { return quoteNames_; }
    int tradeSelectedItem() const { return tradeSelected_; }
    int quoteSelectedItem() const { return quoteSelected_; }
    int testSelectedSegment() const { return testSelectedSegment_; }
    // The kind a segment tests: trades for segment 0 (and any other), quotes for 1.
    static int32_t kindOfSegment(int segment) { return segment == kQuoteSegment ? 0 : 1; }

signals:
    void rowsChanged(); // reload the table
    void popUpsChanged(); // names or selected items changed

private:
    static int selectedItem(qint64 index, int count);
    void readLists();
    // Whether the test running is the one this window started.
    bool ownsRunningTest() const;

    DMServerManager* serverManager_;
    DMNotificationCenter* notificationCenter;
    NotificationCenter* uiCenter_;
    std::vector<QVariantMap> testSpeedDatas;
    int testSelectedSegment_ = kTradeSegment;
    QStringList tradeNames_;
    QStringList quoteNames_;
    int tradeSelected_ = -1;
    int quoteSelected_ = -1;
    quint64 ownTest_ = 0; // the test this window started last
};
