// Reading a cell's text into the caller's text: the same texts as the reads
// that return a new one, whatever the type, encoding or state of the set, and
// the caller's buffer reused without touching a text that shares it.
#include "comm/recordset/VEKTCRS.h"

#include <QStringList>
#include <cmath>
#include <cstring>
#include <gtest/gtest.h>
#include <limits>

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
            EXPECT_EQ(rows.toStringAtIndex(6), QString::number(kDoubles[r], 'f', 3));
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
        EXPECT_EQ(text, QString::number(value, 'f', 3)) << value;
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
