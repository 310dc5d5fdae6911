// What the typed reads make of a value's bytes: texts whose bytes the fast
// paths do not take, fields narrower than their type, flag bytes, and the
// three-decimal text of a double against the C library's own.
#include "comm/RecordSetTestData.h"
#include "comm/recordset/TCRSText.h"
#include "comm/recordset/VEKTCRS.h"

#include <QtEndian>
#include <cfloat>
#include <cmath>
#include <cstring>
#include <gtest/gtest.h>
#include <limits>
#include <random>

namespace {

using rstest::field;

QByteArray le32(qint32 v)
{
    char b[4];
    qToLittleEndian<qint32>(v, b);
    return QByteArray(b, 4);
}

// A raw layout: descriptors (type, length, offset), one record, an info
// block and a data block.
QByteArray layout(const std::vector<std::array<qint32, 3>>& descriptors, const QByteArray& record,
    const QByteArray& info, const QByteArray& data = {})
{
    QByteArray out = le32(qint32(descriptors.size()));
    for (const auto& d : descriptors)
        out += le32(d[0]) + le32(d[1]) + le32(d[2]);
    out += le32(record.isEmpty() ? 0 : 1) + record + le32(qint32(info.size())) + info;
    return out + le32(qint32(data.size())) + data;
}

// Every way a text is read, which must all agree.
void expectText(VEKTCRS& set, qint32 index, const QString& expected, const std::string& where)
{
    ASSERT_TRUE(set.fetchFirst()) << where;
    EXPECT_EQ(set.toStringAtIndex(index), expected) << where;
    EXPECT_EQ(set.toStringWithName(set.fieldNameAtIndex(index)), expected) << where;
    QString reused = QStringLiteral("left over from another cell, long enough to be reused");
    EXPECT_TRUE(set.readStringAtIndex(index, reused)) << where;
    EXPECT_EQ(reused, expected) << where;
    std::vector<QString> row(1);
    const std::vector<qint32> indexes { index };
    EXPECT_TRUE(set.readStringsAtIndexes(indexes, row)) << where;
    EXPECT_EQ(row[0], expected) << where;
}

std::string printf3(double value)
{
    return rstest::fixed3(value).toStdString();
}

} // namespace

// UTF-16 units whose low byte is 0 (一 U+4E00, the ideographic space
// U+3000) begin with a zero byte: only a zero unit ends the text.
TEST(VEKTCRSValueBytes, UnitsWithAZeroLowByteDoNotEndAUtf16Text)
{
    for (const QString& first : { QString(QChar(0x4E00)), QString(QChar(0x3000)) }) {
        for (const QString& text :
            { first + QStringLiteral("二"), first, first + QString(40, QChar(0x3000)) }) {
            VEKTCRS set(1);
            ASSERT_TRUE(set.addField(field("t", 9)));
            ASSERT_TRUE(set.addField(field("u", 101)));
            ASSERT_TRUE(set.appendRecord());
            ASSERT_TRUE(set.updateFieldWithString(0, text));
            ASSERT_TRUE(set.updateFieldWithString(1, text));
            ASSERT_EQ(set.fieldDataAtIndex(0).left(2), QByteArray("\0", 1) + char(first[0].unicode() >> 8));
            const QByteArray bytes = set.exportData();
            auto sets = VEKTCRS::constructMRWithBytes(bytes.constData(), bytes.size(), 1);
            ASSERT_EQ(sets.size(), 1u);
            for (VEKTCRS* s : { &set, &sets[0] })
                for (qint32 i = 0; i < 2; ++i)
                    expectText(*s, i, text, std::to_string(text.size()) + " field " + std::to_string(i));
        }
        // The same in the info text and in a description.
        VEKTCRS info(1);
        TCRSField described = field("d", 4);
        std::memcpy(described.desc, "\0\x4E\0\x30", 4);
        described.desc[1] = char(first[0].unicode() >> 8);
        described.coding = 1;
        ASSERT_TRUE(info.addField(described));
        ASSERT_TRUE(info.setRecordsetInfo(first + QStringLiteral("ok"), true));
        const QByteArray bytes = info.exportData();
        auto sets = VEKTCRS::constructMRWithBytes(bytes.constData(), bytes.size(), 1);
        ASSERT_EQ(sets.size(), 1u);
        EXPECT_EQ(sets[0].recordsetInfo(), first + QStringLiteral("ok"));
        EXPECT_EQ(sets[0].fieldDescAtIndex(0), first + QChar(0x3000));
    }
}

