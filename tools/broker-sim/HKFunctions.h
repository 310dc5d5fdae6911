#pragma once

#include "tools/broker-sim/BackOffice.h"
#include "tools/broker-sim/Request.h"

#include <QHash>
#include <QList>
#include <QObject>
#include <QSet>
#include <QString>
#include <optional>

namespace brokersim {

class BrokerSimulator;

// The Stock Connect functions of the trade server.
inline constexpr Function kHKCombInfoFunction { 500, 507 }; // maximum quantity and price step
inline constexpr Function kHKLotSizeFunction { 500, 508 }; // trading unit
inline constexpr Function kHKExchangeRateFunction { 500, 509 }; // reference rates
inline constexpr Function kHKOrderFunction { 500, 510 }; // the order
inline constexpr Function kHKCancelFunction { 500, 511 }; // cancel of one order
inline constexpr Function kHKOrdersOfTodayFunction { 500, 512 }; // today's orders
inline constexpr Function kHKStockTargetFunction { 500, 517 }; // eligible stocks
inline constexpr Function kHKVoteFunction { 500, 3002 }; // shareholder-meeting vote
inline constexpr Function kHKDeclareFunction { 500, 3003 }; // corporate-action declaration or withdrawal
inline constexpr Function kHKDeclarationsFunction { 500, 3005 }; // declarations by date
inline constexpr Function kHKNotificationFunction { 500, 3006 }; // notices of a security

// The Stock Connect desk of the back office: Hong Kong securities (class id
// 108, trade market "5") are bought with renminbi at the reference buy rate
// and sold at the sale rate. Orders are checked (a market-5 shareholder
// account of the customer, whole lots or, for the odd-lot sell "4S", less than
// a lot, a price on the Hong Kong spread table, money, shares), rest in a book
// of their own and fill against the market's latest price whenever the
// customer's next Stock Connect or position request comes. Positions and
// money are the back office's, so the ordinary position list shows them.
class HKDesk : public QObject {
    Q_OBJECT
public:
    // Rates in millionths: 1 HKD costs 0.920000 CNY to buy, gives 0.880000.
    static constexpr qint64 kBuyRate = 920000;
    static constexpr qint64 kSaleRate = 880000;

    struct Order {
        QString number;
        QString custid;
        QString fundId;
        QString secuid;
        QString code;
        QString bsflag;
        bool buy = true;
        qint64 priceTicks = 0; // thousandths of a Hong Kong dollar
        qint64 quantity = 0;
        Milli frozen = 0; // renminbi held back by a buy
        bool filled = false;
        bool cancelled = false;
        QString date = QString(); // yyyyMMdd, China time
        QString time = QString(); // hhmmss
    };
    // A vote on one motion, as recorded.
    struct Vote {
        QString serial;
        QString custid;
        QString code;
        QString publicNo;
        QString billNo;
        QString up, down, abstain;
    };
    // What a customer has declared for one action of one security, less
    // what he withdrew; never below zero.
    struct Declaration {
        QString serial;
        QString date;
        QString custid;
        QString secuid;
        QString code;
        QString type; // "H63" to "H66"
        QString orgNo;
        qint64 quantity = 0;
    };

    HKDesk(BackOffice* office, Market* market, QObject* parent = nullptr);

    // The step of the Hong Kong spread table at a price, both in thousandths
    // of a Hong Kong dollar (the price's own band).
    static qint64 spreadStep(qint64 priceTicks);
    // Hong Kong dollars (thousandths) in renminbi (thousandths) at a rate in
    // millionths, rounded up for what the customer pays, down for what he gets.
    static Milli convert(Milli hkd, qint64 rate, bool roundUp);

    Reply combInfo(const Request& r, const Customer& c, BackOffice::Account& a);
    Reply lotSize(const Request& r);
    Reply exchangeRate();
    Reply order(const Request& r, const Customer& c, BackOffice::Account& a);
    Reply cancel(const Request& r, const Customer& c, BackOffice::Account& a);
    Reply ordersOfToday(const Customer& c) const;
    Reply vote(const Request& r, const Customer& c);
    // A positive quantity declares, a negative one withdraws.
    Reply declare(const Request& r, const Customer& c);
    Reply declarations(const Request& r, const Customer& c) const;
    Reply notices(const Request& r) const;
    Reply stockTargets(const Request& r) const;
    // Gives a new customer his opening Hong Kong holding and fills the
    // orders that the market's latest prices reach.
    void bringUpToDate(const Customer& c, BackOffice::Account& a);

    const QList<Order>& orders() const { return orders_; }
    const QList<Vote>& votes() const { return votes_; }
    const QList<Declaration>& declarationList() const { return declarations_; }

private:
    const MarketSecurity* hkSecurity(const QString& code) const;
    QString secuidOf(const Customer& c) const;
    QString fundOf(const Customer& c) const;

    BackOffice* office_;
    Market* market_;
    QList<Order> orders_;
    QList<Vote> votes_;
    QList<Declaration> declarations_;
    quint64 nextSerial_ = 800001;
    QSet<QString> seeded_;
    quint64 nextOrder_ = 500001;
};

// The simulator's Stock Connect desk (made by registerHKFunctions).
HKDesk* hkDesk(BrokerSimulator& simulator);

// Registers 500 / 507 to 512, 517, 3002, 3003, 3005, 3006, lets the position list (500 / 3) and the
// money (500 / 2) see the desk's fills and values Hong Kong holdings in renminbi at the sale rate;
// after the back office's functions.
void registerHKFunctions(BrokerSimulator& simulator);

} // namespace brokersim
