#include "trading/security/Security.h"

#include "comm/recordset/ServerNumber.h"
#include "shell/tables/TableStyle.h"
#include "trading/DMOrderType.h"
#include "trading/requests/SecurityInfoRecords.h"

#include <algorithm>

namespace {

// The default-price modes; the quote colours live in the shared TableStyle.
struct ClassState {
    qint32 buyMode = 0;
    qint32 sellMode = 0;
};

ClassState& classState()
{
    static ClassState state;
    return state;
}

bool isNoPrice(double price)
{
    return price < Security::kNoPrice;
}

std::size_t levelIndex(int level)
{
    return std::size_t(std::clamp(level, 1, Security::kLevels) - 1);
}

// A quantity in lots, truncated toward zero; "--" for no whole lot. A
// negative count is printed as it comes.
QString lotsText(qint64 quantity, qint64 lot)
{
    const qint64 lots = quantity / lot;
    return lots == 0 ? QStringLiteral("--") : QString::number(lots);
}

QString byTradeType(qint32 tradeType, const char* buy, const char* other)
{
    return QString::fromUtf8(tradeType == 0 ? buy : other);
}

} // namespace

// --- Updates ---

void Security::setQuotesOf5Level(const RDOQuotesOf5Level& r)
{
    upDown = r.upDown;
    amountOfUpDown = r.amountOfUpDown;
    averagePrice = r.averagePrice;
    wb = r.wb;
    lb = r.lb;
    turnoverRate = r.turnoverRate;
    peRatio = r.peRatio;
    buyPrices = r.buyPrices;
    buyQuantities = r.buyQuantities;
    sellPrices = r.sellPrices;
    sellQuantities = r.sellQuantities;
    openInterest = r.openInterest;
    am = r.am;
    sell = r.sell;
    buy = r.buy;
    increment = r.increment;
    increasePosition = r.increasePosition;
    precision = r.precision;
    limitUp = r.limitUp;
    limitDown = r.limitDown;
    queryCode = r.queryCode;
    exchangeId = r.exchangeId;
    classId = r.classId;
    marketType = r.marketType.value_or(QString());
    name = r.stockName;
    recentDealPrice = servernumber::toDouble(r.recentPrice);
    closingPriceOfYesterday = servernumber::toDouble(r.yesterdayClosingPrice);
    priceStep = r.priceStep;
    hasNotLimit = r.hasNotLimit;
}

void Security::setTimesharingInfo(const RDOStock& s)
{
    quotaDate = s.quotaDate;
    closingPriceOfYesterday = s.closingPriceOfYesterday;
    openingPriceOfToday = s.openingPriceOfToday;
    highDealPrice = s.highDealPrice;
    lowDealPrice = s.lowDealPrice;
    recentDealPrice = s.recentDealPrice;
    code = s.code;
    lastUpdateDate = s.lastUpdateDate;
    totalTurnover = s.totalTurnover;
    dealVolume = s.dealVolume;
    lotSize = s.lotSize;
    if (s.precision > 0)
        precision = s.precision;
    timesharingInfoArray = s.timesharingInfoArray.value_or(std::vector<RDOTimesharingInfo>());
    afterTimesharingInfoArray = s.afterTimesharingInfoArray;

    const double above = highDealPrice - closingPriceOfYesterday;
    const double below = closingPriceOfYesterday - lowDealPrice;
    subPriceOfMaxAndClosing_ = above > below ? above : below;

    auto raise = [this](const std::vector<RDOTimesharingInfo>& minutes) {
        for (const RDOTimesharingInfo& minute : minutes) {
            maxVolume_ = std::max(maxVolume_, minute.dealVolume);
            maxTurnover_ = std::max(maxTurnover_, minute.totalTurnover);
        }
    };
    raise(timesharingInfoArray);
    if (afterTimesharingInfoArray)
        raise(*afterTimesharingInfoArray);
}

