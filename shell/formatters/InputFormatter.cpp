#include "shell/formatters/InputFormatter.h"

#include "core/TypedNumber.h"

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

QVariant InputFormatter::getObjectValue(const QString& string)
{
    return string;
}

QValidator::State InputFormatter::validate(QString& input, int& pos) const
{
    if (readsTypedNumbers_) {
        const QString ascii = typednumber::asciiForms(input);
        qsizetype before = 0; // white space dropped before the cursor
        while (before < ascii.size() && ascii[before].isSpace())
            ++before;
        input = typednumber::read(input);
        pos = int(std::clamp<qsizetype>(pos - before, 0, input.size()));
    }
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
