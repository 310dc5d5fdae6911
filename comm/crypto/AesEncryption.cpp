#include "comm/crypto/AesEncryption.h"

#include "comm/recordset/VEKBase64.h"
#include "platform/Crypto.h"
#include "platform/TextEncoding.h"

#include <algorithm>
#include <cstring>

namespace {

using platform::kAes256KeySize;
using platform::kAesBlockSize;

// First 32 bytes of the key's UTF-8, zero-padded. Callers wipe it.
QByteArray deriveKey(const QString& key)
{
    QByteArray utf8 = key.toUtf8();
    QByteArray derived(kAes256KeySize, '\0');
    std::memcpy(
        derived.data(), utf8.constData(), static_cast<std::size_t>(std::min(utf8.size(), kAes256KeySize)));
    platform::secureWipe(utf8);
    return derived;
}

} // namespace

std::optional<QByteArray> AES256EncryptWithKey(QByteArrayView data, const QString& key)
{
    const auto iv = platform::randomBytes(std::size_t(kAesBlockSize));
    if (!iv)
        return std::nullopt;
    QByteArray derived = deriveKey(key);
    const auto cipher = platform::aes256CbcEncrypt(derived, *iv, data);
    platform::secureWipe(derived);
    if (!cipher)
        return std::nullopt;
    return *iv + *cipher;
}

std::optional<QByteArray> AES256DecryptWithKey(QByteArrayView data, const QString& key)
{
    if (data.size() < 2 * kAesBlockSize || data.size() % kAesBlockSize != 0)
        return std::nullopt;
    QByteArray derived = deriveKey(key);
    auto plain = platform::aes256CbcDecrypt(derived, data.first(kAesBlockSize), data.sliced(kAesBlockSize));
    platform::secureWipe(derived);
    return plain;
}

std::optional<QString> AesEncryption::encodeStringWithAES(const QString& text, const QString& key)
{
    if (text.isEmpty())
        return std::nullopt;
    QByteArray utf8 = text.toUtf8();
    const auto cipher = AES256EncryptWithKey(utf8, key);
    platform::secureWipe(utf8);
    if (!cipher)
        return std::nullopt;
    return VEKBase64::stringByEncodingData(*cipher);
}

std::optional<QString> AesEncryption::decodeStringWithAES(const QString& text, const QString& key)
{
    if (text.isEmpty())
        return std::nullopt;
    const auto cipher = VEKBase64::decodeData(text.toUtf8());
    if (!cipher)
        return std::nullopt;
    auto plain = AES256DecryptWithKey(*cipher, key);
    if (!plain)
        return std::nullopt;
    auto result = platform::decodeText(*plain, platform::TextEncoding::UTF8);
    platform::secureWipe(*plain);
    return result;
}
