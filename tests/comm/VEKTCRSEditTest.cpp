// Building, editing, transforming and archiving record sets.
#include "comm/recordset/VEKTCRS.h"

#include <cmath>
#include <cstring>
#include <gtest/gtest.h>
#include <limits>
#include <random>

namespace {

TCRSField field(const char* name, qint32 type)
{
    TCRSField f {};
    f.type = type;
    std::strncpy(f.name, name, sizeof f.name - 1);
    return f;
}

// A set of (id int, name text, px double) rows.
VEKTCRS rows(const std::vector<std::tuple<int, const char*, double>>& values, qint32 encoding = 0)
{
    VEKTCRS set(encoding);
    set.addField(field("id", 4));
    set.addField(field("name", 9));
    set.addField(field("px", 7));
    for (const auto& [id, name, px] : values) {
        EXPECT_TRUE(set.appendRecord());
        EXPECT_TRUE(set.updateFieldWithInt(0, id));
        if (*name) {
            EXPECT_TRUE(set.updateFieldWithString(1, QString::fromUtf8(name)));
        }
        EXPECT_TRUE(set.updateFieldWithDouble(2, px));
    }
    return set;
}

std::vector<QString> column(VEKTCRS& set, const char* name)
{
    std::vector<QString> out;
    for (bool ok = set.fetchFirst(); ok; ok = set.fetchNext())
        out.push_back(set.toStringWithName(name));
    return out;
}

using Texts = std::vector<QString>;

} // namespace

TEST(VEKTCRSEdit, BuildsInfoSets)
{
    VEKTCRS i = VEKTCRS::initWithInt(-7);
    i.fetchFirst();
    EXPECT_EQ(i.fieldNameAtIndex(0), "ER_Int");
    EXPECT_EQ(i.fieldAtIndex(0)->type, 4);
    EXPECT_EQ(i.toIntAtIndex(0), -7);
    VEKTCRS d = VEKTCRS::initWithDouble(0.125);
    d.fetchFirst();
    EXPECT_EQ(d.fieldNameAtIndex(0), "ER_Double");
    EXPECT_EQ(d.toFloatWithName("ER_Double"), 0.125);
    VEKTCRS s = VEKTCRS::initWithString(QString::fromUtf8("中文"), true);
    s.fetchFirst();
    EXPECT_EQ(s.fieldAtIndex(0)->type, 101);
    EXPECT_EQ(s.fieldDataAtIndex(0), QByteArray("\xD6\xD0\xCE\xC4")); // GB 18030, the new set's encoding
    EXPECT_EQ(s.toStringWithName("ER_String"), QString::fromUtf8("中文"));
    VEKTCRS a = VEKTCRS::initWithString(QString::fromUtf8("中文"), false);
    a.fetchFirst();
    EXPECT_EQ(a.fieldAtIndex(0)->type, 9);
    EXPECT_EQ(a.rowsAffected(), 1);
    EXPECT_EQ(a.toStringAtIndex(0), ""); // not ASCII: no value
    VEKTCRS both = VEKTCRS::initWithInt(90001, "session", false);
    both.setErrorInfo();
    EXPECT_TRUE(both.isErrorInfo());
    both.fetchFirst();
    EXPECT_EQ(both.toIntWithName("ER_Int"), 90001);
    EXPECT_EQ(both.toStringWithName("ER_String"), "session");
    EXPECT_EQ(both.rsEncoding(), 0);
}

