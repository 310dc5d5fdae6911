// Reading a cell's text into the caller's text: the same texts as the reads
// that return a new one, whatever the type, encoding or state of the set, and
// the caller's buffer reused without touching a text that shares it.
#include "comm/RecordSetTestData.h"
#include "comm/recordset/VEKTCRS.h"

#include <QStringList>
#include <cmath>
#include <cstring>
#include <gtest/gtest.h>
#include <limits>
#include <vector>

namespace {

TCRSField field(const char* name, qint32 type)
{
    TCRSField f { type, 0, 0, {}, {}, 0 };
    return std::strncpy(f.name, name, sizeof f.name - 1), f;
}

const double kDoubles[] = { 0.0, -0.0, 0.0625, -2.5e-4, 1234.5675, 1e16, -0.0005, 99.9995, 1e300,
    std::numeric_limits<double>::infinity(), std::nan(""), 0.01 * 7 + 3 };
const qint64 kLongs[] = { 0, -1, std::numeric_limits<qint64>::min(), std::numeric_limits<qint64>::max(),
    1234567890123LL, -99, 7, 100, 10, 99999999, 100000000, (qint64(5) << 33) + 2 };

// Every type a field can have, with values that take each formatting path.
VEKTCRS everyType(qint32 encoding)
{
    struct Column {
        const char* name;
        qint32 type;
    };
    static const Column columns[] = { { "bool", 1 }, { "int8", 2 }, { "int16", 3 }, { "int32", 4 },
        { "int64", 5 }, { "float", 6 }, { "double", 7 }, { "text", 9 }, { "bytes", 14 }, { "unicode", 101 },
        { "int32b", 102 }, { "int32c", 103 } };
    const auto& doubles = kDoubles;
    const auto& longs = kLongs;
    const QString texts[] = { QString(), QStringLiteral("600000"), QString::fromUtf8("浦发银行"),
        QStringLiteral("a"), QString::fromUtf8("é"), QString(200, QChar(u'x')) };
    VEKTCRS set(encoding);
    for (const Column& c : columns)
        EXPECT_TRUE(set.addField(field(c.name, c.type)));
    for (int r = 0; r < 12; ++r) {
        EXPECT_TRUE(set.appendRecord());
        for (int f : { 0, 1, 2, 3, 10, 11 })
            set.updateFieldWithInt(f, static_cast<qint32>(longs[r]));
        set.updateFieldWithInt64(4, longs[r]);
        set.updateFieldWithDouble(5, doubles[r]);
        set.updateFieldWithDouble(6, doubles[r]);
        if (!texts[r % 6].isNull()) {
            set.updateFieldWithString(7, texts[r % 6]);
            set.updateFieldWithString(9, texts[r % 6]);
            set.updateFieldWithByte(8, "\x01\x02", 2, -1);
        }
    }
    set.setOkInfo();
    // Read back as a server's reply is.
    const QByteArray bytes = set.exportData();
    auto sets = VEKTCRS::constructMRWithBytes(bytes.constData(), bytes.size(), encoding);
    EXPECT_EQ(sets.size(), 1u);
    return sets.empty() ? VEKTCRS() : sets[0];
}

TEST(VEKTCRSReadInto, EveryTypeInEveryEncodingReadsAsTheReturnedText)
{
    for (qint32 encoding : { 0, 1, 2, 3 }) {
        const VEKTCRS set = everyType(encoding);
        ASSERT_EQ(set.rowsAffected(), 12);
        VEKTCRS rows = set;
        QString reused; // one text for every cell, as a loop over cells holds it
        for (bool ok = rows.fetchFirst(); ok; ok = rows.fetchNext()) {
            for (qint32 f = 0; f < rows.fieldCount(); ++f) {
                const QString name = rows.fieldNameAtIndex(f);
                const QByteArray latin1 = name.toLatin1();
                const QString expected = rows.toStringAtIndex(f);
                const auto where = [&] {
                    return QStringLiteral("encoding %1 row %2 field %3")
                        .arg(encoding)
                        .arg(rows.getCurrent())
                        .arg(name);
                };
                EXPECT_TRUE(rows.readStringAtIndex(f, reused));
                EXPECT_EQ(reused, expected) << qPrintable(where());
                EXPECT_TRUE(rows.readStringWithName(name, reused));
                EXPECT_EQ(reused, expected) << qPrintable(where());
                EXPECT_TRUE(rows.readStringWithName(QLatin1StringView(latin1), reused));
                EXPECT_EQ(reused, expected) << qPrintable(where());
                EXPECT_EQ(rows.toStringWithName(QLatin1StringView(latin1)), expected) << qPrintable(where());
                EXPECT_EQ(rows.toStringWithName(name), expected) << qPrintable(where());
            }
            // The formatting itself, independently of the reads compared above.
            const int r = rows.getCurrent();
            EXPECT_EQ(rows.toStringAtIndex(3), QString::number(qint32(kLongs[r])));
            EXPECT_EQ(rows.toStringAtIndex(4), QString::number(kLongs[r]));
            EXPECT_EQ(rows.toStringAtIndex(6), rstest::fixed3(kDoubles[r]));
        }
    }
}

TEST(VEKTCRSReadInto, InfoSetsReadAsTheReturnedText)
{
    QString text = QStringLiteral("something longer than any of the values");
    for (double value : { 0.125, -0.0, 2.5, 1e20, -1234.56789, 0.0005 }) {
        VEKTCRS d = VEKTCRS::initWithDouble(value);
        ASSERT_TRUE(d.fetchFirst());
        EXPECT_TRUE(d.readStringWithName(QLatin1StringView("ER_Double"), text));
        EXPECT_EQ(text, rstest::fixed3(value)) << value;
        EXPECT_EQ(text, d.toStringWithName(QStringLiteral("ER_Double")));
    }
    VEKTCRS i = VEKTCRS::initWithInt(-42, QStringLiteral("rejected"), false);
    ASSERT_TRUE(i.fetchFirst());
    EXPECT_TRUE(i.readStringWithName(QLatin1StringView("ER_Int"), text));
    EXPECT_EQ(text, QStringLiteral("-42"));
    EXPECT_TRUE(i.readStringWithName(QStringLiteral("ER_String"), text));
    EXPECT_EQ(text, QStringLiteral("rejected"));
}

TEST(VEKTCRSReadInto, MissingFieldsRecordsAndValuesEmptyTheText)
{
    VEKTCRS set(0);
    ASSERT_TRUE(set.addField(field("code", 9)));
    ASSERT_TRUE(set.addField(field("qty", 4)));
    ASSERT_TRUE(set.appendRecord());
    set.updateFieldWithInt(1, 5); // the text field stays without a value
    QString text = QStringLiteral("left over");
    // Before the first record, no such field or index, past the last record.
    ASSERT_TRUE(set.fetchFirst());
    set.fetchPrev();
    ASSERT_TRUE(set.isBOF());
    EXPECT_FALSE(set.readStringAtIndex(1, text));
    EXPECT_TRUE(text.isEmpty());
    ASSERT_TRUE(set.fetchFirst());
    for (const QString& name : { QStringLiteral("quantity"), QString(), QString::fromUtf8("qtý"),
             QString(64, QChar(u'q')), QStringLiteral("qty") + QChar(u'\0') }) {
        text = QStringLiteral("left over");
        EXPECT_FALSE(set.readStringWithName(name, text)) << qPrintable(name);
        EXPECT_TRUE(text.isEmpty());
        const QByteArray latin1 = name.toLatin1();
        text = QStringLiteral("left over");
        EXPECT_FALSE(set.readStringWithName(QLatin1StringView(latin1), text));
        EXPECT_TRUE(text.isEmpty());
        EXPECT_EQ(set.toStringWithName(QLatin1StringView(latin1)), QString());
    }
    for (qint32 index : { -1, 2, 1000 }) {
        text = QStringLiteral("left over");
        EXPECT_FALSE(set.readStringAtIndex(index, text));
        EXPECT_TRUE(text.isEmpty());
    }
    // A field that is there without a value reads as empty, and is found.
    text = QStringLiteral("left over");
    EXPECT_TRUE(set.readStringWithName(QLatin1StringView("code"), text));
    EXPECT_TRUE(text.isEmpty());
    EXPECT_TRUE(set.readStringWithName(QLatin1StringView("qty"), text));
    EXPECT_EQ(text, QStringLiteral("5"));
    ASSERT_FALSE(set.fetchNext());
    EXPECT_FALSE(set.readStringAtIndex(1, text));
    EXPECT_TRUE(text.isEmpty());
    // An empty set.
    const VEKTCRS empty;
    EXPECT_FALSE(empty.readStringAtIndex(0, text));
    EXPECT_FALSE(empty.readStringWithName(QLatin1StringView("qty"), text));
    EXPECT_TRUE(text.isEmpty());
}

TEST(VEKTCRSReadInto, ReusesTheTextsOwnBufferAndLeavesSharedOnesAlone)
{
    VEKTCRS set(0);
    ASSERT_TRUE(set.addField(field("name", 9)));
    ASSERT_TRUE(set.addField(field("price", 7)));
    ASSERT_TRUE(set.appendRecord());
    set.updateFieldWithString(0, QString::fromUtf8("浦发银行"));
    set.updateFieldWithDouble(1, 10.5);
    ASSERT_TRUE(set.fetchFirst());

    QString text;
    text.reserve(32);
    const QChar* buffer = text.constData();
    EXPECT_TRUE(set.readStringAtIndex(0, text));
    EXPECT_EQ(text, QString::fromUtf8("浦发银行"));
    EXPECT_EQ(text.constData(), buffer);
    EXPECT_TRUE(set.readStringAtIndex(1, text));
    EXPECT_EQ(text, QStringLiteral("10.500"));
    EXPECT_EQ(text.constData(), buffer);
    EXPECT_EQ(text.constData()[text.size()], QChar(u'\0'));

    // A copy shares the buffer: the read makes a new one and the copy keeps its text.
    const QString kept = text;
    EXPECT_TRUE(set.readStringAtIndex(0, text));
    EXPECT_EQ(kept, QStringLiteral("10.500"));
    EXPECT_EQ(text, QString::fromUtf8("浦发银行"));
    // Too small a buffer grows; a text over raw data is never written.
    static const char16_t raw[] = u"ab";
    QString over = QString::fromRawData(reinterpret_cast<const QChar*>(raw), 2);
    EXPECT_TRUE(set.readStringAtIndex(1, over));
    EXPECT_EQ(over, QStringLiteral("10.500"));
    EXPECT_EQ(raw[0], u'a');
    QString small = QStringLiteral("x");
    small.squeeze();
    EXPECT_TRUE(set.readStringAtIndex(1, small));
    EXPECT_EQ(small, QStringLiteral("10.500"));
}

} // namespace

