#include "trading/security/StockManager.h"

#include <gtest/gtest.h>
#include <limits>

namespace {

class SecurityTextTest : public ::testing::Test {
protected:
    void SetUp() override { Security::resetClassState(); }
    void TearDown() override { Security::resetClassState(); }
};

RDOQuotesOf5Level quote(const char* recent, const char* close, double buy1, double amountOfUpDown)
{
    RDOQuotesOf5Level q;
    q.identifycode = QStringLiteral("600000");
    q.precision = 2;
    q.recentPrice = QString::fromLatin1(recent);
    q.yesterdayClosingPrice = QString::fromLatin1(close);
    q.buyPrices[0] = buy1;
    q.buyQuantities[0] = 12345;
    q.amountOfUpDown = amountOfUpDown;
    return q;
}

RDOTimesharingInfo minute(const char* time, double price, qint64 quantity, qint64 amount)
{
    RDOTimesharingInfo m;
    m.quoteTime = QString::fromLatin1(time);
    m.recentDealPrice = price;
    m.averageDealPrice = price;
    m.totalTurnover = quantity;
    m.dealVolume = amount;
    return m;
}

} // namespace

TEST_F(SecurityTextTest, TextsAndColoursByQuoteState)
{
    const QColor up = Security::upsColor();
    const QColor down = Security::downsColor();
    const QColor flat = Security::unchangedColor();
    const struct {
        const char* state;
        RDOQuotesOf5Level q;
        const char* last;
        QColor lastColor;
        const char* bid;
        QColor bidColor;
        const char* rate;
        QColor rateColor;
    } cases[] = {
        { "rise", quote("10.50", "10.00", 10.49, 5.0), "10.50", up, "10.49", up, "5.00%", up },
        { "fall", quote("9.50", "10.00", 9.49, -5.0), "9.50", down, "9.49", down, "-5.00%", down },
        { "unchanged", quote("10.00", "10.00", 10.0, 0.000001), "10.00", flat, "10.00", flat, "0.00%", flat },
        { "no price", quote("0", "10.00", 0, 0), "0.00", down, "--", flat, "0.00%", flat },
        { "suspended", quote("", "", 0, 0), "0.00", flat, "--", flat, "0.00%", flat },
        // A negative price and "1e999" (read as the largest double) are no prices to show.
        { "hostile",
            quote("-10", "10.00", std::numeric_limits<double>::max(), std::numeric_limits<double>::max()),
            "--", down, "--", up, "--", up },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.state);
        Stock s;
        s.setQuotesOf5Level(c.q);
        EXPECT_EQ(s.lastPriceText(), c.last);
        EXPECT_EQ(s.lastPriceTextColor(), c.lastColor);
        EXPECT_EQ(s.buyPriceText(1), c.bid);
        EXPECT_EQ(s.buyPriceTextColor(1), c.bidColor);
        EXPECT_EQ(s.sellPriceText(1), "--");
        EXPECT_EQ(s.amountOfUpdownText(), c.rate);
        EXPECT_EQ(s.amountOfUpdownTextColor(), c.rateColor);
        EXPECT_EQ(s.buyQuantityText(1), "123");
        EXPECT_EQ(s.sellQuantityText(1), "--");
    }
    // A bond without a trade shows its previous close as net price.
    Bond bond;
    bond.setQuotesOf5Level(quote("0", "100.12", 0, 0));
    bond.peRatio = 1.5;
    EXPECT_EQ(bond.lastPriceText(), "100.12");
    EXPECT_EQ(bond.amountOfUpdownText(), "101.62");
    EXPECT_EQ(bond.limitUpText(), "100.12");
    EXPECT_EQ(bond.limitDownLabelText(), QStringLiteral("利息"));

    Security::setQuoteColorType(1);
    EXPECT_EQ(Security::upsColor(), down);
    Security::setQuoteColorType(2);
    EXPECT_EQ(Security::upsColor(), down);
    EXPECT_EQ(Security::indexUpsColor(), QColor::fromRgbF(0, 0.415f, 0));
}

