#pragma once

#include "platform/Lifetime.h"
#include "shell/pages/ActionOutcomeRelay.h"
#include "trading/confirm/OrderAlertEntries.h"
#include "trading/orders/OrderParam.h"
#include "trading/requests/OrderDataModels.h"

#include <QObject>
#include <QPointer>
#include <QRect>
#include <QSize>
#include <QString>
#include <QTimer>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <vector>

class QEventLoop;
class TypedNotificationCenter;

// What a page implements to hear the user's confirmation. Every callback is
// optional: the dialog calls the one its type selects; a page that lacks it
// leaves the dialog busy until its own stopRunModal.
class IDoConfigOrder : public platform::Lifetime {
public:
    virtual ~IDoConfigOrder() = default;
    // Types 0, 1 and 3.
    virtual bool doConfigOrderForStockTrade(int /*type*/, const OrderParam& /*orderParam*/) { return false; }
    // Type 16.
    virtual bool doConfigOrderForHKVote(int /*type*/, const OrderParam& /*orderParam*/) { return false; }
    // Types 17 and 18.
    virtual bool doConfigOrderForHKOtherVote(int /*type*/, const OrderParam& /*orderParam*/) { return false; }
    // Every other type.
    virtual bool doConfigOrder(int /*type*/) { return false; }
    // The dialog stayed busy past its time limit: the confirmed request
    // never answered, and the dialog has closed. The relays the page started
    // for it have told the customer the outcome is unknown and tell what
    // comes later; the page hears none of its answers any more. A page that
    // stays busy past the dialog's close leaves its busy state here; it
    // tells nothing and reads nothing.
    virtual void doConfigOrderTimeLimitPassed(int /*type*/) { }
};

// The window that shows a controller. It reads the controller in refresh()
// (connected to changed()) and forwards the two buttons.
class OrderAlertView {
public:
    virtual ~OrderAlertView() = default;
    virtual void showModal() = 0; // on screen, application-modal, over the parent
    virtual void closeWindow() = 0;
};

struct OrderAlertWindowControllerServices {
    TypedNotificationCenter* notificationCenter = nullptr; // null: the shared centre
    // The time limit of a busy dialog. Longer than the 30-second request
    // time-out, so it only ends a busy dialog whose request never answered.
    int busyBackstopMs = 31000;
};

// The confirmation dialog of every order-like action. An entry fills the
// dialog and runs it modally (only the modal-panel mode is served, so trade
// replies arrive while quote replies wait); confirm makes it busy and calls
// the observer, which sends its request and calls stopRunModal from the
// request's answer or error. Cancel and the screen lock close it with no
// callback. Every entry returns 0 once the dialog has closed. A dialog that
// closes is idle: the next run starts with working buttons.
//
// The relays the observer starts while it handles the confirm belong to
// the run. When the run stays busy past its time limit, the dialog closes
// and has those relays tell the outcome is unknown in the words of the
// entry's kind (orderAlertUnknownOutcome), then calls the observer's
// doConfigOrderTimeLimitPassed.
class OrderAlertWindowController : public QObject, public platform::Lifetime {
    Q_OBJECT
public:
    using Services = OrderAlertWindowControllerServices;
    using ViewFactory = std::function<std::unique_ptr<OrderAlertView>(OrderAlertWindowController&, QObject* parent)>;

    explicit OrderAlertWindowController(IDoConfigOrder* observer, Services services = {}, QObject* parent = nullptr);
    ~OrderAlertWindowController() override;

    // The widget library installs its window here; without one the dialog
    // runs headless (tests).
    static void setViewFactory(ViewFactory factory);

    // Called from inside the modal run: the test or view hook of a shown dialog.
    static void setShownHookForTesting(std::function<void(OrderAlertWindowController&)> hook);
    // From the next confirm on: a test that lets one run's backstop fire
    // gives the runs after it all the time their answers need.
    void setBusyBackstopMsForTesting(int ms) { services_.busyBackstopMs = ms; }

