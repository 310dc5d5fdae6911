#pragma once

#include "tools/broker-sim/BrokerData.h"
#include "tools/broker-sim/Request.h"

#include <QHash>
#include <QMutex>
#include <memory>

namespace brokersim {

class BrokerSimulator;

// The account's own settings: the trade password (500 / 12, body the prefix
// with "trdpwd" set to the old password, then "newpwd" and "oldpwd"), a
// capital account's fund password (500 / 13, the prefix with "fundid" set to
// that account, then "newfundpwd" and "oldfundpwd") and the reserved
// greeting (500 / 704, the prefix and "prompt", percent-escaped UTF-8).
inline constexpr Function kChangeTradePasswordFunction { 500, 12 };
inline constexpr Function kChangeFundPasswordFunction { 500, 13 };
inline constexpr Function kReservationInfoFunction { 500, 704 };

inline constexpr qsizetype kMaxNewPasswordLength = 31;
inline constexpr qsizetype kMaxGreetingLength = 50; // UTF-16 code units
inline constexpr char16_t kGreetingForbidden[] = u"：#%&+/\\=? .:";

// Fund passwords by capital account. A capital account whose fund password
// was never changed takes the customer's current trade password.
class FundPasswords {
public:
    bool matches(const Customer& customer, const QString& fundId, const QString& password) const;
    void set(const QString& fundId, const QString& password);

private:
    mutable QMutex mutex_;
    QHash<QString, PasswordHash> hashes_;
};

// Whether a new password is one the broker takes: 1 to 31 ASCII letters and
// digits.
bool isAcceptablePassword(const QString& password);
// Why a greeting is refused; empty when it is taken.
QString greetingProblem(const QString& greeting);

// Registers the three functions.
void registerPasswordFunctions(BrokerSimulator& simulator);

} // namespace brokersim
