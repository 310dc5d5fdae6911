#include "comm/recordset/VEKBase64.h"

#include "platform/TextEncoding.h"

#include <array>
#include <cstdint>
#include <limits>
#include <utility>

namespace {

constexpr char kPad = '=';

bool isWhitespace(unsigned char c)
{
    return (c >= 0x09 && c <= 0x0D) || c == 0x20 || c == 0xA0 || c == 0xFF;
}

using DecodeTable = std::array<std::int8_t, 256>;

// Maps each byte to its 6-bit value, -1 outside the alphabet. nullopt for an
// alphabet that is not 64 distinct bytes or that holds the pad, a zero byte
// or whitespace, since those would be ambiguous while decoding.
std::optional<DecodeTable> makeDecodeTable(QByteArrayView charset)
{
    if (charset.size() != 64)
        return std::nullopt;
    DecodeTable table;
    table.fill(-1);
    for (int i = 0; i < 64; ++i) {
        const auto c = static_cast<unsigned char>(charset[i]);
        if (c == 0 || c == kPad || isWhitespace(c) || table[c] >= 0)
            return std::nullopt;
        table[c] = static_cast<std::int8_t>(i);
    }
    return table;
}

std::optional<QByteArray> toOptional(QByteArray bytes, std::size_t written)
{
    if (written == 0)
        return std::nullopt;
    bytes.truncate(static_cast<qsizetype>(written));
    return bytes;
}

std::optional<QString> toText(const std::optional<QByteArray>& bytes)
{
    if (!bytes)
        return std::nullopt;
    return QString::fromLatin1(*bytes);
}

} // namespace

std::size_t VEKBase64::encodedLength(std::size_t length, bool padded)
{
    if (length > (SIZE_MAX - 5) / 8)
        return 0;
    const std::size_t bare = (8 * length + 5) / 6;
    return padded ? (bare + 3) / 4 * 4 : bare;
}

std::size_t VEKBase64::decodeRoom(std::size_t length)
{
    if (length > SIZE_MAX - 3)
        return 0;
    return (length + 3) / 4 * 3;
}

std::size_t VEKBase64::baseEncode(const void* srcBytes, std::size_t srcLen, char* destBytes,
    std::size_t destLen, QByteArrayView charset, bool padded)
{
    if (!srcBytes || srcLen == 0 || !destBytes || charset.size() != 64 || !makeDecodeTable(charset))
        return 0;
    const std::size_t needed = encodedLength(srcLen, padded);
    if (needed == 0 || destLen < needed)
        return 0;
    const auto* src = static_cast<const unsigned char*>(srcBytes);
    char* out = destBytes;
    std::size_t i = 0;
    for (; i + 3 <= srcLen; i += 3) {
        const quint32 group = quint32(src[i]) << 16 | quint32(src[i + 1]) << 8 | src[i + 2];
        *out++ = charset[(group >> 18) & 0x3F];
        *out++ = charset[(group >> 12) & 0x3F];
        *out++ = charset[(group >> 6) & 0x3F];
        *out++ = charset[group & 0x3F];
    }
    const std::size_t left = srcLen - i;
    if (left == 2) {
        const quint32 group = quint32(src[i]) << 16 | quint32(src[i + 1]) << 8;
        *out++ = charset[(group >> 18) & 0x3F];
        *out++ = charset[(group >> 12) & 0x3F];
        *out++ = charset[(group >> 6) & 0x3F];
        if (padded)
            *out++ = kPad;
    } else if (left == 1) {
        const quint32 group = quint32(src[i]) << 16;
        *out++ = charset[(group >> 18) & 0x3F];
        *out++ = charset[(group >> 12) & 0x3F];
        if (padded) {
            *out++ = kPad;
            *out++ = kPad;
        }
    }
    return static_cast<std::size_t>(out - destBytes);
}

std::size_t VEKBase64::baseDecode(const void* srcBytes, std::size_t srcLen, char* destBytes,
    std::size_t destLen, QByteArrayView charset, bool requirePadding)
{
    if (!srcBytes || srcLen == 0 || !destBytes)
        return 0;
    const auto table = makeDecodeTable(charset);
    if (!table)
        return 0;
    const auto* src = static_cast<const unsigned char*>(srcBytes);
    std::size_t i = 0;
    std::size_t written = 0;
    int state = 0;
    unsigned pending = 0; // bits of the byte being assembled, already shifted into place
    bool padded = false;

    auto put = [&](unsigned byte) {
        if (written >= destLen)
            return false;
        destBytes[written++] = static_cast<char>(byte & 0xFF);
        return true;
    };

    while (i < srcLen) {
        const unsigned char c = src[i++];
        if (c == 0)
            break;
        if (isWhitespace(c))
            continue;
        if (c == kPad) {
            if (state < 2)
                return 0;
            if (state == 2) {
                // Two characters of a group need "==", whitespace allowed between.
                while (i < srcLen && src[i] != 0 && isWhitespace(src[i]))
                    ++i;
                if (i >= srcLen || src[i] != kPad)
                    return 0;
                ++i;
            }
            padded = true;
            break;
        }
        const int v = (*table)[c];
        if (v < 0)
            return 0;
        switch (state) {
        case 0:
            pending = unsigned(v) << 2;
            state = 1;
            break;
        case 1:
            if (!put(pending | unsigned(v) >> 4))
                return 0;
            pending = (unsigned(v) & 0x0F) << 4;
            state = 2;
            break;
        case 2:
            if (!put(pending | unsigned(v) >> 2))
                return 0;
            pending = (unsigned(v) & 0x03) << 6;
            state = 3;
            break;
        default:
            if (!put(pending | unsigned(v)))
                return 0;
            pending = 0;
            state = 0;
            break;
        }
    }

    if (padded) {
        while (i < srcLen) {
            const unsigned char c = src[i++];
            if (c == 0)
                break;
            if (!isWhitespace(c))
                return 0;
        }
    } else if ((requirePadding && state != 0) || state == 1) {
        return 0;
    }
    // Bits of the last character that do not reach a whole byte must be zero.
    if ((state == 2 || state == 3) && pending != 0)
        return 0;
    return written;
}

