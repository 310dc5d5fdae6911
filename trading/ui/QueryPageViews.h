#pragma once

#include "shell/ui/MenuItemView.h"

class AssetQueryViewController;
class DVCheckTableView;
class DVCommonTableView;
class DeputeCancelViewController;
class DistributionViewController;
class CommonQueryViewController;
class HistoricQueryViewController;
class QCheckBox;
class QDateEdit;
class QProgressBar;
class QComboBox;
class QLabel;
class QPushButton;

// The cancel page: today's orders with a box per row, the counts, select
// all and the cancel button.
class DeputeCancelView : public MenuItemView {
    Q_OBJECT
public:
    DeputeCancelView(DeputeCancelViewController& controller, QWidget* parent = nullptr);

protected:
    void refresh() override;

private:
    DeputeCancelViewController& page_;
    DVCheckTableView* ordersTableView_;
    QCheckBox* selectAllButton_;
    QLabel* countText_;
    QLabel* selectedCountText_;
    QPushButton* cancelButton_;
};

// The asset page: capital accounts, totals per currency, positions and the
// quick functions.
class AssetQueryView : public MenuItemView {
    Q_OBJECT
public:
    AssetQueryView(AssetQueryViewController& controller, QWidget* parent = nullptr);

protected:
    void refresh() override;

private:
    AssetQueryViewController& page_;
    DVCommonTableView* fundTableView_;
    DVCommonTableView* positionTableView_;
    QComboBox* functionPButton_;
    QLabel* rmbMarketValueText_;
    QLabel* usdMarketValueText_;
    QLabel* hkdMarketValueText_;
};

// The distribution list page.
class DistributionView : public MenuItemView {
    Q_OBJECT
public:
    DistributionView(DistributionViewController& controller, QWidget* parent = nullptr);

protected:
    void refresh() override;

private:
    DistributionViewController& page_;
    DVCommonTableView* distributionTable_;
    QLabel* warningLabel_;
};

// The common query page: the reply's table, and while a query is out the
// progress that says so (before the first answer the table has no columns).
class CommonQueryView : public MenuItemView {
    Q_OBJECT
public:
    CommonQueryView(CommonQueryViewController& controller, QWidget* parent = nullptr);

protected:
    void refresh() override;

private:
    CommonQueryViewController& page_;
    QProgressBar* queryProgress_;
};

// The historic query pages: the date range, the query button, the count.
class HistoricQueryView : public MenuItemView {
    Q_OBJECT
public:
    HistoricQueryView(HistoricQueryViewController& controller, QWidget* parent = nullptr);

protected:
    void refresh() override;

private:
    HistoricQueryViewController& page_;
    QDateEdit* beginDatePicker_;
    QDateEdit* endDatePicker_;
    QPushButton* queryButton_;
    QLabel* resultCountText_;
    QProgressBar* queryProgress_;
};

// The query pages' widgets in the page catalogue; once at start-up.
void registerQueryPageViews();