// A field narrower than its type gives its own bytes and never the next
// field's; a text descriptor that is not 8 bytes wide refuses the set.
TEST(VEKTCRSValueBytes, NarrowDescriptorsNeverReadPastTheirField)
{
    // Each narrow field is followed by 0xFF bytes that must not show.
    const struct {
        qint32 type;
        qint32 length;
        QByteArray bytes;
        qint64 asInt64;
        const char* text;
    } cases[] = {
        { 5, 4, QByteArray("\x07\0\0\0", 4), 7, "7" },
        { 5, 1, QByteArray("\x05", 1), 5, "5" },
        { 7, 4, QByteArray("\0\0\0\0", 4), 0, "0.000" },
        { 4, 2, QByteArray("\x02\x01", 2), 0x0102, "258" },
        { 6, 2, QByteArray("\0\0", 2), 0, "0.000" },
        { 3, 1, QByteArray("\x09", 1), 9, "9" },
    };
    for (const auto& c : cases) {
        const std::string where = std::to_string(c.type) + "/" + std::to_string(c.length);
        const QByteArray record = c.bytes + QByteArray(8, '\xFF');
        const QByteArray info
            = QByteArray("0ok") + QByteArray(2, '\0') + "narrow" + QByteArray(2, '\0') + "next";
        const QByteArray bytes = layout({ { c.type, c.length, 0 }, { 5, 8, c.length } }, record, info);
        auto sets = VEKTCRS::constructMRWithBytes(bytes.constData(), bytes.size(), 0);
        ASSERT_EQ(sets.size(), 1u) << where;
        VEKTCRS& set = sets[0];
        ASSERT_TRUE(set.fetchFirst());
        EXPECT_EQ(set.toInt64AtIndex(0), c.asInt64) << where;
        EXPECT_EQ(set.getInt64AtIndex(0), c.asInt64) << where;
        EXPECT_EQ(set.toFloatAtIndex(0), c.type >= 6 ? 0.0 : double(c.asInt64)) << where;
        expectText(set, 0, QString::fromLatin1(c.text), where);
        EXPECT_EQ(set.toInt64AtIndex(1), -1) << where;
    }
    for (qint32 width : { 0, 4, 7, 12 }) {
        const QByteArray info = QByteArray("0ok") + QByteArray(2, '\0') + "text";
        const QByteArray bytes
            = layout({ { 9, width, 0 } }, le32(0) + le32(4) + QByteArray(4, '\xFF'), info, "abcd");
        EXPECT_TRUE(VEKTCRS::constructMRWithBytes(bytes.constData(), bytes.size(), 0).empty()) << width;
    }
}

// Bytes the fast paths do not take (a GB 18030 lead byte 0xFF, 0x80 in UTF-8
// and ASCII) decode as the platform decodes the bytes up to the first zero,
// in short values and in values past the fast paths' 64 bytes.
TEST(VEKTCRSValueBytes, BytesTheFastPathsRefuseDecodeAsThePlatformDoes)
{
    const QString replacement(QChar::ReplacementCharacter);
    const struct {
        qint32 encoding;
        QByteArray bytes;
        QString expected;
    } cases[] = {
        { 0, QByteArray("a\xFFz"), QStringLiteral("a") + replacement + QStringLiteral("z") },
        { 0, QByteArray("\xFF"), replacement },
        { 0, QByteArray("\xD6\xD0\xFF\0z", 5), QString::fromUtf8("中") + replacement },
        { 2, QByteArray("a\x80z"), QStringLiteral("a") + replacement + QStringLiteral("z") },
        { 2, QByteArray("\x80\0z", 3), replacement },
        { 3, QByteArray("a\x80z"), QStringLiteral("a") + replacement + QStringLiteral("z") },
        { 9, QByteArray("\x80\x80\0z", 4), replacement + replacement },
    };
    for (const auto& c : cases) {
        for (qsizetype pad : { 0, 70 }) {
            // The padding goes in front, so the zero byte (if any) still ends the text.
            const QByteArray bytes = QByteArray(pad, 'p') + c.bytes;
            const QString expected = QString(pad, u'p') + c.expected;
            VEKTCRS set(c.encoding);
            ASSERT_TRUE(set.addField(field("t", 9)));
            ASSERT_TRUE(set.appendRecord());
            ASSERT_TRUE(set.updateFieldWithByte(0, bytes.constData(), qint32(bytes.size()), -1));
            expectText(set, 0, expected,
                std::to_string(c.encoding) + " " + c.bytes.toHex().toStdString() + " +"
                    + std::to_string(pad));
        }
    }
}

