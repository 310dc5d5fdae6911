#include "tools/broker-sim/Table.h"

#include "platform/TextEncoding.h"

#include <gtest/gtest.h>

using namespace brokersim;

namespace {

std::vector<VEKTCRS> roundTrip(const QList<Table>& tables, qint32 encoding)
{
    const auto bytes = encodeTables(tables, encoding);
    if (!bytes)
        return {};
    return VEKTCRS::constructMRWithBytes(bytes->constData(), bytes->size(), encoding);
}

} // namespace

TEST(BrokerSimTable, TextFollowsTheReplyEncoding)
{
    const QString text = QStringLiteral("浦发银行 A");
    Table t;
    t.info = QStringLiteral("result");
    t.column(QStringLiteral("name"))
        .column(QStringLiteral("qty"), kInt32)
        .column(QStringLiteral("big"), kInt64);
    t.column(QStringLiteral("uni"), kUnicode)
        .column(QStringLiteral("raw"), kBytes)
        .column(QStringLiteral("px"), kDouble);
    t.row({ text, 42, qint64(1) << 40, text, QByteArray("\x01\x02\x03", 3), QStringLiteral("2.5") });
    t.row({ QVariant(), QStringLiteral("-7") });

    const std::pair<qint32, platform::TextEncoding> encodings[] = { { 0, platform::TextEncoding::GB18030 },
        { 1, platform::TextEncoding::UTF16LE }, { 2, platform::TextEncoding::UTF8 } };
    for (const auto& [code, encoding] : encodings) {
        auto sets = roundTrip({ t }, code);
        ASSERT_EQ(sets.size(), 1u) << code;
        VEKTCRS& set = sets[0];
        EXPECT_EQ(set.recordsetInfo(), QStringLiteral("result"));
        ASSERT_EQ(set.rowsAffected(), 2);
        ASSERT_TRUE(set.fetchFirst());
        EXPECT_EQ(set.toStringWithName(QStringLiteral("name")), text) << code;
        EXPECT_EQ(set.fieldDataWithName(QStringLiteral("name")), *platform::encodeText(text, encoding))
            << code;
        EXPECT_EQ(set.toIntWithName(QStringLiteral("qty")), 42);
        EXPECT_EQ(set.toInt64WithName(QStringLiteral("big")), qint64(1) << 40);
        EXPECT_EQ(set.getUnideByteWithName(QStringLiteral("uni")), text);
        EXPECT_EQ(set.fieldDataWithName(QStringLiteral("raw")), QByteArray("\x01\x02\x03", 3));
        EXPECT_EQ(set.toFloatWithName(QStringLiteral("px")), 2.5);
        ASSERT_TRUE(set.fetchNext());
        EXPECT_EQ(set.toStringWithName(QStringLiteral("name")), QString());
        EXPECT_EQ(set.toIntWithName(QStringLiteral("qty")), -7);
        EXPECT_EQ(set.toFloatWithName(QStringLiteral("px")), 0.0);
    }
    // Any code but 0 and 2 is read as UTF-16 by the client.
    EXPECT_EQ(replyEncodingFor(0), 0);
    EXPECT_EQ(replyEncodingFor(2), 2);
    EXPECT_EQ(replyEncodingFor(1), 1);
    EXPECT_EQ(replyEncodingFor(7), 1);
    EXPECT_EQ(replyEncodingFor(-1), 1);
}

TEST(BrokerSimTable, ErrorRowsAndBadTables)
{
    auto sets = roundTrip({ Table::errorRow(1234, QStringLiteral("密码错误")), Table::errorRow(-5) }, 0);
    ASSERT_EQ(sets.size(), 2u);
    EXPECT_TRUE(sets[0].isErrorInfo());
    ASSERT_TRUE(sets[0].fetchFirst());
    EXPECT_EQ(sets[0].toStringWithName(QStringLiteral("ER_String")), QStringLiteral("密码错误"));
    EXPECT_EQ(sets[0].toIntWithName(QStringLiteral("errcode")), 1234);
    EXPECT_TRUE(sets[1].isErrorInfo());
    ASSERT_TRUE(sets[1].fetchFirst());
    EXPECT_EQ(sets[1].indexOfFieldWithName(QStringLiteral("ER_String")), -1);
    EXPECT_EQ(sets[1].toIntWithName(QStringLiteral("errcode")), -5);

    // The logon's "ok" set is small but not empty.
    const auto ok = encodeTables({ Table::infoOnly(QStringLiteral("ok")) }, 0);
    ASSERT_TRUE(ok);
    EXPECT_EQ(ok->size(), 19);
    EXPECT_EQ(encodeTables({}, 0), QByteArray());

    EXPECT_FALSE(encodeTables({ Table().column(QString(64, u'n')) }, 0));
    EXPECT_FALSE(encodeTables({ Table().column(QStringLiteral("名")) }, 0));
    EXPECT_FALSE(encodeTables({ Table().column(QStringLiteral("x"), 8) }, 0));
    EXPECT_FALSE(encodeTables({ Table().column(QStringLiteral("x")).row({ 1, 2 }) }, 0));
    EXPECT_FALSE(encodeTables({ Table::infoOnly(QString(127, u'i')) }, 0));
    // Text that the encoding cannot carry (a lone surrogate) is refused, not cut.
    EXPECT_FALSE(encodeTables({ Table().column(QStringLiteral("x")).row({ QString(QChar(0xD800)) }) }, 2));
}
