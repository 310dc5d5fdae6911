// A 10,000-row reply of today's orders in the common table: the model reset
// with the column widths and the first paint (offscreen), and sorting by a
// number and by a text column once the table is shown; beside it the floor,
// the same reply over a plain model of prepared texts.
#include "shell/TableTestData.h"
#include "shell/ui/tables/DVCommonTableView.h"

#include <QApplication>
#include <QHeaderView>
#include <QPixmap>
#include <benchmark/benchmark.h>
#include <chrono>

namespace {

constexpr int kRows = 10000;

const std::shared_ptr<DTTable>& reply()
{
    static const std::shared_ptr<DTTable> table = [] {
        const QStringList names { "平安银行", "贵州茅台", "中国平安", "招商银行", "五粮液", "宁德时代",
            "万科A" };
        QList<QStringList> rows;
        rows.reserve(kRows);
        for (int i = 0; i < kRows; ++i) {
            const int price = 1000 + (i * 7919) % 200000;
            rows << QStringList { "20261207",
                QString("%1:%2:%3")
                    .arg(9 + i % 6)
                    .arg(i % 60, 2, 10, QChar('0'))
                    .arg(i % 59, 2, 10, QChar('0')),
                QString("%1").arg(600000 + i % 3000, 6, 10, QChar('0')), names[i % names.size()],
                i % 3 ? "证券买入" : "证券卖出", QString::number(price / 100.0, 'f', 2),
                QString::number(100 * (1 + i % 50)), QString::number(100 * (i % 50)),
                QString::number(price * (i % 50), 'f', 2), QString::number((i % 200 - 100) * 13.37, 'f', 2),
                QString("A%1").arg(100000000 + i * 37), QString::number(100000 + i) };
        }
        return tabletest::makeTable(
            { "委托日期", "委托时间", "证券代码", "证券名称", "买卖标志", "委托价格", "委托数量", "成交数量",
                "成交金额", "参考盈亏", "股东代码", "委托编号" },
            rows);
    }();
    return table;
}

// The same reply over a plain model that hands out the texts as they are,
// with the column widths the shared table gives them: the floor the shared
// table is measured against ("ratio_to_plain" on BM_ShowReply, goal at most
// 2, and at most half a 16.7 ms frame).
class PlainModel : public QAbstractTableModel {
public:
    void reset(const DTTable& table)
    {
        beginResetModel();
        titles_ = table.tableColomnTitles();
        rows_ = table.arrayController()->arrangedObjects();
        endResetModel();
    }
    int rowCount(const QModelIndex& parent = QModelIndex()) const override
    {
        return parent.isValid() ? 0 : int(rows_.size());
    }
    int columnCount(const QModelIndex& parent = QModelIndex()) const override
    {
        return parent.isValid() ? 0 : int(titles_.size());
    }
    QVariant data(const QModelIndex& index, int role) const override
    {
        if (role != Qt::DisplayRole || !index.isValid())
            return {};
        const QStringList& row = rows_[index.row()];
        return index.column() < row.size() ? row[index.column()] : QString();
    }
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override
    {
        if (role != Qt::DisplayRole || orientation != Qt::Horizontal || section >= titles_.size())
            return {};
        return titles_[section];
    }

private:
    QStringList titles_;
    QList<QStringList> rows_;
};

using Clock = std::chrono::steady_clock;
double plainSecondsPerShow = 0;

void BM_ShowReplyPlainModel(benchmark::State& state)
{
    std::vector<int> widths;
    QFont font;
    {
        TableStyle style;
        DVCommonTableView shared(nullptr, &style);
        shared.resize(1200, 700);
        shared.reinitTableViewWithObject(reply());
        for (int c = 0; c < shared.model()->columnCount(); ++c)
            widths.push_back(shared.columnWidth(c));
        font = shared.font();
    }
    PlainModel model;
    QTableView view;
    view.setFont(font);
    view.setModel(&model);
    view.setWordWrap(false);
    view.verticalHeader()->hide();
    view.verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    view.verticalHeader()->setDefaultSectionSize(QFontMetrics(font).height() + 8);
    view.horizontalHeader()->setFont(font);
    view.resize(1200, 700);
    view.show();
    const Clock::time_point start = Clock::now();
    for (auto _ : state) {
        model.reset(*reply());
        for (size_t c = 0; c < widths.size(); ++c)
            view.setColumnWidth(int(c), widths[c]);
        benchmark::DoNotOptimize(view.grab());
    }
    plainSecondsPerShow = std::chrono::duration<double>(Clock::now() - start).count() / double(state.iterations());
}
BENCHMARK(BM_ShowReplyPlainModel)->Unit(benchmark::kMillisecond);

void BM_ShowReply(benchmark::State& state)
{
    TableStyle style;
    DVCommonTableView view(nullptr, &style);
    view.resize(1200, 700);
    view.show();
    const Clock::time_point start = Clock::now();
    for (auto _ : state) {
        view.reinitTableViewWithObject(reply());
        benchmark::DoNotOptimize(view.grab());
    }
    const double perShow = std::chrono::duration<double>(Clock::now() - start).count() / double(state.iterations());
    state.counters["rows"] = double(view.rowCount());
    state.counters["frames"] = perShow / (1.0 / 60.0);
    if (plainSecondsPerShow > 0)
        state.counters["ratio_to_plain"] = perShow / plainSecondsPerShow;
}
BENCHMARK(BM_ShowReply)->Unit(benchmark::kMillisecond);

// The reply shown in a window-sized table.
struct ShownReply {
    ShownReply()
    {
        view.resize(1200, 700);
        view.show();
        view.initTableViewWithObject(reply());
        view.grab();
    }
    TableStyle style;
    DVCommonTableView view { nullptr, &style };
};

void sortBy(benchmark::State& state, int column)
{
    ShownReply shown;
    DVCommonTableView& view = shown.view;
    bool ascending = true;
    for (auto _ : state) {
        view.sortByColumn(column, ascending ? Qt::AscendingOrder : Qt::DescendingOrder);
        ascending = !ascending;
        benchmark::DoNotOptimize(view.grab());
    }
}

void BM_SortByPrice(benchmark::State& state)
{
    sortBy(state, 5);
}
void BM_SortByName(benchmark::State& state)
{
    sortBy(state, 3);
}
BENCHMARK(BM_SortByPrice)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SortByName)->Unit(benchmark::kMillisecond);

// The first sort of a fresh reply also works out the column's sort keys.
void BM_FirstSortAfterReply(benchmark::State& state)
{
    ShownReply shown;
    DVCommonTableView& view = shown.view;
    for (auto _ : state) {
        state.PauseTiming();
        view.sortByColumn(-1, Qt::AscendingOrder);
        view.updateTableViewWithObject(reply());
        state.ResumeTiming();
        view.sortByColumn(9, Qt::DescendingOrder);
        benchmark::DoNotOptimize(view.grab());
    }
}
BENCHMARK(BM_FirstSortAfterReply)->Unit(benchmark::kMillisecond);

// Scrolling a page down and drawing it.
void BM_ScrollPage(benchmark::State& state)
{
    ShownReply shown;
    DVCommonTableView& view = shown.view;
    int row = 0;
    for (auto _ : state) {
        row = (row + 25) % kRows;
        view.scrollTo(view.model()->index(row, 0), QAbstractItemView::PositionAtTop);
        benchmark::DoNotOptimize(view.grab());
    }
}
BENCHMARK(BM_ScrollPage)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
