#include "quotes/requests/QuoteRecords.h"

#include "comm/recordset/ServerNumber.h"
#include "comm/recordset/VEKTCRS.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <iterator>

namespace {

constexpr const char* kBuyPriceKeys[] = { "bj1", "bj2", "bj3", "bj4", "bj5" };
constexpr const char* kSellPriceKeys[] = { "sj1", "sj2", "sj3", "sj4", "sj5" };
constexpr const char* kBuyQuantityKeys[] = { "bl1", "bl2", "bl3", "bl4", "bl5" };
constexpr const char* kSellQuantityKeys[] = { "sl1", "sl2", "sl3", "sl4", "sl5" };

std::vector<RDOTimesharingInfo> minutesOf(VEKTCRS set)
{
    std::vector<RDOTimesharingInfo> minutes;
    minutes.reserve(std::size_t(std::max(set.rowsAffected(), 0)));
    for (qint32 row = 0; row < set.rowsAffected(); ++row) {
        if (set.moveTo(row))
            minutes.emplace_back(set);
    }
    return minutes;
}

} // namespace

QString formatPrice(double value, qint32 precision)
{
    // A value past 64 bits (a saturated "1e999" among them) is no number to show.
    if (!servernumber::isPlausible(value, servernumber::Field::SignedAmount))
        return QString::fromLatin1(servernumber::kNotShown);
    // Rounded as printf's "%.*f" rounds (the exact binary value, ties to
    // even), but never with a locale's decimal comma.
    char text[400];
    const auto result = std::to_chars(std::begin(text), std::end(text), std::isfinite(value) ? value : 0.0,
        std::chars_format::fixed, std::clamp(precision, 0, 10));
    return QString::fromLatin1(text, result.ec == std::errc() ? result.ptr - text : 0);
}

RDOQuotesOf5Level::RDOQuotesOf5Level(const VEKTCRS* source)
{
    if (!source)
        return;
    VEKTCRS set = *source;
    set.fetchFirst();
    const servernumber::Row row(set);
    hasNotLimit = row.value("limflag").value_or(0) != 0;
    openPrice = row.real("jrkp");
    upDown = row.real("zhd");
    amountOfUpDown = row.real("zdf");
    averagePrice = row.real("cjjj");
    wb = row.real("wb");
    lb = row.real("lb");
    turnoverRate = row.real("hsl");
    peRatio = row.real("syl");
    for (int level = 0; level < kLevels; ++level) {
        buyPrices[level] = row.real(kBuyPriceKeys[level]);
        sellPrices[level] = row.real(kSellPriceKeys[level]);
        buyQuantities[level] = row.int64(kBuyQuantityKeys[level]);
        sellQuantities[level] = row.int64(kSellQuantityKeys[level]);
    }
    am = row.real("zhf");
    precision = row.truncated32("precision");
    // Limits are only shown: a text that is no price shows as "--", not 0.
    limitUp = row.shown("zt", servernumber::Field::Price);
    limitDown = row.shown("dt", servernumber::Field::Price);
    identifycode = row.text("code");
    total = row.int64("cjsl");
    volume = row.truncated64("cjje");
    openInterest = row.truncated64("ccl");
    sell = row.truncated64("np");
    buy = row.truncated64("wp");
    increment = row.truncated64("ze");
    increasePosition = row.truncated64("zc");
    stockName = row.text("name");
    exchangeId = row.text("exchid");
    classId = row.text("classid");
    // The exchange by its value: a number field sends "1.000", and the chart
    // asks for "600000.1".
    queryCode = identifycode + QLatin1Char('.') + servernumber::wholeText(exchangeId);
    marketType = getMarketCode(exchangeId, classId);
    recentPrice = row.text("zjcj");
    yesterdayClosingPrice = row.text("zrsp");
    if (const QString step = row.text("plvl"); !step.isEmpty())
        priceStep = servernumber::toDouble(step);
}

