#pragma once

#include "login/Account.h"
#include "shell/formatters/NumberCharFormatter.h"

// The login form's password field: letters and digits, as long as the
// password page lets a customer make a trade password, so that every
// password he can set can be typed whole at the next login.
class PasswordFormatter final : public NumberCharFormatter {
    Q_OBJECT
public:
    static constexpr quint64 kMaxLength = quint64(Account::kMaxPasswordLength);
    explicit PasswordFormatter(QObject* parent = nullptr);
};
