#include "shell/TableTestData.h"
#include "shell/ui/tables/DVCheckTableView.h"
#include "support/Spin.h"

#include <QApplication>
#include <QHeaderView>
#include <QIntValidator>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QProxyStyle>
#include <QScreen>
#include <QScrollBar>
#include <QStyleOptionHeader>
#include <QStyleOptionViewItem>
#include <QTest>
#include <QWindow>
#include <gtest/gtest.h>
#include <set>

using tabletest::makeTable;

namespace {

void click(QWidget* widget, QPoint pos)
{
    const QPointF local(pos), global(widget->mapToGlobal(pos));
    QMouseEvent press(
        QEvent::MouseButtonPress, local, global, Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QMouseEvent release(
        QEvent::MouseButtonRelease, local, global, Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(widget, &press);
    QApplication::sendEvent(widget, &release);
}

struct RecordingDelegate : IDVCommonTableViewEndEditingDelegate {
    void endEditing(int row, int column, const QString& text) override
    {
        edits << QString("%1/%2/%3").arg(row).arg(column).arg(text);
    }
    QStringList edits;
};

QStringList column(const QAbstractItemModel* model, int c)
{
    QStringList out;
    for (int r = 0; r < model->rowCount(); ++r)
        out << model->index(r, c).data().toString();
    return out;
}

// Records the palettes header sections and item rows are drawn with: the
// style caches section pictures under the palette's key.
struct PaletteRecorder : QProxyStyle {
    std::set<qint64> sectionKeys;
    QColor rowHighlight;
    void drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
        const QWidget* widget) const override
    {
        auto* self = const_cast<PaletteRecorder*>(this);
        if (element == CE_HeaderSection)
            self->sectionKeys.insert(option->palette.cacheKey());
        if (element == CE_ItemViewItem && (option->state & State_Selected))
            self->rowHighlight = option->palette.color(QPalette::Active, QPalette::Highlight);
        QProxyStyle::drawControl(element, option, painter, widget);
    }
};

// Records the texts of the cells drawn and the boxes they are laid in.
struct CellRecorder : QProxyStyle {
    struct Cell {
        QString text;
        QRect rect;
        QFont font;
    };
    std::vector<Cell> cells;
    void drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
        const QWidget* widget) const override
    {
        if (element == CE_ItemViewItem) {
            const auto* item = static_cast<const QStyleOptionViewItem*>(option);
            const QRect textBox = subElementRect(SE_ItemViewItemText, item, widget);
            const_cast<CellRecorder*>(this)->cells.push_back({ item->text, textBox, item->font });
        }
        QProxyStyle::drawControl(element, option, painter, widget);
    }
};

class TableViewTest : public ::testing::Test {
protected:
    TableStyle style;
    std::shared_ptr<DTTable> orders = makeTable({ "委托编号", "证券名称", "委托价格" },
        { { "101", "平安银行", "12.50" }, { "102", "贵州茅台", "1650.00" }, { "103", "中国平安", "40.1" } });
};

} // namespace

TEST_F(TableViewTest, ColumnsShareTheWidthAndGrowToTheirContent)
{
    DVCommonTableView view(nullptr, &style);
    view.resize(600, 300);
    view.show();
    view.initTableViewWithObject(orders);
    const int share = view.columnWidth(0);
    EXPECT_EQ(view.columnWidth(1), share);
    EXPECT_GT(view.columnWidth(2), share);
    EXPECT_LE(view.columnWidth(0) + view.columnWidth(1) + view.columnWidth(2), view.viewport()->width());

    // A later reply keeps the columns; a wider text widens its column, shorter ones shrink nothing.
    const QString longName = QString("很长的证券名称").repeated(6);
    view.initTableViewWithObject(
        makeTable({ "委托编号", "证券名称", "委托价格" }, { { "1", longName, "1" } }));
    QFont measured = view.font();
    measured.setPointSize(measured.pointSize() + 1);
    EXPECT_GE(view.columnWidth(1), QFontMetrics(measured).horizontalAdvance(longName) + 6);
    EXPECT_EQ(view.columnWidth(0), share);
    EXPECT_EQ(view.rowCount(), 1);
}

