// The record-set byte layout: writing, reading, and refusing bad input.
#include "comm/recordset/VEKDataArray.h"
#include "comm/recordset/VEKTCRS.h"

#include <QDir>
#include <QFile>
#include <cmath>
#include <cstring>
#include <gtest/gtest.h>
#include <random>

namespace {

TCRSField field(const char* name, qint32 type, const QByteArray& desc = {}, quint8 coding = 0)
{
    TCRSField f {};
    f.type = type;
    std::strncpy(f.name, name, sizeof f.name - 1);
    std::memcpy(f.desc, desc.constData(), static_cast<size_t>(qMin<qsizetype>(desc.size(), 126)));
    f.coding = coding;
    return f;
}

// Builds raw layouts for the reader.
struct Raw {
    QByteArray bytes;
    Raw& i32(qint32 v)
    {
        for (int i = 0; i < 4; ++i)
            bytes.append(static_cast<char>((static_cast<quint32>(v) >> (8 * i)) & 0xFF));
        return *this;
    }
    Raw& raw(const QByteArray& b)
    {
        bytes.append(b);
        return *this;
    }
    Raw& f64(double v)
    {
        quint64 u;
        std::memcpy(&u, &v, 8);
        for (int i = 0; i < 8; ++i)
            bytes.append(static_cast<char>((u >> (8 * i)) & 0xFF));
        return *this;
    }
};

std::vector<VEKTCRS> parse(const QByteArray& b, qint32 encoding = 0)
{
    return VEKTCRS::constructMRWithBytes(b.constData(), b.size(), encoding);
}

QByteArray enc(const char* utf8, platform::TextEncoding e)
{
    return *platform::encodeText(QString::fromUtf8(utf8), e);
}

// A set with every field type, three records (the last without texts), an
// info text and descriptions in the set's own encoding.
VEKTCRS everyType(qint32 encoding)
{
    const platform::TextEncoding te = encoding == 1 ? platform::TextEncoding::UTF16LE
        : encoding == 2                             ? platform::TextEncoding::UTF8
                                                    : platform::TextEncoding::GB18030;
    const quint8 coding = encoding == 0 ? 0 : static_cast<quint8>(encoding);
    VEKTCRS set(encoding);
    const qint32 types[] = { 1, 2, 3, 4, 5, 6, 7, 9, 14, 101, 102, 103, 42 };
    for (qint32 t : types) {
        const QByteArray name = "f" + QByteArray::number(t);
        EXPECT_TRUE(
            set.addField(field(name.constData(), t, enc("描述", te) + QByteArray::number(t), coding)));
    }
    for (int r = 0; r < 3; ++r) {
        EXPECT_TRUE(set.appendRecord());
        EXPECT_TRUE(set.updateFieldWithInt(0, r));
        EXPECT_TRUE(set.updateFieldWithInt(1, -100 - r));
        EXPECT_TRUE(set.updateFieldWithInt(2, -30000 + r));
        EXPECT_TRUE(set.updateFieldWithInt(3, 2000000000 + r));
        EXPECT_TRUE(set.updateFieldWithInt64(4, (qint64(1) << 40) + r));
        EXPECT_TRUE(set.updateFieldWithDouble(5, 1.5 + r));
        EXPECT_TRUE(set.updateFieldWithDouble(6, 12345.678 + r));
        if (r < 2) {
            EXPECT_TRUE(set.updateFieldWithString(7, QString::fromUtf8("中文证券%1").arg(r)));
            EXPECT_TRUE(set.updateFieldWithData(8, QByteArray("\x00\x01\x02\xff", 4 - r)));
            EXPECT_TRUE(set.updateFieldWithString(9, QString::fromUtf8("名称€%1").arg(r)));
        }
        EXPECT_TRUE(set.updateFieldWithInt(10, -7 - r));
        EXPECT_TRUE(set.updateFieldWithInt(11, 7 + r));
    }
    EXPECT_TRUE(set.setRecordsetInfo(QString::fromUtf8("查询结果"), true));
    return set;
}

void expectSameValues(VEKTCRS& a, VEKTCRS& b)
{
    ASSERT_EQ(a.fieldCount(), b.fieldCount());
    ASSERT_EQ(a.rowsAffected(), b.rowsAffected());
    EXPECT_EQ(a.recordsetInfo(), b.recordsetInfo());
    EXPECT_EQ(a.isUniResInfo(), b.isUniResInfo());
    for (qint32 i = 0; i < a.fieldCount(); ++i) {
        EXPECT_EQ(a.fieldNameAtIndex(i), b.fieldNameAtIndex(i));
        EXPECT_EQ(a.fieldDescAtIndex(i), b.fieldDescAtIndex(i)) << i;
        EXPECT_EQ(a.fieldAtIndex(i)->type, b.fieldAtIndex(i)->type);
        EXPECT_EQ(a.fieldAtIndex(i)->length, b.fieldAtIndex(i)->length);
        EXPECT_EQ(a.fieldAtIndex(i)->offset, b.fieldAtIndex(i)->offset);
    }
    for (qint32 r = 0; r < a.rowsAffected(); ++r) {
        ASSERT_TRUE(a.moveTo(r));
        ASSERT_TRUE(b.moveTo(r));
        for (qint32 i = 0; i < a.fieldCount(); ++i) {
            EXPECT_EQ(a.toStringAtIndex(i), b.toStringAtIndex(i)) << r << " " << i;
            EXPECT_EQ(a.toInt64AtIndex(i), b.toInt64AtIndex(i));
            EXPECT_EQ(a.toFloatAtIndex(i), b.toFloatAtIndex(i));
            EXPECT_EQ(a.fieldDataAtIndex(i), b.fieldDataAtIndex(i));
        }
    }
}

} // namespace

