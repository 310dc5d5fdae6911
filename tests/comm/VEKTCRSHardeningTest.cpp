// Record sets against hostile payloads and writers that must round-trip: the
// payload budget, separators in UTF-16 texts, and the fast reads by name.
#include "comm/RecordSetTestData.h"
#include "comm/crypto/VEKCoder.h"
#include "comm/recordset/TCRSText.h"
#include "comm/recordset/VEKTCRS.h"
#include "tools/broker-sim/Table.h"

#include <QFile>
#include <QtEndian>
#include <array>
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

// The process's peak resident size in KiB (0 where /proc is not there).
qint64 peakKiB()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').first().toLongLong();
    }
    return 0;
}

} // namespace

TEST(VEKTCRSBudget, SixteenMebibytesOfZerosAreRefusedWithBoundedMemory)
{
    // 16 bytes of zeros are one valid empty set: a payload of them used to
    // make a million sets of 13 KB each.
    const QByteArray zeros(16 * 1024 * 1024, '\0');
    const qint64 before = peakKiB();
    EXPECT_TRUE(VEKTCRS::constructMRWithBytes(zeros.constData(), zeros.size(), 0).empty());

    // The same compressed (about 16 KB on the wire), expanded as a reply is.
    const std::optional<QByteArray> packed = VEKCoder::dataByCompressData(zeros);
    ASSERT_TRUE(packed);
    EXPECT_LT(packed->size(), 64 * 1024);
    const std::optional<QByteArray> expanded = VEKCoder::dataByUncompressData(*packed);
    ASSERT_TRUE(expanded);
    EXPECT_TRUE(VEKTCRS::constructMRWithBytes(expanded->constData(), expanded->size(), 0).empty());
    if (before > 0) {
        EXPECT_LT(peakKiB() - before, 1024 * 1024) << "more than 1 GiB for a refused payload";
    }
}

TEST(VEKTCRSBudget, AnEmptySetCostsNoFieldStoreAndRealRepliesFitTheBudget)
{
    VEKTCRS empty;
    EXPECT_LT(empty.memoryBytes(), 2048);

    // A reply of a few sets, one of them large, is read whole.
    VEKTCRS big;
    big.addField(field("code", 9));
    big.addField(field("price", 7));
    for (int r = 0; r < 5000; ++r) {
        ASSERT_TRUE(big.appendRecord());
        big.updateFieldWithString(0, QStringLiteral("60%1").arg(r, 4, 10, QLatin1Char('0')));
        big.updateFieldWithDouble(1, r * 0.5);
    }
    VEKTCRS ok;
    ok.setOkInfo();
    std::vector<VEKTCRS> sets { ok, big, ok };
    const QByteArray bytes = VEKTCRS::exportMRData(sets);
    EXPECT_EQ(VEKTCRS::constructMRWithBytes(bytes.constData(), bytes.size(), 0).size(), 3u);

    // Many small sets pass as long as the count stays within the budget...
    QByteArray many;
    for (int i = 0; i < int(VEKTCRS::kMaxSetsBase); ++i)
        many += ok.exportData();
    EXPECT_EQ(VEKTCRS::constructMRWithBytes(many.constData(), many.size(), 0).size(),
        size_t(VEKTCRS::kMaxSetsBase));
    // ... and not past it: 100 empty sets of 16 bytes allow 64 + 1600 / 256.
    const QByteArray empties(16 * 100, '\0');
    EXPECT_TRUE(VEKTCRS::constructMRWithBytes(empties.constData(), empties.size(), 0).empty());
}

TEST(VEKTCRSBudget, AFewBytesCannotClaimMillionsOfEmptyRows)
{
    // A set without fields whose rows carry no bytes: a reply of a few bytes
    // claiming a million rows would have every reader make a million objects.
    VEKTCRS ok;
    ok.setOkInfo();
    QByteArray bytes = ok.exportData();
    ASSERT_EQ(qFromLittleEndian<qint32>(bytes.constData()), 0) << "a set without fields";
    const qint32 claimed = qFromLittleEndian<qint32>(bytes.constData() + 4);
    EXPECT_EQ(VEKTCRS::constructMRWithBytes(bytes.constData(), bytes.size(), 0).size(), 1u);
    for (qint32 rows : { 1000000, 4000000 }) {
        qToLittleEndian<qint32>(rows, bytes.data() + 4);
        EXPECT_TRUE(VEKTCRS::constructMRWithBytes(bytes.constData(), bytes.size(), 0).empty()) << rows;
    }
    qToLittleEndian<qint32>(claimed, bytes.data() + 4);
}

