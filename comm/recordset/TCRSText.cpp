#include "comm/recordset/TCRSText.h"

#include <QStringList>
#include <array>
#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>
#include <memory>
#include <optional>
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

template <typename T> T saturating(double value)
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

// GB 18030 two-byte codes: lead 0x81-0xFE, trail 0x40-0x7E or 0x80-0xFE.
constexpr int kTrailSpan = 0xFE - 0x40 + 1;
constexpr int kTwoByteCodes = (0xFE - 0x81 + 1) * kTrailSpan;

// The character of every two-byte code, taken once from the platform's
// decoder (each maps to one character of the Basic Multilingual Plane); 0
// for a code that does not, which then takes the decoder's path. Decoding a
// short field through the general converter costs more than the rest of
// reading the cell, and tables of Chinese names are read a cell at a time.
const std::array<char16_t, kTwoByteCodes>& twoByteTable()
{
    static const std::unique_ptr<std::array<char16_t, kTwoByteCodes>> table = [] {
        auto t = std::make_unique<std::array<char16_t, kTwoByteCodes>>();
        t->fill(0);
        QByteArray codes;
        codes.reserve(3 * kTwoByteCodes);
        for (int lead = 0x81; lead <= 0xFE; ++lead) {
            for (int trail = 0x40; trail <= 0xFE; ++trail) {
                // Each code stands alone behind a line feed, so that one the
                // decoder does not take cannot shift the ones after it.
                codes.append(char(lead)).append(char(trail == 0x7F ? 0x40 : trail)).append('\n');
            }
        }
        const QString decoded = platform::decodeTextLossy(codes, platform::TextEncoding::GB18030);
        const QStringList parts = decoded.split(QLatin1Char('\n'));
        if (parts.size() < kTwoByteCodes)
            return t;
        for (int i = 0; i < kTwoByteCodes; ++i) {
            const QString& part = parts[i];
            if (i % kTrailSpan == 0x7F - 0x40)
                continue; // 0x7F is no trail byte
            if (part.size() == 1 && !part[0].isSurrogate() && part[0] != QChar::ReplacementCharacter)
                (*t)[size_t(i)] = part[0].unicode();
        }
        return t;
    }();
    return *table;
}

// GB 18030 text of ASCII and two-byte codes into `out`; false, with `out`
// holding nothing of use, for anything else. With kStopAtZero the text ends
// at the first zero byte, as a stored value does.
template <bool kStopAtZero> bool decodeGb18030TwoByte(const char* p, qint64 n, TextOut& out)
{
    const auto& table = twoByteTable();
    // Filled in place and cut to the characters written, without a second
    // pass or a resize through QString.
    char16_t* d = out.room(n);
    qsizetype k = 0;
    const auto* b = reinterpret_cast<const unsigned char*>(p);
    for (qint64 i = 0; i < n; ++i) {
        const unsigned char c = b[i];
        if (c < 0x80) {
            if (kStopAtZero && c == 0)
                break;
            d[k++] = c;
            continue;
        }
        if (c < 0x81 || c > 0xFE || i + 1 >= n)
            return false;
        const unsigned char t = b[i + 1];
        if (t < 0x40 || t > 0xFE || t == 0x7F)
            return false;
        const char16_t u = table[size_t((c - 0x81) * kTrailSpan + (t - 0x40))];
        if (u == 0)
            return false;
        d[k++] = u;
        ++i;
    }
    out.finish(k);
    return true;
}

// ASCII up to the first zero byte (at most n) into `out`; false, with `out`
// holding nothing of use, at the first byte above 0x7F.
bool decodeAsciiToZero(const char* p, qint64 n, TextOut& out)
{
    char16_t* d = out.room(n);
    const auto* b = reinterpret_cast<const unsigned char*>(p);
    qint64 i = 0;
    for (; i < n && b[i] != 0; ++i) {
        if (b[i] > 0x7F)
            return false;
        d[i] = b[i];
    }
    out.finish(i);
    return true;
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

bool isAsciiBytes(const char* p, qint64 n)
{
    for (qint64 i = 0; i < n; ++i)
        if (static_cast<unsigned char>(p[i]) > 0x7F)
            return false;
    return true;
}

char16_t* TextOut::fresh(qsizetype n)
{
    char16_t* units = nullptr;
    target_ = uninitializedText(n, &units);
    return units;
}

QString decodeBytes(const char* p, qint64 n, platform::TextEncoding encoding)
{
    QString text;
    TextOut out(text);
    decodeBytes(p, n, encoding, out);
    return text;
}

void decodeBytes(const char* p, qint64 n, platform::TextEncoding encoding, TextOut& out)
{
    if (n <= 0) {
        out.empty();
        return;
    }
    if (encoding == platform::TextEncoding::GB18030) {
        // ASCII and two-byte codes in one pass into the text itself.
        if (!decodeGb18030TwoByte<false>(p, n, out))
            out.assign(platform::decodeTextLossy(QByteArrayView(p, n), encoding));
        return;
    }
    if (encoding != platform::TextEncoding::UTF16LE) {
        // ASCII in one pass into the text itself.
        char16_t* d = out.room(n);
        const auto* b = reinterpret_cast<const unsigned char*>(p);
        qint64 i = 0;
        while (i < n && b[i] < 0x80) {
            d[i] = b[i];
            ++i;
        }
        if (i == n) {
            out.finish(n);
            return;
        }
    }
    out.assign(platform::decodeTextLossy(QByteArrayView(p, n), encoding));
}

void decodeStoredText(const char* p, qint64 max, platform::TextEncoding encoding, TextOut& out)
{
    const bool utf16 = encoding == platform::TextEncoding::UTF16LE;
    if (!p || max <= 0 || (p[0] == 0 && (!utf16 || max < 2 || p[1] == 0))) {
        out.empty();
        return;
    }
    // Most values are short, and ASCII or two-byte GB 18030: read to their
    // end in one pass. A text made for one is as long as its stored bytes at
    // first, so only short ones are read this way: a long value cut short by
    // a zero byte must not leave a large text behind. The rest are measured
    // first and go the general way.
    constexpr qint64 kOnePassBytes = 64;
    if (max <= kOnePassBytes && !utf16
        && (encoding == platform::TextEncoding::GB18030 ? decodeGb18030TwoByte<true>(p, max, out)
                                                        : decodeAsciiToZero(p, max, out)))
        return;
    qint64 n = 0;
    if (utf16) {
        while (n + 1 < max && (p[n] != 0 || p[n + 1] != 0))
            n += 2;
    } else {
        const void* zero = std::memchr(p, 0, static_cast<size_t>(max));
        n = zero ? static_cast<const char*>(zero) - p : max;
    }
    decodeBytes(p, n, encoding, out);
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
