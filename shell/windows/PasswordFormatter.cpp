#include "shell/windows/PasswordFormatter.h"

PasswordFormatter::PasswordFormatter(QObject* parent)
    : NumberCharFormatter(parent)
{
    setMaxLength(kMaxLength);
}

QString PasswordFormatter::rule()
{
    return QStringLiteral("密码只能由字母和数字组成，最多%1位").arg(kMaxLength);
}
