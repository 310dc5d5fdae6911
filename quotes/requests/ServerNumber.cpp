#include "quotes/requests/ServerNumber.h"

#include "comm/TCRSBytes.h"
#include "comm/TCRSText.h"
#include "comm/VEKTCRS.h"

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

qint64 Row::int64(const char* name) const
{
    qint32 index = -1;
    return isText(set_, name, &index) ? toInt64(set_.toStringAtIndex(index)) : set_.toInt64AtIndex(index);
}

qint32 Row::int32(const char* name) const
{
    qint32 index = -1;
    if (isText(set_, name, &index))
        return toInt32(set_.toStringAtIndex(index));
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
        return toDouble(set_.toStringAtIndex(index));
    const double value = set_.toFloatAtIndex(index);
    return std::isfinite(value) ? value : 0.0;
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
