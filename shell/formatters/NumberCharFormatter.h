#pragma once

#include "shell/formatters/InputFormatter.h"

// ASCII letters and digits, at most 256 by default: account numbers and
// passwords (the login page's password formatter derives from it).
class NumberCharFormatter : public LimitedInputFormatter {
    Q_OBJECT
public:
    static constexpr quint64 kDefaultMaxLength = 256;
    explicit NumberCharFormatter(QObject* parent = nullptr);

    bool isPartialStringValid(const QString& partialString) const override;
    bool keyForPartialString(QChar character) const override;
};
