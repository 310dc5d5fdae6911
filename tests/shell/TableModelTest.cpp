#include "shell/TableTestData.h"
#include "shell/tables/DVTableModel.h"

#include <QIntValidator>
#include <QRegularExpressionValidator>
#include <gtest/gtest.h>
#include <map>

using tabletest::makeTable;

namespace {

struct RecordingDelegate : IDVCommonTableViewEndEditingDelegate {
    void endEditing(int row, int column, const QString& text) override
    {
        edits << QStringList { QString::number(row), QString::number(column), text };
    }
    QList<QStringList> edits;
};

// Counts the emissions of a signal.
template <class Sender, class Signal> std::shared_ptr<int> countSignal(Sender* sender, Signal signal)
{
    auto count = std::make_shared<int>(0);
    QObject::connect(sender, signal, [count] { ++*count; });
    return count;
}

QStringList shownColumn(const DVTableModel& model, int column, int role = Qt::DisplayRole)
{
    QStringList out;
    for (int r = 0; r < model.rowCount(); ++r)
        out << model.data(model.index(r, column), role).toString();
    return out;
}

class TableModelTest : public ::testing::Test {
protected:
    // Measures texts at 7 pixels a character and counts the texts measured.
    static std::shared_ptr<int> countMeasures(DVTableModel& model)
    {
        auto calls = std::make_shared<int>(0);
        model.setTextMeasure([calls](const QString& text) {
            ++*calls;
            return int(text.size()) * 7;
        });
        return calls;
    }


    TableStyle style;
    std::shared_ptr<DTTable> funds = makeTable({ "基金代码", "基金公司", "净值" },
        { { "000001", "青岚", "1.25" }, { "000002", "远帆", "10.5" }, { "000003", "青岚", "" },
            { "000004", "松石林", "9" } });
};

} // namespace

TEST_F(TableModelTest, FilterFallsBackToEveryRow)
{
    DVTableModel model(TableKind::Common, &style);
    model.buildColumns(funds);
    model.filter("基金公司", "青岚");
    EXPECT_EQ(shownColumn(model, 0), (QStringList { "000001", "000003" }));
    EXPECT_EQ(model.valuesForKey("基金代码"), (QStringList { "000001", "000003" }));
    // The filter always starts from every row of the table, not the rows shown.
    model.filter("基金公司", "远帆");
    EXPECT_EQ(shownColumn(model, 0), (QStringList { "000002" }));
    model.filter("基金公司", "云栖");
    EXPECT_EQ(model.rowCount(), 4);
    model.filter("无此列", "青岚");
    EXPECT_EQ(model.rowCount(), 4);
    EXPECT_EQ(model.valuesForKey("基金公司"), (QStringList { "青岚", "远帆", "松石林" }));
    EXPECT_TRUE(model.valuesForKey("无此列").isEmpty());
}

TEST_F(TableModelTest, SortsByValueWithoutRebuildingTexts)
{
    DVTableModel model(TableKind::Common, &style);
    model.buildColumns(funds);
    const QString before = model.data(model.index(1, 2)).toString();
    const auto resets = countSignal(&model, &QAbstractItemModel::modelReset);

    model.sort(2, Qt::AscendingOrder);
    EXPECT_EQ(shownColumn(model, 2), (QStringList { "1.25", "9", "10.5", "" }));
    model.sort(2, Qt::DescendingOrder);
    EXPECT_EQ(shownColumn(model, 2), (QStringList { "10.5", "9", "1.25", "" }));
    // The very text prepared when the rows arrived, not a copy made for the sort.
    EXPECT_TRUE(model.data(model.index(0, 2)).toString().isSharedWith(before));
    EXPECT_EQ(*resets, 0);
    // New rows keep the user's sort; -1 gives the server's order back.
    model.showRows(makeTable({ "基金代码", "基金公司", "净值" }, { { "1", "a", "2" }, { "2", "b", "30" } }));
    EXPECT_EQ(shownColumn(model, 2), (QStringList { "30", "2" }));
    model.sort(-1);
    EXPECT_EQ(shownColumn(model, 2), (QStringList { "2", "30" }));
}

