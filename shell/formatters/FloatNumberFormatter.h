#pragma once

#include "shell/formatters/InputFormatter.h"

// Digits with at most one decimal point, never the first character; no
// sign and no length limit.
class FloatNumberFormatter : public InputFormatter {
    Q_OBJECT
public:
    explicit FloatNumberFormatter(QObject* parent = nullptr);

    bool isPartialStringValid(const QString& partialString) const override;
    bool keyForPartialString(QChar character) const override;
};