TEST(VEKTCRSEdit, WritesValues)
{
    VEKTCRS set;
    set.addField(field("i64", 5));
    set.addField(field("i8", 2));
    set.addField(field("b", 1));
    set.addField(field("f", 6));
    set.addField(field("t", 9));
    set.addField(field("i32", 4));
    EXPECT_FALSE(set.updateFieldWithInt(0, 1)); // no record under the cursor
    ASSERT_TRUE(set.appendRecord());

    EXPECT_TRUE(set.updateFieldWithDouble(0, 3.9));
    EXPECT_EQ(set.toInt64AtIndex(0), 3);
    EXPECT_TRUE(set.updateFieldWithDouble(0, -3.9));
    EXPECT_EQ(set.toInt64AtIndex(0), -3);
    EXPECT_TRUE(set.updateFieldWithDouble(1, 1000.0)); // saturates at the width
    EXPECT_EQ(set.toIntAtIndex(1), 127);
    EXPECT_TRUE(set.updateFieldWithDouble(5, 1e30));
    EXPECT_EQ(set.toIntAtIndex(5), std::numeric_limits<qint32>::max());
    EXPECT_TRUE(set.updateFieldWithDouble(5, std::nan("")));
    EXPECT_EQ(set.toIntAtIndex(5), 0);
    EXPECT_TRUE(set.updateFieldWithDouble(2, std::nan("")));
    EXPECT_EQ(set.toIntAtIndex(2), 1);
    EXPECT_TRUE(set.updateFieldWithDouble(2, 0.0));
    EXPECT_EQ(set.toIntAtIndex(2), 0);
    EXPECT_TRUE(set.updateFieldWithDouble(3, 1e300));
    EXPECT_TRUE(std::isinf(set.toFloatAtIndex(3)));
    EXPECT_TRUE(set.updateFieldWithString(0, "-9223372036854775808"));
    EXPECT_EQ(set.toInt64AtIndex(0), std::numeric_limits<qint64>::min());
    EXPECT_TRUE(set.updateFieldWithString(5, "12abc"));
    EXPECT_EQ(set.toIntAtIndex(5), 12);
    EXPECT_TRUE(set.updateFieldWithString(3, "0.5"));
    EXPECT_EQ(set.toFloatAtIndex(3), 0.5);
    EXPECT_TRUE(set.updateFieldWithInt(3, 3));
    EXPECT_EQ(set.toStringAtIndex(3), "3.000");

    // Raw bytes: the field's length for fixed fields, anything for texts.
    EXPECT_FALSE(set.updateFieldWithByte(5, "abc", 3, -1));
    EXPECT_TRUE(set.updateFieldWithByte(5, "\x01\0\0\0", 4, 0));
    EXPECT_EQ(set.toIntAtIndex(5), 1);
    EXPECT_FALSE(set.updateFieldWithByte(5, "\x01\0\0\0", 4, 1)); // no such record
    EXPECT_FALSE(set.updateFieldWithByte(6, "\x01\0\0\0", 4, 0)); // no such field
    EXPECT_FALSE(set.updateFieldWithByte(4, nullptr, 3, 0));
    EXPECT_FALSE(set.updateFieldWithByte(4, "abc", -1, 0));

    // A 3-byte text takes 4 bytes of the data block and records length 3.
    const qint64 before = set.exportSize();
    EXPECT_TRUE(set.updateFieldWithByte(4, "abc", 3, -1));
    EXPECT_EQ(set.exportSize(), before + 4);
    qint32 length = 0;
    EXPECT_NE(set.fieldValueAtIndex(4, &length), nullptr);
    EXPECT_EQ(length, 3);
    // Overwriting leaves the old bytes until the block is compacted.
    EXPECT_TRUE(set.updateFieldWithString(4, "defg"));
    EXPECT_TRUE(set.shrinkData());
    EXPECT_FALSE(set.shrinkData());
    EXPECT_EQ(set.exportSize(), before + 4);
    EXPECT_EQ(set.toStringAtIndex(4), "defg");
    // No block ever passes 16 MiB.
    EXPECT_FALSE(set.updateFieldWithData(4, QByteArray(VEKTCRS::kMaxBlockBytes, 'x')));
    EXPECT_TRUE(set.updateFieldWithData(4, QByteArray(VEKTCRS::kMaxBlockBytes / 2, 'x')));
    EXPECT_FALSE(set.updateFieldWithData(4, QByteArray(VEKTCRS::kMaxBlockBytes / 2, 'x')));
    EXPECT_EQ(set.toStringAtIndex(4).size(), VEKTCRS::kMaxBlockBytes / 2);
}

