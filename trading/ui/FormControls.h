#pragma once

#include "shell/tables/DVTableModel.h"
#include "shell/ui/tables/DVCommonTableView.h"

#include <QComboBox>
#include <QLineEdit>
#include <QSignalBlocker>
#include <QStringList>

// What the order forms share when they show their page's state.

// A field the user is typing in keeps its cursor unless the text changed.
inline void setIfChanged(QLineEdit* edit, const QString& text)
{
    if (edit->text() != text)
        edit->setText(text);
}

// A table shows the page's picked row (a row of the reply, however the
// table is sorted) as its selected row; none picked clears the selection.
inline void selectSourceRow(DVCommonTableView* table, int sourceRow)
{
    DVTableModel* model = table->tableModel();
    const QModelIndex current = table->currentIndex();
    if (!model || (current.isValid() && model->sourceRow(current.row()) == sourceRow))
        return;
    for (int row = 0; sourceRow >= 0 && row < model->rowCount(); ++row) {
        if (model->sourceRow(row) == sourceRow) {
            table->selectRow(row);
            return;
        }
    }
    table->clearSelection();
}

// A pop-up shows the page's items and choice without reporting it back.
inline void fill(QComboBox* box, const QStringList& items, int selected)
{
    const QSignalBlocker block(box);
    QStringList shown;
    for (int i = 0; i < box->count(); ++i)
        shown << box->itemText(i);
    if (shown != items) {
        box->clear();
        box->addItems(items);
    }
    box->setCurrentIndex(selected);
}
