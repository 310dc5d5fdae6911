// A page the customer leaves is gone: its controller and widgets once the
// deferred deletes have run, its notification registrations and pending
// requests with it, so going round the pages keeps the same number of
// widgets and leaves no request waiting.
#include "TradeWindowRig.h"
#include "platform/NotificationCenter.h"
#include "shell/ui/MenuItemView.h"

#include <QPointer>

using namespace windowtest;

namespace {

class PageLifetimeTest : public tradewindowtest::TradeWindowTest { };

constexpr const char* kRound[] = { "撤单", "资产查询", "买入" };

} // namespace

TEST_F(PageLifetimeTest, PagesLeftAreGoneWithTheirWidgetsRegistrationsAndRequests)
{
    logInThroughTheLoginWindow();
    fetchMenu();
    openWindow(QSize(1320, 760));
    // A first round makes what the pages share (request objects, the quote panel's fonts).
    for (const char* title : kRound) {
        ASSERT_TRUE(clickEntry(QString::fromUtf8(title)));
        ASSERT_TRUE(settle());
    }
    const qsizetype widgets = QApplication::allWidgets().size();

    for (int round = 0; round < 2; ++round) {
        for (const char* title : kRound) {
            SCOPED_TRACE(title);
            const QPointer<MenuItemView> left = window->currentPageView();
            const QPointer<MenuItemViewController> leftPage = window->controller().currentShow();
            const void* leftKey = leftPage.data();
            ASSERT_TRUE(left && leftPage);
            ASSERT_TRUE(clickEntry(QString::fromUtf8(title)));
            ASSERT_TRUE(settle()) << "requests still waiting";
            EXPECT_TRUE(left.isNull());
            EXPECT_TRUE(leftPage.isNull());
            EXPECT_EQ(platform::NotificationCenter::defaultCenter().registrationCount(leftKey), 0);
        }
        EXPECT_EQ(QApplication::allWidgets().size(), widgets);
    }
}