TEST(VEKTCRSLayout, WritesAKnownSetByteForByte)
{
    VEKTCRS set;
    ASSERT_TRUE(set.addField(field("code", 9, QByteArray("\xB4\xFA\xC2\xEB"), 0)));
    ASSERT_TRUE(set.addField(field("qty", 4)));
    ASSERT_TRUE(set.addField(field("px", 7, QByteArray("\xF7\x4E"), 1)));
    set.setOkInfo();
    ASSERT_TRUE(set.appendRecord());
    ASSERT_TRUE(set.updateFieldWithString(0, "600000"));
    ASSERT_TRUE(set.updateFieldWithInt(1, 100));
    ASSERT_TRUE(set.updateFieldWithDouble(2, 10.5));
    ASSERT_TRUE(set.appendRecord());
    ASSERT_TRUE(set.updateFieldWithString(0, "abc"));
    ASSERT_TRUE(set.updateFieldWithInt(1, -1));
    ASSERT_TRUE(set.updateFieldWithDouble(2, 0.25));

    // clang-format off
    const unsigned char expected[] = {
        3, 0, 0, 0, // fields
        9, 0, 0, 0, 8, 0, 0, 0, 0, 0, 0, 0, // code: type, length, offset
        4, 0, 0, 0, 4, 0, 0, 0, 8, 0, 0, 0, // qty
        7, 0, 0, 0, 8, 0, 0, 0, 12, 0, 0, 0, // px
        2, 0, 0, 0, // records
        0, 0, 0, 0, 6, 0, 0, 0, 100, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x25, 0x40, // "600000", 100, 10.5
        6, 0, 0, 0, 3, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 0, 0, 0, 0, 0xD0, 0x3F, // "abc", -1, 0.25
        28, 0, 0, 0, // info length
        '0', 'o', 'k', //
        0, 0, 'c', 'o', 'd', 'e', '|', '0', 0xB4, 0xFA, 0xC2, 0xEB, //
        0, 0, 'q', 't', 'y', //
        0, 0, 'p', 'x', '|', '1', 0xF7, 0x4E, //
        10, 0, 0, 0, // data length
        '6', '0', '0', '0', '0', '0', 'a', 'b', 'c', 0, //
    };
    // clang-format on
    const QByteArray want(reinterpret_cast<const char*>(expected), sizeof expected);
    EXPECT_EQ(set.exportSize(), want.size());
    EXPECT_EQ(set.exportData().toHex(' '), want.toHex(' '));

    // An array is the sets in order.
    std::vector<VEKTCRS> sets { set, set };
    EXPECT_EQ(VEKTCRS::exportMRData(sets), want + want);
    std::vector<VEKTCRS> none;
    EXPECT_TRUE(VEKTCRS::exportMRData(none).isNull());

    // Read back: a flag "1" in a GB 18030 set gives coding 0, written as "0".
    sets = parse(want);
    ASSERT_EQ(sets.size(), 1u);
    EXPECT_EQ(sets[0].fieldAtIndex(0)->coding, 255);
    EXPECT_EQ(sets[0].fieldAtIndex(2)->coding, 0);
    EXPECT_EQ(sets[0].fieldDescAtIndex(0), QString::fromUtf8("代码"));
    QByteArray rewritten = want;
    rewritten[rewritten.size() - 17] = '0';
    EXPECT_EQ(sets[0].exportData().toHex(' '), rewritten.toHex(' '));

    // Overwriting a value leaves garbage that writing compacts away.
    ASSERT_TRUE(set.updateFieldWithString(0, "xy"));
    EXPECT_EQ(set.exportSize(), want.size() - 2);
    auto back = parse(set.exportData());
    ASSERT_EQ(back.size(), 1u);
    back[0].fetchFirst();
    EXPECT_EQ(back[0].toStringWithName("code"), "600000");
    back[0].fetchNext();
    EXPECT_EQ(back[0].toStringWithName("code"), "xy");
}