void Security::setNewStockInfo(const RDONewStock& n)
{
    name = n.stockName;
    code = n.stockCode;
    marketType = n.marketType;
    stockCodeAndName = n.stockCodeAndName;
    purchasePrice = n.stockPrice;
    limitUpQuantity = n.limitUp;
    limitDownQuantity = n.limitDown;
    totalVolume = n.totalVolume;
    marketName = n.marketName;
    date = n.date;
    moneyType = n.moneyType;
    stockType = n.stockType;
    purchasePriceUnit = n.priceUnit;
    limitDownValue = n.limitDownValue;
    stopFlag = n.stopFlag;
    marketCalFlag = n.marketCalFlag;
    bondIntr = n.bondIntr;
    minQuantity = n.minQuantity;
    maxQuantity = n.maxQuantity;
    buyUnit = n.buyUnit;
    saleUnit = n.saleUnit;
    stockStatus = n.stockStatus;
    stockLevel = n.stockLevel;
    quitDate = n.quitDate;
    memoText = n.memoText;
}

// --- Class-wide state ---

void Security::setQuoteColorType(qint32 scheme)
{
    TableStyle::getInstance()->setQuoteColorType(scheme);
}

QColor Security::upsColor()
{
    return TableStyle::getInstance()->upsColor();
}

QColor Security::downsColor()
{
    return TableStyle::getInstance()->downsColor();
}

QColor Security::indexUpsColor()
{
    return TableStyle::getInstance()->indexUpsColor();
}

QColor Security::indexDownsColor()
{
    return TableStyle::getInstance()->indexDownsColor();
}

QColor Security::unchangedColor()
{
    return QColor::fromRgbF(1, 1, 0);
}

void Security::setDefaultPriceForBuy(qint32 mode)
{
    classState().buyMode = mode;
}

void Security::setDefaultPriceForSell(qint32 mode)
{
    classState().sellMode = mode;
}

void Security::resetClassState()
{
    classState() = ClassState();
    TableStyle::getInstance()->setQuoteColorType(0);
}

// --- Five-level book ---

QColor Security::colorAgainstClose(double value) const
{
    if (value == closingPriceOfYesterday)
        return unchangedColor();
    return value > closingPriceOfYesterday ? upsColor() : downsColor();
}

QString Security::buyPriceText(int level) const
{
    const double price = buyPrices[levelIndex(level)];
    return isNoPrice(price) ? QStringLiteral("--") : priceText(price);
}

QString Security::sellPriceText(int level) const
{
    const double price = sellPrices[levelIndex(level)];
    return isNoPrice(price) ? QStringLiteral("--") : priceText(price);
}

QString Security::buyQuantityText(int level) const
{
    return lotsText(buyQuantities[levelIndex(level)], lot());
}

QString Security::sellQuantityText(int level) const
{
    return lotsText(sellQuantities[levelIndex(level)], lot());
}

QColor Security::buyPriceTextColor(int level) const
{
    const double price = buyPrices[levelIndex(level)];
    return isNoPrice(price) ? unchangedColor() : colorAgainstClose(price);
}

QColor Security::sellPriceTextColor(int level) const
{
    const double price = sellPrices[levelIndex(level)];
    return isNoPrice(price) ? unchangedColor() : colorAgainstClose(price);
}

// --- Quote panel ---

QString Security::lastPriceText() const
{
    return priceText(recentDealPrice);
}

QString Security::amountOfUpdownText() const
{
    const QString rate = formatPrice(amountOfUpDown, 2);
    return rate == QLatin1String(servernumber::kNotShown) ? rate : rate + QLatin1Char('%');
}

QString Security::limitUpText() const
{
    return priceText(limitUp);
}

QString Security::limitDownText() const
{
    return priceText(limitDown);
}

QColor Security::lastPriceTextColor() const
{
    return colorAgainstClose(recentDealPrice);
}

QColor Security::amountOfUpdownTextColor() const
{
    if (amountOfUpDown > -kNoPrice && amountOfUpDown < kNoPrice)
        return unchangedColor();
    return amountOfUpDown > kNoPrice ? upsColor() : downsColor();
}

QString Security::averagePriceText() const
{
    return priceText(averagePrice);
}

QColor Security::averagePriceTextColor() const
{
    return colorAgainstClose(averagePrice);
}