TEST(VEKTCRSWriter, NeverWritesWhatItsReaderRefuses)
{
    // "A最" in UTF-16 is 41 00 00 67: the reader takes 00 00 67 as a separator.
    VEKTCRS set(1);
    set.addField(field("name", 9));
    ASSERT_TRUE(set.setRecordsetInfo(QString::fromUtf8("A最"), true));
    set.appendRecord();
    set.updateFieldWithString(0, QString::fromUtf8("浦发银行"));
    const QByteArray bytes = set.exportData();
    auto sets = VEKTCRS::constructMRWithBytes(bytes.constData(), bytes.size(), 1);
    ASSERT_EQ(sets.size(), 1u);
    EXPECT_EQ(sets[0].recordsetInfo(), QString::fromUtf8("A最"));
    EXPECT_EQ(sets[0].fieldNameAtIndex(0), QStringLiteral("name"));
    ASSERT_TRUE(sets[0].fetchFirst());
    EXPECT_EQ(sets[0].toStringWithName(QStringLiteral("name")), QString::fromUtf8("浦发银行"));

    // A Unicode info text that round-trips as UTF-16 stays UTF-16.
    VEKTCRS plain(1);
    ASSERT_TRUE(plain.setRecordsetInfo(QString::fromUtf8("最A"), true));
    EXPECT_TRUE(plain.isUniResInfo());

    // A UTF-16 description with the separator, and a name with "|", are refused.
    TCRSField described = field("desc", 4);
    described.coding = 1;
    const char16_t units[] = { u'A', u'最', 0 };
    std::memcpy(described.desc, units, sizeof units);
    EXPECT_FALSE(set.addField(described));
    EXPECT_FALSE(set.addField(field("a|b", 4)));
    EXPECT_EQ(set.fieldCount(), 1);
    // The same description without the separator is taken and read back.
    const char16_t fine[] = { u'最', u'A', 0 };
    std::memset(described.desc, 0, sizeof described.desc);
    std::memcpy(described.desc, fine, sizeof fine);
    ASSERT_TRUE(set.addField(described));
    const QByteArray again = set.exportData();
    auto back = VEKTCRS::constructMRWithBytes(again.constData(), again.size(), 1);
    ASSERT_EQ(back.size(), 1u);
    EXPECT_EQ(back[0].fieldDescAtIndex(1), QString::fromUtf8("最A"));
}

TEST(VEKTCRSFastReads, ByNameAndByIndexMatchTheGeneralConversions)
{
    VEKTCRS set(0);
    const char* names[] = { "i", "l", "d", "t", "dup", "dup" };
    const qint32 types[] = { 4, 5, 7, 9, 4, 4 };
    for (int f = 0; f < 6; ++f)
        ASSERT_TRUE(set.addField(field(names[f], types[f])));
    const double doubles[] = { 0.0, -0.0, 0.0625, -2.5e-4, 1234.5675, 1e16, -0.0005, 99.9995, 1e300 };
    const qint64 longs[] = { 0, -1, std::numeric_limits<qint64>::min(), std::numeric_limits<qint64>::max(),
        1234567890123LL, -99, 7, 100, 10 };
    for (int r = 0; r < 9; ++r) {
        ASSERT_TRUE(set.appendRecord());
        set.updateFieldWithInt(0, r == 0 ? std::numeric_limits<qint32>::min() : r * -37);
        set.updateFieldWithInt64(1, longs[r]);
        set.updateFieldWithDouble(2, doubles[r]);
        set.updateFieldWithString(
            3, r % 2 ? QString::fromUtf8("浦发银行%1").arg(r) : QStringLiteral("60%1").arg(r));
        set.updateFieldWithInt(4, r);
        set.updateFieldWithInt(5, -r);
    }
    for (bool ok = set.fetchFirst(); ok; ok = set.fetchNext()) {
        const int r = set.getCurrent();
        EXPECT_EQ(set.toStringWithName(QStringLiteral("i")),
            QString::number(r == 0 ? std::numeric_limits<qint32>::min() : r * -37));
        EXPECT_EQ(set.toStringWithName(QStringLiteral("l")), QString::number(longs[r]));
        EXPECT_EQ(set.toStringWithName(QStringLiteral("d")), rstest::fixed3(doubles[r])) << doubles[r];
        EXPECT_EQ(set.toStringAtIndex(3),
            r % 2 ? QString::fromUtf8("浦发银行%1").arg(r) : QStringLiteral("60%1").arg(r));
        // Two fields of one name: the first one wins, however the lookups ran before.
        EXPECT_EQ(set.toStringWithName(QStringLiteral("dup")), QString::number(r));
        EXPECT_EQ(set.toStringWithName(QStringLiteral("dup")), QString::number(r));
    }
    // Names that are not ASCII, hold a zero or differ only inside match nothing.
    EXPECT_EQ(set.indexOfFieldWithName(QString::fromUtf8("í")), -1);
    EXPECT_EQ(set.indexOfFieldWithName(QString(QChar(u'i')) + QChar(u'\0')), -1);
    EXPECT_EQ(set.indexOfFieldWithName(QStringLiteral("dxp")), -1);
    EXPECT_EQ(set.indexOfFieldWithName(QStringLiteral("d")), 2);
    // After the fields change, the lookups follow.
    ASSERT_TRUE(set.deleteFieldAtIndex(0));
    EXPECT_EQ(set.indexOfFieldWithName(QStringLiteral("d")), 1);
    EXPECT_EQ(set.indexOfFieldWithName(QStringLiteral("i")), -1);
}

