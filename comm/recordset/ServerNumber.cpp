#include "comm/recordset/ServerNumber.h"

#include "comm/recordset/TCRSBytes.h"
#include "comm/recordset/TCRSText.h"
#include "comm/recordset/VEKTCRS.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace servernumber {

namespace {

// 2^63: the first magnitude past 64 bits.
constexpr double kPast64Bits = 9223372036854775808.0;
// 2^53: up to it, every whole number is a double.
constexpr double kExactInDouble = 9007199254740992.0;

std::optional<qint64> wholeOf(double value)
{
    if (!std::isfinite(value) || std::floor(value) != value || value >= kPast64Bits || value < -kPast64Bits)
        return std::nullopt;
    return qint64(value);
}

} // namespace

std::optional<double> valueOf(QStringView text)
{
    const QStringView number = text.trimmed();
    if (number.isEmpty())
        return std::nullopt;
    bool ok = false;
    const double value = number.toDouble(&ok);
    return ok && std::isfinite(value) ? std::optional<double>(value) : std::nullopt;
}

std::optional<qint64> wholeValueOf(QStringView text)
{
    // Whole numbers are read as integers, so that every 64-bit value is exact.
    bool ok = false;
    const qint64 whole = text.trimmed().toLongLong(&ok);
    if (ok)
        return whole;
    // Past 2^53 a double no longer holds every whole number, so a decimal
    // text there ("-9223372036854775809", "4611686018427387904.5") would be
    // read as a neighbour that is whole: such a text has no whole value.
    const std::optional<double> value = valueOf(text);
    return value && std::abs(*value) <= kExactInDouble ? wholeOf(*value) : std::nullopt;
}

namespace {

// A value of our own files read once: its value, and in `whole` the same as
// a whole number where it is one.
std::optional<double> storedValue(const QVariant& value, std::optional<qint64>* whole)
{
    switch (value.typeId()) {
    case QMetaType::Bool:
        *whole = value.toBool() ? 1 : 0;
        return double(**whole);
    case QMetaType::Int:
    case QMetaType::Long:
    case QMetaType::LongLong:
    case QMetaType::Short:
    case QMetaType::UInt:
    case QMetaType::UShort:
        *whole = value.toLongLong();
        return value.toDouble();
    case QMetaType::ULong:
    case QMetaType::ULongLong:
        if (value.toULongLong() <= quint64(std::numeric_limits<qint64>::max()))
            *whole = qint64(value.toULongLong());
        return value.toDouble();
    case QMetaType::Double:
    case QMetaType::Float: {
        const double number = value.toDouble();
        if (!std::isfinite(number))
            return std::nullopt;
        *whole = wholeOf(number);
        return number;
    }
    case QMetaType::QString: {
        const QString text = value.toString();
        *whole = wholeValueOf(text);
        return valueOf(text);
    }
    default:
        return std::nullopt;
    }
}

} // namespace

std::optional<double> valueOf(const QVariant& value)
{
    std::optional<qint64> whole;
    return storedValue(value, &whole);
}

std::optional<qint64> wholeValueOf(const QVariant& value)
{
    std::optional<qint64> whole;
    storedValue(value, &whole);
    return whole;
}

QString wholeText(const QString& text)
{
    const std::optional<qint64> whole = wholeValueOf(text);
    return whole ? QString::number(*whole) : text;
}

qint64 waitSecondsOf(QStringView text)
{
    const std::optional<double> value = valueOf(text);
    if (!value || *value <= 0)
        return 0;
    const double seconds = std::ceil(*value);
    return seconds >= kPast64Bits ? std::numeric_limits<qint64>::max() : qint64(seconds);
}

qint64 toInt64(QStringView text)
{
    return tcrs::int64FromText(text);
}

qint32 toInt32(QStringView text)
{
    return tcrs::int32FromText(text);
}

qint16 toInt16(QStringView text)
{
    return tcrs::saturatingInt16(double(tcrs::int32FromText(text)));
}

double toDouble(QStringView text)
{
    const double value = tcrs::doubleFromText(text);
    // An overflowing text shows as a huge number, never as infinity.
    if (std::isinf(value))
        return value > 0 ? std::numeric_limits<double>::max() : -std::numeric_limits<double>::max();
    return value;
}

qint64 toTruncatedInt64(QStringView text)
{
    return tcrs::saturatingInt64(tcrs::doubleFromText(text));
}

qint32 toTruncatedInt32(QStringView text)
{
    return tcrs::saturatingInt32(tcrs::doubleFromText(text));
}

