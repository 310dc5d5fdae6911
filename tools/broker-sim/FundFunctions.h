#pragma once

#include "comm/recordset/VEKTCRS.h"
#include "tools/broker-sim/Request.h"
#include "tools/broker-sim/Table.h"

#include <QDate>
#include <QHash>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <optional>

namespace brokersim {

class BrokerSimulator;

// A reply record set whose fields carry the server's descriptions, which
// the client titles its columns with (Table::described). Every field is text.
struct DescribedTable {
    QString info;
    QList<std::pair<QString, QString>> columns; // key, description
    QList<QStringList> rows;

    DescribedTable& column(const char* key, const QString& desc)
    {
        columns.append({ QString::fromLatin1(key), desc });
        return *this;
    }
    DescribedTable& row(const QStringList& values)
    {
        rows.append(values);
        return *this;
    }
};
// The record set in a reply encoding; nullopt when a name or description
// does not fit its field.
std::optional<VEKTCRS> describedRecordSet(const DescribedTable& table, qint32 encoding);

// The server functions of open-end funds.
inline constexpr Function kFundListFunction { 500, 1001 };
inline constexpr Function kFundInfoFunction { 500, 1640 };
inline constexpr Function kFundPositionFunction { 500, 41 };
inline constexpr Function kFundOrdersFunction { 500, 55 };
inline constexpr Function kFundRedeemFunction { 500, 36 };
inline constexpr Function kFundCancelFunction { 500, 37 };
inline constexpr Function kFundBonusQueryFunction { 500, 127 };
inline constexpr Function kFundBonusSetFunction { 500, 39 };
inline constexpr Function kFundTransformFunction { 500, 1644 };
inline constexpr Function kFundAppropriatenessFunction { 500, 1639 };
inline constexpr Function kFundSignNumberFunction { 500, 1646 };
inline constexpr Function kFundSignNoticeFunction { 500, 1647 }; // the notices' sign link
inline constexpr Function kFundSubscribeFunction { 500, 1642 };
inline constexpr Function kFundPurchaseFunction { 500, 1643 };
inline constexpr Function kFundRiskMatchFunction { 500, 128 };
inline constexpr Function kFundPlanOpenFunction { 500, 1645 };
inline constexpr Function kFundPlanListFunction { 500, 60 };
inline constexpr Function kFundPlanCancelFunction { 500, 61 };
inline constexpr Function kFundNetValueFunction { 551, 1 };

// One fund of the catalogue.
struct SimFund {
    QString code;
    QString name;
    QString taCode;
    QString taName;
    QString status; // "0" open for purchase, "1" open for subscription
    qint32 riskLevel = 3; // 1 lowest to 5 highest
    bool checkAppropriateness = true; // "ischecksdx"
    QString nav; // four decimals
    bool plans = false; // open for investment plans
};

// One order of today (subscribe, purchase, redeem, transform, dividend setting).
struct SimFundOrder {
    QString custid;
    QString sno;
    QString tradeId; // "240020", "240022", "240024" redeem, "240036" transform, "240029" dividends
    QString code;
    QString otherCode;
    QString amount; // money
    QString quantity; // shares
    QString date; // yyyyMMdd
    QString time; // HHmmss
    QString status = QStringLiteral("0"); // "0" not yet sent, "2" confirmed, "6" cancelled
    QString fundId; // the capital account a subscription or purchase took its money from
};

// One investment plan.
struct SimFundPlan {
    QString custid;
    QString sno;
    QString sendSn;
    QString code;
    QString amount;
    QString periodCode; // "0" monthly, "3" weekly
    QString paymentDay;
    QString beginDate;
    QString endDate;
    QString applyDate;
};

// One holding.
struct SimFundPosition {
    QString code;
    QString balance;
    QString available;
    QString cost;
};

// The simulator's open-end funds: the catalogue, the customers' holdings,
// orders, dividend methods, sign serials and plans. Lives as a child of the
// simulator; the simulator's thread only.
class FundBook : public QObject {
public:
    explicit FundBook(QObject* parent = nullptr);
    static FundBook* of(BrokerSimulator& simulator);

    const QList<SimFund>& funds() const { return funds_; }
    QList<SimFund>& funds() { return funds_; } // a test gives a fund another name
    const SimFund* fund(const QString& code) const;
    // The customer's risk level, 1 to 5 (3 unless a test sets another).
    qint32 riskLevel(const QString& custid) const { return riskLevels_.value(custid, 3); }
    void setRiskLevel(const QString& custid, qint32 level) { riskLevels_.insert(custid, level); }
    QList<SimFundPosition>& positions(const QString& custid);
    QList<SimFundOrder>& orders() { return orders_; }
    QList<SimFundPlan>& plans() { return plans_; }
    // Every order not cancelled counts as confirmed and can no longer be cancelled.
    void processOrders();
    QString dividendMethod(const QString& custid, const QString& code) const;
    void setDividendMethod(const QString& custid, const QString& code, const QString& method);
    QString issueSignNumber(const QString& custid, const QString& code);
    bool signNumberIssued(const QString& custid, const QString& code, const QString& serial) const;
    QString nextSerial();
    // The fund's daily net values, newest first, on weekdays up to `today`.
    struct NetValue {
        QString date; // yyyy-MM-dd
        QString net;
        QString total;
    };
    QList<NetValue> netValues(const SimFund& fund, qint32 count, const QDate& today) const;
    // Back to the built-in catalogue and holdings, nothing ordered.
    void reset();

private:
    QList<SimFund> funds_;
    QHash<QString, QList<SimFundPosition>> positions_;
    QHash<QString, qint32> riskLevels_;
    QList<SimFundOrder> orders_;
    QList<SimFundPlan> plans_;
    QHash<QString, QString> dividends_; // custid/code -> "0" or "1"
    QHash<QString, QString> signNumbers_; // custid/code -> serial
    qint64 serial_ = 0;
};

void registerFundFunctions(BrokerSimulator& simulator);

// The display names of a fund order's business ("trdid") and status, as the
// order lists show them.
QString fundTradeName(const QString& tradeId);
QString fundOrderStatusName(const QString& status);

} // namespace brokersim
