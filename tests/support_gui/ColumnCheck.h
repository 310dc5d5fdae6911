#pragma once

// Whether a table shows its column titles and cell texts whole.
#include <QAbstractItemModel>
#include <QHeaderView>
#include <QTableView>
#include <QVariant>
#include <gtest/gtest.h>

namespace testsupport {

inline ::testing::AssertionResult columnsShowTheirTexts(const QTableView& table)
{
    const QAbstractItemModel* model = table.model();
    const QHeaderView* header = table.horizontalHeader();
    const QFontMetrics cells = table.fontMetrics();
    const QFontMetrics titles = header->fontMetrics();
    for (int column = 0; column < model->columnCount(); ++column) {
        // Less the margins a cell and a title keep on both sides.
        const int room = header->sectionSize(column) - 4;
        const QString title = model->headerData(column, Qt::Horizontal).toString();
        if (titles.horizontalAdvance(title) > room)
            return ::testing::AssertionFailure() << "title " << title.toStdString() << " cut to " << room;
        for (int row = 0; row < model->rowCount(); ++row) {
            const QString text = model->index(row, column).data().toString();
            if (cells.horizontalAdvance(text) > room)
                return ::testing::AssertionFailure() << "cell " << text.toStdString() << " cut to " << room;
        }
    }
    return ::testing::AssertionSuccess();
}

} // namespace testsupport