TEST(VEKTCRSReadInto, ARowReadAtOnceIsTheRowReadCellByCell)
{
    for (qint32 encoding : { 0, 1, 2, 3 }) {
        VEKTCRS rows = everyType(encoding);
        std::vector<qint32> indexes;
        for (qint32 f = rows.fieldCount() - 1; f >= 0; --f) // any order, and twice
            indexes.push_back(f);
        indexes.push_back(4);
        std::vector<QString> texts(indexes.size());
        for (bool ok = rows.fetchFirst(); ok; ok = rows.fetchNext()) {
            EXPECT_TRUE(rows.readStringsAtIndexes(indexes, texts));
            for (size_t i = 0; i < indexes.size(); ++i)
                EXPECT_EQ(texts[i], rows.toStringAtIndex(indexes[i]))
                    << "encoding " << encoding << " row " << rows.getCurrent() << " field " << indexes[i];
        }
    }
}

TEST(VEKTCRSReadInto, ARowWithMissingFieldsOrNoRecordEmptiesTheirTexts)
{
    VEKTCRS set(0);
    ASSERT_TRUE(set.addField(field("code", 9)));
    ASSERT_TRUE(set.addField(field("qty", 4)));
    ASSERT_TRUE(set.appendRecord());
    set.updateFieldWithString(0, QStringLiteral("600000"));
    set.updateFieldWithInt(1, 5);
    const auto leftOver = [] { return std::vector<QString>(3, QStringLiteral("left over")); };

    // Before the first record every text is emptied.
    ASSERT_TRUE(set.fetchFirst());
    set.fetchPrev();
    ASSERT_TRUE(set.isBOF());
    std::vector<QString> texts = leftOver();
    const std::vector<qint32> both { 0, 1, 1 };
    EXPECT_FALSE(set.readStringsAtIndexes(both, texts));
    for (const QString& text : texts)
        EXPECT_TRUE(text.isEmpty());

    ASSERT_TRUE(set.fetchFirst());
    struct Case {
        std::vector<qint32> indexes;
        bool all;
        std::vector<QString> expected;
    };
    const Case cases[] = {
        { { 0, 1, 0 }, true, { "600000", "5", "600000" } },
        { { -1, 1, 2 }, false, { "", "5", "" } },
        { { 1 }, false, { "5", "", "" } }, // fewer indexes than texts
        { { 1, 0, 1, 0 }, false, { "5", "600000", "5" } }, // more: the texts decide
    };
    for (const Case& c : cases) {
        texts = leftOver();
        EXPECT_EQ(set.readStringsAtIndexes(c.indexes, texts), c.all) << c.indexes.size();
        EXPECT_EQ(texts, c.expected) << c.indexes.size();
    }
    ASSERT_FALSE(set.fetchNext());
    texts = leftOver();
    EXPECT_FALSE(set.readStringsAtIndexes(both, texts));
    EXPECT_EQ(texts, std::vector<QString>(3));

    // A text sharing its buffer with a copy is given a new one.
    ASSERT_TRUE(set.fetchFirst());
    texts = leftOver();
    const QString kept = texts[0];
    EXPECT_TRUE(set.readStringsAtIndexes(both, texts));
    EXPECT_EQ(kept, QStringLiteral("left over"));
    EXPECT_EQ(texts[0], QStringLiteral("600000"));
}

