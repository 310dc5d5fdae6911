#include "shell/formatters/InputFormatter.h"

#include <algorithm>

InputFormatter::InputFormatter(QObject* parent)
    : QValidator(parent)
{
}

std::optional<QString> InputFormatter::stringForObjectValue(const QVariant& value)
{
    if (value.typeId() != QMetaType::QString)
        return std::nullopt;
    return value.toString();
}

QVariant InputFormatter::getObjectValue(const QString& string) { return string; }

QValidator::State InputFormatter::validate(QString& input, int&) const
{
    return isPartialStringValid(input) ? Acceptable : Invalid;
}

bool InputFormatter::allKeysAdmitted(const QString& text) const
{
    return std::all_of(text.begin(), text.end(), [this](QChar c) { return keyForPartialString(c); });
}

LimitedInputFormatter::LimitedInputFormatter(quint64 maxLength, QObject* parent)
    : InputFormatter(parent)
    , _maxLength(maxLength)
{
}
