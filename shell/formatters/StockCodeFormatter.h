#pragma once

#include "shell/formatters/InputFormatter.h"

// Digits only, at most six: a stock code.
class StockCodeFormatter : public LimitedInputFormatter {
    Q_OBJECT
public:
    static constexpr quint64 kDefaultMaxLength = 6;
    explicit StockCodeFormatter(QObject* parent = nullptr);

    bool isPartialStringValid(const QString& partialString) const override;
    bool keyForPartialString(QChar character) const override;
};
