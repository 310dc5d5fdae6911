#pragma once

#include "funds/lists/OpdFundListViewController.h"
#include "funds/quote/FundQuoteViewController.h"
#include "shell/ui/MenuItemView.h"
#include "shell/ui/RunAlert.h"

#include <QPointer>
#include <QWidget>
#include <array>

class FundListView;
class OpdQuoteViewController;
class QLabel;

// The fund list panel's widget.
class OpdFundListPanel : public QWidget {
    Q_OBJECT
public:
    OpdFundListPanel(OpdFundListViewController& controller, QWidget* parent = nullptr);
    ~OpdFundListPanel() override;
    FundListView* listView() const { return view_; }

private:
    void refresh();

    QPointer<OpdFundListViewController> controller_;
    FundListView* view_;
    WindowAlertPresenter alerts_;
};

// The fund quote list page's widget.
class OpdQuoteView : public MenuItemView {
    Q_OBJECT
public:
    OpdQuoteView(OpdQuoteViewController& controller, QWidget* parent = nullptr);
    FundListView* listView() const { return view_; }

protected:
    void refresh() override;

private:
    FundListView* view_;
};

// The net-value chart: frame, grid, the line and the area under it, drawn
// from the chart's numbers.
class FundQuoteView : public QWidget {
    Q_OBJECT
public:
    explicit FundQuoteView(QWidget* parent = nullptr);
    void setChart(const FundQuoteChart& chart);
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    FundQuoteChart chart_;
};

// The net-value panel: the fund's name, code and value over the chart with
// its value and month labels.
class FundQuotePanel : public QWidget {
    Q_OBJECT
public:
    FundQuotePanel(FundQuoteViewController& controller, QWidget* parent = nullptr);
    FundQuoteView* chartView() const { return chart_; }

private:
    void refresh();

    QPointer<FundQuoteViewController> controller_;
    QLabel* name_;
    QLabel* code_;
    QLabel* value_;
    std::array<QLabel*, 6> months_ {};
    std::array<QLabel*, 5> values_ {};
    FundQuoteView* chart_;
};

// Registers the widgets of this library's pages with the page views.
void registerFundViews();
