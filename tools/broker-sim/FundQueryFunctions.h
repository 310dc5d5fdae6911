#pragma once

#include "tools/broker-sim/Request.h"

namespace brokersim {

class BrokerSimulator;

// The fund queries the menu's query pages send, answered from the fund book
// (FundFunctions.h) with field descriptions as column titles.
inline constexpr Function kFundOrderHistoryFunction { 500, 40 }; // orders between "strdate" and "enddate"
inline constexpr Function kFundFillHistoryFunction { 500, 42 }; // confirmed orders between the dates
inline constexpr Function kFundAccountsFunction { 500, 43 }; // one fund account per fund company
inline constexpr Function kFundDividendsFunction { 500, 162 }; // the dividend method of each holding

// Registers the four queries (after registerFundFunctions, whose book they read).
void registerFundQueryFunctions(BrokerSimulator& simulator);

} // namespace brokersim
