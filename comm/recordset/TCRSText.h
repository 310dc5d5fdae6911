#pragma once

#include "platform/TextEncoding.h"

#include <QString>
#include <QStringView>
#include <QtGlobal>

// Number conversions shared by the record-set reads and writes.
namespace tcrs {

// Integer value of a text, the way C's atoll reads one: leading white space
// (space, \t \n \v \f \r) is skipped, then an optional sign and decimal digits
// up to the first non-digit. No digits gives 0; a value past the 64-bit range
// saturates at its limit instead of overflowing.
qint64 int64FromText(QStringView text);
// The same, saturated to the 32-bit range.
qint32 int32FromText(QStringView text);
// Floating-point value of a text at double precision: white space, sign,
// digits, an optional fraction and exponent, up to the first character that
// does not fit; 0.0 without digits, +-inf or 0.0 past the double range.
double doubleFromText(QStringView text);

// A text of `n` (> 0) units for the caller to fill through `units`, made
// without the out-of-line constructor: tables are read a cell at a time, and
// the text's own allocation is most of what a short cell costs.
inline QString uninitializedText(qsizetype n, char16_t** units)
{
    QString::DataPointer d(QTypedArrayData<char16_t>::allocate(n), n);
    Q_CHECK_PTR(d.data());
    d.data()[n] = u'\0';
    *units = d.data();
    return QString(std::move(d));
}

// Text encoding of a record set's code: 0 GB 18030, 1 UTF-16, 2 UTF-8, other ASCII.
platform::TextEncoding textEncodingOf(qint32 encoding);
bool isAsciiBytes(const char* p, qint64 n);
// Decodes leniently (bad sequences become U+FFFD), with a fast path for
// plain ASCII, which most values are.
QString decodeBytes(const char* p, qint64 n, platform::TextEncoding encoding);

// Truncation toward zero that saturates instead of being undefined; NaN is 0.
qint64 saturatingInt64(double value);
qint32 saturatingInt32(double value);
qint16 saturatingInt16(double value);
qint8 saturatingInt8(double value);
// Narrowing to single precision; values beyond its range become +-inf.
float toSingle(double value);

} // namespace tcrs
