#include "ShellTestRig.h"
#include "StatusBarTestRig.h"
#include "core/NotificationCenter.h"
#include "platform/ChinaClock.h"
#include "shell/tables/TableStyle.h"
#include "shell/windows/BottomInfoViewController.h"
#include "support/Spin.h"

#include <QTcpServer>

using namespace shelltest;
using platform::ChinaClock;

namespace {

RDOIndexInfo index(const QString& name, const QString& rate)
{
    RDOIndexInfo info;
    info.name = name;
    info.valueText = "3000.00";
    info.upDownText = "1.00";
    info.upDownRate = rate;
    info.upDownRateText = rate + "%";
    info.dealAmountText = "1.2亿";
    return info;
}

class StatusBarControllerTest : public ShellHomeFixture {
protected:
    void SetUp() override
    {
        ShellHomeFixture::SetUp();
        // A port nobody listens on: the trade server cannot be reached.
        QTcpServer closed;
        ASSERT_TRUE(closed.listen(QHostAddress::LocalHost));
        const quint16 port = closed.serverPort();
        closed.close();
        serverManager = statusbartest::localTradeServer(home.path(), "本地交易", port);
        menuManager = statusbartest::tickerMenu();
        style = std::make_unique<TableStyle>();
    }
    void TearDown() override
    {
        bar.reset();
        style.reset();
        menuManager.reset();
        serverManager.reset();
        ShellHomeFixture::TearDown();
    }
    void makeBar(std::optional<double> refresh = std::nullopt)
    {
        BottomInfoViewController::Services services;
        services.serverManager = serverManager.get();
        services.menuManager = menuManager.get();
        services.style = style.get();
        services.refreshInterval = refresh;
        services.requestQueryStockIndexInfo = [this](IQueryStockIndexInfoDelegate*, const QString& link) {
            links << link;
            return QString();
        };
        bar = std::make_unique<BottomInfoViewController>(services);
    }

    std::unique_ptr<DMServerManager> serverManager;
    std::unique_ptr<MenuManager> menuManager;
    std::unique_ptr<TableStyle> style;
    std::unique_ptr<BottomInfoViewController> bar;
    QStringList links;
};

} // namespace

TEST(StatusBarTradingHours, BoundariesInChinaTimeOnEveryDayOfTheWeek)
{
    struct Case {
        int day; // December 2026: the 7th is a Monday
        int hour;
        int minute;
        bool open;
    };
    const Case cases[] = {
        { 7, 9, 15, false }, { 7, 9, 29, false }, { 7, 9, 30, true }, { 7, 11, 30, true },
        { 7, 11, 31, false }, { 7, 12, 59, false }, { 7, 13, 0, true }, { 11, 14, 59, true },
        { 11, 15, 0, false }, { 12, 10, 0, true }, { 12, 12, 0, false }, // Saturday
        { 13, 10, 0, true }, { 13, 15, 0, false }, // Sunday
    };
    for (const Case& c : cases)
        EXPECT_EQ(BottomInfoViewController::isOpeningTime(ChinaClock::at(2026, 12, c.day, c.hour, c.minute)),
            c.open)
            << c.day << " " << c.hour << ":" << c.minute;
    // 02:00 UTC is 10:00 in China, whatever the machine's time zone.
    EXPECT_TRUE(BottomInfoViewController::isOpeningTime(
        ChinaClock::toChinaTime(QDateTime(QDate(2026, 12, 8), QTime(2, 0), Qt::UTC))));
}

TEST(StatusBarServerLabel, VerdictByConnectTime)
{
    struct Case {
        bool reachable;
        double seconds;
        const char* word;
        QColor color;
    };
    const QColor red = QColor::fromRgbF(0.8f, 0, 0), green = QColor::fromRgbF(0, 0.415f, 0),
                 orange = QColor::fromRgbF(0.8f, 0.415f, 0);
    const Case cases[] = {
        { true, 0.25, "连接通畅", green },
        { true, 0.3, "连接通畅", green },
        { true, 0.301, "连接缓慢", orange },
        { true, 60.0, "严重拥堵", red },
        { false, -1.0, "连接中断", red },
    };
    for (const Case& c : cases) {
        const auto line = BottomInfoViewController::serverVerdict("主站", c.reachable, c.seconds);
        EXPECT_EQ(line.text, QString("主站     ") + QString::fromUtf8(c.word)) << c.seconds;
        EXPECT_EQ(line.color, c.color) << c.seconds;
    }
}

