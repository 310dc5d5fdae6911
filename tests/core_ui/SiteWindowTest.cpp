// The server-list window under the offscreen platform.
#include "comm/crypto/AesEncryption.h"
#include "comm/request/CSNetwork.h"
#include "core/DMNotificationCenter.h"
#include "core/NotificationCenter.h"
#include "core/ui/SiteWindowController.h"
#include "platform/PropertyList.h"
#include "platform/Reachability.h"
#include "support/Spin.h"
#include "support_gui/ColumnCheck.h"
#include "tools/broker-sim/LoginFunctions.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QCoreApplication>
#include <QHostAddress>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QPushButton>
#include <QScreen>
#include <QTabBar>
#include <QTableView>
#include <QTcpServer>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <map>

using testsupport::spinUntil;

namespace {

QVariantMap serverList(const std::vector<std::pair<QString, quint16>>& servers, int selected)
{
    const QString key = QString::fromLatin1(DMServerManager::kStoredDataKey);
    const auto enc = [&](const QString& text) { return *AesEncryption::encodeStringWithAES(text, key); };
    QVariantList infos;
    for (const auto& [name, port] : servers)
        infos << QVariantMap { { "name", name }, { "ip_address", enc("127.0.0.1") },
            { "port", enc(QString::number(port)) } };
    return { { "info_list", infos }, { "selected_ip", enc("127.0.0.1") },
        { "selected_port", enc(QString::number(servers[std::size_t(selected)].second)) } };
}

class Networks : public INetworkFactory {
public:
    std::map<int32_t, std::shared_ptr<CSNetwork>> made;
    std::shared_ptr<CSNetwork> getNetwork(int32_t kind) override
    {
        auto& network = made[kind];
        if (!network)
            network = std::make_shared<CSNetwork>();
        return network;
    }
    void setRetryFlag(bool) override { }
};

struct ClosedWatch {
    int count = 0;
    void onClosed() { ++count; }
};

// A port where nothing listens.
quint16 refusedPort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost);
    return probe.serverPort();
}

} // namespace

