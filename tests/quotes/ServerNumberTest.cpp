#include "quotes/requests/ServerNumber.h"

#include "comm/VEKTCRS.h"
#include "login/LoginTestRig.h"

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
    const VEKTCRS set = logintest::HomeFixture::set(brokersim::Table()
                                                       .column("t")
                                                       .column("i", brokersim::kInt64)
                                                       .column("d", brokersim::kDouble)
                                                       .row({ "5000000000.9x", qint64(5'000'000'000), 2.5 }));
    VEKTCRS positioned = set;
    positioned.fetchFirst();
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