TEST_F(TableViewTest, HeaderClickSortsAndSelectionFollowsItsRow)
{
    DVCommonTableView view(nullptr, &style);
    view.resize(600, 300);
    view.show();
    view.initTableViewWithObject(orders);
    EXPECT_EQ(column(view.model(), 0), (QStringList { "101", "102", "103" }));
    view.selectRow(1);

    QHeaderView* header = view.horizontalHeader();
    click(header->viewport(), QPoint(header->sectionViewportPosition(2) + 5, header->height() / 2));
    const QStringList ascending = column(view.model(), 2);
    click(header->viewport(), QPoint(header->sectionViewportPosition(2) + 5, header->height() / 2));
    const QStringList descending = column(view.model(), 2);
    EXPECT_EQ(ascending, (QStringList { "12.50", "40.1", "1650.00" }));
    EXPECT_EQ(descending, (QStringList { "1650.00", "40.1", "12.50" }));
    ASSERT_EQ(view.selectionModel()->selectedRows().size(), 1);
    EXPECT_EQ(view.selectionModel()->selectedRows().first().data().toString(), "102");
}

TEST_F(TableViewTest, CheckBoxClickTicksItsRow)
{
    DVCheckTableView view(nullptr, &style);
    view.resize(600, 300);
    view.show();
    view.initTableViewWithObject(orders);
    EXPECT_EQ(view.model()->headerData(0, Qt::Horizontal).toString(), "选择");
    for (int c = 0; c < view.model()->columnCount(); ++c)
        EXPECT_LE(view.columnWidth(c), 300);

    QStyleOptionViewItem option;
    option.initFrom(&view);
    option.rect = view.visualRect(view.model()->index(2, 0));
    option.features |= QStyleOptionViewItem::HasCheckIndicator;
    const QRect box = view.style()->subElementRect(QStyle::SE_ItemViewItemCheckIndicator, &option, &view);
    click(view.viewport(), box.center());
    EXPECT_EQ(view.selectedIndexSet(), (QList<int> { 2 }));
    EXPECT_EQ(view.selectedRow(), 2);
    view.selectAllRows();
    EXPECT_TRUE(view.isSelectAll());
    click(view.viewport(), box.center());
    EXPECT_FALSE(view.isSelectAll());

    view.updateTableViewWithObject(orders);
    EXPECT_EQ(view.selectedRow(), -1);
}

TEST_F(TableViewTest, EditorCarriesTheColumnValidator)
{
    RecordingDelegate delegate;
    QIntValidator quantities(1, 99999);
    DVCommonTableView view(nullptr, &style);
    view.resize(600, 300);
    view.show();
    view.initTableViewWithObject(orders);
    ASSERT_EQ(view.setColumnEditable(true, &quantities, QString("委托价格"), &delegate), 2);

    view.edit(view.model()->index(1, 2));
    auto* editor = view.viewport()->findChild<QLineEdit*>();
    ASSERT_NE(editor, nullptr);
    EXPECT_EQ(editor->validator(), &quantities);
    editor->selectAll();
    for (QChar c : QString("3x0")) {
        QKeyEvent key(QEvent::KeyPress, 0, Qt::NoModifier, QString(c));
        QApplication::sendEvent(editor, &key);
    }
    EXPECT_EQ(editor->text(), "30");
    QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
    QApplication::sendEvent(editor, &enter);
    ASSERT_TRUE(testsupport::spinUntil([&] { return !delegate.edits.isEmpty(); }));
    EXPECT_EQ(delegate.edits, (QStringList { "1/2/30" }));
}

