// Info tests, the cursor and the typed reads of a record set.
#include "comm/recordset/TCRSText.h"
#include "comm/recordset/VEKTCRS.h"

#include <cmath>
#include <cstring>
#include <gtest/gtest.h>
#include <limits>

namespace {

TCRSField field(const char* name, qint32 type)
{
    TCRSField f {};
    f.type = type;
    std::strncpy(f.name, name, sizeof f.name - 1);
    return f;
}

// Reads as a server sent it: built, written and read back.
VEKTCRS reread(VEKTCRS& set, qint32 encoding = 0)
{
    const QByteArray bytes = set.exportData();
    auto sets = VEKTCRS::constructMRWithBytes(bytes.constData(), bytes.size(), encoding);
    EXPECT_EQ(sets.size(), 1u);
    return sets.empty() ? VEKTCRS() : sets[0];
}

void expectEmptyReads(const VEKTCRS& set, qint32 index, const QString& name)
{
    EXPECT_EQ(set.toStringAtIndex(index), "");
    EXPECT_EQ(set.toIntAtIndex(index), 0);
    EXPECT_EQ(set.toInt64AtIndex(index), 0);
    EXPECT_EQ(set.toFloatAtIndex(index), 0.0);
    EXPECT_EQ(set.getIntAtIndex(index), 0);
    EXPECT_EQ(set.getFloatAtIndex(index), 0.0);
    EXPECT_TRUE(set.fieldDataAtIndex(index).isNull());
    EXPECT_TRUE(set.getByteAtIndex(index).isNull());
    EXPECT_TRUE(set.getUnideByteAtIndex(index).isNull());
    EXPECT_EQ(set.toStringWithName(name), "");
    EXPECT_EQ(set.toIntWithName(name), 0);
    EXPECT_EQ(set.toInt64WithName(name), 0);
    EXPECT_EQ(set.toFloatWithName(name), 0.0);
    EXPECT_EQ(set.toStringWithName(name, platform::TextEncoding::UTF8), "");
}

} // namespace

TEST(VEKTCRSRead, TellsErrorRowsFromData)
{
    VEKTCRS error;
    error.addField(field("ER_String", 9));
    error.addField(field("errcode", 4));
    error.appendRecord();
    error.updateFieldWithString(0, QString::fromUtf8("密码错误"));
    error.updateFieldWithInt(1, -110);
    error.setErrorInfo();
    VEKTCRS reply = reread(error);
    EXPECT_TRUE(reply.isErrorInfo());
    EXPECT_FALSE(reply.isOkInfo());
    ASSERT_TRUE(reply.fetchFirst());
    EXPECT_EQ(reply.toStringWithName("ER_String"), QString::fromUtf8("密码错误"));
    EXPECT_EQ(reply.toIntWithName("errcode"), -110);

    VEKTCRS data = VEKTCRS::initWithInt(1);
    EXPECT_TRUE(data.setRecordsetInfo("result", false));
    EXPECT_FALSE(data.isErrorInfo());
    EXPECT_EQ(data.recordsetInfo(), "result");
    data.setOkInfo();
    EXPECT_TRUE(data.isOkInfo());
    data.setETCInfo();
    EXPECT_TRUE(data.isETCInfo());
    // The info tests are exact: case and surrounding text count.
    EXPECT_TRUE(data.setRecordsetInfo("Error", false));
    EXPECT_FALSE(data.isErrorInfo());
    EXPECT_TRUE(data.setRecordsetInfo("errors", false));
    EXPECT_FALSE(data.isErrorInfo());
    // Unicode info text is UTF-16 in every encoding; text not ASCII needs Unicode.
    EXPECT_FALSE(data.setRecordsetInfo(QString::fromUtf8("错误"), false));
    EXPECT_TRUE(data.setRecordsetInfo("error", true));
    EXPECT_TRUE(data.isUniResInfo());
    EXPECT_TRUE(data.isErrorInfo());
    EXPECT_TRUE(reread(data, 2).isErrorInfo());
    EXPECT_TRUE(data.setRecordsetInfo(QString(200, 'x'), false));
    EXPECT_EQ(data.recordsetInfo(), QString(126, 'x'));
    data.clear();
    EXPECT_EQ(data.recordsetInfo(), "");
    EXPECT_FALSE(data.isUniResInfo());
}