TEST(VEKTCRSFastReads, LongNamesMatchOnlyThemselves)
{
    // Names long enough to be compared eight characters at a time, and
    // one-character changes of them, asked after each field was found last.
    const char* names[] = { "quantity", "settlement_amount", "settlement_amounts",
        "a_name_of_63_characters_which_is_the_longest_that_a_field_holds" };
    VEKTCRS set(0);
    for (const char* name : names)
        ASSERT_TRUE(set.addField(field(name, 4)));
    ASSERT_EQ(std::strlen(names[3]), 63u);
    const auto expected = [&](const QString& name) {
        for (int i = 0; i < 4; ++i)
            if (name == QLatin1StringView(names[i]))
                return i;
        return -1;
    };
    QStringList asked;
    for (const char* stored : names) {
        const QString name = QLatin1StringView(stored);
        asked << name << name.chopped(1) << name + u's' << name + QString(8, QChar(0));
        for (qsizetype k = 0; k < name.size(); ++k) {
            const char16_t c = name[k].unicode();
            for (const char16_t other :
                { char16_t(c | 0x100), char16_t(c ^ 1), char16_t(0), char16_t(0x80 | c) }) {
                asked << name;
                asked.back()[k] = QChar(other);
            }
        }
    }
    for (const QString& name : asked) {
        for (int last = 0; last < 4; ++last) {
            ASSERT_EQ(set.indexOfFieldWithName(QLatin1StringView(names[last])), last);
            EXPECT_EQ(set.indexOfFieldWithName(name), expected(name)) << last;
        }
    }
}

TEST(VEKTCRSFastReads, GbTextsDecodeAsThePlatformDecoderDoes)
{
    // Every two-byte code, one at a time, the way a field holds it.
    for (int lead = 0x81; lead <= 0xFE; lead += 7) {
        for (int trail = 0x40; trail <= 0xFE; ++trail) {
            const char bytes[] = { 'a', char(lead), char(trail), 'b' };
            EXPECT_EQ(tcrs::decodeBytes(bytes, 4, platform::TextEncoding::GB18030),
                platform::decodeTextLossy(QByteArrayView(bytes, 4), platform::TextEncoding::GB18030))
                << lead << " " << trail;
        }
    }
    // Four-byte codes and broken ones take the decoder's path.
    const QByteArray four = QByteArray::fromHex("8139ef30") + "x" + QByteArray::fromHex("81");
    EXPECT_EQ(tcrs::decodeBytes(four.constData(), four.size(), platform::TextEncoding::GB18030),
        platform::decodeTextLossy(four, platform::TextEncoding::GB18030));
}

namespace {

// A set's bytes with the descriptors as given (type, length, offset), no
// records, names f0, f1, ...
QByteArray layoutWith(const std::vector<std::array<qint32, 3>>& descriptors)
{
    QByteArray out;
    auto int32 = [&](qint32 v) {
        char b[4];
        qToLittleEndian<qint32>(v, b);
        out.append(b, 4);
    };
    int32(qint32(descriptors.size()));
    for (const auto& d : descriptors) {
        int32(d[0]);
        int32(d[1]);
        int32(d[2]);
    }
    int32(0); // records
    QByteArray info("0ok");
    for (size_t i = 0; i < descriptors.size(); ++i)
        info += QByteArray(2, '\0') + "f" + QByteArray::number(qulonglong(i));
    int32(qint32(info.size()));
    out += info;
    int32(0); // data block
    return out;
}

} // namespace