TEST_F(SecurityTextTest, PricesAtEachPrecisionAndQuantitiesInLots)
{
    Stock s;
    const struct {
        qint32 precision;
        double price;
        const char* text;
    } prices[] = { { 0, 10.5, "10" }, { 2, 10.5, "10.50" }, { 3, 12.5, "12.500" }, { 2, 0.000009, "--" },
        { -4, 7.25, "7" }, { 1000000, 1.5, "1.5000000000" } };
    for (const auto& p : prices) {
        s.precision = p.precision;
        s.buyPrices[1] = p.price;
        EXPECT_EQ(s.buyPriceText(2), p.text) << p.precision;
    }

    const struct {
        qint32 lotSize;
        qint64 quantity;
        const char* stockText;
        const char* bondText;
    } lots[] = { { 0, 12345, "123", "1234" }, { 100, 99, "--", "--" }, { 0, 125, "1", "12" },
        { 200, 1000, "5", "5" }, { 0, 9'000'000'000'000, "90000000000", "900000000000" },
        // A lot of one unit is a lot size given, not the class's default.
        { 1, 99, "99", "99" }, { -1, 1000, "10", "100" },
        // A negative count prints; less than a lot either way is none.
        { 100, -300, "-3", "-3" }, { 0, -99, "--", "-9" } };
    for (const auto& l : lots) {
        Stock stock;
        Bond bond;
        stock.lotSize = bond.lotSize = l.lotSize;
        stock.sellQuantities[4] = bond.sellQuantities[4] = l.quantity;
        EXPECT_EQ(stock.sellQuantityText(5), l.stockText) << l.quantity;
        EXPECT_EQ(bond.sellQuantityText(5), l.bondText) << l.quantity;
    }
}