    qint64 runModalForCommonBuy(QObject* parentWindow, const QString& securityId, const QString& stockCode,
        const QString& stockName, const QString& orderType, const QString& price, const QString& quantity,
        const std::optional<QString>& classId);
    qint64 runModalForCommonSell(QObject* parentWindow, const QString& securityId, const QString& stockCode,
        const QString& stockName, const QString& orderType, const QString& price, const QString& quantity,
        const std::optional<QString>& classId);
    qint64 runModalForLGSell(QObject* parentWindow, const QString& securityId, const QString& stockCode,
        const QString& stockName, const QString& price, const QString& quantity);
    qint64 runModalForExerciseWarrant(QObject* parentWindow, const QString& securityId, const QString& stockCode,
        const QString& stockName, const QString& price, const QString& quantity);
    qint64 runModalForNewStockBuy(QObject* parentWindow, const QString& securityId, const QString& stockCode,
        const QString& stockName, const QString& price, const QString& quantity);
    qint64 runModalForCancelOrder(QObject* parentWindow, const QString& securityId, const QString& stockCode,
        const QString& stockName, const QString& price, const QString& quantity, const QString& bsType,
        const QString& orderNumber);
    qint64 runModalForCancelOrders(QObject* parentWindow);
    qint64 runModalForHGTVote(QObject* parentWindow, const QString& securityId, const QString& stockCode,
        const QString& stockName, const QString& publicNo, const QString& billNo, const QString& upNo,
        const QString& downNo, const QString& freeNo);
    qint64 runModalForHGTOtherVote(QObject* parentWindow, const QString& securityId, const QString& stockCode,
        const QString& stockName, qint64 voteType, const QString& voteTypeTitle, const QString& voteQuantity,
        const QString& orgNo);
    qint64 runModalForCancelHGTOtherVote(QObject* parentWindow, const QString& securityId,
        const QString& stockCode, const QString& voteTypeTitle, qint64 voteType, const QString& voteQuantity,
        const QString& orgNo);
    qint64 runModalForCancelOtherVotes(QObject* parentWindow);
    qint64 runModalForSubscribeOpdFund(
        QObject* parentWindow, const QString& fundName, const QString& fundCode, const QString& fundAmount);
    qint64 runModalForPurchaseOpdFund(
        QObject* parentWindow, const QString& fundName, const QString& fundCode, const QString& fundAmount);
    qint64 runModalForRedeemOpdFund(QObject* parentWindow, const QString& fundName, const QString& fundCode,
        const QString& fundAmount, const QString& redeemType);
    qint64 runModalForTransformOpdFund(QObject* parentWindow, const QString& fundName, const QString& fundCode,
        const QString& fundAmount, const QString& codeOfTransformTo, const QString& nameOfTransformTo);
    qint64 runModalForBonusSetting(
        QObject* parentWindow, const QString& fundName, const QString& fundCode, const QString& bonusTypeTitle);
    qint64 runModalForInvestOntime(QObject* parentWindow, const QString& fundCode, const QString& fundName,
        const QString& paymentType, const QString& periodTypeDesc, const QString& paymentDayDesc,
        const QString& expireTypeDesc, const QString& orderAmount, const QString& beginDate, const QString& endDate,
        const QString& applyDate);
    qint64 runModalForOpdFundCancelOrder(QObject* parentWindow, const QString& fundName, const QString& fundCode,
        const QString& bsType, const QString& orderNumber);
    qint64 runModalForOpdFundCancelOrders(QObject* parentWindow);
    qint64 runModalForOpdFundInvestOntimeCancelOrder(QObject* parentWindow, const QString& fundName,
        const QString& fundCode, const QString& periodTypeDesc, const QString& paymentDayDesc,
        const QString& orderAmount, const QString& expireTypeDesc, const QString& beginDate,
        const QString& endDate, const QString& applyDate, const QString& orderNumber);
    qint64 runModalForOpdFundInvestOntimeCancelOrders(QObject* parentWindow);
    qint64 runModalForFundTransferBankToStock(QObject* parentWindow, const QString& bankName,
        const QString& moneyTypeName, const QString& transformAmount);
    qint64 runModalForFundTransferStockToBank(QObject* parentWindow, const QString& bankName,
        const QString& moneyTypeName, const QString& transformAmount);
    qint64 runModalForFundInsideTransfer(QObject* parentWindow, const QString& outFundIdInfo,
        const QString& inFundIdInfo, const QString& moneyTypeName, const QString& transformAmount);
    qint64 runModalForFundCollection(QObject* parentWindow, const QString& fundId);

