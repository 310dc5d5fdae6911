#include "quotes/requests/ServerNumber.h"

#include "comm/recordset/TCRSBytes.h"
#include "comm/recordset/TCRSText.h"
#include "comm/recordset/VEKTCRS.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace servernumber {

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

namespace {

// 2^63: the first magnitude past 64 bits.
constexpr double kPast64Bits = 9223372036854775808.0;

} // namespace

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

} // namespace

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
    return qint32(std::clamp<qint64>(value, std::numeric_limits<qint32>::min(), std::numeric_limits<qint32>::max()));
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
