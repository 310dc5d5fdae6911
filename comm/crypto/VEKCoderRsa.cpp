#include "comm/crypto/VEKCoder.h"
#include "comm/recordset/VEKHex.h"
#include "platform/Crypto.h"

#include <QFile>
#include <cstring>
#include <new>
#include <vector>

using platform::BigInt;

namespace {

constexpr char kMagic[] = "VEKKEY";
constexpr qsizetype kMagicSize = 6;
constexpr qsizetype kContainerHeader = 30;
constexpr qsizetype kDigestOffset = 14;
constexpr qsizetype kDigestSize = 16;
constexpr qsizetype kWord = 4;

quint32 readWord(const unsigned char* p)
{
    return quint32(p[0]) | quint32(p[1]) << 8 | quint32(p[2]) << 16 | quint32(p[3]) << 24;
}

void appendWord(QByteArray& out, quint32 v)
{
    const char bytes[4] = { char(v & 0xFF), char((v >> 8) & 0xFF), char((v >> 16) & 0xFF), char(v >> 24) };
    out.append(bytes, 4);
}

bool saneBlockSize(quint32 b)
{
    return b >= kRsaMinBlockSize && b <= kRsaMaxBlockSize && b % kWord == 0;
}

// The key must match the block size: a modulus of exactly B bytes keeps every
// chunk (B - 4 bytes) below it and every result inside one block.
bool usableKey(const VEKRsaContext& ctx, VEKRsaKeyChoice key)
{
    if (!saneBlockSize(ctx.blockSize) || !ctx.N.isOdd() || ctx.N.numBytes() != int(ctx.blockSize))
        return false;
    if (key == VEKRsaKeyChoice::Public)
        return ctx.hasPublicKey && !ctx.E.isZero() && !ctx.E.isNegative() && ctx.E < ctx.N;
    return ctx.hasPrivateKey && ctx.P.isOdd() && ctx.Q.isOdd() && !ctx.DP.isZero() && !ctx.DQ.isZero()
        && !ctx.QP.isZero();
}

std::optional<BigInt> transform(const VEKRsaContext& ctx, const BigInt& value, VEKRsaKeyChoice key)
{
    if (key == VEKRsaKeyChoice::Public)
        return BigInt::modExp(value, ctx.E, ctx.N);
    return BigInt::rsaPrivateCrt(value, ctx.P, ctx.Q, ctx.DP, ctx.DQ, ctx.QP);
}

// One number of the payload: a word count and that many words. Leading zero
// words are dropped before anything is allocated, and a number longer than
// the block is refused.
enum class ReadResult { Read, End, TooLong };

ReadResult readNumber(const std::vector<quint32>& words, std::size_t& pos, quint32 blockSize, BigInt& out)
{
    if (pos >= words.size())
        return ReadResult::End;
    const quint32 count = words[pos++];
    if (count > words.size() - pos)
        return ReadResult::End;
    std::size_t used = count;
    while (used > 0 && words[pos + used - 1] == 0)
        --used;
    if (used > std::size_t(blockSize) / std::size_t(kWord))
        return ReadResult::TooLong;
    auto value = BigInt::fromWords(words.data() + pos, used);
    if (!value)
        return ReadResult::TooLong;
    out = std::move(*value);
    pos += count;
    return ReadResult::Read;
}

} // namespace

void RotateBytesRightOneBit(void* bytes, qsizetype size)
{
    if (!bytes || size < 1)
        return;
    auto* p = static_cast<unsigned char*>(bytes);
    unsigned carry = p[size - 1] & 1u;
    for (qsizetype i = 0; i < size; ++i) {
        const unsigned next = p[i] & 1u;
        p[i] = static_cast<unsigned char>((p[i] >> 1) | (carry << 7));
        carry = next;
    }
}

