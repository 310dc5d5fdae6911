#pragma once

#include "connect/pages/HGTQueryViewControllers.h"
#include "connect/pages/HGTVoteViewControllers.h"
#include "shell/ui/MenuItemView.h"

#include <QList>

class QComboBox;
class QDateEdit;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QVBoxLayout;
class DVCommonTableView;

// The two declaration pages: the account and code, the page's own fields,
// the button, the Hong Kong quote panel and the positions.
class HGTDeclareView : public MenuItemView {
    Q_OBJECT
public:
    HGTDeclareView(HGTVoteViewController& controller, QWidget* parent = nullptr);
    HGTDeclareView(HGTOtherVoteViewController& controller, QWidget* parent = nullptr);

    QLineEdit* field(int index) const { return fields_.value(index); }
    QPushButton* orderButton() const { return order_; }
    QComboBox* voteTypeButton() const { return voteTypes_; }

protected:
    void refresh() override;

private:
    HGTDeclareView(HGTDeclarePage& controller, QWidget* parent);
    // A row per field after the code; edits and ends of edit go to `set`/`end`.
    void build(const QStringList& labels, std::function<void(int, const QString&)> set,
        std::function<void(int)> end, std::function<QString(int)> text);

    HGTDeclarePage& page_;
    QComboBox* accounts_;
    QComboBox* voteTypes_ = nullptr;
    QLabel* name_;
    QList<QLineEdit*> fields_; // the code first
    QPushButton* order_;
    DVCommonTableView* positions_;
    std::function<QString(int)> text_;
    std::shared_ptr<const DTTable> shownPositions_;
    int shownFocusMoves_ = -1;
};

// Declarations between two dates, a click on a row withdraws.
class HGTCancelVoteView : public MenuItemView {
    Q_OBJECT
public:
    HGTCancelVoteView(HGTCancelVoteViewController& controller, QWidget* parent = nullptr);

protected:
    void refresh() override;

private:
    HGTCancelVoteViewController& page_;
    QDateEdit* begin_;
    QDateEdit* end_;
    QPushButton* query_;
    QProgressBar* progress_;
    QLabel* count_;
    DVCommonTableView* table_;
};

// The notices of a code: a title above a one-row table each.
class HGTQueryNotificationView : public MenuItemView {
    Q_OBJECT
public:
    HGTQueryNotificationView(HGTQueryNotificationViewController& controller, QWidget* parent = nullptr);

protected:
    void refresh() override;

private:
    HGTQueryNotificationViewController& page_;
    QLineEdit* code_;
    QProgressBar* progress_;
    QVBoxLayout* list_;
    DTHGTNotificationList shown_;
};

// The eligible stocks of a code.
class HGTQueryStockTargetView : public MenuItemView {
    Q_OBJECT
public:
    HGTQueryStockTargetView(HGTQueryStockTargetViewController& controller, QWidget* parent = nullptr);

protected:
    void refresh() override;

private:
    HGTQueryStockTargetViewController& page_;
    QLineEdit* code_;
    QProgressBar* progress_;
    DVCommonTableView* table_;
    DTTablePtr shown_;
};

// Shows the withdrawal quantity window of the cancel page.
void installCancelConfirmWindow();
