// The menu-driven query pages in the main window while a frozen server holds
// their first read: the page shows that it is querying, never a blank page,
// until the answer fills its table.
#include "TradeWindowRig.h"
#include "shell/ui/tables/DVCommonTableView.h"
#include "tools/broker-sim/BackOffice.h"
#include "tools/broker-sim/BankFunctions.h"

#include <QProgressBar>

using namespace windowtest;
using testsupport::spinUntil;

namespace {

class QueryPageViewTest : public tradewindowtest::TradeWindowTest { };

} // namespace

TEST_F(QueryPageViewTest, APageWhoseFirstReadIsHeldShowsItIsQuerying)
{
    logInThroughTheLoginWindow();
    fetchMenu();
    openWindow(QSize(1320, 760));
    const struct {
        const char* title;
        brokersim::Function read;
    } pages[] = { { "资金查询", brokersim::kMoneyFunction }, { "转账查询", brokersim::kTransferHistoryFunction } };
    for (const auto& p : pages) {
        SCOPED_TRACE(p.title);
        sim.withholdNext(p.read);
        QWidget* page = clickEntry(QString::fromUtf8(p.title));
        ASSERT_TRUE(page);
        ASSERT_TRUE(spinUntil([&] { return sim.withheldCount() == 1; }, 10s));
        auto* progress = page->findChild<QProgressBar*>("queryProgress");
        auto* table = page->findChild<DVCommonTableView*>("tableView");
        ASSERT_TRUE(progress && table);
        EXPECT_TRUE(progress->isVisible());
        EXPECT_EQ(table->model()->columnCount(), 0);
        sim.releaseWithheld();
        EXPECT_TRUE(spinUntil([&] { return !progress->isVisible() && table->model()->columnCount() > 0; }, 10s));
    }
}