TEST(VEKTCRSLayout, RoundTripsEveryTypeInEachEncoding)
{
    for (qint32 encoding : { 0, 1, 2 }) {
        SCOPED_TRACE(encoding);
        VEKTCRS set = everyType(encoding);
        const QByteArray bytes = set.exportData();
        EXPECT_EQ(bytes.size(), set.exportSize());
        auto back = parse(bytes, encoding);
        ASSERT_EQ(back.size(), 1u);
        EXPECT_EQ(back[0].rsEncoding(), encoding);
        expectSameValues(set, back[0]);
        EXPECT_EQ(back[0].exportData(), bytes);

        // Spot checks that the values are the ones written.
        ASSERT_TRUE(back[0].moveTo(1));
        EXPECT_EQ(back[0].toStringWithName("f9"), QString::fromUtf8("中文证券1"));
        EXPECT_EQ(back[0].toStringWithName("f101"), QString::fromUtf8("名称€1"));
        EXPECT_EQ(back[0].fieldDataWithName("f14"), QByteArray("\x00\x01\x02", 3));
        EXPECT_EQ(back[0].toInt64WithName("f5"), (qint64(1) << 40) + 1);
        EXPECT_EQ(back[0].toStringWithName("f6"), "2.500");
        EXPECT_EQ(back[0].fieldDescAtIndex(7), QString::fromUtf8("描述9"));
        EXPECT_EQ(back[0].recordsetInfo(), QString::fromUtf8("查询结果"));
        ASSERT_TRUE(back[0].moveTo(2));
        EXPECT_EQ(back[0].toStringWithName("f9"), "");
        EXPECT_TRUE(back[0].fieldDataWithName("f14").isNull());
    }
}