TEST(VEKTCRSRead, MovesTheCursor)
{
    VEKTCRS empty;
    EXPECT_FALSE(empty.fetchFirst());
    EXPECT_FALSE(empty.fetchLast());
    EXPECT_TRUE(empty.isBOF());
    EXPECT_TRUE(empty.isEOF());
    EXPECT_FALSE(empty.fetchNext());
    EXPECT_FALSE(empty.fetchPrev());
    EXPECT_FALSE(empty.moveTo(0));
    EXPECT_FALSE(empty.setCurrent(0));
    EXPECT_EQ(empty.getCurrent(), -1);
    expectEmptyReads(empty, 0, "x");

    VEKTCRS set;
    set.addField(field("n", 4));
    for (int i = 0; i < 3; ++i) {
        set.appendRecord();
        set.updateFieldWithInt(0, 10 * i);
    }
    set.setCurrent(-1);
    EXPECT_TRUE(set.isBOF());
    EXPECT_FALSE(set.isEOF());
    expectEmptyReads(set, 0, "n");
    EXPECT_TRUE(set.fetchNext());
    EXPECT_EQ(set.toIntAtIndex(0), 0);
    EXPECT_TRUE(set.fetchNext());
    EXPECT_TRUE(set.fetchNext());
    EXPECT_EQ(set.toIntWithName("n"), 20);
    EXPECT_FALSE(set.fetchNext()); // onto EOF
    EXPECT_TRUE(set.isEOF());
    EXPECT_EQ(set.getCurrent(), 3);
    expectEmptyReads(set, 0, "n");
    EXPECT_FALSE(set.fetchNext());
    EXPECT_EQ(set.getCurrent(), 3);
    EXPECT_TRUE(set.fetchPrev());
    EXPECT_EQ(set.getCurrent(), 2);
    EXPECT_TRUE(set.fetchFirst());
    EXPECT_FALSE(set.fetchPrev()); // onto BOF
    EXPECT_EQ(set.getCurrent(), -1);
    EXPECT_TRUE(set.fetchLast());
    EXPECT_EQ(set.toIntAtIndex(0), 20);

    EXPECT_FALSE(set.moveTo(3));
    EXPECT_EQ(set.getCurrent(), 3);
    EXPECT_FALSE(set.moveTo(-5));
    EXPECT_EQ(set.getCurrent(), -1);
    EXPECT_TRUE(set.moveTo(1));
    EXPECT_EQ(set.toIntAtIndex(0), 10);

    EXPECT_TRUE(set.skipOff(0));
    EXPECT_TRUE(set.skipOff(1));
    EXPECT_FALSE(set.skipOff(std::numeric_limits<qint32>::max()));
    EXPECT_EQ(set.getCurrent(), 3);
    EXPECT_FALSE(set.skipOff(0));
    EXPECT_TRUE(set.skipOff(-3));
    EXPECT_EQ(set.getCurrent(), 0);
    EXPECT_FALSE(set.skipOff(std::numeric_limits<qint32>::min()));
    EXPECT_EQ(set.getCurrent(), -1);

    EXPECT_TRUE(set.setCurrent(2));
    EXPECT_FALSE(set.setCurrent(7));
    EXPECT_EQ(set.getCurrent(), 3);
    EXPECT_FALSE(set.setCurrent(-2));
    EXPECT_EQ(set.getCurrent(), -1);
    EXPECT_EQ(set.rowsAffected(), 3);
}

