#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <cstddef>
#include <optional>

namespace platform {

// Thin wrappers over the standard primitives of OpenSSL and zlib. None of
// them throws; failures come back as an empty optional or false.

QByteArray md5(QByteArrayView data); // 16 bytes
QByteArray sha256(QByteArrayView data); // 32 bytes

// CRC-32 (IEEE 802.3, reflected, as zlib computes it).
quint32 crc32(QByteArrayView data);

// Cryptographically strong random bytes; false (buffer untouched or partly
// written) when the generator cannot deliver.
bool randomBytes(void* buffer, std::size_t length);
std::optional<QByteArray> randomBytes(std::size_t length);

// Overwrites memory that held a secret in a way the optimiser keeps.
void secureWipe(void* buffer, std::size_t length);
void secureWipe(QByteArray& bytes);

constexpr qsizetype kAes256KeySize = 32;
constexpr qsizetype kAesBlockSize = 16;

// AES-256-CBC with PKCS#7 padding. The key must be 32 bytes and the IV 16;
// decryption fails on a wrong length or bad padding.
std::optional<QByteArray> aes256CbcEncrypt(QByteArrayView key, QByteArrayView iv, QByteArrayView plain);
std::optional<QByteArray> aes256CbcDecrypt(QByteArrayView key, QByteArrayView iv, QByteArrayView cipher);

} // namespace platform