TEST(VEKTCRSLayout, ReadsTheNotableShapes)
{
    // 16 zero bytes: one empty set.
    auto sets = parse(QByteArray(16, '\0'));
    ASSERT_EQ(sets.size(), 1u);
    EXPECT_EQ(sets[0].fieldCount(), 0);
    EXPECT_EQ(sets[0].rowsAffected(), 0);
    EXPECT_EQ(sets[0].recordsetInfo(), "");
    EXPECT_EQ(sets[0].getCurrent(), -1);

    // Two sets back to back, then three stray bytes.
    VEKTCRS a = VEKTCRS::initWithInt(5);
    VEKTCRS b = VEKTCRS::initWithString("hello", false);
    QByteArray two = a.exportData() + b.exportData();
    EXPECT_EQ(parse(two).size(), 2u);
    two.append("\x01\x02\x03", 3);
    sets = parse(two);
    ASSERT_EQ(sets.size(), 2u);
    sets[1].fetchFirst();
    EXPECT_EQ(sets[1].toStringWithName("ER_String"), "hello");
    EXPECT_TRUE(parse(QByteArray()).empty());
    EXPECT_TRUE(VEKTCRS::constructMRWithBytes(nullptr, 16).empty());

    // importData reports what it consumed.
    VEKTCRS one;
    qint64 left = two.size();
    EXPECT_TRUE(one.importData(two.constData(), &left, 2));
    EXPECT_EQ(left, two.size() - a.exportSize());

    // Info flags: "0" then "error" is an error reply; "1" reads UTF-16 whatever the encoding.
    const auto withInfo = [](const QByteArray& info) {
        return Raw().i32(0).i32(0).i32(static_cast<qint32>(info.size())).raw(info).i32(0).bytes;
    };
    sets = parse(withInfo("0error"), 0);
    ASSERT_EQ(sets.size(), 1u);
    EXPECT_TRUE(sets[0].isErrorInfo());
    EXPECT_FALSE(sets[0].isUniResInfo());
    for (qint32 e : { 0, 1, 2, 7 }) {
        sets = parse(withInfo(QByteArray("1e\0t\0c\0", 7)), e);
        ASSERT_EQ(sets.size(), 1u);
        EXPECT_TRUE(sets[0].isUniResInfo());
        EXPECT_TRUE(sets[0].isETCInfo());
    }

    // Names and descriptions: a name without description, a cut name, a cut description.
    const QByteArray longName(70, 'n');
    const QByteArray longDesc(200, 'd');
    const QByteArray info = QByteArray("0ok") + QByteArray(2, '\0') + "abc" + QByteArray(2, '\0') + longName
        + "|0" + longDesc + QByteArray(2, '\0') + "uni|1" + QByteArray("\x2D\x4E\x87\x65", 4);
    // clang-format off
    const QByteArray threeFields = Raw()
                                       .i32(3)
                                       .i32(4).i32(4).i32(0)
                                       .i32(4).i32(4).i32(4)
                                       .i32(9).i32(8).i32(8)
                                       .i32(0)
                                       .i32(static_cast<qint32>(info.size()))
                                       .raw(info)
                                       .i32(0)
                                       .bytes;
    // clang-format on
    sets = parse(threeFields, 1);
    ASSERT_EQ(sets.size(), 1u);
    EXPECT_TRUE(sets[0].isOkInfo());
    EXPECT_EQ(sets[0].fieldNameAtIndex(0), "abc");
    EXPECT_EQ(sets[0].fieldDescAtIndex(0), "");
    EXPECT_EQ(sets[0].fieldAtIndex(0)->coding, 255);
    EXPECT_EQ(sets[0].fieldNameAtIndex(1), QString(63, 'n'));
    EXPECT_EQ(sets[0].fieldDescAtIndex(1), QString(126, 'd'));
    EXPECT_EQ(sets[0].fieldAtIndex(1)->coding, 255);
    EXPECT_EQ(sets[0].fieldDescAtIndex(2), QString::fromUtf8("中文"));
    EXPECT_EQ(sets[0].fieldAtIndex(2)->coding, 1);
    EXPECT_EQ(sets[0].indexOfFieldWithName("uni"), 2);

    // An info block naming more fields than there are is refused.
    const QByteArray tooMany = QByteArray("0") + QByteArray(2, '\0') + "a" + QByteArray(2, '\0') + "b";
    EXPECT_TRUE(parse(Raw().i32(1).i32(4).i32(4).i32(0).i32(0).i32(7).raw(tooMany).i32(0).bytes).empty());
    EXPECT_EQ(
        parse(Raw().i32(2).i32(4).i32(4).i32(0).i32(4).i32(4).i32(4).i32(0).i32(7).raw(tooMany).i32(0).bytes)
            .size(),
        1u);
}

