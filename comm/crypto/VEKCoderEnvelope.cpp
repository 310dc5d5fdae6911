#include "comm/recordset/VEKBase64.h"
#include "comm/crypto/VEKCoder.h"
#include "platform/Crypto.h"
#include "platform/KeyedArchive.h"
#include "platform/TextEncoding.h"

#include <QFile>
#include <QSaveFile>
#include <algorithm>
#include <cstring>
#include <limits>
#include <zlib.h>

namespace {

constexpr qsizetype kBlock = 8;
constexpr qsizetype kEnvelopeHeader = 8;
constexpr qsizetype kZlibHeader = 4;

quint32 readBigEndian(const unsigned char* p)
{
    return quint32(p[0]) << 24 | quint32(p[1]) << 16 | quint32(p[2]) << 8 | quint32(p[3]);
}

void writeBigEndian(unsigned char* p, quint32 v)
{
    p[0] = static_cast<unsigned char>(v >> 24);
    p[1] = static_cast<unsigned char>(v >> 16);
    p[2] = static_cast<unsigned char>(v >> 8);
    p[3] = static_cast<unsigned char>(v);
}

quint32 readLittleEndian(const unsigned char* p)
{
    return quint32(p[0]) | quint32(p[1]) << 8 | quint32(p[2]) << 16 | quint32(p[3]) << 24;
}

void writeLittleEndian(unsigned char* p, quint32 v)
{
    p[0] = static_cast<unsigned char>(v);
    p[1] = static_cast<unsigned char>(v >> 8);
    p[2] = static_cast<unsigned char>(v >> 16);
    p[3] = static_cast<unsigned char>(v >> 24);
}

bool validMode(int mode)
{
    return mode == kBlowfishModeECB || mode == kBlowfishModeCBC || mode == kBlowfishModeCFB;
}

// Largest plain length an envelope can describe in its signed 32-bit field
// once rounded up to whole blocks.
constexpr qsizetype kMaxEnvelopePlain = std::numeric_limits<qint32>::max() - kBlock;

qsizetype roundUpToBlock(qsizetype n)
{
    return (n + kBlock - 1) / kBlock * kBlock;
}

// A context keyed with the key string; nullptr when the key is unusable or
// memory runs out.
std::unique_ptr<BlowfishContext> keyedContext(const VEKKey& key)
{
    const auto bytes = key.bytes();
    std::unique_ptr<BlowfishContext> context;
    if (!bytes || BlowfishNewContext(context) != kVEKSuccess
        || BlowfishSetKey(context.get(), bytes->data(), bytes->size()) != kVEKSuccess)
        return nullptr;
    return context;
}

} // namespace

VEKKey::~VEKKey()
{
    platform::secureWipe(characters, sizeof characters);
}

std::optional<VEKKey> VEKKey::withCharacters(QByteArrayView chars)
{
    if (chars.size() > qsizetype(kCapacity))
        return std::nullopt;
    VEKKey key;
    key.count = static_cast<quint64>(chars.size());
    if (!chars.isEmpty())
        std::memcpy(key.characters, chars.data(), static_cast<std::size_t>(chars.size()));
    return key;
}

std::optional<QByteArrayView> VEKKey::bytes() const
{
    if (count > kCapacity)
        return std::nullopt;
    return QByteArrayView(characters, static_cast<qsizetype>(count));
}

int BlowfishNewContext(std::unique_ptr<BlowfishContext>& context)
{
    context = BlowfishContext::create();
    return context ? kVEKSuccess : kVEKNoMemory;
}

int BlowfishSetKey(BlowfishContext* context, const void* key, qsizetype length)
{
    if (!context || !key || length < 1 || length > qsizetype(BlowfishContext::kMaxKeyLength))
        return kVEKBadInput;
    return context->setKey(key, static_cast<std::size_t>(length)) ? kVEKSuccess : kVEKBadInput;
}

int BlowfishEncryptBlock(const BlowfishContext* context, quint32* left, quint32* right)
{
    if (!context || !left || !right)
        return kVEKBadInput;
    context->encryptBlock(*left, *right);
    return kVEKSuccess;
}

int BlowfishDecryptBlock(const BlowfishContext* context, quint32* left, quint32* right)
{
    if (!context || !left || !right)
        return kVEKBadInput;
    context->decryptBlock(*left, *right);
    return kVEKSuccess;
}

quint32 Crc32(const void* data, qsizetype length)
{
    if (!data || length < 1)
        return 0;
    return platform::crc32(QByteArrayView(static_cast<const char*>(data), length));
}

