#include "shell/ui/tables/DVCheckTableView.h"

#include "shell/tables/TableWidths.h"

#include <QHeaderView>

DVCheckTableView::DVCheckTableView(QWidget* parent, TableStyle* style)
    : DVCommonTableView(TableKind::Check, parent, style)
{
    horizontalHeader()->setMaximumSectionSize(tablewidths::kCheckMaxWidth);
}

int DVCheckTableView::setColumnEditable(
    bool editable, QValidator* formatter, const QString& title, IDVCheckTableViewEndEditingDelegate* delegate)
{
    return tableModel()->setColumnEditable(editable, formatter, title, delegate, false);
}

std::vector<int> DVCheckTableView::initialColumnWidths()
{
    const int checkWidth = std::min(fittedHeaderWidth(0), tablewidths::kCheckMaxWidth);
    // The check-box column's width is the least any column takes.
    horizontalHeader()->setMinimumSectionSize(checkWidth);
    std::vector<int> fitted;
    for (int i = 1; i < tableModel()->columnCount(); ++i)
        fitted.push_back(fittedHeaderWidth(i));
    std::vector<int> widths = tablewidths::checkColumnWidths(checkWidth, fitted, width());
    widths.insert(widths.begin(), checkWidth);
    return widths;
}

void DVCheckTableView::setOrderColorType(int32_t type)
{
    TableStyle::getInstance()->setOrderColorType(TableKind::Check, type);
}

void DVCheckTableView::setProfitLossColorType(int32_t type)
{
    TableStyle::getInstance()->setProfitLossColorType(TableKind::Check, type);
}

void DVCheckTableView::setAccountProtectOption(bool on)
{
    TableStyle::getInstance()->setAccountProtectOption(TableKind::Check, on);
}

void DVCheckTableView::reloadTable()
{
    TableStyle::getInstance()->reloadTable(TableKind::Check);
}