TEST(VEKTCRSLayout, RefusesTruncatedAndCorruptSets)
{
    VEKTCRS set = everyType(0);
    const QByteArray good = set.exportData();
    ASSERT_EQ(parse(good).size(), 1u);

    // Every truncation is refused, and a refused set is left empty.
    for (qsizetype n = 0; n < good.size(); ++n) {
        EXPECT_TRUE(parse(good.left(n)).empty()) << n;
        VEKTCRS s;
        qint64 left = n;
        EXPECT_FALSE(s.importData(good.constData(), &left, 0));
        EXPECT_EQ(s.fieldCount(), 0);
        EXPECT_EQ(s.rowsAffected(), 0);
    }

    // Flipped bytes: whatever is accepted reads, writes and sorts safely.
    std::mt19937 random(7);
    for (qsizetype i = 0; i < good.size(); ++i) {
        for (unsigned char mask : { 0x01, 0x80, 0xFF }) {
            QByteArray bad = good;
            bad[i] = static_cast<char>(bad[i] ^ mask);
            if (random() % 4 == 0)
                bad[random() % bad.size()] = static_cast<char>(random());
            for (VEKTCRS& s : parse(bad, static_cast<qint32>(i % 4))) {
                for (qint32 r = -1; r <= s.rowsAffected(); ++r) {
                    s.setCurrent(r);
                    for (qint32 f = -1; f <= s.fieldCount(); ++f) {
                        (void)s.toStringAtIndex(f);
                        (void)s.toFloatAtIndex(f);
                        (void)s.getUnideByteAtIndex(f);
                        (void)s.toStringWithName(s.fieldNameAtIndex(f));
                    }
                }
                for (qint32 f = 0; f < s.fieldCount(); ++f)
                    s.sortByField(f, f % 2 == 0);
                EXPECT_EQ(parse(s.exportData(), s.rsEncoding()).size(), 1u);
            }
        }
    }

    // Hand-made corruptions of one int field + one text field, one record.
    const auto build = [](qint32 f, qint32 t1, qint32 l1, qint32 o1, qint32 t2, qint32 l2, qint32 o2,
                           qint32 r, QByteArray records, qint32 n, qint32 d, QByteArray data) {
        Raw raw;
        raw.i32(f);
        if (f >= 1)
            raw.i32(t1).i32(l1).i32(o1);
        if (f >= 2)
            raw.i32(t2).i32(l2).i32(o2);
        raw.i32(r).raw(records).i32(n).raw(QByteArray(qMax(n, 0), '0')).i32(d).raw(data);
        return raw.bytes;
    };
    const QByteArray rec = Raw().i32(42).i32(0).i32(3).bytes;
    const QByteArray abc("abc\0", 4);
    EXPECT_EQ(parse(build(2, 4, 4, 0, 9, 8, 4, 1, rec, 1, 4, abc)).size(), 1u);
    EXPECT_TRUE(parse(build(-1, 4, 4, 0, 9, 8, 4, 1, rec, 1, 4, abc)).empty()); // negative field count
    EXPECT_TRUE(parse(build(0x7FFFFFFF, 4, 4, 0, 9, 8, 4, 1, rec, 1, 4, abc)).empty()); // huge field count
    EXPECT_TRUE(parse(build(2, 4, 4, 0, 9, 8, 4, -1, rec, 1, 4, abc)).empty()); // negative record count
    EXPECT_TRUE(parse(build(2, 4, 4, 0, 9, 8, 4, 2, rec, 1, 4, abc)).empty()); // records beyond the bytes
    EXPECT_TRUE(parse(build(2, 4, 4, 0, 9, 8, 4, 0x7FFFFFFF, rec, 1, 4, abc)).empty()); // huge record count
    EXPECT_TRUE(parse(build(2, 4, -4, 0, 9, 8, 4, 1, rec, 1, 4, abc)).empty()); // negative length
    EXPECT_TRUE(parse(build(2, 4, 4, -4, 9, 8, 4, 1, rec, 1, 4, abc)).empty()); // negative offset
    EXPECT_TRUE(parse(build(2, 4, 4, 10, 9, 8, 4, 1, rec, 1, 4, abc)).empty()); // field past the record
    EXPECT_TRUE(
        parse(build(2, 4, 4, 0, 9, 4, 4, 1, rec.left(8), 1, 4, abc)).empty()); // text slot not 8 bytes
    EXPECT_TRUE(parse(build(2, 4, 4, 0, 9, 8, 4, 1, rec, -1, 4, abc)).empty()); // negative info length
    EXPECT_TRUE(parse(build(2, 4, 4, 0, 9, 8, 4, 1, rec, 1, -4, abc)).empty()); // negative data length
    EXPECT_TRUE(parse(build(2, 4, 4, 0, 9, 8, 4, 1, rec, 1, 40, abc)).empty()); // data beyond the bytes
    EXPECT_TRUE(parse(build(2, 4, 4, 0, 9, 8, 4, 1, rec, 1, 2, "ab")).empty()); // value past the data block
    EXPECT_TRUE(parse(build(2, 4, 4, 0, 9, 8, 4, 1, Raw().i32(42).i32(-1).i32(3).bytes, 1, 4, abc)).empty());
    EXPECT_TRUE(
        parse(build(2, 4, 4, 0, 9, 8, 4, 1, Raw().i32(42).i32(0x7FFFFFFF).i32(3).bytes, 1, 4, abc)).empty());
    // A negative value length is a missing value, not an error.
    auto sets = parse(build(2, 4, 4, 0, 9, 8, 4, 1, Raw().i32(42).i32(-9).i32(-3).bytes, 1, 4, abc));
    ASSERT_EQ(sets.size(), 1u);
    sets[0].fetchFirst();
    EXPECT_EQ(sets[0].toStringAtIndex(1), "");
    // Blocks above 16 MiB are refused without being read.
    EXPECT_TRUE(parse(
        Raw().i32(0).i32(0).i32(0).i32(16 * 1024 * 1024 + 1).bytes + QByteArray(16 * 1024 * 1024 + 1, 'x'))
                    .empty());
    EXPECT_TRUE(
        parse(Raw().i32(0).i32(16 * 1024 * 1024 + 1).i32(0).i32(0).bytes).empty()); // empty records too
    // Empty records carry nothing: a set holds at most a few thousand of them,
    // and what is read writes and reads back.
    auto many = parse(Raw().i32(0).i32(VEKTCRS::kMaxEmptyRecords).i32(0).i32(0).bytes);
    ASSERT_EQ(many.size(), 1u);
    EXPECT_EQ(many[0].rowsAffected(), VEKTCRS::kMaxEmptyRecords);
    EXPECT_EQ(parse(many[0].exportData()).size(), 1u);
    EXPECT_TRUE(parse(Raw().i32(0).i32(VEKTCRS::kMaxEmptyRecords + 1).i32(0).i32(0).bytes).empty());
}