TEST(VEKTCRSEdit, EditsFieldsAndRecords)
{
    VEKTCRS set = rows({ { 1, "a", 1.5 }, { 2, "bb", 2.5 }, { 3, "", 3.5 } });

    // Deleting the middle field moves the third down by its length.
    const TCRSField third = *set.fieldAtIndex(2);
    EXPECT_TRUE(set.deleteFieldAtIndex(1));
    EXPECT_EQ(set.fieldCount(), 2);
    EXPECT_EQ(set.fieldNameAtIndex(1), "px");
    EXPECT_EQ(set.fieldAtIndex(1)->type, 7);
    EXPECT_EQ(set.fieldAtIndex(1)->offset, third.offset - 8);
    EXPECT_EQ(column(set, "px"), (Texts { "1.500", "2.500", "3.500" }));
    EXPECT_FALSE(set.deleteFieldAtIndex(2));
    EXPECT_FALSE(set.deleteFieldWithName("name"));

    // Inserting a field in the middle keeps every value; the new one is zero.
    TCRSField wide = field("qty", 5);
    wide.length = 2; // the type decides the length
    EXPECT_TRUE(set.insertField(wide, 1));
    EXPECT_EQ(set.fieldAtIndex(1)->length, 8);
    EXPECT_EQ(set.fieldAtIndex(2)->offset, 12);
    EXPECT_EQ(column(set, "px"), (Texts { "1.500", "2.500", "3.500" }));
    EXPECT_EQ(column(set, "qty"), (Texts { "0", "0", "0" }));
    EXPECT_EQ(column(set, "id"), (Texts { "1", "2", "3" }));
    EXPECT_TRUE(set.deleteFieldWithName("qty"));
    EXPECT_EQ(set.fieldAtIndex(1)->offset, 4);

    // Records: insertion moves the cursor onto the new record.
    EXPECT_TRUE(set.insertRecordAtIndex(1));
    EXPECT_EQ(set.getCurrent(), 1);
    EXPECT_EQ(set.toIntAtIndex(0), 0);
    set.updateFieldWithInt(0, 9);
    EXPECT_TRUE(set.insertRecordAtIndex(99));
    EXPECT_EQ(set.getCurrent(), 4);
    EXPECT_EQ(column(set, "id"), (Texts { "1", "9", "2", "3", "0" }));
    EXPECT_FALSE(set.deleteRecordAtIndex(5));
    set.setCurrent(-1);
    EXPECT_FALSE(set.deleteRecordAtIndex(-1));
    set.setCurrent(4);
    EXPECT_TRUE(set.deleteRecordAtIndex(-1)); // the cursor's record
    EXPECT_EQ(set.getCurrent(), 4); // now the count: EOF
    EXPECT_TRUE(set.isEOF());
    EXPECT_TRUE(set.deleteRecordAtIndex(0));
    EXPECT_EQ(set.getCurrent(), 3);
    EXPECT_EQ(column(set, "id"), (Texts { "9", "2", "3" }));
    while (set.rowsAffected() > 0)
        EXPECT_TRUE(set.deleteRecordAtIndex(0));
    EXPECT_EQ(set.getCurrent(), -1);

    // Deleting records or text fields leaves garbage that compaction drops.
    VEKTCRS texts = rows({ { 1, "first", 0 }, { 2, "second", 0 }, { 3, "third", 0 } });
    const qint64 full = texts.exportSize();
    EXPECT_FALSE(texts.shrinkData());
    EXPECT_TRUE(texts.deleteRecordAtIndex(1));
    EXPECT_EQ(texts.exportSize(), full - 20 - 6);
    EXPECT_EQ(column(texts, "name"), (Texts { "first", "third" }));
    EXPECT_TRUE(texts.deleteFieldWithName("name"));
    EXPECT_TRUE(texts.shrinkData());
    EXPECT_EQ(column(texts, "id"), (Texts { "1", "3" }));

    // Record sizes stay in step with the stored records.
    VEKTCRS layout = rows({ { 1, "x", 1 } });
    EXPECT_TRUE(layout.calculateRecordSize(0));
    EXPECT_TRUE(layout.calculateRecordSize(-1));
    layout.removeAll(false);
    EXPECT_EQ(layout.fieldCount(), 3);
    EXPECT_EQ(layout.rowsAffected(), 0);
    layout.clear();
    EXPECT_EQ(layout.fieldCount(), 0);
    EXPECT_EQ(layout.exportSize(), 17);
}

