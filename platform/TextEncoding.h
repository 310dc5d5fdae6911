#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <optional>

namespace platform {

// The text encodings the servers and the stored files use.
enum class TextEncoding {
    GB18030,
    UTF16LE, // 16-bit units, little-endian, no byte-order mark
    UTF8,
    ASCII,   // 7-bit only; any byte above 0x7F is an error
};

// Decodes `bytes`; nullopt when they are not valid in the encoding.
std::optional<QString> decodeText(QByteArrayView bytes, TextEncoding encoding);

// Decodes leniently: invalid sequences become U+FFFD instead of failing.
QString decodeTextLossy(QByteArrayView bytes, TextEncoding encoding);

// Encodes `text`; nullopt when it cannot be represented (ASCII with a
// character above 0x7F, or a lone surrogate).
std::optional<QByteArray> encodeText(const QString& text, TextEncoding encoding);

} // namespace platform
