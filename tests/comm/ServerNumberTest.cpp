#include "comm/recordset/ServerNumber.h"

#include "comm/recordset/VEKTCRS.h"
#include "tools/broker-sim/Table.h"

#include <gtest/gtest.h>
#include <limits>

using namespace servernumber;

namespace {

constexpr qint64 kMax64 = std::numeric_limits<qint64>::max();
constexpr qint64 kMin64 = std::numeric_limits<qint64>::min();
constexpr qint32 kMax32 = std::numeric_limits<qint32>::max();
constexpr qint32 kMin32 = std::numeric_limits<qint32>::min();

struct Case {
    const char16_t* text;
    qint64 int64;
    qint32 int32;
    qint64 truncated;
    double real;
};

// A record set of `table` with its cursor on the first row.
VEKTCRS firstRowOf(const brokersim::Table& table)
{
    std::optional<VEKTCRS> set = brokersim::toRecordSet(table, 2);
    EXPECT_TRUE(set.has_value());
    VEKTCRS positioned = set.value_or(VEKTCRS());
    positioned.fetchFirst();
    return positioned;
}

} // namespace

TEST(ServerNumber, TextsGoodEmptyJunkHugeNegative)
{
    const double huge = std::numeric_limits<double>::max();
    const Case cases[] = {
        { u"42", 42, 42, 42, 42.0 },
        { u"  12.75", 12, 12, 12, 12.75 },
        { u"", 0, 0, 0, 0.0 },
        { u"--", 0, 0, 0, 0.0 },
        { u"abc12", 0, 0, 0, 0.0 },
        { u"3.5元", 3, 3, 3, 3.5 },
        { u"1e3", 1, 1, 1000, 1000.0 },
        { u"-7.9", -7, -7, -7, -7.9 },
        { u"-0", 0, 0, 0, 0.0 },
        { u"99999999999999999999", kMax64, kMax32, kMax64, 1e20 },
        { u"-99999999999999999999", kMin64, kMin32, kMin64, -1e20 },
        { u"4294967296", 4294967296LL, kMax32, 4294967296LL, 4294967296.0 },
        { u"1e400", 1, 1, kMax64, huge },
        { u"-1e400", -1, -1, kMin64, -huge },
    };
    for (const Case& c : cases) {
        const QStringView text(c.text);
        SCOPED_TRACE(text.toString().toStdString());
        EXPECT_EQ(toInt64(text), c.int64);
        EXPECT_EQ(toInt32(text), c.int32);
        EXPECT_EQ(toTruncatedInt64(text), c.truncated);
        EXPECT_DOUBLE_EQ(toDouble(text), c.real);
    }
    EXPECT_EQ(toInt16(u"40000"), 32767);
    EXPECT_EQ(toInt16(u"-40000"), -32768);
    EXPECT_EQ(toTruncatedInt32(u"3e10"), kMax32);
}

