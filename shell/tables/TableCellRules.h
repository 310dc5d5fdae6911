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
    bool number = false; // holds numbers: a text that is no number shows "--"
};

// What a reply declares a column's field to hold.
enum class DeclaredValue { Text, Integer, Real };

// From the title, and from the field's declared type: a column the reply
// declares numeric holds numbers whatever its title.
ColumnRule columnRuleFor(const QString& title, DeclaredValue declared = DeclaredValue::Text);

// Neutral unless the column colours by sign (beyond one millionth) or by
// direction ("买入" anywhere, else "卖出" anywhere).
CellTone toneFor(const ColumnRule& rule, QStringView value);

// Right for a pure number ("%" signs ignored) outside the centred titles;
// centred otherwise.
Qt::Alignment alignmentFor(const ColumnRule& rule, QStringView value);

// The text a cell shows: the value as the server sent it, negative and
// fractional numbers included, in every column. "--" only for a number that
// is none (not finite, past 64 bits) and, in a column of numbers, for any
// text that is no number ("%" signs aside).
QString shownCell(const ColumnRule& rule, const QString& value);
// Whether that text is the value as it came (kNotShown otherwise).
bool showsAsItCame(const ColumnRule& rule, QStringView value);

// All a table needs of a cell, decided in one pass for most: whether it
// shows as it came, and the tone and alignment of what it shows.
struct CellLook {
    bool asItCame = true;
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

// The number at the start of the text, 0 when there is none; what the sign
// colouring reads.
double leadingDouble(QStringView text);

} // namespace tablecells