TEST(VEKTCRSRead, ConvertsByType)
{
    VEKTCRS set;
    const qint32 types[] = { 1, 2, 3, 4, 5, 6, 7, 9, 14, 101, 102, 103, 55 };
    for (qint32 t : types)
        ASSERT_TRUE(set.addField(field(("f" + QByteArray::number(t)).constData(), t)));
    ASSERT_TRUE(set.appendRecord());
    EXPECT_TRUE(set.updateFieldWithInt(0, 5)); // booleans store 1
    EXPECT_TRUE(set.updateFieldWithInt(1, 300)); // low 8 bits: 44
    EXPECT_TRUE(set.updateFieldWithInt(2, -2));
    EXPECT_TRUE(set.updateFieldWithInt(3, -123456));
    EXPECT_TRUE(set.updateFieldWithInt64(4, (qint64(1) << 32) + 7));
    EXPECT_TRUE(set.updateFieldWithDouble(5, -1.75));
    EXPECT_TRUE(set.updateFieldWithDouble(6, 2.5));
    EXPECT_TRUE(set.updateFieldWithString(7, " -42.125abc"));
    EXPECT_TRUE(set.updateFieldWithData(8, QByteArray(10, 'z')));
    EXPECT_TRUE(set.updateFieldWithString(9, "3.14159265358979"));
    EXPECT_TRUE(set.updateFieldWithInt(10, 77));
    EXPECT_TRUE(set.updateFieldWithString(11, "+88"));
    EXPECT_FALSE(set.updateFieldWithInt(12, 1)); // unknown types hold nothing
    EXPECT_FALSE(set.updateFieldWithString(12, "1"));

    for (VEKTCRS s : { set, reread(set) }) {
        s.fetchFirst();
        EXPECT_EQ(s.toStringWithName("f1"), "1");
        EXPECT_EQ(s.toStringWithName("f2"), "44");
        EXPECT_EQ(s.toIntWithName("f3"), -2);
        EXPECT_EQ(s.toFloatWithName("f3"), -2.0);
        EXPECT_EQ(s.toStringWithName("f4"), "-123456");
        // A 64-bit value: 32-bit reads get the low word.
        EXPECT_EQ(s.toIntWithName("f5"), 7);
        EXPECT_EQ(s.toInt64WithName("f5"), (qint64(1) << 32) + 7);
        EXPECT_EQ(s.toStringWithName("f5"), "4294967303");
        EXPECT_EQ(s.toFloatWithName("f5"), 4294967303.0);
        EXPECT_EQ(s.toStringWithName("f6"), "-1.750");
        EXPECT_EQ(s.toIntWithName("f6"), -1);
        EXPECT_EQ(s.toFloatWithName("f6"), -1.75);
        EXPECT_EQ(s.toStringWithName("f7"), "2.500");
        EXPECT_EQ(s.toIntWithName("f7"), 2);
        EXPECT_EQ(s.toInt64WithName("f7"), 2);
        EXPECT_EQ(s.toFloatWithName("f7"), 2.5);
        EXPECT_EQ(s.toStringWithName("f9"), " -42.125abc");
        EXPECT_EQ(s.toIntWithName("f9"), -42);
        EXPECT_EQ(s.toFloatWithName("f9"), -42.125);
        EXPECT_EQ(s.toStringWithName("f14"), "Array");
        EXPECT_EQ(s.toIntWithName("f14"), 10);
        EXPECT_EQ(s.toFloatWithName("f14"), 10.0);
        // Text is read at double precision.
        EXPECT_EQ(s.toFloatWithName("f101"), 3.14159265358979);
        EXPECT_EQ(s.toIntWithName("f101"), 3);
        EXPECT_EQ(s.toStringWithName("f102"), "77");
        EXPECT_EQ(s.toInt64WithName("f103"), 88);
        EXPECT_EQ(s.toStringWithName("f55"), "");
        EXPECT_EQ(s.toIntWithName("f55"), 0);

        // Raw reads and pointers.
        EXPECT_EQ(s.getIntWithName("f4"), -123456);
        EXPECT_EQ(s.getInt64WithName("f5"), (qint64(1) << 32) + 7);
        EXPECT_EQ(s.getFloatWithName("f7"), 2.5);
        EXPECT_EQ(s.getIntWithName("f1"), 1); // narrower than 4 bytes: only its own byte
        qint32 length = -1;
        EXPECT_NE(s.fieldValueWithName("f14", &length), nullptr);
        EXPECT_EQ(length, 10);
        EXPECT_EQ(s.fieldDataWithName("f4"), QByteArray("\xC0\x1D\xFE\xFF", 4));
        EXPECT_EQ(s.getByteWithName("f9").toByteArray(), " -42.125abc");
        EXPECT_EQ(s.getUnideByteWithName("f14"), QString(5, QChar(0x7A7A)));
        EXPECT_EQ(s.toStringWithName("f9", platform::TextEncoding::UTF8), " -42.125abc");

        // Missing names, names differing in case, bad indexes.
        length = 99;
        EXPECT_EQ(s.fieldValueWithName("F9", &length), nullptr);
        EXPECT_EQ(length, 99);
        expectEmptyReads(s, -1, "F9");
        expectEmptyReads(s, s.fieldCount(), "");
        EXPECT_EQ(s.indexOfFieldWithName("f9"), 7);
        EXPECT_EQ(s.indexOfFieldWithName("f"), -1);
        EXPECT_FALSE(s.fieldWithName("nope"));
        EXPECT_EQ(s.fieldWithName("f7")->offset, 20);
        EXPECT_FALSE(s.fieldAtIndex(-1));
        EXPECT_EQ(s.fieldNameAtIndex(99), "");
        EXPECT_EQ(s.fieldDescAtIndex(-1), "");
    }
    EXPECT_EQ(VEKTCRS::getLengthWithDataType(101), 8);
    EXPECT_EQ(VEKTCRS::getLengthWithDataType(103), 4);
    EXPECT_EQ(VEKTCRS::getLengthWithDataType(0), 0);
}

