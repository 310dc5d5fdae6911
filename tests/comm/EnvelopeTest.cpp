#include "comm/recordset/VEKBase64.h"
#include "comm/crypto/VEKCoder.h"
#include "platform/KeyedArchive.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <zlib.h>

namespace {

VEKKey key(const char* text)
{
    return *VEKKey::withCharacters(text);
}

quint32 le32(const QByteArray& b, int at)
{
    return quint32(quint8(b[at])) | quint32(quint8(b[at + 1])) << 8 | quint32(quint8(b[at + 2])) << 16
        | quint32(quint8(b[at + 3])) << 24;
}

std::unique_ptr<BlowfishContext> keyed(const QByteArray& k)
{
    std::unique_ptr<BlowfishContext> ctx;
    EXPECT_EQ(BlowfishNewContext(ctx), kVEKSuccess);
    EXPECT_EQ(BlowfishSetKey(ctx.get(), k.constData(), k.size()), kVEKSuccess);
    return ctx;
}

QByteArray ecbBlock(const BlowfishContext* ctx, const QByteArray& plain8)
{
    QByteArray out(8, '\0');
    qsizetype room = 8;
    EXPECT_EQ(
        BlowfishEncryptBuffer(ctx, plain8.constData(), 8, out.data(), &room, kBlowfishModeECB), kVEKSuccess);
    return out;
}

QByteArray xor8(const QByteArray& a, const QByteArray& b)
{
    QByteArray r(8, '\0');
    for (int i = 0; i < 8; ++i)
        r[i] = char(a[i] ^ b[i]);
    return r;
}

} // namespace

TEST(EnvelopeBlowfish, BlocksAndBufferModes)
{
    // Published vectors through the routines: block form and ECB buffer form agree.
    const auto ctx = keyed(QByteArray::fromHex("3000000000000000"));
    quint32 l = 0x10000000, r = 0x00000001;
    EXPECT_EQ(BlowfishEncryptBlock(ctx.get(), &l, &r), kVEKSuccess);
    EXPECT_EQ(l, 0x7D856F9Au);
    EXPECT_EQ(r, 0x613063F2u);
    EXPECT_EQ(BlowfishDecryptBlock(ctx.get(), &l, &r), kVEKSuccess);
    EXPECT_EQ(l, 0x10000000u);
    EXPECT_EQ(r, 0x00000001u);
    EXPECT_EQ(ecbBlock(ctx.get(), QByteArray::fromHex("1000000000000001")).toHex(), "7d856f9a613063f2");
    const auto zero = keyed(QByteArray::fromHex("0000000000000000"));
    EXPECT_EQ(ecbBlock(zero.get(), QByteArray(8, '\0')).toHex(), "4ef997456198dd78");
    const auto ones = keyed(QByteArray::fromHex("FFFFFFFFFFFFFFFF"));
    EXPECT_EQ(ecbBlock(ones.get(), QByteArray(8, '\xFF')).toHex(), "51866fd5b85ecb8a");

    // CBC starts from a zero block; CFB encrypts the previous ciphertext.
    const QByteArray plain("Sixteen bytes!!!and three", 25);
    QByteArray padded = plain + QByteArray(7, '\0');
    for (int mode : { kBlowfishModeECB, kBlowfishModeCBC, kBlowfishModeCFB }) {
        QByteArray cipher(32, '\0');
        qsizetype room = 32;
        ASSERT_EQ(
            BlowfishEncryptBuffer(ctx.get(), plain.constData(), plain.size(), cipher.data(), &room, mode),
            kVEKSuccess);
        EXPECT_EQ(room, 32);
        QByteArray expected;
        QByteArray prev(8, '\0');
        for (int i = 0; i < 32; i += 8) {
            const QByteArray p = padded.mid(i, 8);
            QByteArray c = mode == kBlowfishModeECB ? ecbBlock(ctx.get(), p)
                : mode == kBlowfishModeCBC          ? ecbBlock(ctx.get(), xor8(p, prev))
                                                    : xor8(p, ecbBlock(ctx.get(), prev));
            expected += c;
            prev = c;
        }
        EXPECT_EQ(cipher, expected) << mode;
        QByteArray back(32, '\0');
        room = 32;
        ASSERT_EQ(
            BlowfishDecryptBuffer(ctx.get(), cipher.constData(), 32, back.data(), &room, mode), kVEKSuccess);
        EXPECT_EQ(back, padded) << mode;
    }

    // Status results.
    QByteArray out(64, '\0');
    qsizetype room = 31;
    EXPECT_EQ(
        BlowfishEncryptBuffer(ctx.get(), plain.constData(), 25, out.data(), &room, 1), kVEKOutputTooSmall);
    room = 64;
    EXPECT_EQ(BlowfishEncryptBuffer(ctx.get(), plain.constData(), 25, out.data(), &room, 3), kVEKBadInput);
    room = 64;
    EXPECT_EQ(BlowfishEncryptBuffer(ctx.get(), plain.constData(), 0, out.data(), &room, 1), kVEKSuccess);
    EXPECT_EQ(room, 0);
    room = 64;
    EXPECT_EQ(BlowfishDecryptBuffer(ctx.get(), plain.constData(), 12, out.data(), &room, 1), kVEKBadInput);
    room = 15;
    EXPECT_EQ(
        BlowfishDecryptBuffer(ctx.get(), plain.constData(), 16, out.data(), &room, 1), kVEKOutputTooSmall);
    EXPECT_EQ(BlowfishEncryptBlock(nullptr, &l, &r), kVEKBadInput);
    EXPECT_EQ(BlowfishSetKey(ctx.get(), "", 0), kVEKBadInput);
    const QByteArray longKey(73, 'k');
    EXPECT_EQ(BlowfishSetKey(ctx.get(), longKey.constData(), 73), kVEKBadInput);

    EXPECT_EQ(Crc32("123456789", 9), 0xCBF43926u);
    EXPECT_EQ(Crc32("123456789", 0), 0u);
    EXPECT_EQ(Crc32("123456789", -1), 0u);
    EXPECT_EQ(Crc32(nullptr, 9), 0u);
}

