#pragma once

#include "funds/requests/FundDataModels.h"
#include "shell/pages/ActionOutcomeRelay.h"
#include "shell/pages/MenuItemViewController.h"
#include "trading/confirm/OrderAlertWindowController.h"

#include <QSet>
#include <functional>
#include <memory>
#include <vector>

class OpenFundManager;

// A page that lists rows and cancels the ticked ones after one
// confirmation: one cancel request per ticked row, in ascending row order
// (rows whose cancels the request core merges share its answer). The rows
// are taken when the confirmation opens: a list that arrives while it is
// shown changes the table, not what the confirmation sends. Every row is
// answered exactly once: a request sent by its handle (a time-out or a
// dropped connection is an error), a row refused before sending by its
// refusal, which carries no handle. So each row counts once, the summary
// comes once and the dialog always closes. The answers of a batch come
// through one relay: the page hears them while it waits, and once it does
// not (left, another account, its dialog's time limit) the relay tells what
// became of the batch.
class FundBatchCancelPage : public MenuItemViewController, public IDoConfigOrder {
    Q_OBJECT
public:
    // `dialog`: the confirmation's services (its busy backstop).
    explicit FundBatchCancelPage(BaseNode::Ptr node, Services services, OpenFundManager* funds,
        OrderAlertWindowController::Services dialog = {});
    ~FundBatchCancelPage() override;

    qsizetype rowCount() const { return rows_; }
    const QSet<qsizetype>& ticked() const { return ticked_; }
    bool selectAllOn() const { return rows_ > 0 && ticked_.size() == rows_; }
    QString countText() const { return QString::number(rows_); }
    QString selectedCountText() const { return QString::number(ticked_.size()); }
    bool isCancelling() const { return answersDue_ > 0 || sending_; }

    // selectAllButtonClicked: / a tick on one row (ordersTableViewClicked:).
    void selectAllButtonClicked(bool on);
    void tickRow(qsizetype row, bool on);
    // The ticks as the table shows them.
    void setTicked(const QList<int>& rows);
    // The list as the server sent it, for the table.
    virtual std::shared_ptr<DTTable> listTable() const = 0;
    // cancelOrdersClicked:
    void cancelOrdersClicked();
    bool doConfigOrder(int type) override;
    void doConfigOrderTimeLimitPassed(int type) override;

    OrderAlertWindowController& alertWindowController() { return *alertWindowController_; }
    void setParentWindow(QObject* window) { parentWindow_ = window; }

protected:
    void awakeFromNib() override;
    // Sends one row's cancel with the batch's relay (the one startBatch()
    // made) as the observer; answers its handle, "" when nothing was sent.
    using Cancel = std::function<QString(ActionOutcomeRelay& batch)>;
    // The relay of the next batch, of the class of the page's cancels.
    virtual ActionOutcomeRelay& startBatch() = 0;
    // The texts of one cancel's answer, as the page tells them and as the
    // relay does once the page no longer waits.
    static QString cancelSubmittedText(const QString& serial);
    static QString cancelFailedText(const CSError& error) { return error.domain; }
    // The relay of a batch whose answers `hears` takes.
    template <class Relay, class Page> static ActionOutcomeRelay& startBatchOf(Page& hears)
    {
        return ActionOutcomeRelay::start<Relay>(
            ActionOutcomeRelay::pageOf(hears, [&hears] { hears.requestList(); }), hears, &cancelSubmittedText,
            true, &cancelFailedText);
    }
    // Asks for the list; only the answer to the latest ask is shown, so a
    // list sent before a cancel never stands over one read after it.
    // Answers whether it went out.
    bool requestList();
    // True when `handle` answers the latest list asked; it is then taken.
    bool takeList(const QString& handle) { return askedFor().take(QStringLiteral("list"), handle); }
    // The list, read again while an order or cancel of unknown outcome left
    // it owed: `listFigure` names what it shows, and each answer of the list
    // asked last is told with listRead.
    virtual const char* listFigure() const = 0;
    QStringList figuresShown() const override { return { listFigure() }; }
    QStringList readOwed(const QStringList& owed) override;
    void listRead(bool withRows) { figureRead(listFigure(), withRows); }
    // Sends the list request; answers its handle. Then one row's single
    // confirmation, the batch confirmation and the cancel of a row as the
    // list shows it now.
    virtual QString sendListRequest() = 0;
    virtual void confirmOne(qsizetype row) = 0;
    virtual void confirmMany() = 0;
    virtual Cancel cancelOf(qsizetype row) = 0;

