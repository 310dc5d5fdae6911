#include "comm/TCRSText.h"

#include <charconv>
#include <cmath>
#include <limits>
#include <string>

namespace tcrs {
namespace {

bool isCSpace(char16_t c)
{
    return c == ' ' || (c >= '\t' && c <= '\r');
}

bool isDigit(char16_t c)
{
    return c >= '0' && c <= '9';
}

template <typename T>
T saturating(double value)
{
    if (std::isnan(value))
        return 0;
    // 2^(bits-1) is a power of two, so it converts to double exactly.
    constexpr double limit = -static_cast<double>(std::numeric_limits<T>::min());
    if (value >= limit)
        return std::numeric_limits<T>::max();
    if (value <= -limit - 1.0)
        return std::numeric_limits<T>::min();
    return static_cast<T>(value);
}

} // namespace

qint64 int64FromText(QStringView text)
{
    qsizetype i = 0;
    const qsizetype n = text.size();
    while (i < n && isCSpace(text[i].unicode()))
        ++i;
    bool negative = false;
    if (i < n && (text[i] == u'+' || text[i] == u'-')) {
        negative = text[i] == u'-';
        ++i;
    }
    // Accumulate toward the sign so that the most negative value fits.
    qint64 value = 0;
    constexpr qint64 maxValue = std::numeric_limits<qint64>::max();
    constexpr qint64 minValue = std::numeric_limits<qint64>::min();
    for (; i < n && isDigit(text[i].unicode()); ++i) {
        const int digit = text[i].unicode() - '0';
        if (negative) {
            if (value < (minValue + digit) / 10)
                return minValue;
            value = value * 10 - digit;
        } else {
            if (value > (maxValue - digit) / 10)
                return maxValue;
            value = value * 10 + digit;
        }
    }
    return value;
}

qint32 int32FromText(QStringView text)
{
    const qint64 v = int64FromText(text);
    if (v > std::numeric_limits<qint32>::max())
        return std::numeric_limits<qint32>::max();
    if (v < std::numeric_limits<qint32>::min())
        return std::numeric_limits<qint32>::min();
    return static_cast<qint32>(v);
}

double doubleFromText(QStringView text)
{
    qsizetype i = 0;
    const qsizetype n = text.size();
    while (i < n && isCSpace(text[i].unicode()))
        ++i;
    bool negative = false;
    if (i < n && (text[i] == u'+' || text[i] == u'-')) {
        negative = text[i] == u'-';
        ++i;
    }
    std::string number;
    bool digits = false;
    bool integerDigits = false;
    for (; i < n && isDigit(text[i].unicode()); ++i) {
        number += static_cast<char>(text[i].unicode());
        digits = true;
        integerDigits = integerDigits || text[i] != u'0';
    }
    if (i < n && text[i] == u'.') {
        number += '.';
        for (++i; i < n && isDigit(text[i].unicode()); ++i) {
            number += static_cast<char>(text[i].unicode());
            digits = true;
        }
    }
    if (!digits)
        return 0.0;
    bool negativeExponent = false;
    if (i < n && (text[i] == u'e' || text[i] == u'E')) {
        qsizetype j = i + 1;
        std::string exponent = "e";
        if (j < n && (text[j] == u'+' || text[j] == u'-')) {
            negativeExponent = text[j] == u'-';
            exponent += static_cast<char>(text[j].unicode());
            ++j;
        }
        if (j < n && isDigit(text[j].unicode())) {
            for (; j < n && isDigit(text[j].unicode()); ++j)
                exponent += static_cast<char>(text[j].unicode());
            number += exponent;
        } else {
            negativeExponent = false;
        }
    }
    double value = 0.0;
    const auto result = std::from_chars(number.data(), number.data() + number.size(), value);
    if (result.ec == std::errc::result_out_of_range) {
        // Too large or too small: the exponent's sign (or, without one, whether
        // the integer part has digits) tells which way it went.
        const bool hasExponent = number.find('e') != std::string::npos;
        const bool tooLarge = hasExponent ? !negativeExponent : integerDigits;
        value = tooLarge ? std::numeric_limits<double>::infinity() : 0.0;
    } else if (result.ec != std::errc()) {
        value = 0.0;
    }
    return negative ? -value : value;
}

platform::TextEncoding textEncodingOf(qint32 encoding)
{
    switch (encoding) {
    case 0: return platform::TextEncoding::GB18030;
    case 1: return platform::TextEncoding::UTF16LE;
    case 2: return platform::TextEncoding::UTF8;
    default: return platform::TextEncoding::ASCII;
    }
}

bool isAsciiBytes(const char* p, qint64 n)
{
    for (qint64 i = 0; i < n; ++i)
        if (static_cast<unsigned char>(p[i]) > 0x7F)
            return false;
    return true;
}

QString decodeBytes(const char* p, qint64 n, platform::TextEncoding encoding)
{
    if (n <= 0)
        return QString();
    if (encoding != platform::TextEncoding::UTF16LE && isAsciiBytes(p, n))
        return QString::fromLatin1(p, n);
    return platform::decodeTextLossy(QByteArrayView(p, n), encoding);
}

qint64 saturatingInt64(double value)
{
    return saturating<qint64>(value);
}

qint32 saturatingInt32(double value)
{
    return saturating<qint32>(value);
}

qint16 saturatingInt16(double value)
{
    return saturating<qint16>(value);
}

qint8 saturatingInt8(double value)
{
    return saturating<qint8>(value);
}

float toSingle(double value)
{
    constexpr double maxFloat = std::numeric_limits<float>::max();
    if (value > maxFloat)
        return std::numeric_limits<float>::infinity();
    if (value < -maxFloat)
        return -std::numeric_limits<float>::infinity();
    return static_cast<float>(value);
}

} // namespace tcrs