QString Security::closingPriceText() const
{
    return priceText(closingPriceOfYesterday);
}

QString Security::timeText() const
{
    if (lastUpdateDate.size() < 12)
        return QString();
    return lastUpdateDate.mid(8, 2) + QLatin1Char(':') + lastUpdateDate.mid(10, 2);
}

QString Security::recentQuantity() const
{
    if (timesharingInfoArray.empty())
        return QStringLiteral("--");
    return QString::number(timesharingInfoArray.back().totalTurnover / lot());
}

QString Security::currentPriceFor5LevelLabelText() const
{
    return QStringLiteral("最新");
}

QString Security::upDownAmountFor5LevelLabelText() const
{
    return QStringLiteral("涨跌");
}

QString Security::limitUpLabelText() const
{
    return QStringLiteral("涨停");
}

QString Security::limitDownLabelText() const
{
    return QStringLiteral("跌停");
}

// --- Chart axes ---

QString Security::maxPriceText() const
{
    return priceText(closingPriceOfYesterday + subPriceOfMaxAndClosing_);
}

QString Security::minPriceText() const
{
    return priceText(firstDay() ? 0.0 : closingPriceOfYesterday - subPriceOfMaxAndClosing_);
}

QString Security::higherPriceText() const
{
    return priceText(closingPriceOfYesterday + subPriceOfMaxAndClosing_ * 0.5);
}

QString Security::lowerPriceText() const
{
    return priceText(closingPriceOfYesterday - subPriceOfMaxAndClosing_ * 0.5);
}

bool Security::firstDay() const
{
    return closingPriceOfYesterday - subPriceOfMaxAndClosing_ < 0;
}

QString Security::volumeAxisText(qint64 turnoverDivisor, qint64 volumeDivisor) const
{
    return largeNumberText(maxTurnover_ != 0 ? maxTurnover_ / turnoverDivisor : maxVolume_ / volumeDivisor);
}

QString Security::maxVolumeText() const
{
    return volumeAxisText(defaultLot(), 1);
}

QString Security::halfOfMaxVolumeText() const
{
    return volumeAxisText(defaultLot() * 2, 2);
}

