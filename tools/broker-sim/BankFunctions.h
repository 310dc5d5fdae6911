#pragma once

#include "tools/broker-sim/Request.h"

#include <QHash>
#include <QList>
#include <QObject>
#include <QString>

namespace brokersim {

class BrokerSimulator;
struct Customer;

// The bank-securities transfer functions.
inline constexpr Function kTransferInfoFunction { 500, 20 };
inline constexpr Function kBankTransferFunction { 500, 21 };
inline constexpr Function kTransferHistoryFunction { 500, 22 };
inline constexpr Function kBankBalanceFunction { 500, 116 };
// Between the customer's own capital accounts.
inline constexpr Function kInsideTransferFunction { 500, 114 };
inline constexpr Function kFundCollectionFunction { 500, 115 };

// Refusal codes of the banks; the messages are the broker's.
namespace bankErrors {
inline constexpr qint32 kNoLink = 4001;
inline constexpr qint32 kWrongFundPassword = 4002;
inline constexpr qint32 kWrongBankPassword = 4003;
inline constexpr qint32 kBadAmount = 4004;
inline constexpr qint32 kNoMoney = 4005;
inline constexpr qint32 kNotAllowed = 4006;
inline constexpr qint32 kNoAccount = 4007; // not the customer's, or not in the currency
inline constexpr qint32 kSameAccount = 4008;
} // namespace bankErrors

// The bank password of every link.
inline constexpr char kBankPassword[] = "135790";

// The passwords a link asks for its balance query (transfers ask for the
// bank password into securities, the fund password out of them; a link of
// kind Both asks for both everywhere).
enum class BankKind { NoPassword, BankPassword, Both };

// One capital account linked to one bank, in one currency.
struct BankLink {
    QString fundId;
    QString fundSeq;
    QString bankCode;
    QString bankName;
    qint32 moneyType = 0;
    BankKind kind = BankKind::NoPassword;
    qint64 bankCents = 0; // the balance at the bank
    bool intoSecurities = true; // transfer type 1 is allowed
};

// One row of the transfer history.
struct BankFlow {
    QString date;
    QString time;
    QString fundId;
    qint32 moneyType = 0;
    QString what;
    qint64 cents = 0;
    qint64 balanceCents = 0;
    QString serial;
};

// The customers' bank links and transfer histories, made from the broker's
// data on first use: every capital account is linked to its own bank (the
// first account's balance query needs no password, the others' the bank
// password), and each customer's main account also to 农业银行, which asks
// for both passwords. A secondary capital account at 招商银行 takes no money
// from its bank (no transfer type 1), so that the pages offering accounts of
// any transfer type show a link the bank-to-securities page leaves out.
// Money moved lands in the back office's money. Lives as
// a child of the simulator; the simulator's thread only.
class BankBook : public QObject {
public:
    explicit BankBook(QObject* parent = nullptr);
    static BankBook* of(BrokerSimulator& simulator);

    QList<BankLink>& links(const Customer& customer);
    // Newest first.
    QList<BankFlow>& flows(const Customer& customer);
    QString nextSerial() { return QString::number(nextSerial_++); }
    void reset()
    {
        links_.clear();
        flows_.clear();
    }

private:
    QHash<QString, QList<BankLink>> links_;
    QHash<QString, QList<BankFlow>> flows_;
    quint64 nextSerial_ = 60000001;
};

void registerBankFunctions(BrokerSimulator& simulator);

} // namespace brokersim
