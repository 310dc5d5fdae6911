#include "shell/ui/StockCodeField.h"

#include <QLineEdit>

StockCodeFormatter* useStockCodeFormatter(QLineEdit* field, quint64 maxLength)
{
    auto* formatter = new StockCodeFormatter(field);
    formatter->setMaxLength(maxLength);
    field->setMaxLength(32767); // the field's own default: no cap of its own
    field->setValidator(formatter);
    return formatter;
}

CodeFormatter* useTypedValueFormatter(QLineEdit* field, quint64 maxLength)
{
    auto* formatter = new CodeFormatter(maxLength, field);
    field->setValidator(formatter);
    return formatter;
}