QString Security::largeNumberText(qint64 n)
{
    const QString sign = n < 0 ? QStringLiteral("-") : QString();
    // The magnitude as unsigned, so the most negative value has one too.
    const quint64 a = n < 0 ? quint64(0) - quint64(n) : quint64(n);
    auto scaled = [&](quint64 unit, const char* word) {
        const quint64 b = a + unit / 200; // half a hundredth: rounds half up
        return sign + QStringLiteral("%1.%2").arg(b / unit).arg((b / (unit / 100)) % 100, 2, 10, QLatin1Char('0'))
            + QString::fromUtf8(word);
    };
    if (a <= 9'999)
        return sign + QString::number(a);
    if (a <= 99'999'999)
        return scaled(10'000, "万");
    if (a <= 99'999'999'999)
        return scaled(100'000'000, "亿");
    // Past a thousand 亿 the axis shows whole 万亿, rounded half up.
    constexpr quint64 kWanYi = 1'000'000'000'000;
    return sign + QString::number((a + kWanYi / 2) / kWanYi) + QStringLiteral("万亿");
}

// --- Minutes ---

const RDOTimesharingInfo* Security::normalPointAt(quint64 index) const
{
    return index < timesharingInfoArray.size() ? &timesharingInfoArray[index] : nullptr;
}

const RDOTimesharingInfo* Security::pointAt(quint64 index) const
{
    if (index >= 240 && DMOrderType::isKCBoard(classId)) {
        const quint64 after = index - 240;
        if (!afterTimesharingInfoArray || after >= afterTimesharingInfoArray->size())
            return nullptr;
        return &(*afterTimesharingInfoArray)[after];
    }
    return normalPointAt(index);
}

QString Security::getTimeTextWithIndex(quint64 index) const
{
    const RDOTimesharingInfo* point = pointAt(index);
    // Times come as three or four digits ("930", "1305"); a shorter one is
    // cut all the same ("30" gives ":30"), one of a single character is none.
    if (!point || point->quoteTime.size() < 2)
        return QString();
    const QString& time = point->quoteTime;
    return time.left(time.size() - 2) + QLatin1Char(':') + time.right(2);
}

QString Security::selectedTimePriceText(quint64 index) const
{
    const RDOTimesharingInfo* point = pointAt(index);
    return point ? priceText(point->recentDealPrice) : QString();
}

QColor Security::selectedTimePriceTextColor(quint64 index) const
{
    const RDOTimesharingInfo* point = pointAt(index);
    return point ? colorAgainstClose(point->recentDealPrice) : unchangedColor();
}

QString Security::selectedTimeAveragePriceText(quint64 index) const
{
    const RDOTimesharingInfo* point = pointAt(index);
    return point ? priceText(point->averageDealPrice) : QString();
}

QColor Security::selectedTimeAveragePriceTextColor(quint64 index) const
{
    const RDOTimesharingInfo* point = pointAt(index);
    return point ? colorAgainstClose(point->averageDealPrice) : unchangedColor();
}

QString Security::selectedTimeQuantityText(quint64 index) const
{
    const RDOTimesharingInfo* point = pointAt(index);
    return point ? QString::number(point->totalTurnover / lot()) : QString();
}

// --- Order types and the order form ---

QStringList Security::getOderTypeTitles() const
{
    return DMOrderType::getTitles(marketType, classId);
}

qint32 Security::getOrderType(const QString& title, qint32 tradeType) const
{
    return tradeType == 0 ? DMOrderType::getOderTypeFlagOfBuy(marketType, classId, title)
                          : DMOrderType::getOderTypeFlagOfSale(marketType, classId, title);
}

QString Security::getUnitName() const
{
    return QString();
}

QString Security::stockCodeLabelText() const
{
    return QStringLiteral("证券代码:");
}

QString Security::priceLabelText(qint32 tradeType, bool marketPriceType) const
{
    if (marketPriceType && DMOrderType::supportPriceLimit(classId))
        return QStringLiteral("保护限价:");
    return defaultPriceLabelText(tradeType);
}

QString Security::quantityLabelText(qint32 tradeType) const
{
    return defaultQuantityLabelText(tradeType);
}

QString Security::maxVolumeOfBSLabelText(qint32 tradeType) const
{
    return defaultMaxVolumeOfBSLabelText(tradeType);
}

std::optional<QString> Security::orderButtonText(qint32 tradeType) const
{
    switch (tradeType) {
    case 0:
        return QStringLiteral("买入委托");
    case 1:
        return QStringLiteral("卖出委托");
    case 2:
        return QStringLiteral("行权下单");
    default:
        return std::nullopt;
    }
}

QString Security::defaultPriceLabelText(qint32 tradeType)
{
    return byTradeType(tradeType, "买入价格:", "卖出价格:");
}

QString Security::defaultQuantityLabelText(qint32 tradeType)
{
    return byTradeType(tradeType, "买入数量:", "卖出数量:");
}

QString Security::defaultMaxVolumeOfBSLabelText(qint32 tradeType)
{
    return byTradeType(tradeType, "最大可买:", "最大可卖:");
}

QString Security::defaultOrderButtonText(qint32 tradeType)
{
    return byTradeType(tradeType, "买入委托", "卖出委托");
}

// --- Default prices ---

namespace {

double priceOfMode(const Security& s, qint32 mode)
{
    switch (mode) {
    case 1:
        return s.sellPrices[0];
    case 2:
        return s.buyPrices[0];
    case 3:
        return s.sellPrices[1];
    case 4:
        return s.buyPrices[1];
    case 5:
        return s.sellPrices[2];
    case 6:
        return s.buyPrices[2];
    default:
        return s.recentDealPrice;
    }
}

} // namespace

QString Security::defaultBuyPrice() const
{
    return getValidDefaultPrice(priceOfMode(*this, classState().buyMode));
}

QString Security::defaultSellPrice() const
{
    return getValidDefaultPrice(priceOfMode(*this, classState().sellMode));
}

QString Security::getValidDefaultPrice(double price) const
{
    if (price > kNoPrice)
        return priceText(price);
    const QString latest = priceText(recentDealPrice);
    return servernumber::toDouble(latest) == 0 ? priceText(closingPriceOfYesterday) : latest;
}

// --- Subclasses ---

QString Stock::getUnitName() const
{
    return QStringLiteral("股");
}

QString HStock::maxVolumeText() const
{
    return volumeAxisText(1, 1);
}

QString HStock::halfOfMaxVolumeText() const
{
    return volumeAxisText(2, 2);
}

double Bond::netPrice() const
{
    return isNoPrice(recentDealPrice) ? closingPriceOfYesterday : recentDealPrice;
}

QString Bond::lastPriceText() const
{
    return priceText(netPrice());
}

QString Bond::amountOfUpdownText() const
{
    return priceText(netPrice() + peRatio);
}

QString Bond::limitUpText() const
{
    return priceText(closingPriceOfYesterday);
}

QString Bond::limitDownText() const
{
    return priceText(peRatio);
}

QString Bond::currentPriceFor5LevelLabelText() const
{
    return QStringLiteral("净价");
}

QString Bond::upDownAmountFor5LevelLabelText() const
{
    return QStringLiteral("全价");
}

QString Bond::limitUpLabelText() const
{
    return QStringLiteral("昨收");
}

QString Bond::limitDownLabelText() const
{
    return QStringLiteral("利息");
}

QString Bond::getUnitName() const
{
    return QStringLiteral("张");
}

QStringList ReverseRepo::getOderTypeTitles() const
{
    return DMOrderType::getTitlesForReverseRepo();
}

QString ReverseRepo::priceLabelText(qint32 tradeType, bool) const
{
    return byTradeType(tradeType, "融资价格:", "融券价格:");
}

QString ReverseRepo::quantityLabelText(qint32 tradeType) const
{
    return byTradeType(tradeType, "融资数量:", "融券数量:");
}

QString ReverseRepo::maxVolumeOfBSLabelText(qint32) const
{
    return QStringLiteral("最大可融:");
}

std::optional<QString> ReverseRepo::orderButtonText(qint32 tradeType) const
{
    return byTradeType(tradeType, "融资委托", "融券委托");
}

qint32 Warrant::getOrderType(const QString& title, qint32 tradeType) const
{
    return tradeType == 2 ? DMOrderType::kWarrantExercise : Security::getOrderType(title, tradeType);
}

QString Warrant::getUnitName() const
{
    return QStringLiteral("股");
}

QString Warrant::stockCodeLabelText() const
{
    return QStringLiteral("行权代码:");
}

QString Warrant::priceLabelText(qint32 tradeType, bool marketPriceType) const
{
    return tradeType == 2 ? QStringLiteral("行权价格") : Security::priceLabelText(tradeType, marketPriceType);
}

QString Warrant::quantityLabelText(qint32 tradeType) const
{
    return tradeType == 2 ? QStringLiteral("行权数量") : Security::quantityLabelText(tradeType);
}

QString Warrant::maxVolumeOfBSLabelText(qint32 tradeType) const
{
    return tradeType == 2 ? QStringLiteral("可用数量:") : Security::maxVolumeOfBSLabelText(tradeType);
}

std::optional<QString> Warrant::orderButtonText(qint32 tradeType) const
{
    return tradeType == 2 ? QStringLiteral("行权下单") : Security::orderButtonText(tradeType);
}

QString IPOStock::getUnitName() const
{
    return QStringLiteral("股");
}

QString IPOStock::priceLabelText(qint32, bool) const
{
    return QStringLiteral("申购价格");
}

QString IPOStock::quantityLabelText(qint32) const
{
    return QStringLiteral("申购数量");
}

QString IPOStock::maxVolumeOfBSLabelText(qint32) const
{
    return QStringLiteral("最大可申:");
}

std::optional<QString> IPOStock::orderButtonText(qint32) const
{
    return QStringLiteral("申购委托");
}
