#pragma once

#include "shell/tables/DVTableModel.h"

#include <QPointer>
#include <functional>
#include <memory>

// A table a page fills: the model its view's table shows, or the page's own
// when it runs headless. The page's ticks, selection and editable columns
// live in that one model; the view only decides how rows reach it (its
// table view sizes the columns as they arrive).
class PageTable {
public:
    // The table, and whether its columns are built anew (else only the
    // rows are replaced once columns exist).
    using Show = std::function<void(std::shared_ptr<const DTTable>, bool rebuildColumns)>;

    explicit PageTable(TableKind kind)
        : own_(kind)
    {
    }

    // The view's model and how the view takes a table into it.
    void attach(DVTableModel* model, Show show)
    {
        attached_ = model;
        show_ = std::move(show);
    }
    DVTableModel& model() { return attached_ ? *attached_ : own_; }
    const DVTableModel& model() const { return attached_ ? *attached_ : own_; }
    void show(std::shared_ptr<const DTTable> table, bool rebuildColumns = false)
    {
        if (attached_ && show_)
            show_(std::move(table), rebuildColumns);
        else if (rebuildColumns || model().titles().isEmpty())
            model().buildColumns(std::move(table));
        else
            model().showRows(std::move(table));
    }

    // No rows, the columns kept: what the page showed before is gone.
    void clearRows() { model().showRows(std::make_shared<DTTable>()); }

private:
    DVTableModel own_;
    QPointer<DVTableModel> attached_;
    Show show_;
};
