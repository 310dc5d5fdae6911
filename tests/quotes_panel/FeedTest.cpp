// The panel against the in-process simulator's market: the shown security
// arrives and refreshes; replies for a security no longer shown are dropped.
#include "platform/ChinaClock.h"
#include "quotes/QuoteTestRig.h"
#include "quotes_panel/PanelTestData.h"
#include "support/Spin.h"
#include "trading/quotepanel/QuoteInfoViewController.h"
#include "trading/security/StockManager.h"

namespace {

using testsupport::spinUntil;
using namespace std::chrono_literals;

class QuotePanelFeed : public quotetest::MarketFixture {
protected:
    QuoteInfoViewController::Services services()
    {
        QuoteInfoViewController::Services s;
        s.notificationCenter = NotificationCenter::getInstance();
        s.stockManager = &manager;
        return s;
    }
    StockManager manager;
};

TEST_F(QuotePanelFeed, ShowsTheSecurityAndDropsStaleReplies)
{
    QuoteInfoViewController c({ 955, 400 }, services());
    c.awakeFromNib();
    c.showCode(QStringLiteral("688001"));
    ASSERT_TRUE(spinUntil([&] { return c.current() != nullptr; }, 10s));
    EXPECT_EQ(c.quoteMarketType(), 3); // the STAR market's after-hours layout
    EXPECT_FALSE(c.chart().timesharing.empty());
    EXPECT_FALSE(c.buyPrice(1).text.isEmpty());

    // The user moves on; a late answer for the old code changes nothing.
    c.showCode(QStringLiteral("000001"));
    c.queryQuotesOf5Level(nullptr, QString(), paneltest::quote(QStringLiteral("688001")));
    c.queryTimesharingInfo(nullptr, QString(), paneltest::day(paneltest::walk(5, 35, 0.1), 35, "688001"));
    EXPECT_TRUE(c.buyPrice(1).text.isEmpty());
    EXPECT_EQ(c.current(), nullptr);
    ASSERT_TRUE(spinUntil([&] { return c.current() != nullptr; }, 10s));
    EXPECT_EQ(c.current()->code, "000001");
    EXPECT_EQ(c.quoteMarketType(), 0);

    // A refresh in opening time asks again; the market has moved on a minute.
    const size_t minutes = c.chart().timesharing.size();
    {
        platform::ChinaClock::Override at(platform::ChinaClock::at(2026, 12, 7, 10, 0));
        c.refreshTimesharingQuotes();
    }
    ASSERT_TRUE(spinUntil([&] { return c.chart().timesharing.size() > minutes; }, 10s));
    // Outside it, nothing is sent.
    const qsizetype asked = sim.receivedOf(brokersim::kQuote5LevelExFunction).size();
    {
        platform::ChinaClock::Override at(platform::ChinaClock::at(2026, 12, 7, 12, 0));
        c.refreshTimesharingQuotes();
    }
    EXPECT_EQ(sim.receivedOf(brokersim::kQuote5LevelExFunction).size(), asked);
}

} // namespace
