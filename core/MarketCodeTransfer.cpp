#include "core/MarketCodeTransfer.h"

QString MarketCodeTransfer::transferCode(const QString& marketCode)
{
    if (marketCode == QLatin1String("0") || marketCode == QLatin1String("2"))
        return QStringLiteral("1");
    if (marketCode == QLatin1String("1") || marketCode == QLatin1String("3"))
        return QStringLiteral("2");
    if (marketCode == QLatin1String("6") || marketCode == QLatin1String("7"))
        return QStringLiteral("5");
    return marketCode;
}

QString MarketCodeTransfer::fixCode(const QString& code, const QString& marketCode)
{
    return mergeCode(code, transferCode(marketCode));
}

QString MarketCodeTransfer::mergeCode(const QString& code, const QString& market)
{
    return code + QLatin1Char('.') + market;
}
