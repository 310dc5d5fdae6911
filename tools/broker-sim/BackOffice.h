#pragma once

#include "tools/broker-sim/Request.h"

#include <QHash>
#include <QList>
#include <QObject>
#include <QString>
#include <functional>
#include <map>
#include <optional>

namespace brokersim {

class BrokerSimulator;
class BrokerState;
class Market;
struct Customer;
struct MarketSecurity;

// The trade functions of the back office.
inline constexpr Function kMoneyFunction { 500, 2 }; // money, or the capital accounts without "moneytype"
inline constexpr Function kPositionsFunction { 500, 3 };
inline constexpr Function kMaxQuantityFunction { 500, 4 }; // shared with the new-issue facts
inline constexpr Function kOrderFunction { 500, 6 };
inline constexpr Function kCancelFunction { 500, 7 };
inline constexpr Function kOrdersOfTodayFunction { 500, 121 };
inline constexpr Function kDistributionFunction { 500, 23 };

// Refusal codes of the back office; the messages are the broker's.
namespace orderErrors {
inline constexpr qint32 kMarketClosed = 3001;
inline constexpr qint32 kOutsideLimits = 3002;
inline constexpr qint32 kOffTick = 3003;
inline constexpr qint32 kNotWholeLot = 3004;
inline constexpr qint32 kNoMoney = 3005;
inline constexpr qint32 kNoShares = 3006;
inline constexpr qint32 kWrongAccount = 3007;
inline constexpr qint32 kCannotCancel = 3008;
inline constexpr qint32 kBadOrder = 3009;
} // namespace orderErrors

// Money in thousandths of a yuan, so that prices of three decimals times
// quantities stay exact.
using Milli = qint64;

// A small broker back office: orders get numbers, are checked, rest in a
// book and fill against the market's latest prices (whenever the customer's
// next back-office request comes); cancels, positions, money and capital
// accounts follow. State is per customer and lasts as long as the simulator.
class BackOffice : public QObject {
    Q_OBJECT
public:
    struct Order {
        QString number;
        QString date; // yyyyMMdd, China time
        QString time; // hhmmss
        QString fundId;
        QString secuid;
        QString market;
        QString code;
        QString name;
        QString bsflag;
        bool buy = true;
        bool marketPrice = false; // fills at the latest price whatever it is
        bool subscription = false; // a new issue: rests until the draw
        qint64 priceTicks = 0;
        qint32 precision = 2;
        qint64 quantity = 0;
        qint64 matched = 0;
        qint64 cancelled = 0;
        qint64 matchTicks = 0;
        Milli frozen = 0; // money held back by a buy
        Milli matchAmount = 0;
        QString status = QStringLiteral("2"); // 2 reported, 6 cancelled, 8 filled
    };
    struct Position {
        QString secuid;
        QString market;
        QString code;
        QString name;
        qint64 quantity = 0;
        qint64 available = 0;
        qint64 bought = 0;
        qint64 sold = 0;
        Milli cost = 0; // what the quantity held cost
    };
    struct Money {
        Milli balance = 0;
        Milli available = 0;
    };
    struct Flow { // one money movement, for the statements
        QString date;
        QString time;
        QString fundId;
        QString what;
        Milli amount = 0;
        Milli balanceAfter = 0;
        QString orderNumber;
    };
    struct Account {
        std::map<QString, Money> money; // by fundid
        std::map<QString, Position> positions; // by "market|code"
        QList<Order> orders;
        QList<Flow> flows;
        qsizetype open = 0; // orders resting in the book
        qsizetype firstOpen = 0; // every order before it is done
    };

    BackOffice(Market* market, QObject* parent = nullptr);

    // Test controls: orders are taken only in trading hours (China time,
    // weekdays 9:15-11:30 and 13:00-15:00) unless told otherwise.
    void setTradingHoursEnforced(bool enforced) { hoursEnforced_ = enforced; }
    // Forgets every customer's orders, positions and money.
    void reset() { accounts_.clear(); }
    // A customer's state (made from the broker's data on first use).
    Account& account(const Customer& customer);
    // Holdings of `market` are priced in another currency than the one they
    // count toward: `inSettlement` turns their value into that currency.
    void setValuation(const QString& market, std::function<Milli(Milli)> inSettlement);

    // The functions, for a customer whose prefix was checked.
    Reply order(const Request& request, const Customer& customer, Account& account);
    Reply cancel(const Request& request, const Customer& customer, Account& account);
    Reply maxQuantity(const Request& request, const Customer& customer, Account& account);
    Reply money(const Request& request, const Customer& customer, Account& account);
    Reply positions(const Request& request, const Customer& customer, Account& account);
    // Orders or fills, of today or between "strdate" and "enddate".
    Reply orderList(const Request& request, Account& account, bool fills, bool todayOnly);
    Reply moneyFlows(const Request& request, const Customer& customer, Account& account);
    Reply statements(const Request& request, const Customer& customer, Account& account);
    Reply distribution(const Request& request, const Customer& customer, Account& account);
    Reply winningLots(const Request& request, const Customer& customer, Account& account);
    Reply shareholders(const Request& request, const Customer& customer, Account& account);

    // Money that moves into (positive) or out of a capital account outside
    // the exchange (a transfer, a fund order and its cancel): the balance and
    // the available money move alike, and the money flow books the movement
    // under `what` with the order number or serial `reference`.
    static void moveMoney(
        Account& account, const QString& fundId, const QString& what, Milli amount, const QString& reference);

    // The customer a request's prefix names, with his book brought up to
    // date; null and the refusal otherwise.
    const Customer* authenticate(const Request& request, BrokerState& state, Reply* refusal);

private:
    static void book(
        Account& a, const QString& fundId, const QString& what, Milli amount, const QString& reference);
    void match(Account& a);
    void fill(Account& a, Order& o, qint64 ticks);
    QString fundOfMarket(const Customer& c, const QString& market) const;
    static QString fundOfType(const Customer& c, const QString& moneyType);
    Milli stockValue(const Account& a, const QString& moneyType) const;

    Market* market_;
    QHash<QString, std::function<Milli(Milli)>> valuations_; // by market
    bool hoursEnforced_ = true;
    quint64 nextOrder_ = 100001;
    quint64 nextDistribution_ = 10000001;
    QHash<QString, Account> accounts_; // by custid
};

// The simulator's back office (made by registerBackOfficeFunctions).
BackOffice* backOffice(BrokerSimulator& simulator);

// Registers the order, cancel, query and statement functions (after the
// market's, whose 500 / 4 it shares).
void registerBackOfficeFunctions(BrokerSimulator& simulator);

} // namespace brokersim