TEST(EnvelopeBlowfish, SizesLayoutAndRoundTrip)
{
    const VEKKey k = key("0123456789abcdef");
    const std::pair<int, int> sizes[] = { { 0, 8 }, { 5, 16 }, { 8, 16 }, { 9, 24 }, { 100, 112 } };
    for (const auto& [plainSize, envelopeSize] : sizes) {
        const QByteArray plain(plainSize, 'x');
        const auto envelope = VEKCoder::dataByEncryptData(plain, k);
        ASSERT_TRUE(envelope);
        EXPECT_EQ(envelope->size(), envelopeSize);
        EXPECT_EQ(le32(*envelope, 0), quint32(plainSize));
        EXPECT_EQ(le32(*envelope, 4), Crc32(plain.constData(), plain.size()));
        EXPECT_EQ(VEKCoder::dataByDecryptData(*envelope, k), plain);
        EXPECT_EQ(VEKCoder::decryptData(*envelope, k), plain);
    }
    EXPECT_EQ(*VEKCoder::dataByEncryptData("", k), QByteArray(8, '\0'));

    // The ciphertext is the CBC encryption of the zero-padded plain bytes.
    const QByteArray plain("hello, world");
    const auto envelope = VEKCoder::dataByEncryptData(plain, k);
    const auto ctx = keyed("0123456789abcdef");
    QByteArray cbc(16, '\0');
    qsizetype room = 16;
    BlowfishEncryptBuffer(ctx.get(), plain.constData(), plain.size(), cbc.data(), &room, kBlowfishModeCBC);
    EXPECT_EQ(envelope->mid(8), cbc);

    // The Base64 text form.
    const auto text = VEKCoder::encryptStringWithString(QString::fromUtf8("买入 600000"), k);
    ASSERT_TRUE(text);
    const auto decoded = VEKBase64::decodeString(*text);
    ASSERT_TRUE(decoded);
    EXPECT_EQ(VEKCoder::dataByDecryptData(*decoded, k), QString::fromUtf8("买入 600000").toUtf8());
    EXPECT_EQ(VEKCoder::encryptStringWithData("abc", k),
        VEKBase64::stringByEncodingData(*VEKCoder::dataByEncryptData("abc", k)));

    // Unusable keys.
    VEKKey tooLong = k;
    tooLong.count = 65;
    EXPECT_FALSE(VEKCoder::dataByEncryptData("abc", tooLong));
    EXPECT_FALSE(VEKCoder::dataByDecryptData(*envelope, tooLong));
    EXPECT_FALSE(VEKCoder::dataByEncryptData("abc", VEKKey()));
    EXPECT_FALSE(VEKKey::withCharacters(QByteArray(65, 'a')));
}

