#include "comm/recordset/VEKHex.h"

#include <limits>

QByteArray VEKHex::dataWithByte(const void* bytes, std::size_t length, bool hexEncodingUppercase)
{
    static constexpr char kUpper[] = "0123456789ABCDEF";
    static constexpr char kLower[] = "0123456789abcdef";
    if (!bytes || length == 0 || length > std::size_t(std::numeric_limits<qsizetype>::max() / 2))
        return {};
    const char* digits = hexEncodingUppercase ? kUpper : kLower;
    const auto* src = static_cast<const unsigned char*>(bytes);
    QByteArray out(static_cast<qsizetype>(length * 2), Qt::Uninitialized);
    char* o = out.data();
    for (std::size_t i = 0; i < length; ++i) {
        *o++ = digits[src[i] >> 4];
        *o++ = digits[src[i] & 0x0F];
    }
    return out;
}

QByteArray VEKHex::dataWithData(QByteArrayView data, bool hexEncodingUppercase)
{
    return dataWithByte(data.data(), static_cast<std::size_t>(data.size()), hexEncodingUppercase);
}

QString VEKHex::stringWithData(QByteArrayView data, bool hexEncodingUppercase)
{
    return QString::fromLatin1(dataWithData(data, hexEncodingUppercase));
}
