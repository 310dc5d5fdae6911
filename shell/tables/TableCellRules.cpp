#include "shell/tables/TableCellRules.h"

#include "quotes/requests/ServerNumber.h"

#include <array>

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

// Scans a number from `pos` in the manner of the pure-number tests: sign,
// digits, and for floats a fraction and an exponent. Answers the position
// after it, or -1 when no number starts there.
qsizetype scanNumber(QStringView text, qsizetype pos, bool allowFraction)
{
    const qsizetype n = text.size();
    if (pos < n && (text[pos] == u'+' || text[pos] == u'-'))
        ++pos;
    qsizetype digits = 0;
    while (pos < n && isDigit(text[pos]))
        ++pos, ++digits;
    if (allowFraction && pos < n && text[pos] == u'.') {
        ++pos;
        while (pos < n && isDigit(text[pos]))
            ++pos, ++digits;
    }
    if (digits == 0)
        return -1;
    if (allowFraction && pos < n && (text[pos] == u'e' || text[pos] == u'E')) {
        qsizetype e = pos + 1;
        if (e < n && (text[e] == u'+' || text[e] == u'-'))
            ++e;
        qsizetype expDigits = 0;
        while (e < n && isDigit(text[e]))
            ++e, ++expDigits;
        if (expDigits > 0)
            pos = e;
    }
    return pos;
}

bool isPure(QStringView text, bool allowFraction)
{
    qsizetype pos = 0;
    while (pos < text.size() && isBlank(text[pos]))
        ++pos;
    pos = scanNumber(text, pos, allowFraction);
    if (pos < 0)
        return false;
    while (pos < text.size() && isBlank(text[pos]))
        ++pos;
    return pos == text.size();
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
    // A cost price may fall below zero once gains exceed what was paid.
    rule.neverNegative
        = (title.contains(QStringLiteral("数量")) || title.contains(QStringLiteral("股份"))
              || title.contains(QStringLiteral("价格")) || title.endsWith(QStringLiteral("最新价"))
              || title.endsWith(QStringLiteral("现价")))
        && !title.contains(QStringLiteral("成本"));
    return rule;
}

CellTone toneFor(const ColumnRule& rule, const QString& value)
{
    if (rule.profitLoss) {
        const double x = leadingDouble(value);
        if (x < -kSignThreshold)
            return CellTone::Loss;
        if (x > kSignThreshold)
            return CellTone::Profit;
    }
    if (rule.buySell) {
        if (value.contains(QStringLiteral("买入")))
            return CellTone::Buy;
        if (value.contains(QStringLiteral("卖出")))
            return CellTone::Sell;
    }
    return CellTone::Neutral;
}

Qt::Alignment alignmentFor(const ColumnRule& rule, const QString& value)
{
    if (rule.centredTitle)
        return Qt::AlignHCenter;
    QStringView number(value);
    if (value.contains(u'%')) {
        QString stripped = value;
        stripped.remove(u'%');
        return isPureFloat(stripped) ? Qt::AlignRight : Qt::AlignHCenter;
    }
    return isPureFloat(number) || isPureInt(number) ? Qt::AlignRight : Qt::AlignHCenter;
}

QString shownCell(const ColumnRule& rule, const QString& value)
{
    if (rule.centredTitle || !isPureFloat(value))
        return value;
    using servernumber::Field;
    return servernumber::isPlausible(value, rule.neverNegative ? Field::Amount : Field::SignedAmount)
        ? value
        : QString::fromLatin1(servernumber::kNotShown);
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
    qsizetype start = 0;
    while (start < text.size() && isBlank(text[start]))
        ++start;
    const qsizetype end = scanNumber(text, start, true);
    if (end < 0)
        return 0.0;
    bool ok = false;
    const double value = text.sliced(start, end - start).toString().toDouble(&ok);
    return ok ? value : 0.0;
}

} // namespace tablecells