TEST(ServerNumber, RowReadsTextAndBinaryFieldsAlike)
{
    const VEKTCRS positioned = firstRowOf(brokersim::Table()
                                              .column("t")
                                              .column("i", brokersim::kInt64)
                                              .column("d", brokersim::kDouble)
                                              .row({ "5000000000.9x", qint64(5'000'000'000), 2.5 }));
    const Row row(positioned);
    EXPECT_EQ(row.int64("t"), 5'000'000'000);
    EXPECT_EQ(row.int32("t"), kMax32);
    EXPECT_EQ(row.int64("i"), 5'000'000'000);
    // A 64-bit field read as 32 bits saturates rather than wrapping.
    EXPECT_EQ(row.int32("i"), kMax32);
    EXPECT_DOUBLE_EQ(row.real("d"), 2.5);
    EXPECT_EQ(row.truncated64("t"), 5'000'000'000);
    EXPECT_EQ(row.int64("missing"), 0);
    EXPECT_EQ(row.text("missing"), QString());
}

// A flag or code has the value the server means, in whatever form it comes:
// a text field, a number field, or a value of our own files. A field without
// a number has no value; a number that is not whole has no whole value.
TEST(ServerNumber, FlagsAndCodesByTheirValue)
{
    const struct {
        qint32 type; // the field's type; 0: no such field
        QVariant sent;
        std::optional<double> value;
        std::optional<qint64> whole;
    } cases[] = {
        { brokersim::kText, "0", 0, 0 },
        { brokersim::kText, "0.000", 0, 0 },
        { brokersim::kDouble, 0.0, 0, 0 },
        { brokersim::kText, "1", 1, 1 },
        { brokersim::kText, "1.0", 1, 1 },
        { brokersim::kText, "1.000", 1, 1 },
        { brokersim::kText, " 1 ", 1, 1 },
        { brokersim::kText, "+1", 1, 1 },
        { brokersim::kText, "1e0", 1, 1 },
        { brokersim::kText, "2.000", 2, 2 },
        { brokersim::kText, "-1.0", -1, -1 },
        { brokersim::kText, "116.000", 116, 116 },
        { brokersim::kText, "9223372036854775807", 9223372036854775807.0,
            std::numeric_limits<qint64>::max() },
        { brokersim::kDouble, 1.0, 1, 1 },
        { brokersim::kDouble, 2.0, 2, 2 },
        { brokersim::kInt32, 1, 1, 1 },
        { brokersim::kInt64, qint64(0), 0, 0 },
        { brokersim::kBool, true, 1, 1 },
        { brokersim::kText, "1.5", 1.5, std::nullopt },
        { brokersim::kDouble, 2.5, 2.5, std::nullopt },
        { brokersim::kText, "1e30", 1e30, std::nullopt },
        { 0, {}, std::nullopt, std::nullopt },
        { brokersim::kText, "", std::nullopt, std::nullopt },
        { brokersim::kText, " ", std::nullopt, std::nullopt },
        { brokersim::kText, "abc", std::nullopt, std::nullopt },
        { brokersim::kText, "1x", std::nullopt, std::nullopt },
        { brokersim::kText, "1,0", std::nullopt, std::nullopt },
        { brokersim::kText, "0x1", std::nullopt, std::nullopt },
        { brokersim::kText, "NaN", std::nullopt, std::nullopt },
        { brokersim::kText, "inf", std::nullopt, std::nullopt },
        { brokersim::kText, "1e999", std::nullopt, std::nullopt },
        { brokersim::kText, "-0", 0, 0 },
        { brokersim::kText, QString(QChar(0xff11)), std::nullopt, std::nullopt },
        // Past 2^53 a fraction or a digit past 64 bits is lost in a double.
        { brokersim::kText, "-9223372036854775809", -9223372036854775809.0, std::nullopt },
        { brokersim::kText, "4611686018427387904.5", 4611686018427387904.5, std::nullopt },
        { brokersim::kText, "-nan", std::nullopt, std::nullopt },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(qPrintable(QStringLiteral("%1 %2").arg(c.type).arg(c.sent.toString())));
        brokersim::Table table;
        table.column("other");
        if (c.type)
            table.column("flag", c.type);
        table.row(c.type ? QVariantList { "x", c.sent } : QVariantList { "x" });
        const VEKTCRS row = firstRowOf(table);
        EXPECT_EQ(Row(row).value("flag"), c.value);
        EXPECT_EQ(Row(row).wholeValue("flag"), c.whole);
        // Our own files keep a flag as a text, a number or a boolean.
        EXPECT_EQ(valueOf(c.sent), c.value);
        EXPECT_EQ(wholeValueOf(c.sent), c.whole);
    }
    // An unsigned number of our own files past 64 bits has a value but no whole one.
    EXPECT_EQ(valueOf(QVariant(quint64(1) << 63)), 9223372036854775808.0);
    EXPECT_EQ(wholeValueOf(QVariant(quint64(1) << 63)), std::nullopt);
    EXPECT_EQ(wholeValueOf(QVariant(quint64(7))), 7);
    // A number field of a row that is not there has no value either.
    const VEKTCRS noRow = firstRowOf(brokersim::Table().column("flag", brokersim::kInt32));
    EXPECT_EQ(Row(noRow).value("flag"), std::nullopt);

    // A code written back: its plain digits, or the text as it came.
    EXPECT_EQ(wholeText(QStringLiteral("1.000")), QStringLiteral("1"));
    EXPECT_EQ(wholeText(QStringLiteral(" 2 ")), QStringLiteral("2"));
    EXPECT_EQ(wholeText(QStringLiteral("2.5")), QStringLiteral("2.5"));
    EXPECT_EQ(wholeText(QStringLiteral("A1")), QStringLiteral("A1"));
    EXPECT_EQ(wholeText(QString()), QString());
}
