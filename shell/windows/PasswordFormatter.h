#pragma once

#include "shell/formatters/NumberCharFormatter.h"

// The login form's password field: letters and digits, at most 8.
class PasswordFormatter final : public NumberCharFormatter {
    Q_OBJECT
public:
    static constexpr quint64 kMaxLength = 8;
    explicit PasswordFormatter(QObject* parent = nullptr);
};