TEST_F(StatusBarControllerTest, RefreshesOnlyWhileTheExchangesTradeOnAnyDay)
{
    ChinaClock::Override clock(ChinaClock::at(2026, 12, 7, 11, 30));
    makeBar();
    bar->awakeFromNib();
    ASSERT_EQ(links.size(), 1);
    EXPECT_EQ(links[0], *menuManager->getPMDParam());
    bar->refreshStockIndexInfo();
    EXPECT_EQ(links.size(), 2);
    {
        ChinaClock::Override later(ChinaClock::at(2026, 12, 7, 11, 31));
        bar->refreshStockIndexInfo();
    }
    {
        // A Saturday in trading hours refreshes like any other day.
        ChinaClock::Override weekend(ChinaClock::at(2026, 12, 12, 10, 0));
        bar->refreshStockIndexInfo();
        EXPECT_EQ(links.size(), 3);
    }
    {
        ChinaClock::Override lunch(ChinaClock::at(2026, 12, 12, 12, 0));
        bar->refreshStockIndexInfo();
        EXPECT_EQ(links.size(), 3);
        // New colours and a new quote connection ask at once, trading or not.
        NotificationCenter::getInstance()->postNotification(16);
        EXPECT_EQ(links.size(), 4);
        DMNotificationCenter::getInstance()->postNotification(2, QVariant(1));
        EXPECT_EQ(links.size(), 4);
        DMNotificationCenter::getInstance()->postNotification(2, QVariant(0));
        EXPECT_EQ(links.size(), 5);
    }
}

TEST_F(StatusBarControllerTest, RefreshTimerAsksOnItsInterval)
{
    ChinaClock::Override clock(ChinaClock::at(2026, 12, 7, 10, 0));
    makeBar(0.02);
    bar->awakeFromNib();
    EXPECT_TRUE(testsupport::spinUntil([this] { return links.size() >= 3; }));
    bar->unloadView();
    const qsizetype asked = links.size();
    testsupport::spinFor(std::chrono::milliseconds(60));
    EXPECT_EQ(links.size(), asked);
}

TEST_F(StatusBarControllerTest, IndexLinesTakeTheFirstThreeRecords)
{
    makeBar();
    bar->queryStockIndexInfo(nullptr, "h",
        { index("上证指数", "0.52"), index("深证成指", "-0.10"), index("创业板指", "1.00"),
            index("其他", "2") });
    EXPECT_EQ(bar->indexLines()[0].text, "上证指数    3000.00    1.00    0.52%    1.2亿");
    EXPECT_EQ(bar->indexLines()[0].color, style->indexUpsColor());
    EXPECT_EQ(bar->indexLines()[1].color, style->indexDownsColor());
    // Two records: the third line keeps its text; a rise of 0.0000005 counts as none.
    bar->queryStockIndexInfo(nullptr, "h", { index("上证指数", "0.0000005"), index("深证成指", "0.2") });
    EXPECT_EQ(bar->indexLines()[0].color, style->indexDownsColor());
    EXPECT_TRUE(bar->indexLines()[2].text.startsWith("创业板指"));
}

TEST_F(StatusBarControllerTest, ServerLabelAndTheServerListWindow)
{
    makeBar();
    int opened = 0;
    QObject::connect(bar.get(), &BottomInfoViewController::openServerList, [&] { ++opened; });
    bar->awakeFromNib();
    ASSERT_TRUE(testsupport::spinUntil([this] { return !bar->serverLine().text.isEmpty(); }));
    EXPECT_EQ(bar->serverLine().text, "本地交易     连接中断");

    // While the server-list window is open the bar does not test.
    bar->serverInfoClicked();
    bar->serverInfoClicked();
    EXPECT_EQ(opened, 2);
    EXPECT_FALSE(bar->isTestSpeedTimerActive());
    NotificationCenter::getInstance()->postNotification(10);
    NotificationCenter::getInstance()->postNotification(10);
    EXPECT_TRUE(bar->isTestSpeedTimerActive());
}