bool isPlausible(double value, Field field)
{
    if (!std::isfinite(value) || value >= kPast64Bits || value <= -kPast64Bits)
        return false;
    if (field == Field::SignedAmount)
        return true;
    if (value < 0)
        return false;
    return field != Field::Quantity || std::floor(value) == value;
}

bool isPlausible(QStringView text, Field field)
{
    const QStringView number = text.trimmed();
    if (number.isEmpty())
        return false;
    bool ok = false;
    // Whole numbers are read as integers, so 2^63 - 1 counts and 2^63 does not.
    const qint64 whole = number.toLongLong(&ok);
    if (ok)
        return whole >= 0 || field == Field::SignedAmount;
    const double value = number.toDouble(&ok);
    return ok && isPlausible(value, field);
}

QString shownText(const QString& text, Field field, const QString& unit)
{
    return isPlausible(text, field) ? text + unit : QString::fromLatin1(kNotShown);
}

namespace {

// Whether the field is stored as text (or missing, which reads as "").
bool isText(const VEKTCRS& set, const char* name, qint32* index)
{
    *index = set.indexOfFieldWithName(QLatin1String(name));
    const std::optional<TCRSField> field = set.fieldAtIndex(*index);
    return !field || field->type == tcrs::kTypeText || field->type == tcrs::kTypeUnicode;
}

// The value of a field stored as a number; none for a field of another type
// or a row without the field's bytes. `whole` gets it as a whole number.
std::optional<double> binaryValue(const VEKTCRS& set, qint32 index, std::optional<qint64>* whole)
{
    qint32 length = 0;
    const std::optional<TCRSField> field = set.fieldAtIndex(index);
    if (!field || !set.fieldValueAtIndex(index, &length))
        return std::nullopt;
    switch (field->type) {
    case tcrs::kTypeBool:
    case tcrs::kTypeInt8:
    case tcrs::kTypeInt16:
    case tcrs::kTypeInt32:
    case tcrs::kTypeInt32B:
    case tcrs::kTypeInt32C:
    case tcrs::kTypeInt64:
        *whole = set.toInt64AtIndex(index);
        return double(**whole);
    case tcrs::kTypeFloat:
    case tcrs::kTypeDouble: {
        const double value = set.toFloatAtIndex(index);
        if (!std::isfinite(value))
            return std::nullopt;
        *whole = wholeOf(value);
        return value;
    }
    default:
        return std::nullopt;
    }
}

} // namespace

std::optional<double> Row::value(const char* name) const
{
    qint32 index = -1;
    std::optional<qint64> whole;
    return isText(set_, name, &index) ? valueOf(textAt(index)) : binaryValue(set_, index, &whole);
}

std::optional<qint64> Row::wholeValue(const char* name) const
{
    qint32 index = -1;
    if (isText(set_, name, &index))
        return wholeValueOf(textAt(index));
    std::optional<qint64> whole;
    binaryValue(set_, index, &whole);
    return whole;
}

QString Row::text(const char* name) const
{
    return set_.toStringWithName(QLatin1String(name));
}

QStringView Row::textAt(qint32 index) const
{
    set_.readStringAtIndex(index, scratch_);
    return scratch_;
}

qint64 Row::int64(const char* name) const
{
    qint32 index = -1;
    return isText(set_, name, &index) ? toInt64(textAt(index)) : set_.toInt64AtIndex(index);
}

qint32 Row::int32(const char* name) const
{
    qint32 index = -1;
    if (isText(set_, name, &index))
        return toInt32(textAt(index));
    const qint64 value = set_.toInt64AtIndex(index);
    return qint32(
        std::clamp<qint64>(value, std::numeric_limits<qint32>::min(), std::numeric_limits<qint32>::max()));
}

qint16 Row::int16(const char* name) const
{
    return tcrs::saturatingInt16(double(int32(name)));
}

double Row::real(const char* name) const
{
    qint32 index = -1;
    if (isText(set_, name, &index))
        return toDouble(textAt(index));
    const double value = set_.toFloatAtIndex(index);
    return std::isfinite(value) ? value : 0.0;
}

double Row::shown(const char* name, Field field) const
{
    qint32 index = -1;
    if (isText(set_, name, &index)) {
        const QStringView text = textAt(index);
        return isPlausible(text, field) ? toDouble(text) : std::numeric_limits<double>::quiet_NaN();
    }
    const double value = set_.toFloatAtIndex(index);
    return isPlausible(value, field) ? value : std::numeric_limits<double>::quiet_NaN();
}

qint64 Row::truncated64(const char* name) const
{
    return tcrs::saturatingInt64(real(name));
}

qint32 Row::truncated32(const char* name) const
{
    return tcrs::saturatingInt32(real(name));
}

} // namespace servernumber
