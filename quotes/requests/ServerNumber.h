#pragma once

#include <QString>
#include <QStringView>
#include <QtGlobal>

class VEKTCRS;

// Numbers out of server text. The servers send prices, quantities and amounts
// as decimal text: the leading number counts, trailing junk is ignored, a
// text without a number is 0, a value past the type's range saturates at its
// limit. Nothing here depends on the locale, and nothing can crash on what a
// server sends.
namespace servernumber {

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
// in the same way). A missing field reads as "" or 0.
class Row {
public:
    explicit Row(const VEKTCRS& set)
        : set_(set)
    {
    }
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