std::optional<QByteArray> VEKBase64::baseEncode(
    const void* bytes, std::size_t length, QByteArrayView charset, bool padded)
{
    const std::size_t size = encodedLength(length, padded);
    if (!bytes || length == 0 || size == 0 || size > std::size_t(std::numeric_limits<qsizetype>::max()))
        return std::nullopt;
    QByteArray out(static_cast<qsizetype>(size), Qt::Uninitialized);
    const std::size_t written = baseEncode(bytes, length, out.data(), size, charset, padded);
    return toOptional(std::move(out), written);
}

std::optional<QByteArray> VEKBase64::baseDecode(
    const void* bytes, std::size_t length, QByteArrayView charset, bool requirePadding)
{
    const std::size_t room = decodeRoom(length);
    if (!bytes || length == 0 || room == 0 || room > std::size_t(std::numeric_limits<qsizetype>::max()))
        return std::nullopt;
    QByteArray out(static_cast<qsizetype>(room), Qt::Uninitialized);
    const std::size_t written = baseDecode(bytes, length, out.data(), room, charset, requirePadding);
    return toOptional(std::move(out), written);
}

std::optional<QByteArray> VEKBase64::encodeData(QByteArrayView data)
{
    return encodeBytes(data.data(), static_cast<std::size_t>(data.size()));
}

std::optional<QByteArray> VEKBase64::encodeBytes(const void* bytes, std::size_t length)
{
    return baseEncode(bytes, length, kStandardCharset, true);
}

std::optional<QString> VEKBase64::stringByEncodingData(QByteArrayView data)
{
    return toText(encodeData(data));
}

std::optional<QString> VEKBase64::stringByEncodingBytes(const void* bytes, std::size_t length)
{
    return toText(encodeBytes(bytes, length));
}

std::optional<QByteArray> VEKBase64::decodeData(QByteArrayView data)
{
    return decodeBytes(data.data(), static_cast<std::size_t>(data.size()));
}

std::optional<QByteArray> VEKBase64::decodeBytes(const void* bytes, std::size_t length)
{
    return baseDecode(bytes, length, kStandardCharset, true);
}

std::optional<QByteArray> VEKBase64::decodeString(const QString& text)
{
    const auto ascii = platform::encodeText(text, platform::TextEncoding::ASCII);
    if (!ascii)
        return std::nullopt;
    return decodeData(*ascii);
}

std::optional<QByteArray> VEKBase64::webSafeEncodeData(QByteArrayView data, bool padded)
{
    return webSafeEncodeBytes(data.data(), static_cast<std::size_t>(data.size()), padded);
}

std::optional<QByteArray> VEKBase64::webSafeEncodeBytes(const void* bytes, std::size_t length, bool padded)
{
    return baseEncode(bytes, length, kWebSafeCharset, padded);
}

std::optional<QString> VEKBase64::stringByWebSafeEncodingData(QByteArrayView data, bool padded)
{
    return toText(webSafeEncodeData(data, padded));
}

std::optional<QString> VEKBase64::stringByWebSafeEncodingBytes(
    const void* bytes, std::size_t length, bool padded)
{
    return toText(webSafeEncodeBytes(bytes, length, padded));
}

std::optional<QByteArray> VEKBase64::webSafeDecodeData(QByteArrayView data)
{
    return webSafeDecodeBytes(data.data(), static_cast<std::size_t>(data.size()));
}

std::optional<QByteArray> VEKBase64::webSafeDecodeBytes(const void* bytes, std::size_t length)
{
    return baseDecode(bytes, length, kWebSafeCharset, false);
}

std::optional<QByteArray> VEKBase64::webSafeDecodeString(const QString& text)
{
    const auto ascii = platform::encodeText(text, platform::TextEncoding::ASCII);
    if (!ascii)
        return std::nullopt;
    return webSafeDecodeData(*ascii);
}