TEST_F(TableViewTest, TablesDrawTheirHeadersWithOnePaletteAndRowsInTheHighlight)
{
    // A palette per table or per paint would leave new cached pictures behind
    // with every table made and every repaint.
    const QString styleName = QApplication::style()->name();
    auto* recorder = new PaletteRecorder;
    QApplication::setStyle(recorder);
    const QColor platform = QApplication::palette().color(QPalette::Active, QPalette::Highlight);
    ASSERT_NE(platform, TableStyle::defaultHighlightColor());
    for (int table = 0; table < 2; ++table) {
        DVCommonTableView view(nullptr, &style);
        view.resize(600, 300);
        view.show();
        view.initTableViewWithObject(orders);
        view.selectRow(1);
        for (int paint = 0; paint < 2; ++paint)
            view.grab();
        EXPECT_EQ(recorder->rowHighlight, TableStyle::defaultHighlightColor());
    }
    EXPECT_EQ(recorder->sectionKeys.size(), 1u);
    // A check-box table keeps its highlight colour but selects in the
    // platform's.
    DVCheckTableView check(nullptr, &style);
    check.resize(600, 300);
    check.show();
    check.initTableViewWithObject(orders);
    EXPECT_EQ(check.highlightColor(), TableStyle::defaultHighlightColor());
    check.selectRow(1);
    check.grab();
    EXPECT_EQ(recorder->rowHighlight, platform);
    QApplication::setStyle(styleName);
}

// A table narrower than its columns, scrolled to either end, in the default
// font and in one half as large again: every cell's text is laid into the
// part of the view the cell has, where the style draws it whole or ends it
// in "…"; the view's edge never cuts a figure short.
TEST_F(TableViewTest, TheViewsEdgeNeverCutsAFigure)
{
    const QString styleName = QApplication::style()->name();
    auto* recorder = new CellRecorder;
    QApplication::setStyle(recorder);
    const auto figures = makeTable({ "基金代码", "基金净值", "参考市值" },
        { { "000001", "1.0230", "10230.00" }, { "110011", "3.4510", "6902.00" } });
    for (const double scale : { 1.0, 1.5 }) {
        DVCommonTableView view(nullptr, &style);
        QFont font = view.font();
        font.setPointSizeF(font.pointSizeF() * scale);
        view.setFont(font);
        view.show();
        view.initTableViewWithObject(figures);
        // The edge falls inside the net values.
        view.resize(view.columnWidth(0) + view.columnWidth(1) / 2 + 2 * view.frameWidth()
                + view.verticalScrollBar()->sizeHint().width(),
            200);
        for (const bool atEnd : { false, true }) {
            SCOPED_TRACE(testing::Message() << scale << (atEnd ? " scrolled to the end" : " at the start"));
            view.horizontalScrollBar()->setValue(atEnd ? view.horizontalScrollBar()->maximum() : 0);
            ASSERT_GT(view.horizontalScrollBar()->maximum(), 0);
            recorder->cells.clear();
            view.viewport()->grab();
            ASSERT_FALSE(recorder->cells.empty());
            const QRect inView = view.viewport()->rect();
            for (const CellRecorder::Cell& cell : recorder->cells) {
                if (!cell.rect.intersects(inView))
                    continue;
                EXPECT_TRUE(inView.contains(cell.rect))
                    << cell.text.toStdString() << " laid from " << cell.rect.left() << " to "
                    << cell.rect.right() << " in a view to " << inView.right();
            }
        }
    }
    QApplication::setStyle(styleName);
}

