#pragma once

#include <QString>
#include <QtGlobal>
#include <array>
#include <optional>
#include <vector>

class VEKTCRS;

// The records of the quote server's replies. Prices and ratios are doubles
// that carry the server's text only for display; quantities and amounts are
// 64-bit, so a busy day's totals never wrap. Every number is read through
// servernumber (ServerNumber.h).

// One security's quote snapshot with five bid and five ask levels, from the
// first row of a five-level reply (buyPrices[0] is level 1's bid, "bj1").
struct RDOQuotesOf5Level {
    static constexpr int kLevels = 5;

    RDOQuotesOf5Level() = default;
    // initWithTCRSObj: reads the first row; nullptr gives an empty record.
    explicit RDOQuotesOf5Level(const VEKTCRS* set);

    // getMarketCode:ClassId: the trade system's market code of an exchange
    // id and class id; nullopt for an exchange this system does not trade.
    static std::optional<QString> getMarketCode(const QString& exchangeId, const QString& classId);

    bool hasNotLimit = false; // "limflag": the security has no daily price limit
    double openPrice = 0; // "jrkp"
    double upDown = 0; // "zhd"
    double amountOfUpDown = 0; // "zdf", percent
    double averagePrice = 0; // "cjjj"
    double wb = 0;
    double lb = 0;
    double turnoverRate = 0; // "hsl"
    double peRatio = 0; // "syl"
    std::array<double, kLevels> buyPrices {}; // "bj1".."bj5"
    std::array<double, kLevels> sellPrices {}; // "sj1".."sj5"
    double am = 0; // "zhf"
    qint32 precision = 0;
    double limitUp = 0; // "zt"; NaN when the server sent no price
    double limitDown = 0; // "dt"; NaN when the server sent no price
    QString identifycode; // "code": the cache key
    qint64 total = 0; // "cjsl", traded quantity of the day
    qint64 volume = 0; // "cjje", traded amount of the day
    std::array<qint64, kLevels> buyQuantities {}; // "bl1".."bl5"
    std::array<qint64, kLevels> sellQuantities {}; // "sl1".."sl5"
    qint64 openInterest = 0; // "ccl"
    qint64 sell = 0; // "np"
    qint64 buy = 0; // "wp"
    qint64 increment = 0; // "ze"
    qint64 increasePosition = 0; // "zc"
    QString queryCode; // code "." exchange id: what the time-sharing request sends
    QString stockName;
    QString exchangeId;
    QString classId;
    std::optional<QString> marketType;
    QString recentPrice; // "zjcj" exactly as received
    QString yesterdayClosingPrice; // "zrsp" exactly as received
    std::optional<double> priceStep; // "plvl"; none when the text is empty
};

// One minute of the time-sharing chart.
struct RDOTimesharingInfo {
    RDOTimesharingInfo() = default;
    // Reads the record set's current row.
    explicit RDOTimesharingInfo(const VEKTCRS& set);

    double recentDealPrice = 0; // "zjcj"
    qint64 totalTurnover = 0; // "cjsl", quantity traded in the minute
    qint64 dealVolume = 0; // "cjje", amount traded in the minute
    double averageDealPrice = 0; // "cjjj"
    QString quoteTime; // "hqtm", e.g. "930"
};

// The whole time-sharing reply: the day's header (second record set) and
// the minutes of normal hours (third) and of after-hours trading (fourth).
struct RDOStock {
    RDOStock() = default;
    // initWithTCRArray
    explicit RDOStock(const std::vector<VEKTCRS>& sets);

    qint16 exchangeId = 0;
    qint16 precision = 0;
    double closingPriceOfYesterday = 0; // "zrsp"
    double openingPriceOfToday = 0; // "jrkp"
    double highDealPrice = 0; // "zgcj"
    double lowDealPrice = 0; // "zdcj"
    double recentDealPrice = 0; // "zjcj"
    qint32 classId = 0;
    qint64 totalTurnover = 0; // "cjsl"
    qint64 dealVolume = 0; // "cjje"
    qint32 lotSize = 0;
    QString quotaDate; // "hqda"
    QString code;
    QString name;
    QString lastUpdateDate; // "lastupd"
    std::optional<std::vector<RDOTimesharingInfo>> timesharingInfoArray;
    std::optional<std::vector<RDOTimesharingInfo>> afterTimesharingInfoArray;
};

// One market index of the status bar's ticker, with its display texts.
struct RDOIndexInfo {
    RDOIndexInfo() = default;
    // initWithTCRSObj: reads the current row; nullptr gives an empty record.
    explicit RDOIndexInfo(const VEKTCRS* set);
    // transferAmount: the turnover in 万 or 亿 with rounded decimals.
    static QString transferAmount(const QString& amount);

    QString code;
    QString name;
    QString value; // "zjcj" as received
    QString upDown; // "zhd"
    QString upDownRate; // "zdf", percent without the sign
    QString dealAmount; // "cjje"
    QString valueText;
    QString upDownText;
    QString upDownRateText;
    QString dealAmountText;
};

// "%.<precision>f" of a value. The precision is clamped to 0..10, so a wild
// server value cannot ask for a text of millions of digits; a value that is
// not finite or lies past 64 bits is "--".
QString formatPrice(double value, qint32 precision);