void RotateBytesLeftOneBit(void* bytes, qsizetype size)
{
    if (!bytes || size < 1)
        return;
    auto* p = static_cast<unsigned char*>(bytes);
    unsigned carry = p[0] >> 7;
    for (qsizetype i = size - 1; i >= 0; --i) {
        const unsigned next = p[i] >> 7;
        p[i] = static_cast<unsigned char>((p[i] << 1) | carry);
        carry = next;
    }
}

int RsaNewContext(std::unique_ptr<VEKRsaContext>& context, int sizeIndex)
{
    context.reset(new (std::nothrow) VEKRsaContext);
    if (!context || !context->N.isValid() || !context->E.isValid()) {
        context.reset();
        return kVEKNoMemory;
    }
    switch (sizeIndex) {
    case 1:
        context->blockSize = 64;
        break;
    case 2:
        context->blockSize = 128;
        break;
    case 3:
        context->blockSize = 256;
        break;
    default:
        context->blockSize = 32;
        break;
    }
    return kVEKSuccess;
}

bool LoadPublicKeyContainer(VEKRsaContext* context, const void* bytes, qsizetype size)
{
    if (!context || !bytes || size < kContainerHeader || size > VEKCoder::kMaxPayload)
        return false;
    const auto* p = static_cast<const unsigned char*>(bytes);
    if (std::memcmp(p, kMagic, kMagicSize) != 0)
        return false;
    const quint32 blockSize = readWord(p + 6);
    const quint32 payloadSize = readWord(p + 10);
    if (qsizetype(payloadSize) != size - kContainerHeader || !saneBlockSize(blockSize))
        return false;
    QByteArray payload(reinterpret_cast<const char*>(p + kContainerHeader), qsizetype(payloadSize));
    if (platform::md5(payload)
        != QByteArrayView(reinterpret_cast<const char*>(p + kDigestOffset), kDigestSize))
        return false;
    RotateBytesLeftOneBit(payload.data(), payload.size());

    std::vector<quint32> words(static_cast<std::size_t>(payload.size() / kWord));
    for (std::size_t i = 0; i < words.size(); ++i)
        words[i] = readWord(reinterpret_cast<const unsigned char*>(payload.constData()) + i * kWord);

    // Fewer than two numbers still loads; such a context cannot encrypt.
    BigInt modulus;
    BigInt exponent;
    std::size_t pos = 0;
    ReadResult r = readNumber(words, pos, blockSize, modulus);
    if (r == ReadResult::TooLong)
        return false;
    const bool haveModulus = r == ReadResult::Read;
    bool haveExponent = false;
    if (haveModulus) {
        r = readNumber(words, pos, blockSize, exponent);
        if (r == ReadResult::TooLong)
            return false;
        haveExponent = r == ReadResult::Read;
    }
    context->blockSize = blockSize;
    context->N = haveModulus ? std::move(modulus) : BigInt();
    context->E = haveExponent ? std::move(exponent) : BigInt();
    context->hasPublicKey = haveModulus && haveExponent;
    return true;
}

qsizetype RsaOutputSize(const VEKRsaContext* context, qsizetype length)
{
    if (!context || length < 1 || length > VEKCoder::kMaxPayload || !saneBlockSize(context->blockSize))
        return 0;
    const qsizetype messageWords = 1 + (length + kWord - 1) / kWord;
    const qsizetype chunkWords = qsizetype(context->blockSize) / kWord - 1;
    return (messageWords + chunkWords - 1) / chunkWords * qsizetype(context->blockSize);
}

