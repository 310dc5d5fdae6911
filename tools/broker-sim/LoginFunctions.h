#pragma once

#include "tools/broker-sim/Request.h"
#include "tools/broker-sim/Table.h"

#include <optional>

namespace brokersim {

class BrokerSimulator;

// The server functions of the login sequence and of the logged-in account.
inline constexpr Function kTerminalIdFunction { 1000, 1 };
inline constexpr Function kAppLoginFunction { 1000, 2 };
inline constexpr Function kCaptchaFunction { 1001, 1 };
inline constexpr Function kTradeLoginFunction { 501, 500 };
inline constexpr Function kIdentityLoginFunction { 500, 1 };
inline constexpr Function kBranchListFunction { 550, 7 };
inline constexpr Function kSystemMessageFunction { 550, 13 };
inline constexpr Function kRiskStatusFunction { 500, 2162 };
inline constexpr Function kCapitalAccountsFunction { 500, 113 };

// Registers them on the simulator; they answer from its state's broker.
void registerLoginFunctions(BrokerSimulator& simulator);

// The application login's server lists: a row a provider ("msp") with its
// quote and trade servers, each list "name:host:port" entries joined by ",".
Table serverListsTable();
// Those lists with one provider's row, as the record set a client reads.
std::optional<VEKTCRS> serverListsReply(const QString& provider, const QString& quotes, const QString& trades);

} // namespace brokersim