// A stored text ends at its first zero byte (zero unit in UTF-16), whatever
// follows; a long value cut short reads as the short text, in a text no
// larger than it needs.
TEST(VEKTCRSReadInto, StoredTextsEndAtTheirFirstZero)
{
    const QByteArray longTail = QByteArray("ab", 2) + QByteArray(4096, '\0') + QByteArray("hidden");
    struct Case {
        qint32 encoding;
        QByteArray bytes;
        QString expected;
    };
    const Case cases[] = {
        { 0, QByteArray("60\0" "0000", 7), QStringLiteral("60") },
        { 0, QByteArray("\xc6\xd6\0\xb7\xa2", 5), QString::fromUtf8("浦") }, // GB 18030
        { 0, QByteArray("\0abc", 4), QString() },
        { 2, QByteArray("\xc3\xa9" "a\0z", 5), QString::fromUtf8("éa") },
        { 3, QByteArray("abc\0", 4), QStringLiteral("abc") },
        { 1, QByteArray("a\0b\0\0\0c\0", 8), QStringLiteral("ab") },
        { 1, QByteArray("\0\0a\0", 4), QString() },
        { 0, longTail, QStringLiteral("ab") },
        { 2, longTail, QStringLiteral("ab") },
        { 1, QByteArray("a\0\0\0", 4) + longTail, QStringLiteral("a") },
    };
    for (const Case& c : cases) {
        VEKTCRS set(c.encoding);
        ASSERT_TRUE(set.addField(field("text", 9)));
        ASSERT_TRUE(set.appendRecord());
        ASSERT_TRUE(set.updateFieldWithByte(0, c.bytes.constData(), qint32(c.bytes.size()), -1));
        ASSERT_TRUE(set.fetchFirst());
        const QString text = set.toStringAtIndex(0);
        EXPECT_EQ(text, c.expected) << c.encoding << " " << c.bytes.left(8).toHex().constData();
        EXPECT_EQ(text.isNull(), c.expected.isNull()) << c.encoding << " " << c.bytes.left(8).toHex().constData();
        EXPECT_LT(text.capacity(), 64);
        QString reused = QStringLiteral("left over");
        EXPECT_TRUE(set.readStringAtIndex(0, reused));
        EXPECT_EQ(reused, c.expected);
    }
}
