#pragma once

#include "funds/pages/OpdFundTradePages.h"
#include "shell/ui/MenuItemView.h"

#include <QPointer>
#include <QWidget>
#include <map>

class QBoxLayout;
class QComboBox;
class QDateEdit;
class QFormLayout;
class QLineEdit;
class QPushButton;

// The fund trade form's widget: shows the controller's fields and forwards
// typing, the end of editing and the buttons.
class OpdFundTradeForm : public QWidget {
    Q_OBJECT
public:
    OpdFundTradeForm(OpdFundTradeViewController& controller, QWidget* parent = nullptr);
    QLineEdit* field(OpdFundTradeViewController::Field f) const;

private:
    void refresh();
    void addPlanControls(QFormLayout& form);

    QPointer<OpdFundTradeViewController> controller_;
    std::map<OpdFundTradeViewController::Field, QLineEdit*> fields_;
    QComboBox* popUp_ = nullptr;
    QComboBox* period_ = nullptr; // the plan's pop-ups and dates
    QComboBox* day_ = nullptr;
    QComboBox* expire_ = nullptr;
    QDateEdit* begin_ = nullptr;
    QDateEdit* end_ = nullptr;
    QPushButton* trade_;
};

// A fund operation page's widget: list, form and net-value chart side by side
// (on the plan page, after its agreement).
class OpdFundTradeView : public MenuItemView {
    Q_OBJECT
public:
    OpdFundTradeView(OpdFundTradePage& page, QWidget* parent = nullptr);

protected:
    void resizeEvent(QResizeEvent* event) override;
    bool event(QEvent* event) override;

private:
    void putPanels();
    void arrange();
    // Once the events in hand are done: a column's width changes one
    // section at a time.
    void arrangeLater();

    QPointer<OpdFundTradePage> page_;
    bool arrangePending_ = false;
    QWidget* workView_; // the three panels
    QBoxLayout* work_;
    QWidget* fundListView_;
    QWidget* fundTradeView_;
    QWidget* fundQuoteView_;
    QWidget* protocolView_ = nullptr; // the plan page's agreement
};

// Registers the operation pages' widgets.
void registerFundTradeViews();