TEST(VEKTCRSEdges, TheCursorAtExactlyTheRowCount)
{
    VEKTCRS set;
    set.addField(field("n", 4));
    for (int r = 0; r < 3; ++r) {
        set.appendRecord();
        set.updateFieldWithInt(0, r + 1);
    }
    EXPECT_FALSE(set.setCurrent(3));
    EXPECT_EQ(set.getCurrent(), 3);
    EXPECT_TRUE(set.isEOF());
    EXPECT_FALSE(set.isBOF());
    EXPECT_EQ(set.toStringAtIndex(0), QString());
    EXPECT_EQ(set.toIntWithName(QStringLiteral("n")), 0);
    EXPECT_TRUE(set.fetchPrev());
    EXPECT_EQ(set.toIntAtIndex(0), 3);
    EXPECT_FALSE(set.fetchNext()); // from the last row onto the end
    EXPECT_EQ(set.getCurrent(), 3);
    EXPECT_FALSE(set.fetchNext());
    EXPECT_EQ(set.getCurrent(), 3);
    EXPECT_FALSE(set.moveTo(3));
    EXPECT_EQ(set.getCurrent(), 3);
    EXPECT_TRUE(set.moveTo(2));
    EXPECT_TRUE(set.setCurrent(0));
    EXPECT_FALSE(set.skipOff(3));
    EXPECT_EQ(set.getCurrent(), 3);
}

TEST(VEKTCRSEdges, RecordSizeFromANonZeroFieldAndADescriptorOnePastTheRecord)
{
    // Gaps between the fields as the server laid them out: 0+4, 10+8, 30+8.
    const QByteArray gapped = layoutWith({ { 4, 4, 0 }, { 5, 8, 10 }, { 7, 8, 30 } });
    auto read = [](const QByteArray& bytes) {
        auto sets = VEKTCRS::constructMRWithBytes(bytes.constData(), bytes.size(), 0);
        return sets.empty() ? std::optional<VEKTCRS>() : std::optional<VEKTCRS>(sets[0]);
    };
    std::optional<VEKTCRS> set = read(gapped);
    ASSERT_TRUE(set);
    ASSERT_TRUE(set->calculateRecordSize(1)); // from field 1: it follows field 0 at once
    EXPECT_EQ(set->fieldAtIndex(0)->offset, 0);
    EXPECT_EQ(set->fieldAtIndex(1)->offset, 4);
    EXPECT_EQ(set->fieldAtIndex(2)->offset, 12);
    ASSERT_TRUE(set->appendRecord());
    EXPECT_EQ(set->exportData().size() - gapped.size(), 20); // the record: 4 + 8 + 8
    set = read(gapped);
    ASSERT_TRUE(set->calculateRecordSize(2)); // field 0 and 1 keep their places
    EXPECT_EQ(set->fieldAtIndex(1)->offset, 10);
    EXPECT_EQ(set->fieldAtIndex(2)->offset, 18);
    ASSERT_TRUE(set->appendRecord());
    EXPECT_EQ(set->exportData().size() - gapped.size(), 26);

    // The record ends with its last field (4 + 4 = 8 bytes): a descriptor that
    // ends there is read, one that ends one byte past it is refused.
    EXPECT_TRUE(read(layoutWith({ { 4, 4, 4 }, { 4, 4, 4 } })));
    EXPECT_FALSE(read(layoutWith({ { 4, 4, 5 }, { 4, 4, 4 } })));
}

TEST(VEKTCRSWriter, TheSimulatorsRepliesReadBack)
{
    // An info text whose UTF-16 form holds the separator, in every encoding a
    // client may ask for.
    for (const qint32 encoding : { 0, 1, 2 }) {
        const auto payload = brokersim::encodeTables(
            { brokersim::Table::infoOnly(QString::fromUtf8("A最")),
                brokersim::Table().column(QStringLiteral("name")).row({ QString::fromUtf8("A最") }) },
            encoding);
        ASSERT_TRUE(payload);
        auto sets = VEKTCRS::constructMRWithBytes(payload->constData(), payload->size(), encoding);
        ASSERT_EQ(sets.size(), 2u) << encoding;
        EXPECT_EQ(sets[0].recordsetInfo(), QString::fromUtf8("A最"));
        ASSERT_TRUE(sets[1].fetchFirst());
        EXPECT_EQ(sets[1].toStringWithName(QStringLiteral("name")), QString::fromUtf8("A最"));
    }
}
