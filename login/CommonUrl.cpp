#include "login/CommonUrl.h"

#include "core/TypedNumber.h"

namespace commonurl {

namespace {

QString keyOf(const QString& pair)
{
    const qsizetype eq = pair.indexOf(QLatin1Char('='));
    return eq < 0 ? pair : pair.left(eq);
}

QString valueOf(const QString& pair)
{
    const qsizetype eq = pair.indexOf(QLatin1Char('='));
    return eq < 0 ? QString() : pair.mid(eq + 1);
}

} // namespace

std::optional<QString> lastValue(const QString& prefix, const QString& key)
{
    std::optional<QString> out;
    for (const QString& pair : prefix.split(QLatin1Char('&'))) {
        if (keyOf(pair) == key)
            out = valueOf(pair);
    }
    return out;
}

std::optional<QString> firstValue(const QString& prefix, const QString& key)
{
    for (const QString& pair : prefix.split(QLatin1Char('&'))) {
        if (keyOf(pair) == key)
            return valueOf(pair);
    }
    return std::nullopt;
}

bool hasKey(const QString& prefix, const QString& key)
{
    return firstValue(prefix, key).has_value();
}

QString withValue(const QString& prefix, const QString& key, const QString& value)
{
    QStringList pairs = prefix.split(QLatin1Char('&'));
    for (QString& pair : pairs) {
        if (keyOf(pair) == key)
            pair = key + QLatin1Char('=') + value;
    }
    return pairs.join(QLatin1Char('&'));
}

bool isSafeValue(const QString& value)
{
    return typednumber::canBeSent(value);
}

} // namespace commonurl
