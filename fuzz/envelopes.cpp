// Feeds arbitrary bytes to every decoder of the codec layer: Blowfish and zlib
// envelopes, Base64 in both alphabets, the RSA key container and stored AES text.
#include "comm/crypto/AesEncryption.h"
#include "comm/recordset/VEKBase64.h"
#include "comm/crypto/VEKCoder.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArrayView bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    static const VEKKey key = *VEKKey::withCharacters("fuzzing-key-0016");

    (void)VEKCoder::dataByDecryptData(bytes, key);
    (void)VEKCoder::dataByUncompressData(bytes);

    (void)VEKBase64::decodeData(bytes);
    (void)VEKBase64::webSafeDecodeData(bytes);
    (void)VEKBase64::baseDecode(data, size, VEKBase64::kStandardCharset, false);
    (void)VEKBase64::baseDecode(data, size, VEKBase64::kWebSafeCharset, true);
    char small[8];
    (void)VEKBase64::baseDecode(data, size, small, sizeof small, VEKBase64::kStandardCharset, false);

    std::unique_ptr<VEKRsaContext> rsa;
    if (RsaNewContext(rsa, 0) == kVEKSuccess && LoadPublicKeyContainer(rsa.get(), data, qsizetype(size))) {
        QByteArray out;
        (void)RsaEncryptBlocks(rsa.get(), "0123456789abcdef", 16, &out, VEKRsaKeyChoice::Public);
        (void)RsaDecryptBlocks(rsa.get(), data, qsizetype(size), &out, VEKRsaKeyChoice::Public);
    }
    // Containers are guarded by a digest, so also try the bytes as a payload.
    if (size >= 4 && size <= 4096) {
        QByteArray payload(reinterpret_cast<const char*>(data) + 4, qsizetype(size) - 4);
        RotateBytesRightOneBit(payload.data(), payload.size());
        QByteArray container("VEKKEY");
        container.append(reinterpret_cast<const char*>(data), 4);
        const quint32 n = quint32(payload.size());
        const char sizeField[4]
            = { char(n & 0xFF), char((n >> 8) & 0xFF), char((n >> 16) & 0xFF), char(n >> 24) };
        container.append(sizeField, 4);
        container += VEKCoder::dataWithMD5EncodeData(payload);
        container += payload;
        (void)VEKCoder::dataWithRsaEncryptKey(key, container);
    }

    (void)AES256DecryptWithKey(bytes, "6F9619FF-8B86-D011-B42D-00C04FC964FF");
    (void)AesEncryption::decodeStringWithAES(
        QString::fromLatin1(bytes), "6F9619FF-8B86-D011-B42D-00C04FC964FF");
    return 0;
}
