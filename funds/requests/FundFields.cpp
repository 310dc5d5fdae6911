#include "funds/requests/FundFields.h"

#include "core/TypedNumber.h"

#include <QDate>

namespace fundfields {

namespace {

bool allDigits(QStringView text)
{
    for (QChar c : text) {
        if (c < u'0' || c > u'9')
            return false;
    }
    return true;
}

} // namespace

std::optional<QString> fundCode(const QString& text)
{
    return asReceived(QStringLiteral("基金代码"), text);
}

std::optional<QString> companyCode(const QString& text)
{
    return asReceived(QStringLiteral("基金公司代码"), text);
}

std::optional<QString> amount(const QString& text)
{
    return asReceived(QStringLiteral("金额"), text);
}

std::optional<QString> shares(const QString& text)
{
    return asReceived(QStringLiteral("份额"), text);
}

std::optional<QString> date8(const QString& text)
{
    if (text.size() != 8 || !allDigits(text) || !QDate::fromString(text, QStringLiteral("yyyyMMdd")).isValid())
        return QStringLiteral("日期“%1”不正确，应为8位数字的年月日").arg(text);
    return std::nullopt;
}

std::optional<QString> isoDate(const QString& text)
{
    if (text.size() != 10 || !QDate::fromString(text, QStringLiteral("yyyy-MM-dd")).isValid())
        return QStringLiteral("日期“%1”不正确，应为“年-月-日”").arg(text);
    return std::nullopt;
}

std::optional<QString> token(const QString& what, const QString& text, qsizetype maximum, bool emptyAllowed)
{
    bool ok = text.size() <= maximum && (emptyAllowed || !text.isEmpty());
    for (QChar c : text) {
        if (!ok)
            break;
        ok = (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || c == u'-'
            || c == u'_';
    }
    if (!ok)
        return QStringLiteral("%1“%2”不正确").arg(what, text);
    return std::nullopt;
}

std::optional<QString> asReceived(const QString& what, const QString& text)
{
    if (!typednumber::canBeSent(text))
        return typednumber::refusal(what);
    return std::nullopt;
}

std::optional<QString> signSerial(const QString& text)
{
    return asReceived(QStringLiteral("风险揭示签署流水号"), text);
}

std::optional<QString> firstOf(std::initializer_list<std::optional<QString>> checks)
{
    for (const std::optional<QString>& problem : checks) {
        if (problem)
            return problem;
    }
    return std::nullopt;
}

} // namespace fundfields
