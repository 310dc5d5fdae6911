#include "platform/Crypto.h"

#include <climits>
#include <memory>
#include <openssl/crypto.h>
#include <openssl/evp.h>
#include <openssl/rand.h>
#include <zlib.h>

namespace platform {
namespace {

struct CipherCtxFree {
    void operator()(EVP_CIPHER_CTX* ctx) const { EVP_CIPHER_CTX_free(ctx); }
};
using CipherCtx = std::unique_ptr<EVP_CIPHER_CTX, CipherCtxFree>;

QByteArray digest(const EVP_MD* md, QByteArrayView data)
{
    QByteArray out(EVP_MD_get_size(md), Qt::Uninitialized);
    unsigned int size = 0;
    if (EVP_Digest(data.data(), static_cast<size_t>(data.size()),
            reinterpret_cast<unsigned char*>(out.data()), &size, md, nullptr)
            != 1
        || size != static_cast<unsigned int>(out.size()))
        return {};
    return out;
}

std::optional<QByteArray> aes256Cbc(bool encrypt, QByteArrayView key, QByteArrayView iv, QByteArrayView input)
{
    // One block of room for the padding; the int arithmetic of EVP bounds the input.
    if (key.size() != kAes256KeySize || iv.size() != kAesBlockSize
        || input.size() > INT_MAX - 2 * kAesBlockSize)
        return std::nullopt;
    CipherCtx ctx(EVP_CIPHER_CTX_new());
    if (!ctx)
        return std::nullopt;
    const auto* k = reinterpret_cast<const unsigned char*>(key.data());
    const auto* v = reinterpret_cast<const unsigned char*>(iv.data());
    if (EVP_CipherInit_ex(ctx.get(), EVP_aes_256_cbc(), nullptr, k, v, encrypt ? 1 : 0) != 1)
        return std::nullopt;
    QByteArray out(input.size() + kAesBlockSize, Qt::Uninitialized);
    auto* o = reinterpret_cast<unsigned char*>(out.data());
    int written = 0;
    int last = 0;
    if (EVP_CipherUpdate(ctx.get(), o, &written, reinterpret_cast<const unsigned char*>(input.data()),
            static_cast<int>(input.size()))
            != 1
        || EVP_CipherFinal_ex(ctx.get(), o + written, &last) != 1) {
        secureWipe(out);
        return std::nullopt;
    }
    out.truncate(written + last);
    return out;
}

} // namespace

QByteArray md5(QByteArrayView data)
{
    return digest(EVP_md5(), data);
}

QByteArray sha256(QByteArrayView data)
{
    return digest(EVP_sha256(), data);
}

quint32 crc32(QByteArrayView data)
{
    uLong crc = ::crc32(0L, Z_NULL, 0);
    const auto* p = reinterpret_cast<const Bytef*>(data.data());
    qsizetype left = data.size();
    // zlib takes a uInt length; feed large inputs in slices.
    while (left > 0) {
        const uInt chunk = left > qsizetype(1) << 30 ? uInt(1) << 30 : static_cast<uInt>(left);
        crc = ::crc32(crc, p, chunk);
        p += chunk;
        left -= chunk;
    }
    return static_cast<quint32>(crc);
}

bool randomBytes(void* buffer, std::size_t length)
{
    auto* p = static_cast<unsigned char*>(buffer);
    while (length > 0) {
        const int chunk = length > INT_MAX ? INT_MAX : static_cast<int>(length);
        if (RAND_bytes(p, chunk) != 1)
            return false;
        p += chunk;
        length -= static_cast<std::size_t>(chunk);
    }
    return true;
}

std::optional<QByteArray> randomBytes(std::size_t length)
{
    if (length > static_cast<std::size_t>(INT_MAX))
        return std::nullopt;
    QByteArray out(static_cast<qsizetype>(length), Qt::Uninitialized);
    if (!randomBytes(out.data(), length))
        return std::nullopt;
    return out;
}

void secureWipe(void* buffer, std::size_t length)
{
    if (buffer && length > 0)
        OPENSSL_cleanse(buffer, length);
}

void secureWipe(QByteArray& bytes)
{
    if (!bytes.isEmpty())
        OPENSSL_cleanse(bytes.data(), static_cast<size_t>(bytes.size()));
}

std::optional<QByteArray> aes256CbcEncrypt(QByteArrayView key, QByteArrayView iv, QByteArrayView plain)
{
    return aes256Cbc(true, key, iv, plain);
}

std::optional<QByteArray> aes256CbcDecrypt(QByteArrayView key, QByteArrayView iv, QByteArrayView cipher)
{
    return aes256Cbc(false, key, iv, cipher);
}

} // namespace platform
