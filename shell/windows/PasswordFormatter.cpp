#include "shell/windows/PasswordFormatter.h"

PasswordFormatter::PasswordFormatter(QObject* parent)
    : NumberCharFormatter(parent)
{
    setMaxLength(kMaxLength);
    takeKeystrokesAsTyped();
}