TEST(SiteWindowTest, TestRunPickByHandAndTheStoredChoice)
{
    // A name far wider than a column's default width.
    const QString longName = QStringLiteral("交易乙：华东电信主站一号备用线路");
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QTcpServer up;
    ASSERT_TRUE(up.listen(QHostAddress::LocalHost));
    const quint16 dead = refusedPort();
    DMNotificationCenter::resetForTesting();
    platform::Reachability::setOverride([] { return true; });

    DMServerManager::Options options;
    options.shippedPath = dir.filePath("shipped.plist");
    options.userPath = dir.filePath("user.plist");
    ASSERT_TRUE(platform::PropertyList::writeFileAtomic(options.shippedPath,
        QVariantMap { { "hq_servlist", serverList({ { "行情甲", dead }, { "行情乙", up.serverPort() } }, 0) },
            { "jy_servlist", serverList({ { "交易甲", up.serverPort() }, { longName, dead } }, 1) } }));
    Networks networks;
    DMServerManager manager([&] { return static_cast<INetworkFactory*>(&networks); },
        DMNotificationCenter::getInstance(), options);

    // Centred over its parent; over a parent near the screen's edge, moved
    // into the screen's usable area.
    QWidget parent;
    const QRect screen = parent.screen()->availableGeometry();
    parent.setGeometry(screen.x() + 20, screen.y() + 20, screen.width() - 40, screen.height() - 40);
    parent.show();
    auto window = std::make_unique<SiteWindowController>(&parent, &manager);
    window->showWindow();
    const QRect outer = parent.frameGeometry();
    const QRect inner = window->frameGeometry();
    EXPECT_EQ(inner.x(), outer.x() + (outer.width() - inner.width()) / 2);
    EXPECT_EQ(inner.y(), outer.y() + (outer.height() - inner.height()) / 2);
    window->hide();
    parent.move(screen.right() - 200, screen.bottom() - 150);
    window->showWindow();
    EXPECT_TRUE(screen.contains(window->frameGeometry()))
        << qPrintable(QDebug::toString(window->frameGeometry()));

    QComboBox* trade = window->currentTradeConnectionButton();
    QComboBox* quote = window->currentQuoteConnectionButton();
    ASSERT_EQ(trade->count(), 2);
    EXPECT_EQ(trade->itemText(1), longName);
    EXPECT_EQ(trade->currentIndex(), 1);
    EXPECT_EQ(quote->currentIndex(), 0);
    QAbstractItemModel* model = window->internetSpeedTableView()->model();
    EXPECT_EQ(model->columnCount(), 4);
    EXPECT_EQ(model->headerData(2, Qt::Horizontal).toString(), "网络状态");

    // A test run of the trade list (segment 0).
    window->testSpeedButton()->click();
    ASSERT_TRUE(manager.isTesting());
    ASSERT_TRUE(spinUntil([&] { return !manager.isTesting(); }));
    ASSERT_EQ(model->rowCount(), 2);
    std::map<QString, int> rowOf;
    for (int row = 0; row < 2; ++row)
        rowOf[model->index(row, 0).data().toString()] = row;
    ASSERT_EQ(rowOf.size(), 2u);
    EXPECT_TRUE(model->index(rowOf["交易甲"], 1).data().toString().endsWith("毫秒"));
    EXPECT_EQ(model->index(rowOf["交易甲"], 2).data().toString(), "连接通畅");
    EXPECT_EQ(model->index(rowOf["交易甲"], 3).data().toString(), "推荐");
    EXPECT_EQ(model->index(rowOf[longName], 1).data().toString(), "超时");
    EXPECT_EQ(model->index(rowOf[longName], 2).data().toString(), "网络不通");
    testsupport::spinFor(std::chrono::milliseconds(20));
    EXPECT_TRUE(testsupport::columnsShowTheirTexts(*window->internetSpeedTableView()));

    // An arrow over the closed pop-up opens its list and reconnects nothing.
    const bool tradeMade = networks.made.count(1) != 0;
    QKeyEvent arrow(QEvent::KeyPress, Qt::Key_Up, Qt::NoModifier);
    QCoreApplication::sendEvent(trade, &arrow);
    EXPECT_TRUE(trade->view()->isVisible());
    trade->hidePopup();
    EXPECT_EQ(trade->currentIndex(), 1);
    EXPECT_EQ(manager.indexOfSelectedByType(1), 1);
    EXPECT_EQ(networks.made.count(1) != 0, tradeMade);

    // A pick by hand: the trade network goes to that server and the choice is stored.
    trade->setCurrentIndex(0);
    emit trade->activated(0);
    EXPECT_EQ(manager.indexOfSelectedByType(1), 0);
    ASSERT_TRUE(networks.made.count(1));
    EXPECT_EQ(networks.made[1]->serverInfo()->port(), up.serverPort());
    EXPECT_EQ(DMServerManager([&] { return static_cast<INetworkFactory*>(&networks); },
                  DMNotificationCenter::getInstance(), options)
                  .indexOfSelectedByType(1),
        0);

    // The quote segment: switching empties the table; a double click on a
    // finished row connects the quote network and moves the pop-up.
    window->testSpeedTypeSegmentedControl()->setCurrentIndex(1);
    EXPECT_EQ(model->rowCount(), 0);
    window->testSpeedButton()->click();
    ASSERT_TRUE(spinUntil([&] { return !manager.isTesting(); }));
    ASSERT_EQ(model->rowCount(), 2);
    int reachableRow = model->index(0, 0).data().toString() == "行情乙" ? 0 : 1;
    QTableView* table = window->internetSpeedTableView();
    table->selectionModel()->select(
        model->index(reachableRow, 0), QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    emit table->doubleClicked(model->index(reachableRow, 0));
    EXPECT_EQ(manager.indexOfSelectedByType(0), 1);
    ASSERT_TRUE(networks.made.count(0));
    EXPECT_EQ(networks.made[0]->serverInfo()->protocolMode(), 1);
    EXPECT_EQ(quote->currentIndex(), 1);

    // The application login rebuilds the lists while the window is open:
    // the pop-up shows the new names, also when there are as many, the rows
    // of the old lists go, and a name picked connects to the server of that
    // name.
    manager.updateServerInfo(*brokersim::serverListsReply(
        QStringLiteral("电信"), QString(), QStringLiteral("新甲:127.0.0.2:9001,新乙:127.0.0.3:9002")));
    ASSERT_EQ(trade->count(), 2);
    EXPECT_EQ(trade->itemText(0), "新甲");
    EXPECT_EQ(trade->itemText(1), "新乙");
    EXPECT_EQ(trade->currentIndex(), manager.indexOfSelectedByType(1));
    EXPECT_EQ(model->rowCount(), 0);
    trade->setCurrentIndex(1);
    emit trade->activated(1);
    EXPECT_EQ(networks.made[1]->serverInfo()->address(), "127.0.0.3");

    // Closing tells the status bar (type 10), once.
    ClosedWatch watch;
    NotificationCenter::getInstance()->addObserver(&watch, &ClosedWatch::onClosed, 10);
    window->close();
    window.reset();
    EXPECT_EQ(watch.count, 1);
    EXPECT_EQ(manager.delegate(), nullptr);
    NotificationCenter::getInstance()->removeObserver(&watch);
    DMNotificationCenter::resetForTesting();
    platform::Reachability::setOverride({});
}

TEST(SiteWindowTest, EscapeClosesTheWindowAndPostsNotificationTen)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    DMNotificationCenter::resetForTesting();
    platform::Reachability::setOverride([] { return true; });
    DMServerManager::Options options;
    options.shippedPath = dir.filePath("shipped.plist");
    options.userPath = dir.filePath("user.plist");
    const quint16 dead = refusedPort();
    ASSERT_TRUE(platform::PropertyList::writeFileAtomic(options.shippedPath,
        QVariantMap { { "hq_servlist", serverList({ { "行情甲", dead } }, 0) },
            { "jy_servlist", serverList({ { "交易甲", dead } }, 0) } }));
    Networks networks;
    DMServerManager manager([&] { return static_cast<INetworkFactory*>(&networks); },
        DMNotificationCenter::getInstance(), options);

    ClosedWatch watch;
    NotificationCenter::getInstance()->addObserver(&watch, &ClosedWatch::onClosed, 10);
    auto window = std::make_unique<SiteWindowController>(nullptr, &manager);
    window->showWindow();
    QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QCoreApplication::sendEvent(window.get(), &escape);
    EXPECT_FALSE(window->isVisible());
    EXPECT_EQ(watch.count, 1);
    // Shown again and closed again: told again, still once per closing.
    window->showWindow();
    window->close();
    EXPECT_EQ(watch.count, 2);
    window.reset();
    EXPECT_EQ(watch.count, 2);
    NotificationCenter::getInstance()->removeObserver(&watch);
    DMNotificationCenter::resetForTesting();
    platform::Reachability::setOverride({});
}
