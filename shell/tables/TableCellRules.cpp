#include "shell/tables/TableCellRules.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <string>

namespace tablecells {

namespace {

constexpr double kSignThreshold = 1e-6;

bool isBlank(QChar c)
{
    return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r';
}

bool isDigit(QChar c)
{
    return c >= u'0' && c <= u'9';
}

// Reads a text left to right, passing over "%" signs when asked to; past
// the end it reads a zero character, which is no digit, sign or blank.
class Cursor {
public:
    Cursor(QStringView text, bool skipPercent)
        : text_(text)
        , skipPercent_(skipPercent)
    {
        settle();
    }
    QChar peek() const { return pos_ < text_.size() ? text_[pos_] : QChar(); }
    bool atEnd() const { return pos_ >= text_.size(); }
    qsizetype pos() const { return pos_; }
    void next()
    {
        ++pos_;
        settle();
    }
    void moveTo(qsizetype pos)
    {
        pos_ = pos;
        settle();
    }

private:
    void settle()
    {
        if (skipPercent_)
            while (pos_ < text_.size() && text_[pos_] == u'%')
                ++pos_;
    }

    QStringView text_;
    bool skipPercent_;
    qsizetype pos_ = 0;
};

void skipBlanks(Cursor& c)
{
    while (isBlank(c.peek()))
        c.next();
}

// Scans a number at the cursor in the manner of the pure-number tests: sign,
// digits, and for floats a fraction and an exponent. Leaves the cursor after
// it; false when no number starts there.
bool scanNumber(Cursor& c, bool allowFraction)
{
    if (c.peek() == u'+' || c.peek() == u'-')
        c.next();
    qsizetype digits = 0;
    for (; isDigit(c.peek()); c.next())
        ++digits;
    if (allowFraction && c.peek() == u'.') {
        c.next();
        for (; isDigit(c.peek()); c.next())
            ++digits;
    }
    if (digits == 0)
        return false;
    if (allowFraction && (c.peek() == u'e' || c.peek() == u'E')) {
        const qsizetype mantissaEnd = c.pos();
        c.next();
        if (c.peek() == u'+' || c.peek() == u'-')
            c.next();
        qsizetype expDigits = 0;
        for (; isDigit(c.peek()); c.next())
            ++expDigits;
        if (expDigits == 0)
            c.moveTo(mantissaEnd);
    }
    return true;
}

// Texts up to this long are converted on the stack; longer ones on the heap.
constexpr qsizetype kShortText = 64;

// The number at the start of the text, after blanks; empty when none starts there.
QStringView leadingNumber(QStringView text)
{
    Cursor c(text, false);
    skipBlanks(c);
    const qsizetype start = c.pos();
    if (!scanNumber(c, true))
        return {};
    return text.sliced(start, c.pos() - start);
}

// Reads a scanned number locale-free: its text is ASCII (sign, digits, point
// and exponent). The value holds only when the reading has no error.
std::errc readNumber(QStringView number, double& value)
{
    if (number.startsWith(u'+'))
        number = number.sliced(1);
    std::array<char, kShortText> shortText {};
    std::string longText;
    char* bytes = shortText.data();
    const qsizetype length = number.size();
    if (length > kShortText) {
        longText.resize(size_t(length));
        bytes = longText.data();
    }
    for (qsizetype i = 0; i < length; ++i)
        bytes[i] = char(number[i].unicode());
    return std::from_chars(bytes, bytes + length, value).ec;
}

// Whether a scanned number out of a double's range is too large for it
// rather than too small: its first significant digit stands before the
// point once the exponent has moved it. The exponent is capped far beyond
// any text's length, which keeps that place's side.
bool tooLarge(QStringView number)
{
    constexpr qint64 kExponentCap = qint64(1) << 40;
    qint64 place = 0;
    bool significant = false;
    bool fraction = false;
    qsizetype i = number.startsWith(u'+') || number.startsWith(u'-') ? 1 : 0;
    for (; i < number.size() && (isDigit(number[i]) || number[i] == u'.'); ++i) {
        if (number[i] == u'.')
            fraction = true;
        else if (number[i] != u'0')
            significant = true;
        if (significant && !fraction)
            ++place; // a digit before the point, from the first significant one
        else if (!significant && fraction && number[i] == u'0')
            --place; // a zero between the point and the first significant digit
    }
    if (i < number.size()) { // the exponent, with at least one digit
        const bool negative = number[++i] == u'-';
        if (number[i] == u'+' || number[i] == u'-')
            ++i;
        qint64 exponent = 0;
        for (; i < number.size(); ++i)
            exponent = std::min(exponent * 10 + number[i].digitValue(), kExponentCap);
        place += negative ? -exponent : exponent;
    }
    return place > 0;
}

// A scanned number as its sign reads it: one too large for a double is an
// infinity of its text's sign, one too small for a double is zero.
double signValue(QStringView number)
{
    double value = 0.0;
    const std::errc read = readNumber(number, value);
    if (read == std::errc())
        return value;
    if (read == std::errc::result_out_of_range && tooLarge(number))
        return number.startsWith(u'-') ? -HUGE_VAL : HUGE_VAL;
    return 0.0;
}

bool isPure(QStringView text, bool allowFraction, bool skipPercent = false)
{
    Cursor c(text, skipPercent);
    skipBlanks(c);
    if (!scanNumber(c, allowFraction))
        return false;
    skipBlanks(c);
    return c.atEnd();
}

} // namespace

ColumnRule columnRuleFor(const QString& title)
{
    static const std::array<QString, 6> masked { QStringLiteral("股东代码"), QStringLiteral("股东账户"),
        QStringLiteral("客户号"), QStringLiteral("客户代码"), QStringLiteral("资金账号"),
        QStringLiteral("资金账户") };
    static const std::array<QString, 10> centred { QStringLiteral("客户号"), QStringLiteral("代码"),
        QStringLiteral("账户"), QStringLiteral("帐户"), QStringLiteral("账号"), QStringLiteral("帐号"),
        QStringLiteral("序号"), QStringLiteral("编号"), QStringLiteral("日期"), QStringLiteral("流水号") };
    ColumnRule rule;
    rule.profitLoss = title == QStringLiteral("参考盈亏") || title == QStringLiteral("盈亏比例(%)");
    rule.buySell = title == QStringLiteral("买卖标志");
    for (const QString& m : masked)
        rule.maskable = rule.maskable || title == m;
    for (const QString& c : centred)
        rule.centredTitle = rule.centredTitle || title.contains(c);
    return rule;
}

CellTone toneFor(const ColumnRule& rule, QStringView value)
{
    if (rule.profitLoss) {
        const double x = signValue(leadingNumber(value));
        if (x < -kSignThreshold)
            return CellTone::Loss;
        if (x > kSignThreshold)
            return CellTone::Profit;
    }
    if (rule.buySell) {
        if (value.contains(u"买入"))
            return CellTone::Buy;
        if (value.contains(u"卖出"))
            return CellTone::Sell;
    }
    return CellTone::Neutral;
}

Qt::Alignment alignmentFor(const ColumnRule& rule, QStringView value)
{
    if (rule.centredTitle)
        return Qt::AlignHCenter;
    // "%" signs do not count: the scan passes over them.
    return isPure(value, true, true) ? Qt::AlignRight : Qt::AlignHCenter;
}

CellLook lookOf(const ColumnRule& rule, QStringView value)
{
    CellLook look;
    look.rightAligned = alignmentFor(rule, value) == Qt::AlignRight;
    if (rule.profitLoss || rule.buySell)
        look.tone = toneFor(rule, value);
    return look;
}

QString maskAccount(const QString& value)
{
    if (value.size() < 6)
        return value;
    QString masked = value;
    for (qsizetype i = value.size() - 6; i < value.size() - 2; ++i)
        masked[i] = u'*';
    return masked;
}

bool isPureInt(QStringView text)
{
    return isPure(text, false);
}

bool isPureFloat(QStringView text)
{
    return isPure(text, true);
}

double leadingDouble(QStringView text)
{
    // A value out of a double's range reads as none.
    double value = 0.0;
    return readNumber(leadingNumber(text), value) == std::errc() ? value : 0.0;
}

} // namespace tablecells
