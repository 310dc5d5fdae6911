#include "comm/recordset/VEKTCRS.h"
#include "core/DTTableManager.h"

#include <cstring>
#include <gtest/gtest.h>

namespace {

struct Col {
    const char* name;
    QString desc;
};

// A record set of text fields with descriptions (UTF-8) and rows of texts.
VEKTCRS makeSet(const std::vector<Col>& columns, const std::vector<QStringList>& rows)
{
    VEKTCRS set(2);
    for (const Col& c : columns) {
        TCRSField field {};
        field.type = 9;
        std::strncpy(field.name, c.name, sizeof field.name - 1);
        const QByteArray desc = c.desc.toUtf8();
        std::memcpy(field.desc, desc.constData(), size_t(std::min<qsizetype>(desc.size(), 126)));
        field.coding = 2;
        EXPECT_TRUE(set.addField(field));
    }
    for (const QStringList& values : rows) {
        EXPECT_TRUE(set.appendRecord());
        EXPECT_TRUE(set.setCurrent(set.rowsAffected() - 1));
        for (qint32 i = 0; i < values.size(); ++i)
            EXPECT_TRUE(set.updateFieldWithString(i, values[i]));
    }
    set.setCurrent(-1);
    return set;
}

QList<QStringList> rowsOf(const DTTable& table)
{
    return table.arrayController()->arrangedObjects();
}

class CountingTable : public DTTable {
public:
    static int made;
    CountingTable() { ++made; }
};
int CountingTable::made = 0;

} // namespace

TEST(DTTable, ColumnsAreTheFieldsTitledByDescription)
{
    const VEKTCRS set
        = makeSet({ { "stkcode", QStringLiteral("证券代码") }, { "poststr", QStringLiteral("定位串") },
                      { "stkname", QStringLiteral("证券名称") }, { "fundid", QStringLiteral("资金账号") } },
            { { "600000", "p1", "浦发银行", "F1" }, { "000001", "p2", "平安银行", "F2" } });

    const DTTable table(&set, { QStringLiteral("fundid"), QStringLiteral("证券名称") });
    // "poststr" and the filter key by name go; a filter key equal to a description removes nothing.
    EXPECT_EQ(
        table.tableColomnTitles(), QStringList({ QStringLiteral("证券代码"), QStringLiteral("证券名称") }));
    EXPECT_EQ(table.count(), 2);
    EXPECT_EQ(rowsOf(table), (QList<QStringList> { { "600000", "浦发银行" }, { "000001", "平安银行" } }));
    EXPECT_EQ(table.valueForTitle(1, QStringLiteral("证券名称")), QStringLiteral("平安银行"));
    EXPECT_EQ(table.valueForTitle(2, QStringLiteral("证券名称")), QString());
    EXPECT_EQ(table.valueForTitle(0, QStringLiteral("定位串")), QString());
    EXPECT_TRUE(table.contentObjectArray().isEmpty());

    // The views' model.
    const DTArrayController* model = table.arrayController();
    EXPECT_EQ(model->rowCount(), 2);
    EXPECT_EQ(model->columnCount(), 2);
    EXPECT_EQ(model->headerData(1, Qt::Horizontal).toString(), QStringLiteral("证券名称"));
    EXPECT_EQ(model->data(model->index(1, 0)).toString(), QStringLiteral("000001"));
    EXPECT_FALSE(model->data(model->index(5, 0)).isValid());

    // Filter keys compare exactly.
    const DTTable caseKept(&set, { QStringLiteral("FUNDID") });
    EXPECT_EQ(caseKept.tableColomnTitles().size(), 3);

    // Null and empty sets.
    const DTTable none(nullptr);
    EXPECT_TRUE(none.tableColomnTitles().isEmpty());
    EXPECT_EQ(none.count(), 0);
    const VEKTCRS noRows = makeSet({ { "a", QStringLiteral("甲") }, { "b", QStringLiteral("乙") } }, {});
    const DTTable empty(&noRows);
    EXPECT_EQ(empty.tableColomnTitles(), QStringList({ QStringLiteral("甲"), QStringLiteral("乙") }));
    EXPECT_TRUE(rowsOf(empty).isEmpty());
    EXPECT_EQ(empty.count(), 0);
}

TEST(DTTable, DuplicateTitlesKeepTheirOwnValues)
{
    const VEKTCRS set
        = makeSet({ { "buyprice", QStringLiteral("价格") }, { "sellprice", QStringLiteral("价格") } },
            { { "10.01", "10.02" } });
    const DTTable table(&set);
    EXPECT_EQ(table.tableColomnTitles(), QStringList({ QStringLiteral("价格"), QStringLiteral("价格") }));
    EXPECT_EQ(rowsOf(table).front(), QStringList({ "10.01", "10.02" }));
    // A lookup by title reads the later column, as a row keyed by title would.
    EXPECT_EQ(table.valueForTitle(0, QStringLiteral("价格")), QStringLiteral("10.02"));
}