TEST(VEKTCRSRead, ReadsTextInTheSetsEncoding)
{
    // UTF-16 stops at the first zero unit; the others at the first zero byte,
    // never past the value.
    VEKTCRS utf16(1);
    utf16.addField(field("t", 9));
    utf16.addField(field("u", 101));
    utf16.appendRecord();
    utf16.updateFieldWithData(0, QByteArray("a\0b\0\0\0c\0", 8));
    utf16.updateFieldWithData(1, QByteArray("\x2D\x4E\x87", 3)); // odd byte dropped
    utf16.fetchFirst();
    EXPECT_EQ(utf16.toStringAtIndex(0), "ab");
    EXPECT_EQ(utf16.toStringAtIndex(1), QString::fromUtf8("中"));

    VEKTCRS gb(0);
    gb.addField(field("t", 101));
    gb.appendRecord();
    gb.updateFieldWithData(0, QByteArray("\xD6\xD0\xCE\xC4\0junk", 9));
    gb.fetchFirst();
    EXPECT_EQ(gb.toStringAtIndex(0), QString::fromUtf8("中文"));
    EXPECT_EQ(gb.toStringAtIndex(0, platform::TextEncoding::GB18030),
        QString::fromUtf8("中文") + QChar(0) + "junk");

    VEKTCRS ascii(9);
    ascii.addField(field("t", 9));
    ascii.appendRecord();
    ascii.updateFieldWithData(0, QByteArray("ok\xD6", 3));
    EXPECT_FALSE(ascii.updateFieldWithString(0, QString::fromUtf8("中"))); // not ASCII
    ascii.fetchFirst();
    EXPECT_EQ(ascii.toStringAtIndex(0), QString::fromUtf8("ok\uFFFD"));
}

TEST(VEKTCRSRead, ParsesNumbersFromText)
{
    using namespace tcrs;
    EXPECT_EQ(int64FromText(u" \t\n42x"), 42);
    EXPECT_EQ(int64FromText(u"-0017"), -17);
    EXPECT_EQ(int64FromText(u"+5"), 5);
    EXPECT_EQ(int64FromText(u"- 5"), 0);
    EXPECT_EQ(int64FromText(u""), 0);
    EXPECT_EQ(int64FromText(u"abc"), 0);
    EXPECT_EQ(int64FromText(u"9223372036854775807"), std::numeric_limits<qint64>::max());
    EXPECT_EQ(int64FromText(u"9223372036854775808"), std::numeric_limits<qint64>::max());
    EXPECT_EQ(int64FromText(u"-9223372036854775808"), std::numeric_limits<qint64>::min());
    EXPECT_EQ(int64FromText(u"-99999999999999999999999"), std::numeric_limits<qint64>::min());
    EXPECT_EQ(int32FromText(u"99999999999"), std::numeric_limits<qint32>::max());
    EXPECT_EQ(int32FromText(u"-2147483648"), std::numeric_limits<qint32>::min());
    EXPECT_EQ(int32FromText(u"-2147483649"), std::numeric_limits<qint32>::min());

    EXPECT_EQ(doubleFromText(u"  12.5e2xyz"), 1250.0);
    EXPECT_EQ(doubleFromText(u"-.5"), -0.5);
    EXPECT_EQ(doubleFromText(u"7."), 7.0);
    EXPECT_EQ(doubleFromText(u"1e"), 1.0);
    EXPECT_EQ(doubleFromText(u"1e+"), 1.0);
    EXPECT_EQ(doubleFromText(u"."), 0.0);
    EXPECT_EQ(doubleFromText(u"0.1"), 0.1);
    EXPECT_EQ(doubleFromText(u"1e400"), std::numeric_limits<double>::infinity());
    EXPECT_EQ(doubleFromText(u"-1e400"), -std::numeric_limits<double>::infinity());
    EXPECT_EQ(doubleFromText(u"1e-400"), 0.0);
    EXPECT_EQ(doubleFromText(QString(400, '9')), std::numeric_limits<double>::infinity());

    EXPECT_EQ(saturatingInt32(3.9), 3);
    EXPECT_EQ(saturatingInt32(-3.9), -3);
    EXPECT_EQ(saturatingInt32(1e30), std::numeric_limits<qint32>::max());
    EXPECT_EQ(saturatingInt32(-1e30), std::numeric_limits<qint32>::min());
    EXPECT_EQ(saturatingInt32(std::nan("")), 0);
    EXPECT_EQ(saturatingInt64(1e300), std::numeric_limits<qint64>::max());
    EXPECT_EQ(saturatingInt64(-9223372036854775808.0), std::numeric_limits<qint64>::min());
    EXPECT_EQ(saturatingInt8(200.0), 127);
    EXPECT_EQ(saturatingInt16(-40000.0), -32768);
    EXPECT_TRUE(std::isinf(toSingle(1e300)));
    EXPECT_EQ(toSingle(0.5), 0.5f);
}
