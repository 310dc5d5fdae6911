#include "core/ui/ColumnFit.h"

#include <QHeaderView>
#include <QScrollBar>
#include <QTableView>

void fitColumnsToContents(QTableView* table)
{
    QHeaderView* header = table->horizontalHeader();
    header->setSectionResizeMode(QHeaderView::ResizeToContents);
    header->setStretchLastSection(true);
    int width = 2 * table->frameWidth() + table->verticalScrollBar()->sizeHint().width();
    if (table->verticalHeader()->isVisible())
        width += table->verticalHeader()->width();
    const QAbstractItemView* view = table; // where the widest cell's width is public
    for (int column = 0; column < header->count(); ++column)
        width += qMax(header->sectionSizeHint(column), view->sizeHintForColumn(column));
    table->setMinimumWidth(width);
}