    // An account change: the previous customer's rows, ticks and batch go
    // before the new list is asked for.
    void clearAccountFigures() override;
    // The page's rows are gone.
    virtual void clearRows() = 0;
    void listArrived(qsizetype rows);
    void cancelAnswered(const QString& handle, const QString* serial, const CSError* error);
    QObject* parentWindow() const { return parentWindow_; }
    OpenFundManager* openFundManager;

private:
    // The batch is over: the dialog closes, the ticks go.
    void endBatch();
    // And its outcome is told, the list read again.
    void finish(const AlertRequest& message);
    AlertRequest batchSummary() const;
    // The channel under which the batch's cancel number `i` is asked.
    static QString cancelChannel(qsizetype i) { return QStringLiteral("cancel %1").arg(i); }

    std::unique_ptr<OrderAlertWindowController> alertWindowController_;
    QPointer<QObject> parentWindow_;
    qsizetype rows_ = 0;
    QSet<qsizetype> ticked_;
    qint64 totalCount = 0;
    qint64 succeededCount = 0;
    qint64 failedCount = 0;
    std::vector<Cancel> confirming_; // the rows the confirmation shown will cancel
    qsizetype sent_ = 0; // the cancels of the running batch, each under its channel
    qint64 answersDue_ = 0; // rows of the running batch whose answer is to come
    bool sending_ = false;
};

// Today's fund orders (link id 30004).
class OpdFundCancelOrderViewController final : public FundBatchCancelPage,
                                               public IOpdFundCurrentOrderListDelegate,
                                               public IOpdFundCancelOrderDelegate {
    Q_OBJECT
public:
    static constexpr char kPageClass[] = "OpdFundCancelOrderViewController";
    explicit OpdFundCancelOrderViewController(BaseNode::Ptr node = nullptr, Services services = Services(),
        OpenFundManager* funds = nullptr, OrderAlertWindowController::Services dialog = {});

    const std::shared_ptr<DTOpdFundOrderList>& table() const { return table_; }
    std::shared_ptr<DTTable> listTable() const override { return table_; }

    void queryOpdFundCurrentOrderList(DataModel*, const QString&, const OpdFundOrderListPtr& table) override;
    void openFundCancelOrder(DataModel*, const QString& h, const QString& serial) override
    {
        cancelAnswered(h, &serial, nullptr);
    }
    bool openFundCancelOrder(DataModel*, const QString& h, const CSError& error) override
    {
        cancelAnswered(h, nullptr, &error);
        return true;
    }
    bool queryOpdFundCurrentOrderList(DataModel*, const QString& handle, const CSError&) override
    {
        if (takeList(handle))
            listRead(false);
        return true;
    }

protected:
    const char* listFigure() const override { return owedfigure::kFundOrders; }
    QString sendListRequest() override;
    void confirmOne(qsizetype row) override;
    void confirmMany() override;
    ActionOutcomeRelay& startBatch() override;
    Cancel cancelOf(qsizetype row) override;
    void clearRows() override;

private:
    std::shared_ptr<DTOpdFundOrderList> table_;
};

// The customer's investment plans (link id 30008).
class InvestOntimeCancelOrderViewController final : public FundBatchCancelPage,
                                                    public IQueryInvestOntimeOrderListDelegate,
                                                    public IInvestOntimeCancelOrderDelegate {
    Q_OBJECT
public:
    static constexpr char kPageClass[] = "InvestOntimeCancelOrderViewController";
    explicit InvestOntimeCancelOrderViewController(BaseNode::Ptr node = nullptr, Services services = Services(),
        OpenFundManager* funds = nullptr, OrderAlertWindowController::Services dialog = {});

    const std::vector<RDOInvestOntimeOrder>& orderArray() const { return orderArray_; }
    std::shared_ptr<DTTable> listTable() const override { return table_; }

    void queryInvestOntimeOrderList(DataModel*, const QString&, const InvestOntimeOrderTablePtr& table) override;
    void investOntimeCancelOrder(DataModel*, const QString& h, const QString& serial) override
    {
        cancelAnswered(h, &serial, nullptr);
    }
    bool investOntimeCancelOrder(DataModel*, const QString& h, const CSError& error) override
    {
        cancelAnswered(h, nullptr, &error);
        return true;
    }
    bool queryInvestOntimeOrderList(DataModel*, const QString& handle, const CSError&) override
    {
        if (takeList(handle))
            listRead(false);
        return true;
    }

protected:
    const char* listFigure() const override { return owedfigure::kFundPlans; }
    QString sendListRequest() override;
    void confirmOne(qsizetype row) override;
    void confirmMany() override;
    ActionOutcomeRelay& startBatch() override;
    Cancel cancelOf(qsizetype row) override;
    void clearRows() override;

private:
    std::vector<RDOInvestOntimeOrder> orderArray_;
    InvestOntimeOrderTablePtr table_;
};

// Registers the two cancel pages with the page dispatch.
void registerFundCancelPages();
