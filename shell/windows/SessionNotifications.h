#pragma once

#include "login/Account.h"

#include <QMetaType>
#include <cstdint>
#include <memory>

// The NotificationCenter types the login windows and the screen lock post and
// observe.
namespace sessionnotify {
inline constexpr int32_t kLoginSucceeded = 0; // object: the new Account
inline constexpr int32_t kLogout = 1;
inline constexpr int32_t kLockScreen = 3;
inline constexpr int32_t kUnlockResult = 5; // object: 1 confirmed, 0 not
inline constexpr int32_t kSavedAccountsChanged = 9;
inline constexpr int32_t kResetLockTimer = 18;
inline constexpr int32_t kCloseMessageBoxes = 20;
} // namespace sessionnotify

// A logged-in account travels as the object of type 0.
Q_DECLARE_METATYPE(std::shared_ptr<Account>)
