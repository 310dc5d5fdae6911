#pragma once

#include "tools/broker-sim/Request.h"

#include <QList>
#include <QObject>
#include <QString>
#include <map>
#include <optional>
#include <vector>

namespace brokersim {

class BrokerSimulator;

// The quote and security-information functions of the market.
inline constexpr Function kQuote5LevelFunction { 1000, 1 };
inline constexpr Function kQuote5LevelExFunction { 1100, 1 };
inline constexpr Function kTimesharingFunction { 1100, 24 };
inline constexpr Function kIndexFunction { 1100, 16 };
inline constexpr Function kNewStockInfoFunction { 500, 4 };
inline constexpr Function kNewIssueListFunction { 550, 8 };
inline constexpr Function kWarrantInfoFunction { 500, 205 };
inline constexpr Function kRiskWarningListFunction { 500, 280 };
inline constexpr Function kResetCostFunction { 500, 124 };

// The ticker link the built-in menu carries (before the menu enciphers it).
inline constexpr char kIndexTickerLink[] = "zshqpmd?tc_mfuncno=1100&tc_sfuncno=16&code=000001.2,399001.1,399006.1";

// One minute of a security's day.
struct MarketMinute {
    QString time; // "931"
    qint64 priceTicks = 0; // in units of 10^-precision
    qint64 quantity = 0; // shares traded in the minute
    qint64 amount = 0; // yuan traded in the minute
    qint64 averageTicks = 0; // average price of the day so far
};

// A security of the simulated market. Prices are integer ticks of
// 10^-precision, so the walk never drifts through rounding.
struct MarketSecurity {
    QString code;
    QString name;
    QString exchangeId; // "1" Shenzhen, "2" Shanghai, "6" Hong Kong (quote code "<code>.6")
    QString classId;
    qint32 precision = 2;
    qint32 lotSize = 100;
    qint64 closeTicks = 0; // previous close
    qint32 layout = 0; // 0: 240 minutes, 1: 330, 2: 270, 3: 240 and after-hours to 15:30
    bool riskWarning = false; // on the risk-warning list (ST)
    std::vector<MarketMinute> minutes; // the whole day's normal hours
    std::vector<MarketMinute> afterMinutes; // after-hours (layout 3)
    qsizetype cursor = 0; // minutes[0..cursor] have happened
};

struct MarketNewIssue {
    QString code;
    QString name;
    QString price;
    QString market; // trade market code
    QString upperLimit;
    QString lowerLimit;
    QString totalVolume;
};

struct MarketWarrant {
    QString code;
    QString underlying;
    QString exercisePrice;
    QString market;
};

struct MarketIndex {
    QString code;
    QString name;
    qint32 precision = 2;
    qint64 closeTicks = 0;
    qint64 valueTicks = 0;
    qint64 amount = 0;
};

// The simulator's market: securities of every market and class the client
// knows, each with a five-level book and a day of minutes, three indexes,
// the new issues and warrants. Everything moves on a seeded random walk, so
// the same requests in the same order give the same answers. Each quote
// request of a security moves it one minute on; each index request moves the
// indexes. A child of the simulator; find it with market(simulator).
class Market : public QObject {
    Q_OBJECT
public:
    static constexpr quint64 kDefaultSeed = 20240601;

    explicit Market(quint64 seed = kDefaultSeed, QObject* parent = nullptr);

    // Starts again from the seed.
    void reset(quint64 seed = kDefaultSeed);

    const MarketSecurity* security(const QString& code) const;
    MarketSecurity* security(const QString& code);
    const std::vector<MarketSecurity>& securities() const { return securities_; }
    const std::vector<MarketIndex>& indexes() const { return indexes_; }
    const MarketNewIssue* newIssue(const QString& code) const;
    const MarketWarrant* warrant(const QString& code) const;

    // Moves a security one minute on (at the day's end it stays).
    void step(MarketSecurity& s);
    void stepIndexes();

    // The replies.
    Table quote5Level(const MarketSecurity& s) const;
    QList<Table> timesharing(const MarketSecurity& s) const;
    Table indexTable() const;

    static QString ticksText(qint64 ticks, qint32 precision);
    // The day's price limits (none for bonds and repos), the price step and
    // the latest price, in ticks.
    static bool noPriceLimit(const MarketSecurity& s);
    static qint64 priceLimitTicks(const MarketSecurity& s, bool up);
    static qint64 priceStepTicks(const MarketSecurity& s);
    static qint64 lastTicks(const MarketSecurity& s);
    // The trade system's market code ("0" Shenzhen A, "1" Shanghai A, "2"
    // Shenzhen B, "3" Shanghai B, "5" Stock Connect).
    static QString tradeMarket(const MarketSecurity& s);
    const std::vector<MarketNewIssue>& newIssues() const { return newIssues_; }

private:
    quint64 next(); // the walk's random numbers

    quint64 state_ = 0;
    std::vector<MarketSecurity> securities_;
    std::vector<MarketIndex> indexes_;
    std::vector<MarketNewIssue> newIssues_;
    std::vector<MarketWarrant> warrants_;
};

// The simulator's market (made by registerMarketFunctions).
Market* market(BrokerSimulator& simulator);

// Registers the market's functions on the simulator.
void registerMarketFunctions(BrokerSimulator& simulator);

} // namespace brokersim