TEST_F(TableModelTest, NewRowsAreMatchedToTheColumnsByTitle)
{
    DVTableModel model(TableKind::Common, &style);
    model.buildColumns(funds);
    model.showRows(makeTable({ "净值", "基金代码" }, { { "1.1", "000009" } }));
    EXPECT_EQ(model.columnCount(), 3);
    EXPECT_EQ(shownColumn(model, 0), (QStringList { "000009" }));
    EXPECT_EQ(shownColumn(model, 1), (QStringList { "" }));
    EXPECT_EQ(shownColumn(model, 2), (QStringList { "1.1" }));
}

TEST_F(TableModelTest, CellsCarryToneAlignmentAndMaskFromTheStyle)
{
    DVTableModel common(TableKind::Common, &style);
    DVTableModel check(TableKind::Check, &style);
    const auto table = makeTable({ "资金账号", "参考盈亏", "证券名称" },
        { { "310000123456", "-12.5", "平安银行" }, { "12345", "", "" } });
    common.buildColumns(table);
    check.buildColumns(table);
    const auto commonChanged = countSignal(&common, &QAbstractItemModel::dataChanged);
    const auto checkChanged = countSignal(&check, &QAbstractItemModel::dataChanged);

    EXPECT_EQ(common.data(common.index(0, 1), Qt::ForegroundRole).value<QColor>(),
        style.colors(TableKind::Common).loss);
    EXPECT_FALSE(common.data(common.index(1, 1), Qt::ForegroundRole).isValid());
    EXPECT_EQ(
        common.data(common.index(0, 2), Qt::ForegroundRole).value<QColor>(), TableStyle::neutralColor());
    EXPECT_TRUE(
        common.data(common.index(0, 1), Qt::TextAlignmentRole).value<Qt::Alignment>() & Qt::AlignRight);
    EXPECT_TRUE(
        common.data(common.index(0, 2), Qt::TextAlignmentRole).value<Qt::Alignment>() & Qt::AlignHCenter);

    style.setAccountProtectOption(TableKind::Common, true);
    style.setProfitLossColorType(TableKind::Common, 1);
    style.reloadTable(TableKind::Common);
    EXPECT_EQ(*commonChanged, 1);
    EXPECT_EQ(*checkChanged, 0);
    EXPECT_EQ(shownColumn(common, 0), (QStringList { "310000****56", "12345" }));
    EXPECT_EQ(common.data(common.index(0, 1), Qt::ForegroundRole).value<QColor>(), QColor(Qt::red));
    // The check-box tables keep their own switch (their column 1 is the first data column).
    EXPECT_EQ(shownColumn(check, 1), (QStringList { "310000123456", "12345" }));
    EXPECT_EQ(shownColumn(common, 0, DVTableModel::SortValueRole), (QStringList { "310000123456", "12345" }));
}

TEST_F(TableModelTest, ContentWidthsAreMeasuredWhenRowsArrive)
{
    DVTableModel model(TableKind::Common, &style);
    const auto calls = countMeasures(model);
    model.buildColumns(funds);
    EXPECT_EQ(model.contentWidths(), (std::vector<int> { 6 * 7 + 6, 3 * 7 + 6, 4 * 7 + 6 }));
    // Every text but the empty one, once.
    EXPECT_EQ(*calls, 11);
    for (int r = 0; r < model.rowCount(); ++r)
        model.data(model.index(r, 0));
    model.sort(1);
    EXPECT_EQ(*calls, 11);
}

