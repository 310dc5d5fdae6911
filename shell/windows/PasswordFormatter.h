#pragma once

#include "login/Account.h"
#include "shell/formatters/NumberCharFormatter.h"

// Every password field, the login form's and the password page's alike:
// letters and digits, at most as many as a password may have, so that every
// password a customer can set can be typed whole at the next login.
class PasswordFormatter final : public NumberCharFormatter {
    Q_OBJECT
public:
    static constexpr quint64 kMaxLength = quint64(Account::kMaxPasswordLength);
    explicit PasswordFormatter(QObject* parent = nullptr);
};
