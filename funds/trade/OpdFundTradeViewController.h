#pragma once

#include "compliance/BusinessContractWindow.h"
#include "funds/lists/OpdFundListViewController.h"
#include "funds/quote/FundQuoteViewController.h"
#include "funds/requests/FundDataModels.h"
#include "shell/pages/AskedFor.h"
#include "shell/windows/AlertPresenter.h"
#include "funds/trade/FundMoneyQuery.h"

#include <QDate>
#include <QObject>
#include <QString>
#include <QStringList>
#include <chrono>
#include <memory>
#include <optional>
#include <vector>

class OpenFundManager;
class OrderManagerFunds;
class QueryInfoManager;

// One order as the confirmation shows it and as it will be sent: the
// dialog type, the texts shown, and every value of the request. What the
// user confirmed is exactly what goes out, whatever the fields do meanwhile.
struct FundOrderDraft {
    qint32 dialogType = 0; // 4 subscribe, 5 purchase, 7 redeem, 8 transform, 9 dividends, 10 plan
    QStringList values; // the arguments of the confirmation entry, in its order
    QString fundCode;
    QString amount; // money or shares as typed
    QString corpCode;
    QString signNumber;
    QString option; // redeem way "0"/"1", dividend method "0"/"1"
    QString targetCode; // transform only
    // Plan only: the codes and dates sent (begin and end as eight digits,
    // the apply date as "yyyy-MM-dd").
    qint64 periodType = 0;
    qint64 paymentDay = 0;
    qint64 expireType = 0;
    QString beginDate;
    QString endDate;
    QString applyDate;
};

// Shows the confirmation of a draft and ends it when told. The application
// gives the confirmation dialog of the trading pages; tests give a recorder.
class IFundOrderConfirmation {
public:
    virtual ~IFundOrderConfirmation() = default;
    // Confirm calls `confirmed(dialogType)`; cancel calls `cancelled()`, and
    // so does the dialog's time limit passing with the order still out (its
    // relay tells the outcome): the form waits for nothing more.
    virtual void runModal(const FundOrderDraft& draft, std::function<void(qint32)> confirmed,
        std::function<void()> cancelled) = 0;
    virtual void stopRunModal() = 0;
};