// Every cell shows the server's text as sent, whatever it is, with account
// protection on or off (it hides only the account columns); the text
// decides only the alignment (numbers right, "%" signs aside, outside the
// code and date columns) and, in the sign and direction columns, the colour.
TEST_F(TableModelTest, EveryCellShowsTheTextAsSent)
{
    enum Tone { Grey, Profit, Loss, Buy };
    struct Case {
        const char* title;
        const char* value;
        bool right;
        Tone tone;
    };
    const Case cases[] = {
        { "委托数量", "abc", false, Grey },
        { "委托数量", "NaN", false, Grey },
        { "委托数量", "inf", false, Grey },
        { "委托数量", "-10", true, Grey },
        { "委托数量", "9223372036854775808", true, Grey },
        { "委托价格", "市价", false, Grey },
        { "委托价格", "1e999", true, Grey },
        { "资金余额", "nan", false, Grey },
        { "手续费", "5元", false, Grey },
        { "参考盈亏", "-1520.30", true, Loss },
        { "参考盈亏", "abc", false, Grey },
        { "盈亏比例(%)", "3.2%", true, Profit },
        { "盈亏比例(%)", "abc%", false, Grey },
        { "买卖标志", "证券买入", false, Buy },
        { "委托编号", "1e5", false, Grey },
        { "证券名称", "", false, Grey },
        { "证券代码", "600000", false, Grey },
        { "成交编号", "20240601000123", false, Grey },
    };
    const TableColors colors = style.colors(TableKind::Common);
    const std::map<Tone, QColor> toneColors { { Grey, TableStyle::neutralColor() }, { Profit, colors.profit },
        { Loss, colors.loss }, { Buy, colors.buy } };
    for (const bool protect : { false, true }) {
        style.setAccountProtectOption(TableKind::Common, protect);
        for (const Case& c : cases) {
            const QString value = QString::fromUtf8(c.value);
            SCOPED_TRACE(std::string(c.title) + " " + c.value + (protect ? " protected" : ""));
            DVTableModel model(TableKind::Common, &style);
            model.buildColumns(makeTable({ QString::fromUtf8(c.title) }, { { value } }));
            const QModelIndex cell = model.index(0, 0);
            EXPECT_EQ(cell.data().toString(), value);
            EXPECT_EQ(
                bool(cell.data(Qt::TextAlignmentRole).value<Qt::Alignment>() & Qt::AlignRight), c.right);
            if (!value.isEmpty()) {
                EXPECT_EQ(cell.data(Qt::ForegroundRole).value<QColor>(), toneColors.at(c.tone));
            }
        }
    }
}

TEST_F(TableModelTest, CheckStatesAndSelectAll)
{
    DVTableModel model(TableKind::Check, &style);
    model.buildColumns(makeTable({ "合同序号" }, {}));
    EXPECT_FALSE(model.isSelectAll());
    EXPECT_EQ(model.headerData(0, Qt::Horizontal).toString(), "选择");

    model.buildColumns(
        makeTable({ "合同序号", "委托价格" }, { { "11", "3" }, { "12", "1" }, { "13", "2" } }));
    EXPECT_EQ(model.columnCount(), 3);
    EXPECT_EQ(model.selectedRow(), -1);
    model.selectAllRows();
    EXPECT_TRUE(model.isSelectAll());
    model.itemClicked(1);
    EXPECT_FALSE(model.isSelectAll());
    EXPECT_EQ(model.selectedIndexes(), (QList<int> { 0, 2 }));

    // Sorted by price the view shows rows 1, 2, 0; states stay with their rows.
    model.sort(2);
    EXPECT_EQ(model.data(model.index(0, 0), Qt::CheckStateRole).value<Qt::CheckState>(), Qt::Unchecked);
    model.deselectAllRows();
    model.itemClicked(1);
    EXPECT_EQ(model.selectedIndexes(), (QList<int> { 2 }));
    EXPECT_EQ(model.selectedRow(), 2);
    EXPECT_TRUE(model.setData(model.index(0, 0), Qt::Checked, Qt::CheckStateRole));
    EXPECT_EQ(model.selectedRow(), 1);

    model.selectAllRows();
    model.showRows(model.tableObject());
    EXPECT_TRUE(model.selectedIndexes().isEmpty());
}