    // The page calls this from its request's answer and error: idle controls,
    // then the dialog closes. Harmless when the dialog is not on screen.
    void stopRunModal();

    // Each run of an entry has its own number. A dialog closed under a
    // confirmed request (at the lock) leaves that request's answer to come
    // while the customer may already be in the next run, so an answer is
    // tied to the run that sent it.
    // The confirmed run sent its request under `handle`; an empty handle
    // means nothing went out, and the dialog closes at once. Answers whether
    // the request went out. A request joined to an equal one on its way
    // shares its handle, and the one answer is then the later run's.
    bool requestSent(const QString& handle);
    // The answer of the request sent under `handle` has come: the dialog of
    // the run that sent it closes if it is still on screen; a later run's
    // stays as it is. Answers whether it closed.
    bool requestAnswered(const QString& handle);
    void cancelButtonClicked();
    void confirmButtonClicked();

    // What the window shows.
    bool isShown() const { return shown_; }
    bool isBusy() const { return busy_; }
    int theType() const { return theType_; }
    const OrderParam& orderParam() const { return orderParam_; }
    OrderAlertEntry entry() const { return entry_; }
    const QString& windowTitle() const { return windowTitle_; }
    QSize windowSize() const { return windowSize_; }
    QRect namesFrame() const { return namesFrame_; }
    QRect valuesFrame() const { return valuesFrame_; }
    const QString& titleText() const { return titleText_; } // names column
    const QString& contentText() const { return contentText_; } // values column
    const QString& tipText() const { return tipText_; }
    const QString& warningText() const { return warningText_; }
    const QString& confirmTitle() const { return confirmTitle_; }
    bool columnsVisible() const { return columnsVisible_; }
    bool tipVisible() const { return tipVisible_; }
    bool warningVisible() const { return warningVisible_; }
    QObject* parentWindow() const { return parentWindow_.data(); }

signals:
    void changed();

private:
    // `record` replaces the order record of the entries that build one.
    qint64 run(OrderAlertEntry entry, QObject* parentWindow, const QStringList& values,
        std::optional<OrderParam> record = std::nullopt);
    qint64 runCommonOrder(
        bool buy, QObject* parentWindow, QStringList fields, const std::optional<QString>& classId);
    void windowDidLoad();
    void lockScreen();
    void setControlsStatus(bool busy);
    void closeWindow();
    void backstopFired();
    // The run whose request is `handle`, forgotten from now on; 0 for none.
    quint64 takeRunOf(const QString& handle);
    // stopRunModal for that run only: another run's dialog stays as it is.
    // Answers whether the run was on screen.
    bool stopRunModal(quint64 run);

    platform::WeakRef<IDoConfigOrder> theObserver_;
    Services services_;
    int theType_ = 0;
    OrderParam orderParam_;
    OrderAlertEntry entry_ = OrderAlertEntry::CommonBuy;
    QString windowTitle_;
    QSize windowSize_;
    QRect namesFrame_;
    QRect valuesFrame_;
    QString titleText_;
    QString contentText_;
    QString tipText_;
    QString warningText_;
    QString confirmTitle_;
    bool columnsVisible_ = true;
    bool tipVisible_ = true;
    bool warningVisible_ = true;
    bool loaded_ = false;
    bool shown_ = false;
    bool busy_ = false;
    quint64 run_ = 0;
    // The relays started for the run confirmed last.
    std::vector<platform::WeakRef<ActionOutcomeRelay>> runRelays_;
    std::map<QString, quint64> runOfRequest_;
    QPointer<QObject> parentWindow_;
    QEventLoop* loop_ = nullptr;
    std::unique_ptr<OrderAlertView> view_;
    QTimer backstop_;
};