TEST(EnvelopeBlowfish, RefusesTamperedAndMalformedEnvelopes)
{
    const VEKKey k = key("session-key-16ch");
    const QByteArray plain("twenty bytes of text");
    const QByteArray envelope = *VEKCoder::dataByEncryptData(plain, k);
    ASSERT_EQ(envelope.size(), 32);

    for (int i = 0; i < envelope.size(); ++i) {
        QByteArray bad = envelope;
        bad[i] = char(bad[i] ^ 0x01);
        EXPECT_FALSE(VEKCoder::dataByDecryptData(bad, k)) << "byte " << i;
    }
    EXPECT_FALSE(VEKCoder::dataByDecryptData(envelope, key("another-key-16ch")));
    EXPECT_FALSE(VEKCoder::dataByDecryptData(envelope.left(7), k));
    EXPECT_FALSE(VEKCoder::dataByDecryptData(envelope.left(31), k)); // not whole blocks
    EXPECT_FALSE(VEKCoder::dataByDecryptData(envelope + "abc", k)); // not whole blocks
    EXPECT_FALSE(VEKCoder::dataByDecryptData(envelope + "12345678", k)); // a block too many

    QByteArray longer = envelope;
    longer[0] = 25; // stated length beyond the ciphertext
    EXPECT_FALSE(VEKCoder::dataByDecryptData(longer, k));
    QByteArray negative = envelope;
    negative[3] = char(0x80);
    EXPECT_FALSE(VEKCoder::dataByDecryptData(negative, k));

    // OpenEnvelope reports the CRC check separately from bad input.
    const auto ctx = keyed("session-key-16ch");
    QByteArray out(32, '\0');
    qsizetype room = 24;
    EXPECT_EQ(
        OpenEnvelope(ctx.get(), envelope.constData(), envelope.size(), out.data(), &room, 1), kVEKSuccess);
    EXPECT_EQ(room, 20);
    EXPECT_EQ(out.left(20), plain);
    QByteArray badCrc = envelope;
    badCrc[4] = char(badCrc[4] ^ 0xFF);
    room = 24;
    EXPECT_EQ(
        OpenEnvelope(ctx.get(), badCrc.constData(), badCrc.size(), out.data(), &room, 1), kVEKCrcMismatch);
    room = 23;
    EXPECT_EQ(OpenEnvelope(ctx.get(), envelope.constData(), envelope.size(), out.data(), &room, 1),
        kVEKOutputTooSmall);
    room = 24;
    EXPECT_EQ(OpenEnvelope(ctx.get(), envelope.constData(), 7, out.data(), &room, 1), kVEKBadInput);
    room = 31;
    EXPECT_EQ(
        SealEnvelope(ctx.get(), plain.constData(), plain.size(), out.data(), &room, 1), kVEKOutputTooSmall);
    room = 32;
    EXPECT_EQ(SealEnvelope(ctx.get(), plain.constData(), -1, out.data(), &room, 1), kVEKBadInput);
}

TEST(EnvelopeBlowfish, RandomKeyStrings)
{
    const QByteArray alphabet("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/");
    const auto a = VEKCoder::generalWithLength(16);
    const auto b = VEKCoder::generalWithLength(16);
    ASSERT_TRUE(a && b);
    EXPECT_EQ(a->count, 16u);
    const QByteArrayView chars = *a->bytes();
    for (char c : chars)
        EXPECT_TRUE(alphabet.contains(c));
    // Drawn from the system generator, so two keys made at once still differ.
    EXPECT_NE(*a->bytes(), *b->bytes());
    EXPECT_EQ(VEKCoder::generalWithLength(100)->count, 64u);
    EXPECT_EQ(VEKCoder::generalWithLength(-3)->count, 0u);
}

