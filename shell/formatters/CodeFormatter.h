#pragma once

#include "shell/formatters/InputFormatter.h"

// Any characters, at most `maxLength`: a code or a number whose form the
// server judges (a fund code, an amount). Its limit holds for what is read,
// so a full-width code typed or a code pasted with white space around it
// fits.
class CodeFormatter : public LimitedInputFormatter {
    Q_OBJECT
public:
    explicit CodeFormatter(quint64 maxLength, QObject* parent = nullptr);

    bool isPartialStringValid(const QString& partialString) const override
    {
        return !exceedsLimit(partialString);
    }
    bool keyForPartialString(QChar) const override { return true; }
};
