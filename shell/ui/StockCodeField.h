#pragma once

#include "shell/formatters/CodeFormatter.h"
#include "shell/formatters/StockCodeFormatter.h"

#include <limits>

class QLineEdit;

// Gives a stock-code field its formatter: digits only, at most `maxLength`
// of them. The formatter alone decides, so a keystroke or a paste it refuses
// leaves the field as it was (a length cap of the field itself would cut a
// paste short instead) and no message is shown.
StockCodeFormatter* useStockCodeFormatter(
    QLineEdit* field, quint64 maxLength = StockCodeFormatter::kDefaultMaxLength);

// Gives a field that holds a number or a code whose form the server judges
// (an amount, a quantity, a fund code, a captcha) a formatter that takes
// any keystroke, read as typed numbers are: a full-width digit an input
// method commits lands as a digit where it was typed, the cursor after it,
// and white space around the value goes. At most `maxLength` characters as
// read; the field's own length cap stays.
CodeFormatter* useTypedValueFormatter(
    QLineEdit* field, quint64 maxLength = std::numeric_limits<quint64>::max());
