#pragma once

#include <QByteArray>
#include <QString>

namespace brokersim {

inline constexpr int kCaptchaWidth = 80;
inline constexpr int kCaptchaHeight = 30;

// A small PNG showing the digits, a little displaced and crossed by noise.
// Drawn pixel by pixel, so it needs no fonts and no GUI application.
QByteArray captchaPng(const QString& digits);

} // namespace brokersim