int BlowfishEncryptBuffer(const BlowfishContext* context, const void* input, qsizetype length, void* output,
    qsizetype* room, int mode)
{
    if (!context || !room || !validMode(mode) || length > std::numeric_limits<qsizetype>::max() - kBlock)
        return kVEKBadInput;
    const qsizetype outLength = length < 1 ? 0 : roundUpToBlock(length);
    if (*room < outLength)
        return kVEKOutputTooSmall;
    *room = outLength;
    if (length < 1)
        return kVEKSuccess;
    if (!input || !output)
        return kVEKBadInput;

    const auto* in = static_cast<const unsigned char*>(input);
    auto* out = static_cast<unsigned char*>(output);
    quint32 prevL = 0;
    quint32 prevR = 0;
    for (qsizetype offset = 0; offset < length; offset += kBlock) {
        // The last block is read through a zero-filled copy so that nothing
        // past the input is touched.
        unsigned char block[kBlock] = {};
        std::memcpy(block, in + offset, static_cast<std::size_t>(std::min(kBlock, length - offset)));
        quint32 l = readBigEndian(block);
        quint32 r = readBigEndian(block + 4);
        switch (mode) {
        case kBlowfishModeECB:
            context->encryptBlock(l, r);
            break;
        case kBlowfishModeCBC:
            l ^= prevL;
            r ^= prevR;
            context->encryptBlock(l, r);
            prevL = l;
            prevR = r;
            break;
        default: // CFB
            context->encryptBlock(prevL, prevR);
            l ^= prevL;
            r ^= prevR;
            prevL = l;
            prevR = r;
            break;
        }
        writeBigEndian(out + offset, l);
        writeBigEndian(out + offset + 4, r);
    }
    return kVEKSuccess;
}

int BlowfishDecryptBuffer(const BlowfishContext* context, const void* input, qsizetype length, void* output,
    qsizetype* room, int mode)
{
    if (!context || !room || !validMode(mode))
        return kVEKBadInput;
    if (length < 1) {
        *room = 0;
        return kVEKSuccess;
    }
    if (length % kBlock != 0 || !input || !output)
        return kVEKBadInput;
    if (*room < length)
        return kVEKOutputTooSmall;
    *room = length;

    const auto* in = static_cast<const unsigned char*>(input);
    auto* out = static_cast<unsigned char*>(output);
    quint32 prevL = 0;
    quint32 prevR = 0;
    for (qsizetype offset = 0; offset < length; offset += kBlock) {
        const quint32 cl = readBigEndian(in + offset);
        const quint32 cr = readBigEndian(in + offset + 4);
        quint32 l = cl;
        quint32 r = cr;
        switch (mode) {
        case kBlowfishModeECB:
            context->decryptBlock(l, r);
            break;
        case kBlowfishModeCBC:
            context->decryptBlock(l, r);
            l ^= prevL;
            r ^= prevR;
            break;
        default: // CFB
            context->encryptBlock(prevL, prevR);
            l ^= prevL;
            r ^= prevR;
            break;
        }
        prevL = cl;
        prevR = cr;
        writeBigEndian(out + offset, l);
        writeBigEndian(out + offset + 4, r);
    }
    return kVEKSuccess;
}

int SealEnvelope(const BlowfishContext* context, const void* input, qsizetype length, void* output,
    qsizetype* room, int mode)
{
    if (!context || !room || !validMode(mode) || length < 0 || length > kMaxEnvelopePlain)
        return kVEKBadInput;
    const qsizetype total = kEnvelopeHeader + roundUpToBlock(length);
    if (*room < total)
        return kVEKOutputTooSmall;
    if (!output || (length > 0 && !input))
        return kVEKBadInput;
    auto* out = static_cast<unsigned char*>(output);
    writeLittleEndian(out, static_cast<quint32>(length));
    writeLittleEndian(out + 4, Crc32(input, length));
    qsizetype inner = total - kEnvelopeHeader;
    const int status = BlowfishEncryptBuffer(context, input, length, out + kEnvelopeHeader, &inner, mode);
    if (status != kVEKSuccess)
        return status;
    *room = total;
    return kVEKSuccess;
}

int OpenEnvelope(const BlowfishContext* context, const void* input, qsizetype length, void* output,
    qsizetype* room, int mode)
{
    if (!context || !room || !input || !validMode(mode) || length < kEnvelopeHeader)
        return kVEKBadInput;
    const auto* in = static_cast<const unsigned char*>(input);
    const auto plain = static_cast<qint32>(readLittleEndian(in));
    const quint32 crc = readLittleEndian(in + 4);
    const qsizetype cipherLength = length - kEnvelopeHeader;
    // The ciphertext must be exactly the stored length in whole blocks.
    if (plain < 0 || plain > cipherLength || cipherLength % kBlock != 0
        || roundUpToBlock(plain) != cipherLength)
        return kVEKBadInput;
    if (*room < cipherLength)
        return kVEKOutputTooSmall;
    if (cipherLength > 0) {
        if (!output)
            return kVEKBadInput;
        qsizetype inner = cipherLength;
        const int status
            = BlowfishDecryptBuffer(context, in + kEnvelopeHeader, cipherLength, output, &inner, mode);
        if (status != kVEKSuccess)
            return status;
    }
    *room = plain;
    return Crc32(output, plain) == crc ? kVEKSuccess : kVEKCrcMismatch;
}