// The order form of the fund pages, for one operation fixed at creation (its
// view type), and the steps before an order: appropriateness check, notices,
// sign serial, confirmation, order, answers. Holds the field texts the view
// shows; the view forwards typing and clicks. Main thread only.
class OpdFundTradeViewController : public QObject,
                                   public ITableSelectedItemChanged,
                                   public IQueryOpdFundDelegate,
                                   public IQueryOpdFundPositionDelegate,
                                   public IQueryBonusSettingDelegate,
                                   public IOpdFundTradeDelegate,
                                   public IRedeemOpdFundDelegate,
                                   public ITransformOpdFundDelegate,
                                   public ISubmitOpdFundBonusSettingDelegate,
                                   public IOpdFundInvestOntimeDelegate,
                                   public IOpdQueryAppropriatenessDelegate,
                                   public IOpdQuerySignNumberDelegate,
                                   public IUserRiskLevelMatchDelegate,
                                   public BusinessContractDelegate {
    Q_OBJECT
public:
    enum ViewType : qint32 { Plan = 0, Subscribe = 1, Purchase = 2, Redeem = 3, Bonus = 4, Transform = 5 };
    // The fields that can hold focus and text.
    enum Field : qint32 {
        Code,
        TargetCode,
        Name,
        TargetName,
        Value,
        Available,
        Amount,
        AvailableBalance,
        ChargeType,
        ApplyDate
    };
    static constexpr qint32 kCodeLength = 6;

    struct Services {
        OpenFundManager* funds = nullptr;
        OrderManagerFunds* orders = nullptr;
        QueryInfoManager* queries = nullptr;
        IContractWindowPresenter* contracts = nullptr;
        IFundOrderConfirmation* confirmation = nullptr; // null: the order confirmation dialog
    };

    // initWithType: null services are the shared instances.
    explicit OpdFundTradeViewController(qint32 viewType);
    OpdFundTradeViewController(qint32 viewType, Services services);
    ~OpdFundTradeViewController() override;

    qint32 viewType() const { return viewType_; }
    // awakeFromNib: the pop-ups, the reset and the money question.
    void awakeFromNib();

    // addFundChangedObserver: null is ignored; held weakly.
    void addFundChangedObserver(IUpdateFundHistoryValues* observer);
    void setAlertPresenter(AlertPresenter* alerts) { alerts_ = alerts ? alerts : AlertPresenter::headless(); }
    // The window the dialogs sit over.
    void setParentWindow(QObject* window);

    // The fields.
    QString text(Field field) const { return texts_[field]; }
    // controlTextDidChange: a code field holding 6 characters is looked up.
    void controlTextDidChange(Field field, const QString& text);
    // The code fields' edit-end actions: pads 1 to 5 characters with "0".
    void codeEditEnd(Field field);
    // controlEditEnd: the focus moves on from `field` in the view type's
    // cycle (after the last comes the code); nothing else happens.
    void controlEditEnd(Field field);
    // gotoNextResponder: the field that gets the focus after `from`.
    Field gotoNextResponder(Field from) const;
    Field focus() const { return focus_; }
    // A code or an amount is read as typed numbers are (full-width digits
    // are digits); the field then shows what was read.
    void setText(Field field, const QString& text);
    QStringList popUpItems() const { return popUpItems_; }
    qint32 popUpIndex() const { return popUpIndex_; }
    void selectPopUp(qint32 index);

    // The plan's pop-ups (view type 0): period, payment day, expire
    // condition; and its begin and end dates.
    QStringList periodItems() const { return periodItems_; }
    QStringList paymentDayItems() const { return paymentDayItems_; }
    QStringList expireItems() const { return expireItems_; }
    qint32 periodIndex() const { return periodIndex_; }
    qint32 paymentDayIndex() const { return paymentDayIndex_; }
    qint32 expireIndex() const { return expireIndex_; }
    // paymentPeriodChanged: refills the payment days of the period.
    void paymentPeriodChanged(qint32 index);
    void selectPaymentDay(qint32 index);
    void selectExpire(qint32 index);
    QDate beginDate() const { return beginDate_; }
    QDate endDate() const { return endDate_; }
    void setBeginDate(const QDate& date);
    void setEndDate(const QDate& date);

    const std::optional<RDOOpenEndFund>& currentFund() const { return currentFund_; }
    const std::optional<RDOOpenEndFund>& fundOfTranformTo() const { return fundOfTranformTo_; }
    bool isBusy() const { return busy_; }

    // The buttons (subscribeButtonClicked: ... transformButtonClicked:) and
    // the reset actions.
    void tradeButtonClicked();
    void reset();
    // The available money where money buys the fund (moneyRead hears the
    // answer); answers whether it was asked for.
    bool requestAvailableBalance();
    // The position of the fund shown, read again; answers whether it was
    // asked for (a fund is shown).
    bool rereadPosition();
    // The dividend method of the fund shown, read again (dividend setting
    // only; bonusSettingRead hears the answer); answers whether it was
    // asked for.
    bool rereadBonusSetting();

    // ITableSelectedItemChanged
    bool subscribeTableSelectedItemChanged(const Fund& fund) override { return picked(fund); }
    bool purchaseTableSelectedItemChanged(const Fund& fund) override { return picked(fund); }
    bool redeemTableSelectedItemChanged(const Fund& fund) override { return picked(fund); }
    bool transformTableSelectedItemChanged(const Fund& fund) override { return picked(fund); }
    bool bonusSettingTableSelectedItemChanged(const Fund& fund) override { return picked(fund); }
    bool timingTradeTableSelectedItemChanged(const Fund& fund) override { return picked(fund); }

    // The replies. A lookup that fails leaves no fund, one answered without
    // rows a fund whose texts are all empty; neither leaves anything of the
    // fund before. The position read again after an order replaces the fund
    // only when it names it: one failed, answered without rows or naming
    // another fund leaves the fund as it was.
    void queryOpdFundInfo(DataModel*, const QString& handle, const RDOOpenEndFund& fund) override;
    bool queryOpdFundInfo(DataModel*, const QString& handle, const CSError& error) override;
    void queryOpdFundPosition(DataModel*, const QString& handle, const RDOOpdFundPositon& position) override;
    bool queryOpdFundPosition(DataModel*, const QString& handle, const CSError& error) override;
    void queryBonusSetting(DataModel*, const QString& handle, const qint64& index) override;
    bool queryBonusSetting(DataModel*, const QString& handle, const CSError& error) override;
    void opdQueryAppropriateness(DataModel*, const QString&, const OpdAppropriatenessResult& result) override;
    bool opdQueryAppropriateness(DataModel*, const QString&, const CSError& error) override;
    void opdQuerySignNumber(DataModel*, const QString&, const QString& signNumber) override;
    bool opdQuerySignNumber(DataModel*, const QString&, const CSError& error) override;
    // userRiskLevelMatch: no press asks for the match. Its answer, should
    // one come, starts the pipeline (0.01 s later, when no press is under
    // way); its failure shows the error in a box, as late.
    void userRiskLevelMatch(DataModel*, const QString&, const RDOUserRiskLevelMatchInfo& info) override;
    bool userRiskLevelMatch(DataModel*, const QString&, const CSError& error) override;
    void businessContractSuccess(bool agreed) override;
    void openFundTrade(DataModel*, const QString&, const QString& serial) override { orderAnswered(serial); }
    bool openFundTrade(DataModel*, const QString&, const CSError& error) override { return orderFailed(error); }
    void redeemOpdFund(DataModel*, const QString&, const QString& serial) override { orderAnswered(serial); }
    bool redeemOpdFund(DataModel*, const QString&, const CSError& error) override { return orderFailed(error); }
    void transformOpdFund(DataModel*, const QString&, const QString& serial) override { orderAnswered(serial); }
    bool transformOpdFund(DataModel*, const QString&, const CSError& error) override { return orderFailed(error); }
    void submitOpdFundBonusSetting(DataModel*, const QString&, const QString& serial) override
    {
        orderAnswered(serial);
    }
    bool submitOpdFundBonusSetting(DataModel*, const QString&, const CSError& error) override
    {
        return orderFailed(error);
    }
    void openFundInvestOntime(DataModel*, const QString&, const QString& serial) override { orderAnswered(serial); }
    bool openFundInvestOntime(DataModel*, const QString&, const CSError& error) override { return orderFailed(error); }

    // The texts of an order's answer, as the form shows them and as the
    // order's relay tells them once the form is gone.
    static QString orderSubmittedText(const QString& serial);
    static QString orderFailedText(const CSError& error);

    // The trade code of the appropriateness check, "" when none runs.
    QString tradeCode() const;
    // makeOrder: the draft of the fields as they are now.
    FundOrderDraft makeDraft() const;
    // doConfigOrder: sends the draft that was confirmed.
    void doConfigOrder(qint32 dialogType);

signals:
    void changed();
    // The available money asked by requestAvailableBalance was answered:
    // with its rows, or not.
    void moneyRead(bool withRows);
    // The dividend method asked for the fund shown was answered: with its
    // rows, or not.
    void bonusSettingRead(bool withRows);
    // An order changed what the page's list shows (money, shares): the page
    // reads its list again.
    void figuresChanged();

private:
    bool picked(const Fund& fund);
    void lookUp(const QString& code, bool target);
    // The code field no longer names the fund shown: its figures go (the
    // name and value too unless `keepListed`, a pick wrote them), and a
    // pending answer for it is late.
    void forgetFundFigures(bool target, bool keepListed = false);
    // The lookup of the current code failed or answered another fund.
    void lookupFoundNothing(bool target);
    // The funds as the fields name them now: the answer to the lookup of
    // the code in the field, not of a code typed over since.
    bool hasCurrentFund() const { return currentFund_ && askedCode_ == texts_[Code]; }
    bool hasTargetFund() const { return fundOfTranformTo_ && askedTargetCode_ == texts_[TargetCode]; }
    // Something that goes into the order changed: a step before the
    // confirmation (check, notices, sign serial) ends, so what goes out is
    // what was checked; the confirmation shows and sends its own copy.
    void orderInputChanged();
    // Ends the step under way unless its order went out.
    void cancelStep();
    bool verifyInput();
    // Why the first typed field (code, target code, amount) that cannot be
    // sent cannot, naming it by the title the customer sees it under;
    // nullopt when every one can.
    std::optional<QString> typedFieldProblem() const;
    // The fund the order buys: the target of a transform, else the fund.
    const std::optional<RDOOpenEndFund>& boughtFund() const;
    // The pipeline start: the appropriateness check of the fund bought, or
    // the confirmation when the fund needs none.
    void userRiskLevelMatchComplete();
    void userRiskLevelMatchError(const QString& text);
    void showBusinessContracts(std::vector<RDOOpdAppropriateness> notices);
    void makeOrder();
    // Sends the confirmed order, `send(relay)` answering its handle, with a
    // relay of class Relay as the observer.
    template <class Relay, class Send> void sendThrough(Send send);
    // An order of `dialogType` taken: its amount goes, so 确定 does not send
    // the same one again.
    void emptyAmountOf(qint32 dialogType);
    void endPipeline();
    void orderAnswered(const QString& serial);
    bool orderFailed(const CSError& error);
    // After an order of `dialogType` went out: what it changed is read
    // again. Answers whether it changed anything shown.
    bool readChangedFiguresAgain(qint32 dialogType);
    void tellFundChanged(const std::optional<RDOOpenEndFund>& fund);
    // Runs `step` once the current handler has returned (after `delay`),
    // unless the form is gone by then.
    void later(std::function<void()> step, std::chrono::milliseconds delay = {});
    // The same for a step of the current press only.
    void laterInStep(std::function<void()> step);
    bool isCodeField(Field field) const;

    qint32 viewType_;
    Services services_;
    AlertPresenter* alerts_ = AlertPresenter::headless();
    QString texts_[ApplyDate + 1];
    Field focus_ = Code;
    QStringList popUpItems_;
    qint32 popUpIndex_ = 0;
    QStringList periodItems_;
    QStringList paymentDayItems_;
    QStringList expireItems_;
    qint32 periodIndex_ = 0;
    qint32 paymentDayIndex_ = 0;
    qint32 expireIndex_ = 0;
    QDate beginDate_;
    QDate endDate_;
    std::optional<RDOOpenEndFund> currentFund_;
    std::optional<RDOOpenEndFund> fundOfTranformTo_;
    // The code each lookup was asked for; an answer naming another fund
    // is none.
    QString askedCode_;
    QString askedTargetCode_;
    // What each pending answer was asked for, by its request handle:
    // "fund", "reread" (the position after an order), "target", "bonus",
    // "check", "sign". Any other answer is late.
    AskedFor asked_;
    bool busy_ = false; // from the button press to the end of the pipeline
    bool sent_ = false; // the confirmed order went out
    bool noticesShowing_ = false;
    quint64 step_ = 0; // the number of the current press
    std::optional<FundOrderDraft> draft_; // the draft being confirmed or sent
    std::unique_ptr<BusinessContractManager> contracts_;
    std::unique_ptr<FundMoneyQuery> money_;
    // The confirmation dialog made here when none was given; shared so that
    // a dialog still running outlives a form closed under it.
    std::shared_ptr<IFundOrderConfirmation> ownConfirmation_;
    std::vector<platform::WeakRef<IUpdateFundHistoryValues>> observerArray;
    platform::Lifetime alive_;
};
