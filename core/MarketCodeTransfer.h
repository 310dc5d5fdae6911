#pragma once

#include <QString>

// Market-qualified security codes ("600000.2"): the trade market code mapped
// to the exchange digit. Nothing calls these yet.
class MarketCodeTransfer {
public:
    // By the code's value: 0/2 -> "1", 1/3 -> "2", 6/7 -> "5"; any other
    // number as its plain digits ("5.000" -> "5"), any other text unchanged.
    static QString transferCode(const QString& marketCode);
    // code + "." + transferCode(marketCode); a market code outside the table
    // is appended unchanged, as transferCode answers it.
    static QString fixCode(const QString& code, const QString& marketCode);
    // code + "." + market, the market part as given.
    static QString mergeCode(const QString& code, const QString& market);
};
