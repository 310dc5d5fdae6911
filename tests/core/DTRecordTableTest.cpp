// One record object per row beside the rows, whichever way the record reads
// its row, with the never-shown fields left out of the columns only.
#include "comm/recordset/VEKTCRS.h"
#include "core/DTRecordTable.h"

#include <cstring>
#include <gtest/gtest.h>

namespace {

struct ByReference {
    ByReference() = default;
    explicit ByReference(const VEKTCRS& row)
        : code(row.toStringWithName(QStringLiteral("code")))
        , secret(row.toStringWithName(QStringLiteral("secret")))
    {
    }
    QString code;
    QString secret;
};

struct ByPointer {
    ByPointer() = default;
    explicit ByPointer(const VEKTCRS* row)
        : code(row->toStringWithName(QStringLiteral("code")))
    {
    }
    QString code;
};

} // namespace

Q_DECLARE_METATYPE(ByReference)
Q_DECLARE_METATYPE(ByPointer)

namespace {

VEKTCRS set(const QList<QStringList>& rows)
{
    VEKTCRS s(2);
    for (const char* name : { "code", "secret", "poststr", "note" }) {
        TCRSField field {};
        field.type = 9;
        std::strncpy(field.name, name, sizeof field.name - 1);
        EXPECT_TRUE(s.addField(field));
    }
    for (const QStringList& values : rows) {
        EXPECT_TRUE(s.appendRecord());
        EXPECT_TRUE(s.setCurrent(s.rowsAffected() - 1));
        for (qint32 i = 0; i < values.size(); ++i)
            EXPECT_TRUE(s.updateFieldWithString(i, values[i]));
    }
    s.setCurrent(-1);
    return s;
}

class Secrets : public DTRecordTable<ByReference> {
public:
    explicit Secrets(const VEKTCRS* recordSet, const QStringList& filterKeys = {})
        : DTRecordTable({ QStringLiteral("secret") })
    {
        if (recordSet)
            build(*recordSet, filterKeys);
    }
};

TEST(DTRecordTable, RecordsBesideRowsWithHiddenFieldsStillRead)
{
    const VEKTCRS two = set({ { "600000", "s1", "p1", "n1" }, { "000001", "s2", "p2", "n2" } });
    Secrets table(&two, { QStringLiteral("note") });
    EXPECT_EQ(table.tableColomnTitles().size(), 1); // "code" alone
    ASSERT_EQ(table.arrayController()->count(), 2);
    EXPECT_EQ(table.recordAt(1).code, "000001");
    EXPECT_EQ(table.recordAt(1).secret, "s2");
    EXPECT_EQ(table.objectAt(0).code, "600000");
    EXPECT_TRUE(table.recordAt(2).code.isEmpty());
    EXPECT_TRUE(table.recordAt(-1).code.isEmpty());

    // A new set: the never-shown field stays hidden, the filter key does not.
    const VEKTCRS one = set({ { "300750", "s3", "p3", "n3" } });
    table.updateTable(&one);
    EXPECT_EQ(table.tableColomnTitles().size(), 2);
    ASSERT_EQ(table.contentObjectArray().size(), 1);
    EXPECT_EQ(table.recordAt(0).secret, "s3");
    table.updateTable(nullptr);
    EXPECT_EQ(table.recordAt(0).code, "300750");
}

TEST(DTRecordTable, RecordsReadingByPointerAndEmptySets)
{
    class Codes : public DTRecordTable<ByPointer> {
    public:
        explicit Codes(const VEKTCRS& recordSet) { build(recordSet, {}); }
    };
    const VEKTCRS two = set({ { "600000" }, { "000001" } });
    const Codes codes(two);
    EXPECT_EQ(codes.tableColomnTitles().size(), 3); // all but "poststr"
    EXPECT_EQ(codes.recordAt(1).code, "000001");
    const Codes none(set({}));
    EXPECT_TRUE(none.contentObjectArray().isEmpty());
    EXPECT_TRUE(none.recordAt(0).code.isEmpty());
}

} // namespace