TEST(EnvelopeZlib, RoundTripLengthCapAndForeignStreams)
{
    QByteArray text;
    for (int i = 0; i < 200; ++i)
        text += "record " + QByteArray::number(i % 7) + ";";
    const auto envelope = VEKCoder::dataByCompressData(text);
    ASSERT_TRUE(envelope);
    EXPECT_EQ(le32(*envelope, 0), quint32(text.size()));
    EXPECT_EQ(envelope->at(4), '\x78'); // zlib header
    EXPECT_EQ(VEKCoder::dataByUncompressData(*envelope), text);

    // Nothing to gain: the stream does not fit in the input's length.
    EXPECT_FALSE(VEKCoder::dataByCompressData("abc"));
    EXPECT_FALSE(VEKCoder::dataByCompressData(""));

    // A stream made by zlib itself at another level.
    QByteArray foreign(int(compressBound(uLong(text.size()))), '\0');
    uLongf size = uLongf(foreign.size());
    ASSERT_EQ(compress2(reinterpret_cast<Bytef*>(foreign.data()), &size,
                  reinterpret_cast<const Bytef*>(text.constData()), uLong(text.size()), 9),
        Z_OK);
    foreign.truncate(int(size));
    QByteArray header(4, '\0');
    const quint32 n = quint32(text.size());
    for (int i = 0; i < 4; ++i)
        header[i] = char((n >> (8 * i)) & 0xFF);
    EXPECT_EQ(VEKCoder::dataByUncompressData(header + foreign), text);

    // Stated lengths that disagree with the stream, the cap, short and bad input.
    QByteArray more = header + foreign;
    more[0] = char(more[0] + 1);
    EXPECT_FALSE(VEKCoder::dataByUncompressData(more));
    QByteArray less = header + foreign;
    less[0] = char(less[0] - 1);
    EXPECT_FALSE(VEKCoder::dataByUncompressData(less));
    EXPECT_FALSE(VEKCoder::dataByUncompressData(QByteArray("\x01\x00\x00\x01", 4) + foreign)); // 16 MiB + 1
    EXPECT_FALSE(VEKCoder::dataByUncompressData(QByteArray("\xFF\xFF\xFF\xFF", 4) + foreign));
    EXPECT_FALSE(VEKCoder::dataByUncompressData("abc"));
    EXPECT_FALSE(VEKCoder::dataByUncompressData(header + foreign.left(foreign.size() - 5)));
    EXPECT_FALSE(VEKCoder::dataByUncompressData(header + "not a zlib stream"));

    // A zero length with an empty stream is an empty result, not a failure.
    QByteArray empty(16, '\0');
    size = uLongf(empty.size());
    ASSERT_EQ(
        compress(reinterpret_cast<Bytef*>(empty.data()), &size, reinterpret_cast<const Bytef*>(""), 0), Z_OK);
    const auto nothing = VEKCoder::dataByUncompressData(QByteArray(4, '\0') + empty.left(int(size)));
    ASSERT_TRUE(nothing);
    EXPECT_TRUE(nothing->isEmpty());
}

namespace {

class Note : public platform::Archivable {
public:
    explicit Note(QString text)
        : text_(std::move(text))
    {
    }
    QString archiveClassName() const override { return "EnvelopeTestNote"; }
    void encodeWithCoder(platform::KeyedArchiver& coder) const override { coder.encodeString("text", text_); }
    QString text_;
};

} // namespace

TEST(EnvelopeArchive, ObjectsThroughBytesAndFiles)
{
    platform::registerArchivableClass("EnvelopeTestNote", [](const platform::KeyedUnarchiver& in) {
        const auto text = in.decodeString("text");
        return text ? std::make_unique<Note>(*text) : nullptr;
    });
    const Note note(QString::fromUtf8("备注"));
    const QByteArray bytes = VEKCoder::encodeObject(note);
    const auto back = VEKCoder::decodeWithData(bytes);
    ASSERT_TRUE(back);
    EXPECT_EQ(static_cast<Note*>(back.get())->text_, QString::fromUtf8("备注"));
    EXPECT_FALSE(VEKCoder::decodeWithData("garbage"));

    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath("note.archive");
    EXPECT_TRUE(VEKCoder::encodeObject(note, path));
    const auto fromFile = VEKCoder::decodeWithFile(path);
    ASSERT_TRUE(fromFile);
    EXPECT_EQ(static_cast<Note*>(fromFile.get())->text_, QString::fromUtf8("备注"));
    EXPECT_FALSE(VEKCoder::decodeWithFile(dir.filePath("missing")));
    EXPECT_FALSE(VEKCoder::encodeObject(note, dir.filePath("no/such/folder/file")));
}