TEST(VEKTCRSLayout, DataArrayGrowsRemovesAndCaps)
{
    VEKDataArray a = VEKDataArray::initWithObjCType(4);
    EXPECT_EQ(a.itemSize(), 4u);
    EXPECT_EQ(a.count(), 0u);
    EXPECT_EQ(a.capacityBytes(), 256u);
    const qint32 items[] = { 1, 2, 3, 4, 5 };
    EXPECT_TRUE(a.appendBytes(items, 5));
    EXPECT_TRUE(a.appendBytes(nullptr, 0));
    EXPECT_EQ(a.count(), 5u);
    a.removeobjCAtIndex(1);
    a.removeobjCAtIndex(9);
    a.removeobjCInRange(2, 100);
    ASSERT_EQ(a.count(), 2u);
    qint32 v;
    std::memcpy(&v, a.objCAtIndex(1), 4);
    EXPECT_EQ(v, 3);
    EXPECT_EQ(a.objCAtIndex(2), nullptr);
    VEKDataArray copy = a.copyWithZone();
    a.reset();
    EXPECT_EQ(a.count(), 0u);
    EXPECT_EQ(copy.count(), 2u);
    EXPECT_NE(a.resetCount(100), nullptr);
    EXPECT_EQ(a.count(), 100u);
    EXPECT_GE(a.capacityBytes(), 400u);
    // Appending from its own storage, and the cap.
    EXPECT_TRUE(a.appendBytes(a.base(), 100));
    EXPECT_EQ(a.resetCount(VEKDataArray::kMaxBytes), nullptr);
    EXPECT_EQ(a.count(), 200u);
    EXPECT_FALSE(a.appendBytes(items, ~quint64(0) / 2));
    VEKDataArray big = VEKDataArray::initWithCount(~quint64(0), 8);
    EXPECT_LE(big.capacityBytes(), VEKDataArray::kMaxBytes);
}

// Writes the seed corpus of the record-set fuzz target when asked to:
// LUMORA_WRITE_RECORDSET_CORPUS=fuzz/corpus/recordset
TEST(VEKTCRSLayout, WritesFuzzSeedsOnRequest)
{
    const QString dir = qEnvironmentVariable("LUMORA_WRITE_RECORDSET_CORPUS");
    if (dir.isEmpty())
        GTEST_SKIP();
    QDir().mkpath(dir);
    const auto write = [&](const char* name, char encoding, QByteArray bytes) {
        QFile file(dir + "/" + name);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(QByteArray(1, encoding) + bytes);
    };
    VEKTCRS error = VEKTCRS::initWithInt(-1, "error text", false);
    error.setErrorInfo();
    write("error", 0, error.exportData());
    VEKTCRS gb = everyType(0);
    write("gb18030", 0, gb.exportData());
    VEKTCRS utf16 = everyType(1);
    write("utf16", 1, utf16.exportData());
    VEKTCRS utf8 = everyType(2);
    write("two-sets-utf8", 2, utf8.exportData() + QByteArray(16, '\0'));
}
