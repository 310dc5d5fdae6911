#pragma once

#include "shell/tables/TableStyle.h"

#include <QString>
#include <QStringView>

// The rules that give every reply table its look, decided once per column
// title and then per value. Pure functions, so the tables can apply them
// when rows arrive and never while drawing.
namespace tablecells {

// What a column's title says about its cells.
struct ColumnRule {
    bool profitLoss = false; // "参考盈亏", "盈亏比例(%)": coloured by sign
    bool buySell = false; // "买卖标志": coloured by direction
    bool maskable = false; // account numbers hidden under account protection
    bool centredTitle = false; // codes, numbers and dates: centred even when numeric
};

ColumnRule columnRuleFor(const QString& title);

// Neutral unless the column colours by the sign of its leading number
// (beyond one millionth; too large for a double still has its sign) or by
// direction ("买入" anywhere, else "卖出" anywhere).
CellTone toneFor(const ColumnRule& rule, QStringView value);

// Right for a pure number ("%" signs ignored) outside the centred titles;
// centred otherwise.
Qt::Alignment alignmentFor(const ColumnRule& rule, QStringView value);

// All a table needs of a cell besides its text, which is the value as the
// server sent it, whatever it is: its tone and its alignment.
struct CellLook {
    CellTone tone = CellTone::Neutral;
    bool rightAligned = false;
};
CellLook lookOf(const ColumnRule& rule, QStringView value);

// The four characters before the last two become "*"; shorter texts than 6
// characters stay as they are.
QString maskAccount(const QString& value);

// Whether the whole text is one integer (one floating-point number), with
// optional surrounding blanks and sign.
bool isPureInt(QStringView text);
bool isPureFloat(QStringView text);

// The number at the start of the text, 0 when there is none or it is out of
// a double's range.
double leadingDouble(QStringView text);

} // namespace tablecells
