#pragma once

#include "shell/formatters/InputFormatter.h"

// Digits only, at most 256 by default; the masked form of a stored account
// number (anything, then "****", then one last character) also stands, so a
// field that shows a saved account can keep it.
class NumberFormatter : public LimitedInputFormatter {
    Q_OBJECT
public:
    static constexpr quint64 kDefaultMaxLength = 256;
    explicit NumberFormatter(QObject* parent = nullptr);

    bool isPartialStringValid(const QString& partialString) const override;
    bool keyForPartialString(QChar character) const override;
};
