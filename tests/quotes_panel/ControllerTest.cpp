#include "core/NotificationCenter.h"
#include "core/UserDefaultConfig.h"
#include "quotes_panel/PanelTestData.h"
#include "trading/quotepanel/QuoteInfoViewController.h"

#include <gtest/gtest.h>

namespace {

using namespace paneltest;

struct PriceCatcher : IUpdatePriceDelegate {
    QStringList prices;
    void updatePrice(const QString& price) override { prices << price; }
};

class QuotePanelController : public PanelFixture {
protected:
    QuoteInfoViewController::Services services()
    {
        QuoteInfoViewController::Services s;
        s.notificationCenter = NotificationCenter::getInstance();
        s.userDefaultConfig = UserDefaultConfig::getInstance();
        return s;
    }
};

TEST_F(QuotePanelController, FontSizesFollowTheScreen)
{
    using C = QuoteInfoViewController;
    EXPECT_EQ(C::fontSizesFor(729), std::make_pair(qint64(11), qint64(9)));
    EXPECT_EQ(C::fontSizesFor(730), std::make_pair(qint64(13), qint64(11)));
    EXPECT_EQ(C::fontSizesFor(std::nullopt), std::make_pair(qint64(11), qint64(9)));
}

TEST_F(QuotePanelController, BookAndLimitsFromTheSecurity)
{
    QuoteInfoViewController c({ 955, 400 }, services());
    c.awakeFromNib();
    PriceCatcher page;
    c.setUpdatePriceDelegate(&page);
    RDOQuotesOf5Level q = quote();
    q.hasNotLimit = true;
    q.amountOfUpDown = -0.4;
    auto s = security(day(walk(5, 10.0, 0.01), 10.0), &q);
    c.setQuotesOf5LevelInfo(*s);
    // The last price is coloured against the close, the change by its own
    // sign, even where the two disagree.
    EXPECT_EQ(c.field(QuoteField::lastPriceText).color, Security::upsColor());
    EXPECT_EQ(c.field(QuoteField::amountOfUpdownText).color, Security::downsColor());
    EXPECT_EQ(c.buyPrice(1).text, "9.99");
    EXPECT_EQ(c.sellPrice(5).text, "10.05");
    EXPECT_EQ(c.buyQuantity(2).text, "20");
    EXPECT_EQ(c.buyPrice(1).color, Security::downsColor());
    // No limits: "--" in both, still in the rise and fall colours.
    EXPECT_EQ(c.field(QuoteField::limitUpText).text, "--");
    EXPECT_EQ(c.field(QuoteField::limitUpText).color, Security::upsColor());
    EXPECT_EQ(c.field(QuoteField::limitDownText).color, Security::downsColor());
    EXPECT_FALSE(c.current()); // only the chart sets the current security

    c.buyClicked(1);
    c.sellClicked(5);
    c.priceButtonClicked(QuotePriceButton::highPriceButton);
    c.buyClicked(9); // no such level
    EXPECT_EQ(page.prices, (QStringList { "9.99", "10.05", "--" }));
}

// A limit the server sends as no price shows "--", never 0.00, and a click
// on it sends "--", which the trading page ignores.
TEST_F(QuotePanelController, LimitsThatAreNoPriceShowDashes)
{
    for (const char* text : { "abc", "", "NaN", "-5", "inf" }) {
        QuoteInfoViewController c({ 955, 400 }, services());
        c.awakeFromNib();
        PriceCatcher page;
        c.setUpdatePriceDelegate(&page);
        const VEKTCRS reply
            = HomeFixture::set(brokersim::Table()
                                   .column("code")
                                   .column("precision")
                                   .column("zt")
                                   .column("dt")
                                   .row({ "600000", "2", "11.00", QString::fromLatin1(text) }));
        const RDOQuotesOf5Level q(&reply);
        c.setQuotesOf5LevelInfo(*security(day(walk(3, 10.0, 0.01), 10.0), &q));
        EXPECT_EQ(c.field(QuoteField::limitUpText).text, "11.00") << text;
        EXPECT_EQ(c.field(QuoteField::limitDownText).text, "--") << text;
        EXPECT_EQ(c.field(QuoteField::limitDownText).color, Security::downsColor()) << text;
        c.priceButtonClicked(QuotePriceButton::lowPriceButton);
        EXPECT_EQ(page.prices, QStringList { "--" }) << text;
    }
}

// The panel shows each number as its security formats it, signed or not:
// it never filters a text a second time. "--" comes only from the security.
TEST_F(QuotePanelController, NumbersShowAsTheSecurityFormatsThem)
{
    using Shown = QString (*)(QuoteInfoViewController&, const Security&);
    const struct {
        const char* what;
        void (*change)(RDOQuotesOf5Level&, std::vector<RDOTimesharingInfo>&);
        Shown shown;
        const char* text;
    } cases[] = {
        { "negative level quantity", [](auto& q, auto&) { q.buyQuantities[0] = -300; },
            [](auto& c, auto&) { return c.buyQuantity(1).text; }, "-3" },
        { "level quantity under a lot", [](auto& q, auto&) { q.sellQuantities[1] = 99; },
            [](auto& c, auto&) { return c.sellQuantity(2).text; }, "--" },
        { "level quantity in lots", [](auto& q, auto&) { q.sellQuantities[2] = 1250; },
            [](auto& c, auto&) { return c.sellQuantity(3).text; }, "12" },
        { "negative level price", [](auto& q, auto&) { q.buyPrices[0] = -0.01; },
            [](auto& c, auto&) { return c.buyPrice(1).text; }, "--" },
        { "falling change", [](auto& q, auto&) { q.amountOfUpDown = -2.35; },
            [](auto& c, auto&) { return c.field(QuoteField::amountOfUpdownText).text; }, "-2.35%" },
        { "largest minute in lots", [](auto&, auto&) {},
            [](auto& c, auto&) { return c.field(QuoteField::maxVolumeText).text; }, "12" },
        { "half the largest minute in lots", [](auto&, auto&) {},
            [](auto& c, auto&) { return c.field(QuoteField::halfOfMaxVolumeText).text; }, "6" },
        { "negative turnover in the header", [](auto&, auto& points) { points.back().totalTurnover = -500; },
            [](auto& c, auto&) { return c.field(QuoteField::currentQuantityText).text; }, "-5" },
        { "negative turnover of the selected minute",
            [](auto&, auto& points) { points[1].totalTurnover = -700; },
            [](auto& c, auto& s) {
                c.updateSelectedTimeInfo(s, 1);
                return c.field(QuoteField::currentQuantityText).text;
            },
            "-7" },
    };
    for (const auto& row : cases) {
        QuoteInfoViewController c({ 955, 400 }, services());
        c.awakeFromNib();
        RDOQuotesOf5Level q = quote();
        std::vector<RDOTimesharingInfo> points = walk(3, 10.0, 0.01);
        row.change(q, points);
        auto s = security(day(points, 10.0), &q);
        c.setQuotesOf5LevelInfo(*s);
        c.setTimesharingInfo(s);
        EXPECT_EQ(row.shown(c, *s), QString::fromUtf8(row.text)) << row.what;
    }
}

TEST_F(QuotePanelController, ClicksNeverReachAFormUnderItsConfirmation)
{
    QuoteInfoViewController c({ 955, 400 }, services());
    c.awakeFromNib();
    auto page = std::make_unique<PriceCatcher>();
    c.setUpdatePriceDelegate(page.get());
    const RDOQuotesOf5Level q = quote();
    c.setQuotesOf5LevelInfo(*security(day(walk(3, 10.0, 0.01), 10.0), &q));
    c.setOrderFormHeld(true);
    c.buyClicked(1);
    // A refresh while the dialog is open still updates the panel.
    RDOQuotesOf5Level moved = quote("600000", 11.0);
    c.setQuotesOf5LevelInfo(*security(day(walk(3, 11.0, 0.01), 11.0), &moved));
    EXPECT_EQ(c.buyPrice(1).text, "10.99");
    EXPECT_TRUE(page->prices.isEmpty());
    c.setOrderFormHeld(false);
    c.buyClicked(1);
    EXPECT_EQ(page->prices, QStringList { "10.99" });
    // A page that is gone hears nothing.
    page.reset();
    c.buyClicked(1);
}

TEST_F(QuotePanelController, ChartHeaderFollowsTheSelection)
{
    QuoteInfoViewController c({ 955, 400 }, services());
    c.awakeFromNib();
    PriceCatcher page;
    c.setUpdatePriceDelegate(&page);
    auto s = security(day(walk(30, 10.0, 0.01), 10.0));
    c.setTimesharingInfo(s);
    EXPECT_EQ(c.field(QuoteField::currentPriceText).text, "10.29");
    EXPECT_EQ(c.field(QuoteField::timeText).text, "10:35");
    EXPECT_EQ(c.chart().timesharing.size(), 30u);

    c.updateSelectedTimeInfo(*s, 5);
    EXPECT_TRUE(c.isSelected());
    EXPECT_EQ(c.field(QuoteField::timeText).text, "9:35");
    // A new day while selected: the chart and scales move, the header stays.
    auto later = security(day(walk(31, 10.0, 0.02), 10.0));
    c.setTimesharingInfo(later);
    EXPECT_EQ(c.field(QuoteField::lastPriceText).text, "10.60");
    EXPECT_EQ(c.field(QuoteField::currentPriceText).text, "10.05");
    c.priceButtonClicked(QuotePriceButton::currentPriceButton);
    EXPECT_EQ(page.prices, QStringList { "10.05" });

    c.recoverToCurrent();
    EXPECT_FALSE(c.isSelected());
    EXPECT_EQ(c.field(QuoteField::currentPriceText).text, "10.60");
}

TEST_F(QuotePanelController, FirstDayAndVolumeMaximum)
{
    QuoteInfoViewController c({ 955, 400 }, services());
    c.awakeFromNib();
    // No previous close: the axis runs from 0 to the highest price.
    RDOStock d = day(walk(3, 10.0, 0.5), 0.0);
    for (auto& p : *d.timesharingInfoArray)
        p.totalTurnover = 0; // no quantities: the amount is the maximum
    auto s = security(d);
    ASSERT_TRUE(s->firstDay());
    c.setTimesharingInfo(s);
    EXPECT_TRUE(c.midLineHidden());
    EXPECT_TRUE(c.field(QuoteField::closingPriceText).hidden);
    EXPECT_TRUE(c.field(QuoteField::higherPriceText).hidden);
    EXPECT_DOUBLE_EQ(c.chart().closingPrice, 5.5);
    EXPECT_DOUBLE_EQ(c.chart().subPrice, 5.5);
    EXPECT_DOUBLE_EQ(c.chart().previousClose, 0.0); // the bars keep the real close
    EXPECT_EQ(c.chart().maximum, s->maxVolume());

    c.setTimesharingInfo(security(day(walk(3, 10.0, 0.5), 10.0)));
    EXPECT_FALSE(c.midLineHidden());
    EXPECT_FALSE(c.field(QuoteField::closingPriceText).hidden);
    EXPECT_EQ(c.chart().maximum, 1200);
}

TEST_F(QuotePanelController, MarketTypesSwitchRowsAndAxis)
{
    QuoteInfoViewController c({ 955, 400 }, services());
    c.awakeFromNib();
    c.setExchangeRate(QStringLiteral("0.9123"));
    c.setQuoteMarketType(1);
    EXPECT_TRUE(c.limitRowsHidden());
    EXPECT_TRUE(c.field(QuoteField::limitUpText).hidden);
    EXPECT_FALSE(c.field(QuoteField::exchangeRateText).hidden);
    EXPECT_EQ(c.field(QuoteField::timeMidLabel).text, "12:00 13:00");
    EXPECT_EQ(c.field(QuoteField::timeEndLabel).text, "16:00");
    EXPECT_DOUBLE_EQ(c.timeMidLabelCentre(), 5.0 / 11);
    c.setQuoteMarketType(3);
    EXPECT_FALSE(c.field(QuoteField::timeAFLabel).hidden);
    EXPECT_EQ(c.field(QuoteField::timeAFLabel).text, "15:00 15:05");
    EXPECT_TRUE(c.field(QuoteField::exchangeRateText).hidden);
    // Out of range: labels stay, the type still goes on.
    c.setQuoteMarketType(7);
    EXPECT_EQ(c.quoteMarketType(), 7);
    EXPECT_EQ(c.field(QuoteField::timeAFLabel).text, "15:00 15:05");
    c.setQuoteMarketType(2);
    EXPECT_TRUE(c.field(QuoteField::timeAFLabel).hidden);
    EXPECT_EQ(c.field(QuoteField::timeAFLabel).text, "");
    // Clearing leaves the exchange rate.
    c.emptyInfo();
    EXPECT_EQ(c.field(QuoteField::exchangeRateText).text, "0.9123");

    EXPECT_EQ(QuoteInfoViewController::quoteMarketTypeOfClass("116"), 3);
    EXPECT_EQ(QuoteInfoViewController::quoteMarketTypeOfClass("1004"), 2);
    EXPECT_EQ(QuoteInfoViewController::quoteMarketTypeOfClass("108"), 1);
    EXPECT_EQ(QuoteInfoViewController::quoteMarketTypeOfClass("1"), 0);
}

TEST_F(QuotePanelController, ColourSchemeRepaintsOnlyWithACurrentSecurity)
{
    UserDefaultConfig* config = UserDefaultConfig::getInstance();
    QuoteInfoViewController c({ 955, 400 }, services());
    c.awakeFromNib();
    const RDOQuotesOf5Level q = quote();
    auto s = security(day(walk(3, 10.0, 0.01), 10.0), &q);
    c.setQuotesOf5LevelInfo(*s);
    config->setQuoteColorType(1);
    NotificationCenter::getInstance()->postNotification(UserDefaultConfig::kQuoteColorTypeChanged);
    // No chart yet: nothing repainted, but the scheme has changed.
    EXPECT_EQ(Security::upsColor(), QColor(Qt::green));
    EXPECT_EQ(c.field(QuoteField::limitUpText).color, QColor(Qt::red));

    c.setTimesharingInfo(s);
    config->setQuoteColorType(0);
    NotificationCenter::getInstance()->postNotification(UserDefaultConfig::kQuoteColorTypeChanged);
    EXPECT_EQ(c.field(QuoteField::limitUpText).color, QColor(Qt::red));
    EXPECT_EQ(c.field(QuoteField::maxPriceText).color, QColor(Qt::red));

    // Emptied for another security: the one shown before stays gone.
    c.emptyInfo();
    config->setQuoteColorType(1);
    NotificationCenter::getInstance()->postNotification(UserDefaultConfig::kQuoteColorTypeChanged);
    EXPECT_FALSE(c.current());
    EXPECT_EQ(c.buyPrice(1).text, "");
    EXPECT_EQ(c.field(QuoteField::maxPriceText).text, "");
    EXPECT_TRUE(c.chart().timesharing.empty());
    c.recoverToCurrent();
    EXPECT_EQ(c.field(QuoteField::currentPriceText).text, "");
}

} // namespace