TEST_F(TableModelTest, EditableColumnChecksItsValidatorBeforeTellingTheDelegate)
{
    QIntValidator costs(0, 9999);
    QIntValidator otherCosts(0, 5);
    QRegularExpressionValidator letters(QRegularExpression("[a-z]+"));
    auto delegate = std::make_unique<RecordingDelegate>();
    DVTableModel model(TableKind::Common, &style);
    model.buildColumns(funds);

    EXPECT_EQ(model.setColumnEditable(true, &costs, QString("无此列"), delegate.get(), true), -1);
    EXPECT_FALSE(model.flags(model.index(0, 2)) & Qt::ItemIsEditable);

    EXPECT_EQ(model.setColumnEditable(true, &costs, QString("净值"), delegate.get(), true), 2);
    EXPECT_TRUE(model.flags(model.index(0, 2)) & Qt::ItemIsEditable);
    EXPECT_FALSE(model.flags(model.index(0, 1)) & Qt::ItemIsEditable);
    // The common tables keep a formatter of the same class, the check-box tables replace it.
    model.setColumnEditable(true, &otherCosts, QString("净值"), delegate.get(), true);
    EXPECT_EQ(model.formatter(2), &costs);
    model.setColumnEditable(true, &letters, QString("净值"), delegate.get(), true);
    EXPECT_EQ(model.formatter(2), &letters);
    model.setColumnEditable(true, &costs, 2, delegate.get());

    model.sort(2);
    EXPECT_FALSE(model.setData(model.index(0, 2), "12a"));
    EXPECT_FALSE(model.setData(model.index(0, 1), "12"));
    EXPECT_TRUE(model.setData(model.index(0, 2), "12"));
    ASSERT_EQ(delegate->edits.size(), 1);
    // View row 0 sorted by value is the table's row 0 ("1.25").
    EXPECT_EQ(delegate->edits[0], (QStringList { "0", "2", "12" }));
    EXPECT_EQ(model.data(model.index(0, 2)).toString(), "1.25");

    delegate.reset();
    EXPECT_TRUE(model.setData(model.index(1, 2), "13"));

    DVTableModel check(TableKind::Check, &style);
    check.buildColumns(funds);
    EXPECT_EQ(check.setColumnEditable(true, &costs, QString("净值"), nullptr, false), 3);
    check.setColumnEditable(true, &otherCosts, QString("净值"), nullptr, false);
    EXPECT_EQ(check.formatter(3), &otherCosts);
    check.setColumnEditable(true, &costs, 0, nullptr);
    EXPECT_EQ(check.formatter(0), nullptr);
}

TEST_F(TableModelTest, ARepeatedCellShowsAsTheOneAboveWhileTheReplyKeepsWhatCame)
{
    DVTableModel model(TableKind::Common, &style);
    const auto calls = countMeasures(model);
    // The reply's table shares a text repeated in the row below.
    const auto table = makeTable({ "委托数量", "买卖标志", "证券名称" },
        { { "abc", "证券买入", "平安银行" }, { "abc", "证券买入", "平安银行" },
            { "300", "证券卖出", "平安银行" } });
    model.buildColumns(table);

    EXPECT_EQ(shownColumn(model, 0), (QStringList { "abc", "abc", "300" }));
    const TableColors colors = style.colors(TableKind::Common);
    for (int r : { 0, 1 })
        EXPECT_EQ(model.data(model.index(r, 1), Qt::ForegroundRole).value<QColor>(), colors.buy) << r;
    EXPECT_EQ(model.data(model.index(2, 1), Qt::ForegroundRole).value<QColor>(), colors.sell);
    for (int r : { 0, 1 })
        EXPECT_TRUE(model.data(model.index(r, 0), Qt::TextAlignmentRole).value<Qt::Alignment>() & Qt::AlignHCenter);
    EXPECT_TRUE(model.data(model.index(2, 0), Qt::TextAlignmentRole).value<Qt::Alignment>() & Qt::AlignRight);
    // Measured: the first row's three and the third's two new texts.
    EXPECT_EQ(*calls, 5);
    EXPECT_EQ(model.contentWidths()[0], 3 * 7 + 6);
    // The reply's table still holds what the server sent, and a cell shown
    // as it came is the reply's own text, not a copy.
    EXPECT_EQ(table->arrayController()->arrangedObjects()[1][0], QStringLiteral("abc"));
    EXPECT_EQ(model.data(model.index(2, 2)).toString().constData(),
        table->arrayController()->arrangedObjects()[2][2].constData());
    EXPECT_EQ(table->valueForTitle(0, QStringLiteral("委托数量")), QStringLiteral("abc"));
}
