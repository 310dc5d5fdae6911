#include "comm/crypto/VEKCoder.h"
#include "comm/recordset/VEKHex.h"
#include "platform/Crypto.h"
#include "platform/TextEncoding.h"

#include <limits>

using platform::TextEncoding;

std::size_t VEKCoder::unistringLength(const char16_t* units, std::size_t maxUnits)
{
    if (!units)
        return 0;
    std::size_t n = 0;
    while (n < maxUnits && units[n] != 0)
        ++n;
    return n;
}

std::optional<QString> VEKCoder::unistringWithBytes(const void* bytes, std::size_t length)
{
    if (!bytes)
        return length == 0 ? std::optional<QString>(QString()) : std::nullopt;
    if (length > std::size_t(std::numeric_limits<qsizetype>::max()))
        return std::nullopt;
    QByteArrayView view(static_cast<const char*>(bytes), static_cast<qsizetype>(length));
    if (view.startsWith("\xFF\xFE"))
        view = view.sliced(2);
    return platform::decodeText(view, TextEncoding::UTF16LE);
}

std::optional<QString> VEKCoder::unistringWithData(QByteArrayView data)
{
    return unistringWithBytes(data.data(), static_cast<std::size_t>(data.size()));
}

std::size_t VEKCoder::calculatedWchart(const void* bytes, std::size_t length)
{
    if (!bytes)
        return 0;
    const auto* p = static_cast<const unsigned char*>(bytes);
    while (length > 0 && p[length - 1] == 0)
        --length;
    return length;
}

std::optional<QString> VEKCoder::gbkStringWithData(QByteArrayView data)
{
    return platform::decodeText(data, TextEncoding::GB18030);
}

std::optional<QString> VEKCoder::gbkStringWithBytes(const void* bytes, std::size_t length)
{
    if (!bytes)
        return length == 0 ? std::optional<QString>(QString()) : std::nullopt;
    if (length > std::size_t(std::numeric_limits<qsizetype>::max()))
        return std::nullopt;
    return gbkStringWithData(QByteArrayView(static_cast<const char*>(bytes), static_cast<qsizetype>(length)));
}

std::optional<QByteArray> VEKCoder::gbkDataFromString(const QString& text)
{
    return platform::encodeText(text, TextEncoding::GB18030);
}

QByteArray VEKCoder::dataWithMD5EncodeData(QByteArrayView data)
{
    return platform::md5(data);
}

std::optional<QString> VEKCoder::stringByMD5EncodeWithString(const QString& text)
{
    // Non-ASCII text has no digest rather than the digest of nothing, so that
    // two different texts never hash alike by accident.
    const auto ascii = platform::encodeText(text, TextEncoding::ASCII);
    if (!ascii)
        return std::nullopt;
    return VEKHex::stringWithData(platform::md5(*ascii), true);
}

QString VEKCoder::stringByHexEncodeWithUniString(const QString& text)
{
    const auto bytes = platform::encodeText(text, TextEncoding::UTF16LE);
    return bytes ? VEKHex::stringWithData(*bytes, true) : QString();
}