std::optional<QString> RDOQuotesOf5Level::getMarketCode(const QString& exchangeId, const QString& classId)
{
    // Both by their value ("1.000" is exchange 1, "101.000" a B share).
    const std::optional<qint64> klass = servernumber::wholeValueOf(classId);
    const bool bShare = klass == 101;
    if (klass == 12)
        return QStringLiteral("2");
    switch (servernumber::wholeValueOf(exchangeId).value_or(-1)) {
    case 1:
        return bShare ? QStringLiteral("2") : QStringLiteral("0");
    case 2:
        return bShare ? QStringLiteral("3") : QStringLiteral("1");
    case 5:
        return bShare ? QStringLiteral("7") : QStringLiteral("6");
    default:
        return std::nullopt;
    }
}

RDOTimesharingInfo::RDOTimesharingInfo(const VEKTCRS& set)
{
    const servernumber::Row row(set);
    recentDealPrice = row.real("zjcj");
    totalTurnover = row.int64("cjsl");
    dealVolume = row.truncated64("cjje");
    averageDealPrice = row.real("cjjj");
    quoteTime = row.text("hqtm");
}

RDOStock::RDOStock(const std::vector<VEKTCRS>& sets)
{
    if (sets.size() < 2)
        return;
    VEKTCRS header = sets[1];
    header.fetchFirst();
    const servernumber::Row row(header);
    // Codes by their value, as the five-level quote reads them ("1.08e2" is
    // class 108): none, or one past the field, is 0.
    const qint64 exchange = row.wholeValue("exchid").value_or(0);
    exchangeId = exchange == qint16(exchange) ? qint16(exchange) : 0;
    precision = row.int16("precision");
    closingPriceOfYesterday = row.real("zrsp");
    openingPriceOfToday = row.real("jrkp");
    highDealPrice = row.real("zgcj");
    lowDealPrice = row.real("zdcj");
    recentDealPrice = row.real("zjcj");
    const qint64 klass = row.wholeValue("classid").value_or(0);
    classId = klass == qint32(klass) ? qint32(klass) : 0;
    totalTurnover = row.int64("cjsl");
    dealVolume = row.truncated64("cjje");
    lotSize = row.int32("lotsize");
    quotaDate = row.text("hqda");
    code = row.text("code");
    name = row.text("name");
    lastUpdateDate = row.text("lastupd");
    if (sets.size() >= 3)
        timesharingInfoArray = minutesOf(sets[2]);
    if (sets.size() >= 4)
        afterTimesharingInfoArray = minutesOf(sets[3]);
}

RDOIndexInfo::RDOIndexInfo(const VEKTCRS* set)
{
    if (!set)
        return;
    const servernumber::Row row(*set);
    code = row.text("code");
    name = row.text("name");
    value = row.text("zjcj");
    upDown = row.text("zhd");
    upDownRate = row.text("zdf");
    dealAmount = row.text("cjje");
    const qint32 precision = row.truncated32("precision");
    // An index level or change that is no number shows "--", never 0.00.
    valueText = formatPrice(row.shown("zjcj", servernumber::Field::Price), precision);
    upDownText = formatPrice(row.shown("zhd", servernumber::Field::SignedAmount), precision);
    upDownRateText = servernumber::shownText(upDownRate, servernumber::Field::SignedAmount, QStringLiteral("%"));
    dealAmountText = transferAmount(dealAmount);
}

QString RDOIndexInfo::transferAmount(const QString& amount)
{
    const qint64 n = servernumber::toInt64(amount);
    // Whole units and a fraction rounded half up from the next smaller unit;
    // a fraction that rounds to a whole unit carries into the whole part.
    auto scaled = [n](qint64 unit, qint64 below, qint64 fractionUnits, int digits, const char* word) {
        qint64 whole = n / unit;
        qint64 fraction = ((n % unit) / below + 5) / 10;
        if (fraction >= fractionUnits) {
            ++whole;
            fraction = 0;
        }
        return QStringLiteral("%1.%2%3")
            .arg(whole)
            .arg(fraction, digits, 10, QLatin1Char('0'))
            .arg(QString::fromUtf8(word));
    };
    if (n > 100'000'000)
        return scaled(100'000'000, 100'000, 100, 2, "亿");
    if (n > 10'000'000)
        return scaled(10'000, 100, 10, 1, "万");
    if (n > 10'000)
        return scaled(10'000, 10, 100, 2, "万");
    return QString::number(n);
}
