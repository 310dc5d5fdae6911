#include "shell/formatters/CodeFormatter.h"
#include "shell/formatters/FloatNumberFormatter.h"
#include "shell/formatters/NumberCharFormatter.h"
#include "shell/formatters/NumberFormatter.h"
#include "shell/formatters/StockCodeFormatter.h"

namespace {

bool isAsciiDigit(QChar c)
{
    return c >= u'0' && c <= u'9';
}

bool isAsciiLetter(QChar c)
{
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z');
}

} // namespace

NumberCharFormatter::NumberCharFormatter(QObject* parent)
    : LimitedInputFormatter(kDefaultMaxLength, parent)
{
}

bool NumberCharFormatter::isPartialStringValid(const QString& text) const
{
    if (exceedsLimit(text))
        return false;
    return text.isEmpty() || allKeysAdmitted(text);
}

bool NumberCharFormatter::keyForPartialString(QChar c) const
{
    return isAsciiDigit(c) || isAsciiLetter(c);
}

CodeFormatter::CodeFormatter(quint64 maxLength, QObject* parent)
    : LimitedInputFormatter(maxLength, parent)
{
}

StockCodeFormatter::StockCodeFormatter(QObject* parent)
    : LimitedInputFormatter(kDefaultMaxLength, parent)
{
}

bool StockCodeFormatter::isPartialStringValid(const QString& text) const
{
    if (text.isEmpty())
        return true;
    return !exceedsLimit(text) && allKeysAdmitted(text);
}

bool StockCodeFormatter::keyForPartialString(QChar c) const
{
    return isAsciiDigit(c);
}

NumberFormatter::NumberFormatter(QObject* parent)
    : LimitedInputFormatter(kDefaultMaxLength, parent)
{
}

bool NumberFormatter::isPartialStringValid(const QString& text) const
{
    if (exceedsLimit(text))
        return false;
    if (text.isEmpty())
        return true;
    const qsizetype n = text.size();
    if (n >= 5 && QStringView(text).sliced(n - 5, 4) == u"****")
        return true;
    return allKeysAdmitted(text);
}

bool NumberFormatter::keyForPartialString(QChar c) const
{
    return isAsciiDigit(c);
}

FloatNumberFormatter::FloatNumberFormatter(QObject* parent)
    : InputFormatter(parent)
{
}

bool FloatNumberFormatter::isPartialStringValid(const QString& text) const
{
    if (text.isEmpty())
        return true;
    return allKeysAdmitted(text) && text.count(u'.') <= 1 && text.front() != u'.';
}

bool FloatNumberFormatter::keyForPartialString(QChar c) const
{
    return isAsciiDigit(c) || c == u'.';
}
