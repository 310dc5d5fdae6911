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

// Where a text is written in place: the caller's text, whose buffer is reused
// when the text is its own and large enough, so that a loop reading cell
// after cell into one text allocates nothing; otherwise a new buffer of the
// size asked (a null text stays null when it is emptied).
class TextOut {
public:
    explicit TextOut(QString& target)
        : target_(target)
    {
    }
    // Room for `n` (> 0) units; what the text held is lost.
    char16_t* room(qsizetype n)
    {
        QString::DataPointer& d = target_.data_ptr();
        if (!d.needsDetach() && d.size + d.freeSpaceAtEnd() >= n) [[likely]]
            return d.data();
        return fresh(n);
    }
    // The text is the first `n` units of the room just asked for.
    void finish(qsizetype n)
    {
        QString::DataPointer& d = target_.data_ptr();
        d.size = n;
        d.data()[n] = u'\0';
    }
    void empty()
    {
        if (target_.data_ptr().needsDetach())
            target_ = QString();
        else
            finish(0);
    }
    void assign(QString text) { target_ = std::move(text); }

private:
    char16_t* fresh(qsizetype n);

    QString& target_;
};

// Text encoding of a record set's code: 0 GB 18030, 1 UTF-16, 2 UTF-8, other ASCII.
inline platform::TextEncoding textEncodingOf(qint32 encoding)
{
    switch (encoding) {
    case 0:
        return platform::TextEncoding::GB18030;
    case 1:
        return platform::TextEncoding::UTF16LE;
    case 2:
        return platform::TextEncoding::UTF8;
    default:
        return platform::TextEncoding::ASCII;
    }
}
bool isAsciiBytes(const char* p, qint64 n);
// Decodes leniently (bad sequences become U+FFFD), with a fast path for
// plain ASCII, which most values are.
QString decodeBytes(const char* p, qint64 n, platform::TextEncoding encoding);
void decodeBytes(const char* p, qint64 n, platform::TextEncoding encoding, TextOut& out);
// A stored value: its bytes up to the first zero byte (zero unit in UTF-16),
// at most `max`, decoded as above; empty without bytes.
void decodeStoredText(const char* p, qint64 max, platform::TextEncoding encoding, TextOut& out);

// Truncation toward zero that saturates instead of being undefined; NaN is 0.
qint64 saturatingInt64(double value);
qint32 saturatingInt32(double value);
qint16 saturatingInt16(double value);
qint8 saturatingInt8(double value);
// Narrowing to single precision; values beyond its range become +-inf.
float toSingle(double value);

} // namespace tcrs
