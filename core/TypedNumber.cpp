#include "core/TypedNumber.h"

namespace typednumber {

QString asciiForms(QStringView typed)
{
    QString out = typed.toString();
    for (QChar& c : out) {
        const char16_t u = c.unicode();
        if (u >= u'０' && u <= u'９')
            c = QChar(char16_t(u'0' + (u - u'０')));
        else if (u == u'．')
            c = QLatin1Char('.');
        else if (u == u'\u3000')
            c = QLatin1Char(' ');
    }
    return out;
}

QString read(QStringView typed)
{
    return asciiForms(typed).trimmed();
}

bool canBeSent(QStringView value)
{
    for (QChar c : value) {
        const char16_t u = c.unicode();
        if (u < 0x20 || u > 0x7E || u == u'&' || u == u'=')
            return false;
    }
    return true;
}

QString refusal(const QString& field)
{
    return QStringLiteral("%1含有不能发送的字符").arg(field);
}

QString tooLong(const QString& field)
{
    return QStringLiteral("%1过长：最多%2个字符").arg(field).arg(kLongest);
}

std::optional<QString> problem(const QString& field, QStringView value)
{
    if (!canBeSent(value))
        return refusal(field);
    if (value.size() > kLongest)
        return tooLong(field);
    return std::nullopt;
}

} // namespace typednumber