std::optional<VEKKey> VEKCoder::generalWithLength(int length)
{
    static constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    VEKKey key;
    const int n = std::clamp(length, 0, int(VEKKey::kCapacity));
    unsigned char random[VEKKey::kCapacity];
    if (!platform::randomBytes(random, static_cast<std::size_t>(n)))
        return std::nullopt;
    // 64 divides 256, so taking the low six bits keeps every character equally likely.
    for (int i = 0; i < n; ++i)
        key.characters[i] = kAlphabet[random[i] & 0x3F];
    key.count = static_cast<quint64>(n);
    platform::secureWipe(random, sizeof random);
    return key;
}

std::optional<QByteArray> VEKCoder::dataByEncryptData(QByteArrayView data, const VEKKey& key)
{
    if (data.size() > kMaxEnvelopePlain)
        return std::nullopt;
    const auto context = keyedContext(key);
    if (!context)
        return std::nullopt;
    qsizetype room = kEnvelopeHeader + roundUpToBlock(data.size());
    QByteArray out(room, Qt::Uninitialized);
    if (SealEnvelope(context.get(), data.data(), data.size(), out.data(), &room, kBlowfishModeCBC)
        != kVEKSuccess)
        return std::nullopt;
    out.truncate(room);
    return out;
}

std::optional<QByteArray> VEKCoder::dataByDecryptData(QByteArrayView data, const VEKKey& key)
{
    if (data.size() < kEnvelopeHeader)
        return std::nullopt;
    const auto context = keyedContext(key);
    if (!context)
        return std::nullopt;
    qsizetype room = data.size() - kEnvelopeHeader;
    QByteArray out(room, Qt::Uninitialized);
    if (OpenEnvelope(context.get(), data.data(), data.size(), out.data(), &room, kBlowfishModeCBC)
        != kVEKSuccess)
        return std::nullopt;
    out.truncate(room);
    return out;
}

std::optional<QString> VEKCoder::encryptStringWithString(const QString& text, const VEKKey& key)
{
    return encryptStringWithData(text.toUtf8(), key);
}

std::optional<QString> VEKCoder::encryptStringWithData(QByteArrayView data, const VEKKey& key)
{
    const auto envelope = dataByEncryptData(data, key);
    if (!envelope)
        return std::nullopt;
    return VEKBase64::stringByEncodingData(*envelope);
}

std::optional<QByteArray> VEKCoder::decryptData(QByteArrayView data, const VEKKey& key)
{
    return dataByDecryptData(data, key);
}

std::optional<QByteArray> VEKCoder::dataByCompressData(QByteArrayView data)
{
    // The reader refuses lengths above the cap, so nothing larger is written.
    if (data.isEmpty() || data.size() > kMaxPayload)
        return std::nullopt;
    QByteArray out(kZlibHeader + data.size(), Qt::Uninitialized);
    uLongf room = static_cast<uLongf>(data.size());
    if (compress(reinterpret_cast<Bytef*>(out.data() + kZlibHeader), &room,
            reinterpret_cast<const Bytef*>(data.data()), static_cast<uLong>(data.size()))
        != Z_OK)
        return std::nullopt;
    writeLittleEndian(reinterpret_cast<unsigned char*>(out.data()), static_cast<quint32>(data.size()));
    out.truncate(kZlibHeader + static_cast<qsizetype>(room));
    return out;
}

std::optional<QByteArray> VEKCoder::dataByUncompressData(QByteArrayView data)
{
    if (data.size() < kZlibHeader)
        return std::nullopt;
    const quint32 length = readLittleEndian(reinterpret_cast<const unsigned char*>(data.data()));
    if (length > quint32(kMaxPayload))
        return std::nullopt;
    QByteArray out(static_cast<qsizetype>(length), Qt::Uninitialized);
    uLongf produced = length;
    // zlib treats a zero-sized output specially and never writes to it.
    const int status = uncompress(reinterpret_cast<Bytef*>(out.data()), &produced,
        reinterpret_cast<const Bytef*>(data.data() + kZlibHeader),
        static_cast<uLong>(data.size() - kZlibHeader));
    // A stream shorter than its stated length is as corrupt as a longer one.
    if (status != Z_OK || produced != length)
        return std::nullopt;
    return out;
}

QByteArray VEKCoder::encodeObject(const platform::Archivable& object)
{
    return platform::archiveObject(object);
}

bool VEKCoder::encodeObject(const platform::Archivable& object, const QString& path)
{
    const QByteArray bytes = platform::archiveObject(object);
    if (bytes.isEmpty())
        return false;
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    if (file.write(bytes) != bytes.size()) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}

std::unique_ptr<platform::Archivable> VEKCoder::decodeWithData(const QByteArray& data)
{
    return platform::unarchiveObject(data);
}

std::unique_ptr<platform::Archivable> VEKCoder::decodeWithFile(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || file.size() > kMaxPayload)
        return nullptr;
    const QByteArray bytes = file.read(kMaxPayload + 1);
    if (bytes.size() > kMaxPayload)
        return nullptr;
    return platform::unarchiveObject(bytes);
}
