#pragma once

#include "shell/formatters/StockCodeFormatter.h"

class QLineEdit;

// Gives a stock-code field its formatter: digits only, at most `maxLength`
// of them. The formatter alone decides, so a keystroke or a paste it refuses
// leaves the field as it was (a length cap of the field itself would cut a
// paste short instead) and no message is shown.
StockCodeFormatter* useStockCodeFormatter(
    QLineEdit* field, quint64 maxLength = StockCodeFormatter::kDefaultMaxLength);