TEST_F(SecurityTextTest, LargeNumbers)
{
    const struct {
        qint64 n;
        const char* text;
    } cases[] = {
        { 5000, "5000" },
        { 9999, "9999" },
        { 12345, "1.23万" },
        { 12355, "1.24万" },
        { -12345, "-1.23万" },
        { 123456789, "1.23亿" },
        { 99'999'999'999, "1000.00亿" },
        { 1'234'567'890'123, "1万亿" },
        { 1'500'000'000'000, "2万亿" },
        { std::numeric_limits<qint64>::min(), "-9223372万亿" },
    };
    for (const auto& c : cases)
        EXPECT_EQ(Security::largeNumberText(c.n), QString::fromUtf8(c.text)) << c.n;
}

TEST_F(SecurityTextTest, TimesharingUpdateAxesAndMinutes)
{
    Stock s;
    RDOQuotesOf5Level q = quote("10.10", "10.00", 10.0, 1.0);
    q.precision = 3;
    q.classId = QStringLiteral("116");
    s.setQuotesOf5Level(q);
    RDOStock day;
    day.code = QStringLiteral("688001");
    day.closingPriceOfYesterday = 10.0;
    day.highDealPrice = 10.5;
    day.lowDealPrice = 9.8;
    day.precision = 0; // keeps the five-level precision
    day.lastUpdateDate = QStringLiteral("20240601143012");
    day.timesharingInfoArray
        = std::vector { minute("931", 10.1, 1'234'567, 9'000'000'000), minute("1305", 9.9, 500, 5) };
    day.afterTimesharingInfoArray = std::vector<RDOTimesharingInfo>(6, minute("1506", 10.2, 300, 3));
    (*day.afterTimesharingInfoArray)[0] = minute("1505", 10.3, 100, 1);
    s.setTimesharingInfo(day);
    EXPECT_EQ(s.precision, 3);
    EXPECT_NEAR(s.subPriceOfMaxAndClosing(), 0.5, 1e-9);
    EXPECT_EQ(s.maxPriceText(), "10.500");
    EXPECT_EQ(s.minPriceText(), "9.500");
    EXPECT_EQ(s.higherPriceText(), "10.250");
    EXPECT_FALSE(s.firstDay());
    EXPECT_EQ(s.maxTurnover(), 1'234'567);
    EXPECT_EQ(s.maxVolume(), 9'000'000'000); // an amount past 32 bits
    EXPECT_EQ(s.maxVolumeText(), QStringLiteral("1.23万"));
    EXPECT_EQ(s.halfOfMaxVolumeText(), QStringLiteral("6172"));
    EXPECT_EQ(s.timeText(), "14:30");
    EXPECT_EQ(s.recentQuantity(), "5");
    EXPECT_EQ(s.getTimeTextWithIndex(0), "9:31");
    EXPECT_EQ(s.selectedTimeText(1), "13:05");
    EXPECT_EQ(s.selectedTimePriceTextColor(1), Security::downsColor());
    EXPECT_EQ(s.selectedTimeQuantityText(0), "12345");
    // From 240 on a KC board security reads its after-hours minutes: 240
    // is the first of them, 239 still a minute of the day.
    EXPECT_EQ(s.getTimeTextWithIndex(240), "15:05");
    EXPECT_EQ(s.getTimeTextWithIndex(239), "");
    EXPECT_EQ(s.getTimeTextWithIndex(245), "15:06");
    EXPECT_EQ(s.selectedTimeText(246), "");
    EXPECT_EQ(s.selectedTimePriceTextColor(246), Security::unchangedColor());

    // Smaller minutes later never lower the maxima; shorter arrays replace.
    day.timesharingInfoArray = std::vector { minute("931", 10.0, 1, 1) };
    day.afterTimesharingInfoArray.reset();
    day.precision = 2;
    day.lastUpdateDate = QStringLiteral("20240601143");
    s.setTimesharingInfo(day);
    EXPECT_EQ(s.maxTurnover(), 1'234'567);
    EXPECT_EQ(s.timesharingInfoArray.size(), 1u);
    EXPECT_EQ(s.getTimeTextWithIndex(245), "");
    EXPECT_EQ(s.precision, 2);
    EXPECT_EQ(s.timeText(), "");
    // Cut before the last two characters, however short the time.
    day.timesharingInfoArray = std::vector { minute("30", 10.0, 1, 1), minute("5", 10.0, 1, 1) };
    s.setTimesharingInfo(day);
    EXPECT_EQ(s.getTimeTextWithIndex(0), ":30");
    EXPECT_EQ(s.getTimeTextWithIndex(1), "");

    Bond bond;
    bond.setTimesharingInfo(day);
    EXPECT_EQ(bond.maxVolumeText(), "0");
    day.timesharingInfoArray = std::vector { minute("931", 100.0, 1'234'567, 0) };
    bond.setTimesharingInfo(day);
    EXPECT_EQ(bond.maxVolumeText(), QStringLiteral("12.35万"));
}

TEST_F(SecurityTextTest, OrderFormWordsByClass)
{
    Stock stock;
    stock.classId = QStringLiteral("116");
    EXPECT_EQ(stock.priceLabelText(1, true), QStringLiteral("保护限价:"));
    stock.classId = QStringLiteral("1");
    EXPECT_EQ(stock.priceLabelText(1, true), QStringLiteral("卖出价格:"));
    EXPECT_EQ(stock.orderButtonText(2), QStringLiteral("行权下单"));
    EXPECT_FALSE(stock.orderButtonText(3));
    EXPECT_EQ(stock.getUnitName(), QStringLiteral("股"));

    ReverseRepo repo;
    EXPECT_EQ(repo.orderButtonText(0), QStringLiteral("融资委托"));
    EXPECT_EQ(repo.orderButtonText(1), QStringLiteral("融券委托"));
    EXPECT_EQ(repo.maxVolumeOfBSLabelText(0), QStringLiteral("最大可融:"));
    EXPECT_EQ(repo.maxVolumeOfBSLabelText(1), QStringLiteral("最大可融:"));
    EXPECT_EQ(repo.getOderTypeTitles(), QStringList { QStringLiteral("限价委托") });
    EXPECT_EQ(repo.getUnitName(), QStringLiteral("张"));

    Warrant warrant;
    EXPECT_EQ(warrant.getOrderType(QStringLiteral("对方最优价格委托"), 2), 200);
    EXPECT_EQ(warrant.stockCodeLabelText(), QStringLiteral("行权代码:"));
    EXPECT_EQ(warrant.priceLabelText(0, false), QStringLiteral("买入价格:"));
    Stock other;
    other.marketType = QStringLiteral("0");
    EXPECT_EQ(other.getOrderType(QStringLiteral("对方最优价格委托"), 2), 101);

    IPOStock ipo;
    EXPECT_EQ(ipo.orderButtonText(1), QStringLiteral("申购委托"));
    EXPECT_EQ(ipo.quantityLabelText(0), QStringLiteral("申购数量"));
}

TEST_F(SecurityTextTest, DefaultPrices)
{
    Stock s;
    s.precision = 2;
    s.closingPriceOfYesterday = 9.87;
    Security::setDefaultPriceForBuy(1);
    EXPECT_EQ(s.defaultBuyPrice(), "9.87"); // no ask, no trade: the previous close
    s.sellPrices[0] = 10.05;
    s.buyPrices[2] = 9.9;
    EXPECT_EQ(s.defaultBuyPrice(), "10.05");
    Security::setDefaultPriceForSell(6);
    EXPECT_EQ(s.defaultSellPrice(), "9.90");
    Security::setDefaultPriceForSell(42); // outside 1..6: the latest price
    s.recentDealPrice = 9.95;
    EXPECT_EQ(s.defaultSellPrice(), "9.95");
}
