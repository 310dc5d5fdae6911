#include "connect/pages/PriceValue.h"

#include <algorithm>
#include <limits>

namespace {

constexpr qint64 kMax = std::numeric_limits<qint64>::max();

constexpr qint64 pow10(int n)
{
    qint64 p = 1;
    while (n-- > 0)
        p *= 10;
    return p;
}

quint64 magnitude(qint64 units)
{
    return units < 0 ? 0 - quint64(units) : quint64(units);
}

QString withDecimals(bool negative, quint64 magnitude, int decimals)
{
    QString text = QString::number(magnitude).rightJustified(decimals + 1, u'0');
    if (decimals > 0)
        text.insert(text.size() - decimals, u'.');
    return negative && magnitude != 0 ? u'-' + text : text;
}

} // namespace

PriceValue::PriceValue(qint64 units, int scale)
    : units_(units)
    , scale_(scale)
{
    while (scale_ > 0 && units_ % 10 == 0) {
        units_ /= 10;
        --scale_;
    }
}

PriceValue PriceValue::of(QStringView text, bool* isNumber)
{
    qsizetype i = 0;
    while (i < text.size() && text[i].isSpace())
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == u'-' || text[i] == u'+'))
        negative = text[i++] == u'-';
    qint64 units = 0;
    int scale = 0;
    bool digits = false;
    bool fraction = false;
    bool full = false; // no further digit fits
    for (; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        if (c == u'.' && !fraction) {
            fraction = true;
            continue;
        }
        if (c < u'0' || c > u'9')
            break;
        digits = true;
        const int digit = c - u'0';
        if (full)
            continue;
        if (fraction && scale == kMaxDecimals) {
            full = true;
            if (digit >= 5 && units < kMax)
                ++units;
        } else if (units > (kMax - digit) / 10) {
            full = true;
            if (!fraction) {
                units = kMax;
                scale = 0;
            } else if (digit >= 5 && units < kMax) {
                ++units;
            }
        } else {
            units = units * 10 + digit;
            scale += fraction ? 1 : 0;
        }
    }
    if (isNumber)
        *isNumber = digits;
    return { negative ? -units : units, scale };
}

PriceValue PriceValue::plus(const PriceValue& other) const
{
    const int scale = std::max(scale_, other.scale_);
    qint64 a = 0;
    qint64 b = 0;
    qint64 sum = 0;
    if (__builtin_mul_overflow(units_, pow10(scale - scale_), &a)
        || __builtin_mul_overflow(other.units_, pow10(scale - other.scale_), &b)
        || __builtin_add_overflow(a, b, &sum) || sum == std::numeric_limits<qint64>::min())
        return *this;
    return { sum, scale };
}

QString PriceValue::text() const
{
    return withDecimals(units_ < 0, magnitude(units_), scale_);
}

QString PriceValue::text(int decimals) const
{
    decimals = std::clamp(decimals, 0, kMaxDecimals);
    quint64 m = magnitude(units_);
    if (scale_ <= decimals) {
        // Widened with zeros; a value too wide for that shows its own decimals.
        const quint64 widen = quint64(pow10(decimals - scale_));
        return m <= std::numeric_limits<quint64>::max() / widen
            ? withDecimals(units_ < 0, m * widen, decimals)
            : text();
    }
    const quint64 cut = quint64(pow10(scale_ - decimals));
    const bool up = m % cut >= cut / 2;
    m = m / cut + (up ? 1 : 0);
    return withDecimals(units_ < 0, m, decimals);
}
