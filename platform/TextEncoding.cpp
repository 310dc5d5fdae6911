#include "platform/TextEncoding.h"

#include <QStringDecoder>
#include <QStringEncoder>

namespace platform {
namespace {

// Qt's name lookup does not list GB 18030 although its ICU-backed converter
// handles it, so the converters are made by name.
QStringDecoder makeDecoder(TextEncoding encoding)
{
    switch (encoding) {
    case TextEncoding::GB18030: return QStringDecoder("GB18030", QStringConverter::Flag::Stateless);
    case TextEncoding::UTF16LE: return QStringDecoder(QStringConverter::Utf16LE, QStringConverter::Flag::Stateless);
    case TextEncoding::UTF8: return QStringDecoder(QStringConverter::Utf8, QStringConverter::Flag::Stateless);
    case TextEncoding::ASCII: break;
    }
    return QStringDecoder(QStringConverter::Latin1, QStringConverter::Flag::Stateless);
}

QStringEncoder makeEncoder(TextEncoding encoding)
{
    switch (encoding) {
    case TextEncoding::GB18030: return QStringEncoder("GB18030", QStringConverter::Flag::Stateless);
    case TextEncoding::UTF16LE: return QStringEncoder(QStringConverter::Utf16LE, QStringConverter::Flag::Stateless);
    case TextEncoding::UTF8: return QStringEncoder(QStringConverter::Utf8, QStringConverter::Flag::Stateless);
    case TextEncoding::ASCII: break;
    }
    return QStringEncoder(QStringConverter::Latin1, QStringConverter::Flag::Stateless);
}

// Making an ICU converter is far dearer than decoding a short field, and
// replies hold thousands of them, so each thread keeps one per encoding.
QStringDecoder& cachedDecoder(TextEncoding encoding)
{
    thread_local QStringDecoder decoders[] = { makeDecoder(TextEncoding::GB18030), makeDecoder(TextEncoding::UTF16LE),
        makeDecoder(TextEncoding::UTF8), makeDecoder(TextEncoding::ASCII) };
    QStringDecoder& decoder = decoders[static_cast<int>(encoding)];
    // resetState() leaves the error count of some converters as it was, so a
    // converter that saw an error is replaced. It is made in place: an ICU
    // converter reports its errors to the state it was made with, so a moved
    // one would count them in a dead object and never report one again.
    if (decoder.hasError()) {
        decoder.~QStringDecoder();
        ::new (static_cast<void*>(&decoder)) QStringDecoder(makeDecoder(encoding));
    } else {
        decoder.resetState();
    }
    return decoder;
}

bool isAscii(QByteArrayView bytes)
{
    for (char c : bytes)
        if (static_cast<unsigned char>(c) > 0x7F)
            return false;
    return true;
}

} // namespace

std::optional<QString> decodeText(QByteArrayView bytes, TextEncoding encoding)
{
    if (encoding == TextEncoding::ASCII && !isAscii(bytes))
        return std::nullopt;
    if (encoding == TextEncoding::UTF16LE && bytes.size() % 2 != 0)
        return std::nullopt;
    QStringDecoder& decoder = cachedDecoder(encoding);
    QString text = decoder.decode(bytes);
    if (decoder.hasError())
        return std::nullopt;
    return text;
}

QString decodeTextLossy(QByteArrayView bytes, TextEncoding encoding)
{
    if (encoding == TextEncoding::UTF16LE && bytes.size() % 2 != 0)
        bytes = bytes.first(bytes.size() - 1);
    QString text = cachedDecoder(encoding).decode(bytes);
    if (encoding == TextEncoding::ASCII) {
        for (QChar& c : text)
            if (c.unicode() > 0x7F)
                c = QChar::ReplacementCharacter;
    }
    return text;
}

std::optional<QByteArray> encodeText(const QString& text, TextEncoding encoding)
{
    if (encoding == TextEncoding::ASCII) {
        for (QChar c : text)
            if (c.unicode() > 0x7F)
                return std::nullopt;
    }
    QStringEncoder encoder = makeEncoder(encoding);
    QByteArray bytes = encoder.encode(text);
    if (encoder.hasError())
        return std::nullopt;
    return bytes;
}

} // namespace platform
