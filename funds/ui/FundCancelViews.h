#pragma once

#include "funds/cancel/FundCancelPages.h"
#include "shell/ui/MenuItemView.h"

#include <QPointer>

class DVCheckTableView;
class QCheckBox;
class QLabel;

// The widget of a fund cancel page: the check table, the select-all box,
// the row and tick counts and the cancel button.
class FundCancelView : public MenuItemView {
    Q_OBJECT
public:
    FundCancelView(FundBatchCancelPage& page, QWidget* parent = nullptr);

protected:
    void refresh() override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QPointer<FundBatchCancelPage> page_;
    DVCheckTableView* ordersTableView;
    QCheckBox* selectAllButton;
    QLabel* countText;
    QLabel* selectedCountText;
    std::shared_ptr<DTTable> shown_;
    quint64 checkChanges_ = 0; // tick changes seen, to tell a box click from a row click
    quint64 checksAtPress_ = 0;
};

// Registers the cancel pages' widgets.
void registerFundCancelViews();
