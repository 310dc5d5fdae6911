#pragma once

#include "platform/CryptoBigInt.h"
#include "platform/CryptoBlowfish.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>

namespace platform {
class Archivable;
}

// A key string: a character count and up to 64 key characters. Only the
// first `count` characters are key bytes. The characters are wiped when the
// value goes away.
struct VEKKey {
    static constexpr std::size_t kCapacity = 64;

    quint64 count = 0;
    char characters[kCapacity] = {};

    VEKKey() = default;
    VEKKey(const VEKKey&) = default;
    VEKKey& operator=(const VEKKey&) = default;
    ~VEKKey();

    // nullopt when `characters` is longer than 64 bytes.
    static std::optional<VEKKey> withCharacters(QByteArrayView characters);
    // The key bytes; nullopt when the count is above 64.
    std::optional<QByteArrayView> bytes() const;
};

// Status results of the envelope and RSA routines.
enum VEKStatus : int {
    kVEKSuccess = 1,
    kVEKCrcMismatch = 0, // OpenEnvelope only
    kVEKNoMemory = -1,
    kVEKBadInput = -2,
    kVEKOutputTooSmall = -3,
};

// ---- Blowfish envelope routines -------------------------------------------

using BlowfishContext = platform::Blowfish;

enum BlowfishMode : int {
    kBlowfishModeECB = 0,
    kBlowfishModeCBC = 1,
    kBlowfishModeCFB = 2, // 64-bit feedback
};

// Sizes are in bytes; `room` is the output capacity on entry and the bytes
// written on success. Blocks are read and written most significant byte first.
int BlowfishNewContext(std::unique_ptr<BlowfishContext>& context);
int BlowfishSetKey(BlowfishContext* context, const void* key, qsizetype length);
int BlowfishEncryptBlock(const BlowfishContext* context, quint32* left, quint32* right);
int BlowfishDecryptBlock(const BlowfishContext* context, quint32* left, quint32* right);
// CRC-32 of a byte run; 0 for a length below 1.
quint32 Crc32(const void* data, qsizetype length);
// Writes the input rounded up to whole 8-byte blocks, zero-filled past the end.
int BlowfishEncryptBuffer(const BlowfishContext* context, const void* input, qsizetype length, void* output,
    qsizetype* room, int mode);
// Whole 8-byte blocks only: a length that is not a multiple of 8 is bad input.
int BlowfishDecryptBuffer(const BlowfishContext* context, const void* input, qsizetype length, void* output,
    qsizetype* room, int mode);
// Envelope: plain length (signed 32-bit, little-endian), CRC-32 of the plain
// bytes, then the padded ciphertext.
int SealEnvelope(const BlowfishContext* context, const void* input, qsizetype length, void* output,
    qsizetype* room, int mode);
// Needs room for the whole ciphertext part; on return `room` holds the plain
// length. kVEKSuccess when the CRC matches, kVEKCrcMismatch when it does not.
int OpenEnvelope(const BlowfishContext* context, const void* input, qsizetype length, void* output,
    qsizetype* room, int mode);

// ---- RSA block encryption and the key container ----------------------------

enum class VEKRsaKeyChoice { Public, Private };

struct VEKRsaContext {
    quint32 blockSize = 32; // B, the length of the modulus in bytes
    platform::BigInt N;
    platform::BigInt E;
    // The private half, used only when a caller fills it in.
    platform::BigInt D, P, Q, DP, DQ, QP;
    bool hasPublicKey = false;
    bool hasPrivateKey = false;
};

constexpr quint32 kRsaMinBlockSize = 32;
constexpr quint32 kRsaMaxBlockSize = 512;

// Size index 1 gives blocks of 64 bytes, 2 of 128, 3 of 256, any other 32.
int RsaNewContext(std::unique_ptr<VEKRsaContext>& context, int sizeIndex);
// "VEKKEY" container: magic, block size, payload size, MD5 of the payload,
// payload rotated right by one bit. Refuses a block size outside 32..512 or
// not a multiple of 4, and numbers longer than the block.
bool LoadPublicKeyContainer(VEKRsaContext* context, const void* bytes, qsizetype size);
// The message is the length word, the input and zero bytes up to a whole
// word, cut into chunks of B/4 - 1 words; each chunk becomes one B-byte block.
int RsaEncryptBlocks(const VEKRsaContext* context, const void* input, qsizetype length, QByteArray* output,
    VEKRsaKeyChoice key);
int RsaDecryptBlocks(const VEKRsaContext* context, const void* input, qsizetype length, QByteArray* output,
    VEKRsaKeyChoice key);
// Bytes that RsaEncryptBlocks writes for `length` input bytes; 0 for bad input.
qsizetype RsaOutputSize(const VEKRsaContext* context, qsizetype length);

// One-bit cyclic rotation of a byte string, first byte most significant.
void RotateBytesRightOneBit(void* bytes, qsizetype size);
void RotateBytesLeftOneBit(void* bytes, qsizetype size);

// ---- Class operations -------------------------------------------------------

class VEKCoder {
public:
    // Upper bound on what the envelopes and files accept or produce.
    static constexpr qsizetype kMaxPayload = 16 * 1024 * 1024;

    // Text conversions. The 16-bit Unicode form is UTF-16 little-endian
    // without a byte-order mark; a leading mark is dropped when decoding.
    static std::size_t unistringLength(const char16_t* units, std::size_t maxUnits = SIZE_MAX);
    static std::optional<QString> unistringWithBytes(const void* bytes, std::size_t length);
    static std::optional<QString> unistringWithData(QByteArrayView data);
    static std::size_t calculatedWchart(const void* bytes, std::size_t length);
    static std::optional<QString> gbkStringWithData(QByteArrayView data);
    static std::optional<QString> gbkStringWithBytes(const void* bytes, std::size_t length);
    static std::optional<QByteArray> gbkDataFromString(const QString& text);
    static QByteArray dataWithMD5EncodeData(QByteArrayView data);
    // nullopt when the text is not ASCII.
    static std::optional<QString> stringByMD5EncodeWithString(const QString& text);
    static QString stringByHexEncodeWithUniString(const QString& text);

    // Random key strings and the Blowfish envelope.
    static std::optional<VEKKey> generalWithLength(int length);
    static std::optional<QByteArray> dataByEncryptData(QByteArrayView data, const VEKKey& key);
    static std::optional<QByteArray> dataByDecryptData(QByteArrayView data, const VEKKey& key);
    static std::optional<QString> encryptStringWithString(const QString& text, const VEKKey& key);
    static std::optional<QString> encryptStringWithData(QByteArrayView data, const VEKKey& key);
    static std::optional<QByteArray> decryptData(QByteArrayView data, const VEKKey& key);

    // The zlib envelope: uncompressed length (little-endian) and a zlib stream.
    static std::optional<QByteArray> dataByCompressData(QByteArrayView data);
    static std::optional<QByteArray> dataByUncompressData(QByteArrayView data);

    // Keyed archives, in memory or in a file (written atomically).
    static QByteArray encodeObject(const platform::Archivable& object);
    static bool encodeObject(const platform::Archivable& object, const QString& path);
    static std::unique_ptr<platform::Archivable> decodeWithData(const QByteArray& data);
    static std::unique_ptr<platform::Archivable> decodeWithFile(const QString& path);

    // The key characters encrypted under the RSA public key of a container.
    static std::optional<QByteArray> dataWithRsaEncryptKey(const VEKKey& key, QByteArrayView publicKey);
    // The same from a container file, as upper-case hex.
    static std::optional<QByteArray> hexDataWithRsaEncryptKey(
        const VEKKey& key, const QString& publicKeyFile);
};
