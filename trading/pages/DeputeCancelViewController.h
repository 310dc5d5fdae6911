#pragma once

#include "shell/pages/MenuItemViewController.h"
#include "trading/confirm/OrderAlertWindowController.h"
#include "trading/orders/OrderManager.h"
#include "trading/pages/PageTable.h"
#include "trading/query/QueryInfoManager.h"

#include <QList>
#include <QPointer>
#include <QString>
#include <memory>
#include <vector>

class MenuItemViewManager;
class OrderOutcomeRelay;

// What the cancel page works with; null ones are the shared instances.
struct DeputeCancelServices : MenuItemViewControllerServices {
    QueryInfoManager* queryInfoManager = nullptr;
    OrderManager* orderManager = nullptr;
};

// Today's orders in a check-box table, cancelled one by one or in a batch
// after confirmation. The orders sent are the ones ticked when the cancel
// button was pressed; each cancel is its own request, and a run ends when
// every request sent has been answered once, whatever the order of answers.
// One run at a time: the button does nothing while a run is under way.
// Another market's cancel page derives and replaces how the list is asked
// for and how one order is cancelled.
class DeputeCancelViewController : public MenuItemViewController,
                                   public IOrdersOfTodayDelegate,
                                   public ICancelOrderDelegate,
                                   public IDoConfigOrder {
    Q_OBJECT
public:
    static constexpr char kPageClass[] = "DeputeCancelViewController";
    using Services = DeputeCancelServices;

    explicit DeputeCancelViewController(BaseNode::Ptr node = nullptr, Services services = Services());
    ~DeputeCancelViewController() override;

    // The window the confirmation dialog opens over (the view's).
    void setParentWindow(QObject* window) { parentWindow_ = window; }
    OrderAlertWindowController& alertWindowController() { return alertWindowController_; }

    // The check-box table (ordersTableView).
    PageTable& ordersTableView() { return table_; }
    DVTableModel& ordersTable() { return table_.model(); }
    const std::shared_ptr<DTOrdersOfTodayTable>& orders() const { return orders_; }
    const QString& countText() const { return countText_; }
    const QString& selectedCountText() const { return selectedCountText_; }
    bool selectAllChecked() const { return selectAllChecked_; }
    // A cancel run is under way, from the button to its report.
    bool isBusy() const { return busy_; }

    // The result of one order of the last run.
    struct CancelResult {
        QString orderNumber;
        QString stockName;
        bool succeeded = false;
        QString message;
    };
    const std::vector<CancelResult>& lastResults() const { return results_; }

    void selectAllButtonClicked(bool on);
    // A click on the table; a view row toggles that row's tick, -1 only
    // brings the select-all box and the count up to date.
    void ordersTableViewClicked(int viewRow = -1);
    // Opens the confirmation and returns once it has closed; dismissed,
    // nothing is sent.
    void cancelOderButtonClicked();
    // The dialog was confirmed (whatever type it reports).
    bool doConfigOrder(int type) override;
    // The dialog's time limit: the run's relay tells it, the run ends.
    void doConfigOrderTimeLimitPassed(int type) override;

    void queryOrdersOfTodayList(DataModel* request, const QString& handle,
        const std::shared_ptr<DTOrdersOfTodayTable>& table) override;
    bool queryOrdersOfTodayList(DataModel* request, const QString& handle, const CSError& error) override;
    void cancelOrder(DataModel* request, const QString& handle, const QString& message) override;
    bool cancelOrder(DataModel* request, const QString& handle, const CSError& error) override;
    // Today's orders again, after an order or cancel of unknown outcome.
    QStringList readOwed(const QStringList& owed) override;

protected:
    void awakeFromNib() override;
    void clearAccountFigures() override;
    QStringList figuresShown() const override { return { listFigure() }; }
    // The figure the list shows (today's orders of its market).
    virtual const char* listFigure() const { return owedfigure::kOrders; }
    // Asks for today's orders; answers whether the request went out.
    virtual bool requestList();
    // Sends the cancel of one order; "" and its handle, or why it was not sent.
    virtual QString sendCancel(const RDOOrder& order, QString* handle);
    // Whether a row carries the keys its cancel request names.
    virtual bool namesItsOrder(const RDOOrder& order) const;
    // The tip a single cancel that succeeded shows.
    virtual QString succeededText(const QString& message) const { return message; }
    // The list asked last arrived, or it could not be had (or asked for):
    // then the table keeps its rows and an error box gives the error's own
    // words, once for each list asked that failed (the page awaits one at a
    // time, so a round of reads after an unknown outcome is told once),
    // unless the box of an earlier failure is still open.
    void listArrived(const std::shared_ptr<DTOrdersOfTodayTable>& table);
    void listFailed(const CSError& error);
    // The answer to one cancel of the run.
    void answer(const QString& handle, bool succeeded, const QString& message);

    QString countText_ = QStringLiteral("0");

private:
    // The run is over: the dialog closes, the button works again.
    void endRun();
    // And its outcome is told, the list read again.
    void finishRun();

    QueryInfoManager* queryInfoManager_;
    OrderManager* orderManager_;
    OrderAlertWindowController alertWindowController_;
    QPointer<QObject> parentWindow_;
    PageTable table_;
    std::shared_ptr<DTOrdersOfTodayTable> orders_;
    QString selectedCountText_ = QStringLiteral("0");
    bool selectAllChecked_ = false;

    // Whether the cancel of results_[row] still awaits its answer.
    bool awaitsCancel(std::size_t row) const;

    // The run under way: the orders taken at the button, and their results;
    // the cancel of each row sent awaits its answer under a channel of its
    // own, filed under the request's handle, so an answer counts once.
    bool busy_ = false;
    bool armed_ = false;
    OneBoxAtATime listFailureBox_;
    // The relay the cancels of the run being sent are heard through.
    OrderOutcomeRelay* runRelay_ = nullptr;
    QList<RDOOrder> ticked_;
    std::vector<CancelResult> results_;
    qint64 totalCount = 0;
    qint64 succeededCount = 0;
    qint64 failedCount = 0;
};

// The query side's pages under their page classes (null: the shared manager).
void registerQueryPages(MenuItemViewManager* manager = nullptr);