// A table scrolled a few pixels at a time, sideways and down, shows after
// each step what it draws afresh: a cell the view's edge cut before the
// step, or cuts after it, lays its text anew, never beside what was left of
// its earlier one ("… 买入").
TEST_F(TableViewTest, AScrolledTableLeavesNoPaintBehind)
{
    QList<QStringList> rows;
    for (int i = 0; i < 30; ++i)
        rows << QStringList { QString::number(100 + i), i % 2 ? "买入" : "卖出", "平安银行", "12.50",
            "1650.00" };
    QWidget window;
    DVCommonTableView view(&window, &style);
    view.initTableViewWithObject(
        makeTable({ "委托编号", "买卖方向", "证券名称", "委托价格", "成交价格" }, rows));
    view.setGeometry(0, 0, view.columnWidth(0) + view.columnWidth(1) * 3 / 2, 160);
    window.resize(view.size());
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    QScreen* screen = window.windowHandle()->screen();
    // Sideways by pixels, down by rows.
    for (auto [bar, forth, back] :
        { std::tuple { view.horizontalScrollBar(), 7, 5 }, { view.verticalScrollBar(), 1, 1 } }) {
        ASSERT_GT(bar->maximum(), 0);
        QList<int> steps;
        for (int v = 0; v <= bar->maximum(); v += forth)
            steps << v;
        for (int v = bar->maximum(); v >= 0; v -= back)
            steps << v;
        for (const int v : steps) {
            SCOPED_TRACE(
                testing::Message() << (bar == view.verticalScrollBar() ? "down " : "sideways ") << v);
            bar->setValue(v);
            // The step's paint reaches the window, as it would the screen.
            QApplication::processEvents();
            const QRect viewport(view.viewport()->mapTo(&window, QPoint()), view.viewport()->size());
            const QPixmap onScreen = screen->grabWindow(
                window.winId(), viewport.x(), viewport.y(), viewport.width(), viewport.height());
            const QImage shown = onScreen.toImage().convertToFormat(QImage::Format_RGB32);
            const QImage fresh = view.viewport()->grab().toImage().convertToFormat(QImage::Format_RGB32);
            ASSERT_TRUE(shown == fresh) << "the window shows paint the table no longer draws";
        }
    }
}

// Columns spread over a wide view are spread again when the view narrows, so
// a list that had the room when its rows came does not leave its figures
// off a narrower view's edge; a column never gets narrower than it needs.
TEST_F(TableViewTest, ANarrowerViewSpreadsItsColumnsAgain)
{
    DVCommonTableView view(nullptr, &style);
    view.resize(900, 200);
    view.show();
    view.initTableViewWithObject(makeTable({ "基金代码", "基金净值", "参考市值" },
        { { "000001", "1.0230", "10230.00" }, { "110011", "3.4510", "6902.00" } }));
    const int wide = view.horizontalHeader()->length();
    ASSERT_GT(wide, 600);
    view.resize(400, 200);
    QApplication::processEvents();
    EXPECT_LE(view.horizontalHeader()->length(), view.viewport()->width());
    EXPECT_EQ(view.horizontalScrollBar()->maximum(), 0);
    for (int c = 0; c < view.model()->columnCount(); ++c)
        EXPECT_GE(view.columnWidth(c), view.neededColumnWidth(c)) << c;
}

// A common or a check-box table in a window with a style sheet, in the
// tables' own font or in one half as large again: its titles are drawn in
// its header's font, and every figure is measured in the font it is drawn
// in, so a column that has the room shows it whole.
TEST_F(TableViewTest, TitlesAndFiguresKeepTheTablesFont)
{
    const auto figures = makeTable({ "基金代码", "可用份额", "参考成本" },
        { { "000001", "10000.00", "9800.00" }, { "110011", "2000.00", "6500.00" } });
    for (const bool check : { false, true }) {
        for (const double scale : { 1.0, 1.5 }) {
            SCOPED_TRACE(testing::Message() << (check ? "check-box table" : "common table") << " x" << scale);
            QWidget window;
            window.setStyleSheet(QStringLiteral("#pageArea { background: white; }"));
            auto* view
                = check ? new DVCheckTableView(&window, &style) : new DVCommonTableView(&window, &style);
            view->setGeometry(0, 0, 240, 200); // the columns grow to their figures
            window.show();
            view->initTableViewWithObject(figures);
            QFont font = view->font();
            font.setPointSizeF(font.pointSizeF() * scale);
            view->setFont(font);
            QHeaderView* header = view->horizontalHeader();
            EXPECT_EQ(header->viewport()->font().pointSizeF(), header->font().pointSizeF());
            const QFontMetrics drawn(view->font());
            const int offset = view->tableModel()->dataColumnOffset();
            for (int c = offset; c < view->model()->columnCount(); ++c) {
                for (int r = 0; r < view->model()->rowCount(); ++r) {
                    const QString text = view->model()->index(r, c).data().toString();
                    EXPECT_GE(view->columnWidth(c), drawn.horizontalAdvance(text)) << text.toStdString();
                }
            }
        }
    }
}
