// The system-message and last-login windows' sizing and the close timer.
#include "platform/WindowGeometry.h"
#include "shell/windows/LastLoginInfoWindowController.h"
#include "shell/windows/SystemMessageWindowController.h"
#include "support/Spin.h"

#include <gtest/gtest.h>

using namespace std::chrono_literals;
using testsupport::spinUntil;

namespace {

std::vector<RDOSystemMessage> messages(int count)
{
    // RDOSystemMessage is read from a record set only; an empty one reads "".
    return std::vector<RDOSystemMessage>(std::size_t(count));
}

TEST(NoticeWindowsTest, SystemMessageHeightGrowsUpTo390)
{
    const auto measure = [](const QString&, double width, double) {
        EXPECT_EQ(width, 464.0);
        return 40.0;
    };
    EXPECT_EQ(SystemMessageWindowController(messages(2), measure).windowHeight(), 2 * (40.0 + 30.0) + 15.0);
    EXPECT_EQ(SystemMessageWindowController(messages(0), measure).windowHeight(), 15.0);
    EXPECT_EQ(SystemMessageWindowController(messages(9), measure).windowHeight(), 390.0);
}

TEST(NoticeWindowsTest, LastLoginSizeAndPlace)
{
    const auto measure = [](const QString& line) { return QSizeF(line.size() * 10.0, 20.0); };
    const QString content = QStringLiteral("上次登录时间：2024-05-31 15:02:11\n上次登录地址：192.168.1.20\nok");
    LastLoginInfoWindowController window(QStringLiteral("上次登录信息"), content, 200.0, measure);
    EXPECT_EQ(window.windowSize(), QSizeF(QString("上次登录时间：2024-05-31 15:02:11").size() * 10.0 + 10.0, 3 * 20.0 + 25.0));
    // No parent frame: centred on the screen.
    const QRectF screen(0, 0, 1000, 800);
    EXPECT_EQ(window.windowOrigin(screen), windowgeometry::centredOrigin(screen, window.windowSize()));
    window.setParentRect(QRectF(100, 100, 600, 400));
    EXPECT_EQ(window.windowOrigin(screen), windowgeometry::centredOrigin(QRectF(100, 100, 600, 400), window.windowSize()));

    // A line height of 0 counts as 22; the narrow content keeps the window's width.
    LastLoginInfoWindowController flat(QString(), QStringLiteral("a"), 200.0, [](const QString&) { return QSizeF(5, 0); });
    EXPECT_EQ(flat.windowSize(), QSizeF(200.0, 22.0 + 25.0));
}

TEST(NoticeWindowsTest, CloseTimerPausesWhileThePointerRests)
{
    LastLoginInfoWindowController window(QString(), QStringLiteral("x"), 100.0,
        [](const QString&) { return QSizeF(1, 1); }, 150ms);
    int fadeOuts = 0;
    int closes = 0;
    QObject::connect(&window, &LastLoginInfoWindowController::fadeOut, [&] { ++fadeOuts; });
    QObject::connect(&window, &LastLoginInfoWindowController::closeRequested, [&] { ++closes; });
    window.windowDidLoad();
    window.mouseEntered();
    testsupport::spinFor(300ms);
    EXPECT_EQ(fadeOuts, 0);
    window.mouseExited();
    EXPECT_TRUE(window.isTimerRunning());
    ASSERT_TRUE(spinUntil([&] { return fadeOuts == 1; }, 2s));
    EXPECT_TRUE(window.isShuttingDown());
    EXPECT_EQ(closes, 0); // stays until the fade has ended
    window.animationDidStop();
    EXPECT_EQ(closes, 1);
}

TEST(NoticeWindowsTest, CoverLeavesTwentyPointsAtTopAndBottom)
{
    const QRectF cover = windowgeometry::coverRect(QRectF(50, 100, 800, 600));
    EXPECT_EQ(cover, QRectF(50, 120, 800, 560));
}

// Every window opens inside the screen's usable area, its title bar on it.
TEST(NoticeWindowsTest, AFrameIsPlacedInsideTheUsableArea)
{
    // 1280 x 720 shown at 1.5 times, less a panel of 20 at the top.
    const QRectF laptop(0, 20, 853, 460);
    struct Case {
        QRectF reference;
        QSizeF frame;
        QPointF origin;
    };
    const Case cases[] = {
        { laptop, { 400, 300 }, { 226.5, 100 } }, // fits: centred as before
        { laptop, { 1140, 900 }, { 0, 20 } }, // larger: the top left stays on it
        { laptop, { 500, 600 }, { 176.5, 20 } }, // taller only
        { { 600, 300, 400, 300 }, { 300, 200 }, { 553, 280 } }, // over a parent near the corner
        { { -200, -100, 400, 300 }, { 300, 200 }, { 0, 20 } }, // over a parent partly off the screen
    };
    for (const Case& c : cases) {
        const QRectF placed = windowgeometry::placedFrame(c.reference, laptop, c.frame);
        EXPECT_EQ(placed, QRectF(c.origin, c.frame)) << qPrintable(QDebug::toString(placed));
    }
}

} // namespace
