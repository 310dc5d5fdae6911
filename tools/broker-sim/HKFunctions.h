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
    // Gives a new customer his opening Hong Kong holding and fills the
    // orders that the market's latest prices reach.
    void bringUpToDate(const Customer& c, BackOffice::Account& a);

    const QList<Order>& orders() const { return orders_; }

private:
    const MarketSecurity* hkSecurity(const QString& code) const;
    QString secuidOf(const Customer& c) const;
    QString fundOf(const Customer& c) const;

    BackOffice* office_;
    Market* market_;
    QList<Order> orders_;
    QSet<QString> seeded_;
    quint64 nextOrder_ = 500001;
};

// The simulator's Stock Connect desk (made by registerHKFunctions).
HKDesk* hkDesk(BrokerSimulator& simulator);

// Registers 500 / 507 to 510 and lets the position list (500 / 3) see the
// desk's fills; after the back office's functions.
void registerHKFunctions(BrokerSimulator& simulator);

} // namespace brokersim