int RsaEncryptBlocks(const VEKRsaContext* context, const void* input, qsizetype length, QByteArray* output,
    VEKRsaKeyChoice key)
{
    if (!context || !input || !output || length < 1 || length > VEKCoder::kMaxPayload
        || !usableKey(*context, key))
        return kVEKBadInput;
    const qsizetype block = context->blockSize;
    const qsizetype chunkBytes = block - kWord;

    QByteArray message;
    message.reserve(kWord + length + kWord);
    appendWord(message, static_cast<quint32>(length));
    message.append(static_cast<const char*>(input), length);
    while (message.size() % kWord != 0)
        message.append('\0');

    QByteArray out;
    out.reserve(RsaOutputSize(context, length));
    for (qsizetype offset = 0; offset < message.size(); offset += chunkBytes) {
        const auto chunk = BigInt::fromLittleEndian(
            QByteArrayView(message).sliced(offset, std::min(chunkBytes, message.size() - offset)));
        if (!chunk) {
            platform::secureWipe(message);
            return kVEKNoMemory;
        }
        const auto result = transform(*context, *chunk, key);
        const auto bytes = result ? result->toLittleEndian(block) : std::nullopt;
        if (!bytes) {
            platform::secureWipe(message);
            return kVEKBadInput;
        }
        out.append(*bytes);
    }
    platform::secureWipe(message);
    *output = out;
    return kVEKSuccess;
}

int RsaDecryptBlocks(const VEKRsaContext* context, const void* input, qsizetype length, QByteArray* output,
    VEKRsaKeyChoice key)
{
    if (!context || !input || !output || length < 1 || length > VEKCoder::kMaxPayload
        || !usableKey(*context, key))
        return kVEKBadInput;
    const qsizetype block = context->blockSize;
    if (length % block != 0)
        return kVEKBadInput;
    const qsizetype chunkBytes = block - kWord;
    const auto* in = static_cast<const char*>(input);

    QByteArray message;
    message.reserve(length / block * chunkBytes);
    for (qsizetype offset = 0; offset < length; offset += block) {
        const auto value = BigInt::fromLittleEndian(QByteArrayView(in + offset, block));
        if (!value)
            return kVEKNoMemory;
        if (*value >= context->N)
            return kVEKBadInput;
        const auto result = transform(*context, *value, key);
        // A genuine block decrypts to a chunk, which leaves the top word empty.
        const auto bytes = result ? result->toLittleEndian(chunkBytes) : std::nullopt;
        if (!bytes) {
            platform::secureWipe(message);
            return kVEKBadInput;
        }
        message.append(*bytes);
    }
    const quint32 stated = readWord(reinterpret_cast<const unsigned char*>(message.constData()));
    if (stated < 1 || qsizetype(stated) > message.size() - kWord) {
        platform::secureWipe(message);
        return kVEKBadInput;
    }
    *output = message.mid(kWord, qsizetype(stated));
    platform::secureWipe(message);
    return kVEKSuccess;
}

std::optional<QByteArray> VEKCoder::dataWithRsaEncryptKey(const VEKKey& key, QByteArrayView publicKey)
{
    const auto characters = key.bytes();
    if (!characters || publicKey.isEmpty())
        return std::nullopt;
    std::unique_ptr<VEKRsaContext> context;
    if (RsaNewContext(context, 0) != kVEKSuccess
        || !LoadPublicKeyContainer(context.get(), publicKey.data(), publicKey.size()))
        return std::nullopt;
    QByteArray out;
    if (RsaEncryptBlocks(context.get(), characters->data(), characters->size(), &out, VEKRsaKeyChoice::Public)
        != kVEKSuccess)
        return std::nullopt;
    return out;
}

std::optional<QByteArray> VEKCoder::hexDataWithRsaEncryptKey(const VEKKey& key, const QString& publicKeyFile)
{
    QFile file(publicKeyFile);
    if (!file.open(QIODevice::ReadOnly) || file.size() > kMaxPayload)
        return std::nullopt;
    const QByteArray container = file.read(kMaxPayload + 1);
    if (container.size() > kMaxPayload)
        return std::nullopt;
    const auto encrypted = dataWithRsaEncryptKey(key, container);
    if (!encrypted || encrypted->isEmpty())
        return encrypted;
    return VEKHex::dataWithData(*encrypted, true);
}