TEST(DTTable, UpdatesInPlaceAndRemovesRows)
{
    const VEKTCRS first = makeSet({ { "code", QStringLiteral("代码") }, { "poststr", QStringLiteral("定位") },
                                      { "market", QStringLiteral("市场") } },
        { { "A", "p", "1" }, { "B", "p", "1" }, { "C", "p", "0" }, { "D", "p", "1" } });
    DTTable table(&first, { QStringLiteral("market") });
    DTArrayController* controller = table.arrayController();
    table.contentObjectArray() << QStringLiteral("a") << QStringLiteral("b") << QStringLiteral("c");

    // Update: the filter keys are gone, "poststr" still left out, controller and content objects kept.
    int resets = 0;
    QObject::connect(controller, &QAbstractItemModel::modelReset, [&] { ++resets; });
    const VEKTCRS second
        = makeSet({ { "code", QStringLiteral("代码") }, { "poststr", QStringLiteral("定位") },
                      { "market", QStringLiteral("市场") } },
            { { "A", "p", "1" }, { "B", "p", "1" }, { "C", "p", "0" }, { "B", "p", "2" } });
    table.updateTable(&second);
    EXPECT_EQ(resets, 1);
    EXPECT_EQ(table.arrayController(), controller);
    EXPECT_EQ(table.tableColomnTitles(), QStringList({ QStringLiteral("代码"), QStringLiteral("市场") }));
    EXPECT_EQ(table.count(), 4);
    EXPECT_EQ(table.contentObjectArray().size(), 3);
    table.updateTable(nullptr);
    EXPECT_EQ(table.count(), 4);

    // Two adjacent matches both go, with the content objects at their positions.
    table.removeContentObject(QStringLiteral("市场"), QStringLiteral("1"));
    EXPECT_EQ(rowsOf(table), (QList<QStringList> { { "C", "0" }, { "B", "2" } }));
    EXPECT_EQ(table.contentObjectArray(), QVariantList({ QStringLiteral("c") }));
    EXPECT_EQ(table.count(), 4); // left as it was
    table.removeContentObject(QStringLiteral("代码"), QStringLiteral("B"));
    EXPECT_EQ(rowsOf(table), (QList<QStringList> { { "C", "0" } }));
    EXPECT_EQ(table.contentObjectArray(), QVariantList({ QStringLiteral("c") })); // the list was too short
    table.removeContentObject(QStringLiteral("没有"), QStringLiteral("C"));
    table.removeContentObjectWithMarketCode(0);
    EXPECT_EQ(rowsOf(table).size(), 1);
}

TEST(DTTableManager, OneTablePerIdAndSharedFundTables)
{
    DTTableManager::resetInstance();
    DTTableManager::unregisterTableClasses();
    DTTableManager* made = DTTableManager::allocWithZone();
    ASSERT_NE(made, nullptr);
    EXPECT_EQ(DTTableManager::allocWithZone(), nullptr);
    DTTableManager* manager = DTTableManager::getInstance();
    EXPECT_EQ(manager, made);

    DTTableManager::registerTableClass(6, [] { return std::make_shared<CountingTable>(); });
    CountingTable::made = 0;
    std::shared_ptr<DTTable> six = manager->getTable(6);
    EXPECT_NE(dynamic_cast<CountingTable*>(six.get()), nullptr);
    EXPECT_EQ(manager->getTable(7), six);
    EXPECT_EQ(manager->getTable(8), six);
    EXPECT_EQ(CountingTable::made, 1);
    manager->releaseTable(8);
    EXPECT_NE(manager->getTable(6), six);
    EXPECT_EQ(CountingTable::made, 2);

    // Any other id: a plain DTTable, the same until released.
    std::shared_ptr<DTTable> two = manager->getTable(2);
    ASSERT_TRUE(two);
    EXPECT_EQ(dynamic_cast<CountingTable*>(two.get()), nullptr);
    EXPECT_EQ(manager->getTable(2), two);
    manager->releaseTable(2);
    EXPECT_NE(manager->getTable(2), two);

    DTTableManager::unregisterTableClasses();
    DTTableManager::resetInstance();
}

TEST(DTTable, ACellEqualToTheOneAboveSharesItsTextAndEmptyCellsStayNull)
{
    const VEKTCRS set = makeSet(
        { { "market", QStringLiteral("市场") }, { "stkname", QStringLiteral("证券名称") } },
        { { "沪A", "浦发银行" }, { "沪A", "平安银行" }, { "", "平安银行" }, { "深A", "" }, { "深A", "x" } });
    const DTTable table(&set);
    const QList<QStringList> rows = rowsOf(table);
    ASSERT_EQ(rows.size(), 5);
    EXPECT_EQ(rows[0], (QStringList { "沪A", "浦发银行" }));
    EXPECT_EQ(rows[1], (QStringList { "沪A", "平安银行" }));
    EXPECT_EQ(rows[2], (QStringList { "", "平安银行" }));
    EXPECT_EQ(rows[3], (QStringList { "深A", "" }));
    EXPECT_EQ(rows[4], (QStringList { "深A", "x" }));
    // Equal texts under each other are one text; different ones are not.
    EXPECT_EQ(rows[0][0].constData(), rows[1][0].constData());
    EXPECT_EQ(rows[1][1].constData(), rows[2][1].constData());
    EXPECT_NE(rows[0][1].constData(), rows[1][1].constData());
    // An empty cell reads as the null text it always did.
    EXPECT_TRUE(rows[2][0].isNull());
    EXPECT_TRUE(rows[3][1].isNull());
    EXPECT_EQ(rows[3][0].constData(), rows[4][0].constData());
}
