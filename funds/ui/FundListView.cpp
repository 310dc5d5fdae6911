#include "funds/ui/FundListView.h"

#include "shell/ui/tables/DVCommonTableView.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QVBoxLayout>
#include <algorithm>

FundListView::FundListView(bool withCaption, QWidget* parent)
    : QWidget(parent)
    , filter_(new QComboBox(this))
    , table_(new DVCommonTableView(this))
    , progress_(new QProgressBar(this))
    , warning_(new QLabel(this))
{
    auto* layout = new QVBoxLayout(this);
    auto* top = new QHBoxLayout;
    if (withCaption) {
        caption_ = new QLabel(this);
        caption_->setObjectName(QStringLiteral("listTitleText"));
        top->addWidget(caption_);
    }
    top->addStretch(1);
    top->addWidget(new QLabel(QStringLiteral("基金公司:"), this));
    filter_->setObjectName(QStringLiteral("filterPButton"));
    filter_->setMinimumWidth(140);
    top->addWidget(filter_);
    layout->addLayout(top);
    table_->setObjectName(QStringLiteral("listTable"));
    layout->addWidget(table_, 1);
    progress_->setObjectName(QStringLiteral("loadTableDataProgress"));
    progress_->setRange(0, 0);
    progress_->setMaximumHeight(6);
    progress_->setTextVisible(false);
    layout->addWidget(progress_);
    warning_->setObjectName(QStringLiteral("warningText"));
    warning_->hide();
    layout->addWidget(warning_);

    connect(filter_, &QComboBox::activated, this, [this](int index) {
        table_->clearSelection();
        if (onFilterChosen)
            onFilterChosen(index);
    });
    // A click picks its row, also the row already selected; moving through
    // the rows with the keys picks nothing.
    connect(table_, &QAbstractItemView::clicked, this, [this](const QModelIndex& index) {
        if (onRowSelected && index.isValid())
            onRowSelected(table_->tableModel()->sourceRow(index.row()));
    });
}

void FundListView::show(const FundListContent& content, const QString& caption)
{
    if (caption_)
        caption_->setText(caption);
    progress_->setVisible(content.isLoading());
    {
        const QSignalBlocker blocker(filter_);
        QStringList shown;
        for (int i = 0; i < filter_->count(); ++i)
            shown << filter_->itemText(i);
        if (shown != content.filterTitles()) {
            filter_->clear();
            filter_->addItems(content.filterTitles());
        }
        filter_->setCurrentIndex(int(content.filterIndex()));
    }
    const bool newRows = content.tableSerial() != shownSerial_;
    if (newRows && content.table()) {
        shownSerial_ = content.tableSerial();
        table_->initTableViewWithObject(content.table());
        // The page arranges itself anew for the columns' widths.
        updateGeometry();
    }
    if (newRows || shownFilter_ != content.filterValue()) {
        shownFilter_ = content.filterValue();
        table_->clearSelection();
        table_->updateTableView(QString::fromUtf8(FundListContent::kCompanyTitle), shownFilter_);
    }
}

int FundListView::widthShowingNetValues() const
{
    const int least = minimumSizeHint().width();
    const qsizetype title = table_->tableModel()->titles().indexOf(QString::fromUtf8(kNetValueTitle));
    if (title < 0)
        return least;
    const int last = int(title) + table_->tableModel()->dataColumnOffset();
    int columns = 0;
    for (int c = 0; c <= last; ++c)
        columns += table_->neededColumnWidth(c);
    const QMargins margins = layout()->contentsMargins();
    return std::max(least,
        columns + 2 * table_->frameWidth() + table_->verticalScrollBar()->sizeHint().width() + margins.left()
            + margins.right());
}
