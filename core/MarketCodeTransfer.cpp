#include "core/MarketCodeTransfer.h"

#include "comm/recordset/ServerNumber.h"

QString MarketCodeTransfer::transferCode(const QString& marketCode)
{
    // The trade market by its value: "0.000" is market 0 as "0" is.
    switch (servernumber::wholeValueOf(marketCode).value_or(-1)) {
    case 0:
    case 2:
        return QStringLiteral("1");
    case 1:
    case 3:
        return QStringLiteral("2");
    case 6:
    case 7:
        return QStringLiteral("5");
    default:
        return servernumber::wholeText(marketCode);
    }
}

QString MarketCodeTransfer::fixCode(const QString& code, const QString& marketCode)
{
    return mergeCode(code, transferCode(marketCode));
}

QString MarketCodeTransfer::mergeCode(const QString& code, const QString& market)
{
    return code + QLatin1Char('.') + market;
}