TEST(VEKTCRSEdit, MergesSortsFiltersAndCuts)
{
    // Merging with itself doubles the records, texts included.
    VEKTCRS set = rows({ { 2, "乙", 2.5 }, { 1, "甲", 1.5 }, { 3, "", 0.5 } });
    EXPECT_TRUE(set.mergeTCRS(&set, false));
    EXPECT_EQ(set.rowsAffected(), 6);
    EXPECT_EQ(set.getCurrent(), -1);
    EXPECT_EQ(column(set, "name"), (Texts { "乙", "甲", "", "乙", "甲", "" }));
    EXPECT_EQ(column(set, "px"), (Texts { "2.500", "1.500", "0.500", "2.500", "1.500", "0.500" }));

    VEKTCRS other = rows({ { 7, "丙", 7 } });
    VEKTCRS copy = set;
    EXPECT_TRUE(copy.mergeTCRS(&other, true)); // the other's records first
    EXPECT_EQ(column(copy, "id"), (Texts { "7", "2", "1", "3", "2", "1", "3" }));
    EXPECT_EQ(column(copy, "name")[0], QString::fromUtf8("丙"));
    EXPECT_TRUE(copy.mergeTCRS(&other, false));
    EXPECT_EQ(column(copy, "name").back(), QString::fromUtf8("丙"));
    VEKTCRS none = rows({});
    EXPECT_TRUE(copy.mergeTCRS(&none, false));
    EXPECT_EQ(copy.rowsAffected(), 8);
    EXPECT_FALSE(copy.mergeTCRS(nullptr, false));
    VEKTCRS different;
    different.addField(field("id", 4));
    different.addField(field("px", 7));
    different.addField(field("name", 9));
    different.appendRecord();
    EXPECT_FALSE(copy.mergeTCRS(&different, false)); // same size, other layout
    VEKTCRS empty;
    EXPECT_FALSE(empty.mergeTCRS(&empty, false));

    // Sorting by type; equal keys keep their order.
    set.sortByField(0, true);
    EXPECT_EQ(column(set, "id"), (Texts { "1", "1", "2", "2", "3", "3" }));
    set.sortByField(2, false);
    EXPECT_EQ(column(set, "px"), (Texts { "2.500", "2.500", "1.500", "1.500", "0.500", "0.500" }));
    set.sortByField(1, true);
    EXPECT_EQ(column(set, "name"), (Texts { "", "", "乙", "乙", "甲", "甲" })); // U+4E59 before U+7532
    EXPECT_EQ(set._compareRecord(0, 2, 1, true), -1);
    EXPECT_EQ(set._compareRecord(0, 2, 1, false), 1);
    EXPECT_EQ(set._compareRecord(0, 1, 1, true), 0);
    set.sortByField(7, true); // no such field: nothing happens
    set.sortWithFieldAtIndex(
        0,
        [](QByteArrayView a, QByteArrayView b, const TCRSField& f) {
            EXPECT_EQ(f.type, 4);
            return std::memcmp(a.data(), b.data(), 4) < 0 ? -1 : 1;
        },
        false);
    // An inconsistent comparison scrambles the order but stays in bounds.
    std::mt19937 random(3);
    set.sortWithFieldAtIndex(
        1,
        [&](QByteArrayView, QByteArrayView, const TCRSField&) { return static_cast<int>(random() % 3) - 1; },
        true);
    EXPECT_EQ(set.rowsAffected(), 6);

    // NaN compares equal.
    VEKTCRS nan = rows({ { 1, "", 2.0 }, { 2, "", std::nan("") }, { 3, "", 1.0 } });
    nan.sortByField(2, true);
    EXPECT_EQ(nan.rowsAffected(), 3);

    // Reversing.
    VEKTCRS order = rows({ { 1, "a", 0 }, { 2, "b", 0 }, { 3, "c", 0 } });
    EXPECT_TRUE(order.reverseData());
    EXPECT_EQ(column(order, "name"), (Texts { "c", "b", "a" }));
    EXPECT_TRUE(rows({}).reverseData());

    // Filtering copies passing records into a new set; none passing is nothing.
    const auto odd = order.filiterWithFieldAtIndex(0, [](QByteArrayView v, const TCRSField&) {
        qint32 id;
        std::memcpy(&id, v.data(), 4);
        return id % 2 == 1;
    });
    ASSERT_TRUE(odd);
    VEKTCRS odds = *odd;
    EXPECT_EQ(column(odds, "name"), (Texts { "c", "a" }));
    EXPECT_EQ(odds.fieldCount(), 3);
    EXPECT_FALSE(order.filiterWithFieldAtIndex(0, [](QByteArrayView, const TCRSField&) { return false; }));
    EXPECT_FALSE(order.filiterWithFieldAtIndex(5, [](QByteArrayView, const TCRSField&) { return true; }));
    const auto missing
        = order.filiterWithFieldAtIndex(1, [](QByteArrayView v, const TCRSField&) { return v.isNull(); });
    EXPECT_FALSE(missing);

    // Cutting a range; the receiver's cursor ends after it.
    auto cut = order.subRecordSetWithRange(1, 2);
    ASSERT_TRUE(cut);
    EXPECT_EQ(column(*cut, "name"), (Texts { "b", "a" }));
    EXPECT_EQ(order.getCurrent(), 3);
    EXPECT_TRUE(order.subRecordSetWithRange(3, 0));
    EXPECT_FALSE(order.subRecordSetWithRange(2, 2));
    EXPECT_FALSE(order.subRecordSetWithRange(-1, 1));
    EXPECT_FALSE(order.subRecordSetWithRange(1, std::numeric_limits<qint32>::max()));

    qint32 length = 0;
    EXPECT_EQ(QByteArray(order._getFieldValueInRecord(2, 1, &length), 1), "a");
    EXPECT_EQ(length, 1);
    EXPECT_EQ(order._getFieldValueInRecord(3, 1, &length), nullptr);
    EXPECT_EQ(order._getFieldValueInRecord(0, 9, &length), nullptr);
}