// The flag byte of the info text and of a description: "0" and a zero byte
// mean not Unicode, anything else Unicode.
TEST(VEKTCRSValueBytes, AZeroFlagByteMeansNotUnicode)
{
    const struct {
        char flag;
        bool unicode;
    } cases[] = { { '0', false }, { '\0', false }, { '1', true }, { 'x', true } };
    for (const auto& c : cases) {
        const QByteArray text = c.unicode ? QByteArray("e\0r\0r\0o\0r\0", 10) : QByteArray("error");
        const QByteArray desc = c.unicode ? QByteArray("\x2D\x4E", 2) : QByteArray("\xD6\xD0");
        const QByteArray info
            = QByteArray(1, c.flag) + text + QByteArray(2, '\0') + "f|" + QByteArray(1, c.flag) + desc;
        const QByteArray bytes = layout({ { 4, 4, 0 } }, {}, info);
        auto sets = VEKTCRS::constructMRWithBytes(bytes.constData(), bytes.size(), 2);
        ASSERT_EQ(sets.size(), 1u) << int(c.flag);
        EXPECT_EQ(sets[0].isUniResInfo(), c.unicode) << int(c.flag);
        EXPECT_TRUE(sets[0].isErrorInfo()) << int(c.flag);
        EXPECT_EQ(sets[0].fieldAtIndex(0)->coding, c.unicode ? 2 : 255) << int(c.flag);
        // A Unicode description follows the set's encoding (here UTF-8).
        EXPECT_EQ(sets[0].fieldDescAtIndex(0), c.unicode ? QStringLiteral("-N") : QString::fromUtf8("中"))
            << int(c.flag);
    }
}

// The text of a double is printf's "%.3f": exact ties to even, the sign of
// -0.0 kept, large and non-finite values, and the fast path's edges.
TEST(VEKTCRSValueBytes, DoublesReadAsPrintfWritesThem)
{
    std::vector<double> values { 10.0625, -10.0625, 0.0625, 0.1875, -0.3125, 1000000.0625, 999999999.0625,
        1e12 + 0.0625, -0.0, 0.0, -0.0001, 0.0004999, 0.0005, 1.0015, 1.0014999, 1.0016, 2.5, 999999999.999,
        999999999.9995, std::nextafter(1e9, 0.0), 1e9, -1e9, 1234567890.123, 999999999999999.9, 1e15,
        -5e14 + 0.3, 1e15 + 0.125, 1e300, DBL_MAX, -DBL_MAX, DBL_MIN, 5e-324,
        std::numeric_limits<double>::infinity(), -std::numeric_limits<double>::infinity(),
        std::numeric_limits<double>::quiet_NaN() };
    std::mt19937_64 random(20261207);
    for (int i = 0; i < 20000; ++i) {
        const double magnitude = std::pow(10.0, double(random() % 20) - 4);
        const double value = std::ldexp(double(random() >> 11), -53) * magnitude;
        values.push_back(i % 2 ? -value : value);
        values.push_back(std::round(value * 16) / 16); // many exact ties
    }
    VEKTCRS set;
    ASSERT_TRUE(set.addField(field("d", 7)));
    ASSERT_TRUE(set.addField(field("f", 6)));
    for (double v : values) {
        ASSERT_TRUE(set.appendRecord());
        ASSERT_TRUE(set.updateFieldWithDouble(0, v));
        ASSERT_TRUE(set.updateFieldWithDouble(1, v));
    }
    ASSERT_TRUE(set.fetchFirst());
    int shown = 0;
    for (double v : values) {
        const std::string where = printf3(v) + " (" + std::to_string(v) + ")";
        EXPECT_EQ(set.toStringAtIndex(0).toStdString(), printf3(v)) << where;
        // Single precision takes the general route.
        EXPECT_EQ(set.toStringAtIndex(1).toStdString(), printf3(set.toFloatAtIndex(1))) << where;
        set.fetchNext();
        if (++shown > 200 && ::testing::Test::HasFailure())
            break;
    }
    EXPECT_EQ(printf3(10.0625), "10.062");
    EXPECT_EQ(printf3(-0.0), "-0.000");
}
