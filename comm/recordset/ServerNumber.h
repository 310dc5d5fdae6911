#pragma once

#include <QString>
#include <QStringView>
#include <QVariant>
#include <QtGlobal>
#include <optional>

class VEKTCRS;

// Numbers out of what a server sends, and the one reader of its flags and
// codes. Nothing here depends on the locale, and nothing can crash on what a
// server sends.
namespace servernumber {

// Flags and codes ("ischecksdx", "fundseq", a market or class id) count by
// their value, whatever form the server sends them in: the texts "1", "1.0",
// "1.000" and " 1 " and a numeric field holding 1 are all 1. A text is read
// whole: blanks around it aside, it is one decimal number (sign, digits,
// fraction, exponent), or it has no value ("", "abc", "1x", "NaN", "inf"),
// like a missing field. What no value means is the field's own rule: a flag
// that must be 1 is not 1, a field read as 0 when missing is 0.
std::optional<double> valueOf(QStringView text);
inline std::optional<double> valueOf(const QString& text)
{
    return valueOf(QStringView(text));
}
// The same value where a whole number is wanted (a code to look up, a number
// to keep): none also for a number that is not whole ("2.5" is no market) or
// lies past 64 bits, and for one with a fraction or an exponent past 2^53,
// whose wholeness a double cannot tell.
std::optional<qint64> wholeValueOf(QStringView text);
inline std::optional<qint64> wholeValueOf(const QString& text)
{
    return wholeValueOf(QStringView(text));
}
// A value kept in our own files: a number or a boolean as stored, a text as
// above; anything else has none.
std::optional<double> valueOf(const QVariant& value);
std::optional<qint64> wholeValueOf(const QVariant& value);
// A code written back into a text (a market in "600000.1"): a whole value as
// plain digits ("1.000" gives "1"), any other text as it came.
QString wholeText(const QString& text);
// Seconds the server makes the customer wait (an agreement's "locktime"), by
// value: a fraction counts as a whole second more, so the wait is never
// shorter than sent ("1e1" is 10, "2.5" is 3); no value (as a missing field),
// zero or less is no wait; past 64 bits, the longest.
qint64 waitSecondsOf(QStringView text);

// Prices, quantities and amounts as the servers send them, decimal text read
// the way C reads it: the leading number counts, trailing junk is ignored, a
// text without a number is 0, a value past the type's range saturates at its
// limit.
qint64 toInt64(QStringView text);
qint32 toInt32(QStringView text);
qint16 toInt16(QStringView text);
double toDouble(QStringView text);
// The floating-point value cut toward zero ("12.9" gives 12, "1e3" 1000).
qint64 toTruncatedInt64(QStringView text);
qint32 toTruncatedInt32(QStringView text);

// What a number the server sent stands for, as far as showing it goes.
enum class Field {
    Price, // finite, not negative
    Amount, // money held or available: finite, not negative
    SignedAmount, // a change, a profit or loss: finite, either sign
    Quantity, // shares or units: whole, not negative
};
// The text shown in place of a number that is not plausible for its field.
inline constexpr char kNotShown[] = "--";
// Whether a whole text (blanks around it aside) is one number plausible for
// its field: within 64 bits, finite, the sign and wholeness the field allows.
// "abc", "", "1e999" and "9223372036854775808" are not.
bool isPlausible(QStringView text, Field field);
bool isPlausible(double value, Field field);
// The server's text as it came, followed by `unit`, when it is plausible;
// kNotShown (without the unit) otherwise.
QString shownText(const QString& text, Field field, const QString& unit = QString());

// Reads the current row of a record set by field name. A text field goes
// through the functions above; a binary field is read as stored (saturating
// in the same way). A missing field reads as "" or 0, or has no value.
class Row {
public:
    explicit Row(const VEKTCRS& set)
        : set_(set)
    {
    }
    // A flag or code by its value, as valueOf and wholeValueOf read a text;
    // none for a missing field.
    std::optional<double> value(const char* name) const;
    std::optional<qint64> wholeValue(const char* name) const;
    QString text(const char* name) const;
    qint64 int64(const char* name) const;
    qint32 int32(const char* name) const;
    qint16 int16(const char* name) const;
    double real(const char* name) const;
    qint64 truncated64(const char* name) const;
    qint32 truncated32(const char* name) const;
    // A number that is only shown: NaN, which every display shows as
    // kNotShown, when the field holds no number plausible for `field` ("abc",
    // "", "NaN", a negative price).
    double shown(const char* name, Field field) const;

private:
    // A number stored as text is read into one text the row's reads share,
    // so that reading a row's fields allocates once, not once a field.
    QStringView textAt(qint32 index) const;

    const VEKTCRS& set_;
    mutable QString scratch_;
};

} // namespace servernumber