TEST(VEKTCRSEdit, CopiesClonesAndArchives)
{
    VEKTCRS utf8 = rows({ { 1, "证券", 9.75 }, { 2, "基金", 1 } }, 2);
    utf8.setRecordsetInfo(QString::fromUtf8("持仓"), true);
    utf8.fetchLast();

    // Copies and clones take the source's encoding, so texts read the same.
    VEKTCRS copy = utf8.copyWithZone();
    EXPECT_EQ(copy.rsEncoding(), 2);
    EXPECT_EQ(copy.getCurrent(), 1);
    EXPECT_EQ(copy.toStringWithName("name"), QString::fromUtf8("基金"));
    VEKTCRS clone;
    clone.clone(&utf8);
    clone.clone(nullptr);
    EXPECT_EQ(clone.rsEncoding(), 2);
    EXPECT_EQ(clone.getCurrent(), -1);
    EXPECT_EQ(column(clone, "name"), (Texts { "证券", "基金" }));
    EXPECT_EQ(clone.recordsetInfo(), QString::fromUtf8("持仓"));

    // A moved-from set is empty and can be used again.
    VEKTCRS moved = std::move(copy);
    EXPECT_EQ(moved.toStringWithName("name"), QString::fromUtf8("基金"));
    EXPECT_EQ(copy.fieldCount(), 0);
    EXPECT_EQ(copy.rowsAffected(), 0);
    EXPECT_EQ(copy.toStringAtIndex(0), "");
    EXPECT_EQ(copy.exportSize(), 17);
    copy = VEKTCRS::initWithInt(4);
    VEKTCRS reused = std::move(copy);
    EXPECT_TRUE(copy.addField(field("n", 4)));
    EXPECT_TRUE(copy.appendRecord());
    EXPECT_TRUE(copy.updateFieldWithInt(0, 8));
    EXPECT_EQ(copy.toIntAtIndex(0), 8);
    reused.fetchFirst();
    EXPECT_EQ(reused.toIntAtIndex(0), 4);

    // Archiving keeps fields, records, values and the encoding.
    utf8.deleteRecordAtIndex(1); // leaves garbage for the archive to compact
    const QByteArray archive = platform::archiveObject(utf8);
    std::unique_ptr<platform::Archivable> object = platform::unarchiveObject(archive);
    auto* back = dynamic_cast<VEKTCRS*>(object.get());
    ASSERT_NE(back, nullptr);
    EXPECT_EQ(back->rsEncoding(), 2);
    EXPECT_EQ(back->fieldCount(), 3);
    EXPECT_EQ(column(*back, "name"), (Texts { "证券" }));
    EXPECT_EQ(column(*back, "px"), (Texts { "9.750" }));
    EXPECT_EQ(back->recordsetInfo(), QString::fromUtf8("持仓"));

    // Missing, empty and unreadable archives give nothing.
    platform::KeyedArchiver coder;
    EXPECT_FALSE(VEKTCRS::initWithCoder(*platform::KeyedUnarchiver::fromData(coder.archivedData("VEKTCRS"))));
    coder.encodeBytes("TCRSData", QByteArray());
    EXPECT_FALSE(VEKTCRS::initWithCoder(*platform::KeyedUnarchiver::fromData(coder.archivedData("VEKTCRS"))));
    coder.encodeBytes("TCRSData", QByteArray("\x05\0\0\0", 4));
    EXPECT_EQ(platform::unarchiveObject(coder.archivedData("VEKTCRS")), nullptr);
    // An archive without the encoding reads as GB 18030.
    platform::KeyedArchiver old;
    old.encodeBytes("TCRSData", VEKTCRS::initWithString(QString::fromUtf8("中"), true).exportData());
    const auto gb = VEKTCRS::initWithCoder(*platform::KeyedUnarchiver::fromData(old.archivedData("VEKTCRS")));
    ASSERT_TRUE(gb);
    VEKTCRS g = *gb;
    g.fetchFirst();
    EXPECT_EQ(g.toStringAtIndex(0), QString::fromUtf8("中"));
    VEKTCRS::registerArchiveClass();
    g.VEKLogFields();
}

// Sets built field by field: the layout and the lookup by name must be what
// a set laid out at once would have.
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
