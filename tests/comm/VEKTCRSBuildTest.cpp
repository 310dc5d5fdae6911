// Record sets built field by field: the layout and the lookup by name must be
// what a set laid out at once would have.
#include "comm/recordset/VEKTCRS.h"

#include <cstring>
#include <gtest/gtest.h>

namespace {

TCRSField field(const char* name, qint32 type)
{
    TCRSField f {};
    f.type = type;
    std::strncpy(f.name, name, sizeof f.name - 1);
    return f;
}

TEST(VEKTCRSBuild, AppendedFieldsLieBackToBackAndReadBack)
{
    // int32, int64, double, text, int8: lengths 4, 8, 8, 8, 1.
    const struct {
        const char* name;
        qint32 type;
        qint32 offset;
    } fields[] = { { "qty", 4, 0 }, { "big", 5, 4 }, { "px", 7, 12 }, { "name", 9, 20 }, { "flag", 1, 28 } };
    VEKTCRS set(2);
    for (const auto& f : fields)
        ASSERT_TRUE(set.addField(field(f.name, f.type)));
    for (qint32 i = 0; i < set.fieldCount(); ++i)
        EXPECT_EQ(set.fieldAtIndex(i)->offset, fields[i].offset) << fields[i].name;
    ASSERT_TRUE(set.appendRecord());
    ASSERT_TRUE(set.updateFieldWithInt(0, 300));
    ASSERT_TRUE(set.updateFieldWithInt64(1, qint64(1) << 40));
    ASSERT_TRUE(set.updateFieldWithDouble(2, 12.5));
    ASSERT_TRUE(set.updateFieldWithString(3, QStringLiteral("浦发银行")));
    ASSERT_TRUE(set.updateFieldWithInt(4, 1));

    const QByteArray bytes = set.exportData();
    std::vector<VEKTCRS> read = VEKTCRS::constructMRWithBytes(bytes.constData(), bytes.size(), 2);
    ASSERT_EQ(read.size(), 1u);
    VEKTCRS& back = read[0];
    ASSERT_TRUE(back.fetchFirst());
    EXPECT_EQ(back.toStringWithName("qty"), "300");
    EXPECT_EQ(back.toStringWithName("big"), "1099511627776");
    EXPECT_EQ(back.toStringWithName("px"), "12.500");
    EXPECT_EQ(back.toStringWithName("name"), "浦发银行");
    EXPECT_EQ(back.toStringWithName("flag"), "1");
}

TEST(VEKTCRSBuild, TheFirstOfTwoEqualNamesWinsAfterAppends)
{
    VEKTCRS set;
    for (const char* name : { "a", "b", "a", "c" })
        ASSERT_TRUE(set.addField(field(name, 4)));
    // Finding "b" leaves the place after it (the second "a") to be tried
    // first: with a repeated name that shortcut must not answer.
    EXPECT_EQ(set.indexOfFieldWithName("b"), 1);
    EXPECT_EQ(set.indexOfFieldWithName("a"), 0);
    EXPECT_EQ(set.indexOfFieldWithName("c"), 3);
    EXPECT_EQ(set.indexOfFieldWithName("d"), -1);

    // Emptied, the set forgets the repeated name; built again, the shortcut
    // serves once more.
    set.clear();
    for (const char* name : { "a", "b", "c" })
        ASSERT_TRUE(set.addField(field(name, 4)));
    EXPECT_EQ(set.indexOfFieldWithName("b"), 1);
    EXPECT_EQ(set.indexOfFieldWithName("c"), 2);
    EXPECT_EQ(set.indexOfFieldWithName("a"), 0);
}

TEST(VEKTCRSBuild, FieldsAddedToAReadSetOrBetweenOthersAreLaidOutAgain)
{
    VEKTCRS built;
    ASSERT_TRUE(built.addField(field("x", 4)));
    ASSERT_TRUE(built.addField(field("y", 7)));
    const QByteArray bytes = built.exportData();
    VEKTCRS set = VEKTCRS::constructMRWithBytes(bytes.constData(), bytes.size(), 0).at(0);
    ASSERT_TRUE(set.addField(field("z", 5)));
    ASSERT_TRUE(set.insertField(field("w", 4), 0));
    const char* names[] = { "w", "x", "y", "z" };
    const qint32 offsets[] = { 0, 4, 8, 16 };
    for (qint32 i = 0; i < 4; ++i) {
        EXPECT_EQ(set.fieldNameAtIndex(i), names[i]);
        EXPECT_EQ(set.fieldAtIndex(i)->offset, offsets[i]) << names[i];
        EXPECT_EQ(set.indexOfFieldWithName(names[i]), i);
    }
    // Fields added once records exist keep the records' values.
    ASSERT_TRUE(set.appendRecord());
    ASSERT_TRUE(set.updateFieldWithDouble(2, 2.25));
    ASSERT_TRUE(set.addField(field("v", 4)));
    ASSERT_TRUE(set.fetchFirst());
    EXPECT_EQ(set.toStringWithName("y"), "2.250");
    EXPECT_EQ(set.toStringWithName("v"), "0");
    // A name the layout could not read back is still refused.
    EXPECT_FALSE(set.addField(field("a|b", 4)));
    EXPECT_EQ(set.fieldCount(), 5);
}

} // namespace
