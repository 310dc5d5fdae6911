#pragma once

#include "compliance/permissions/PermissionSettingsViewController.h"
#include "connect/HGTRequestManager.h"
#include "core/TypedNumber.h"
#include "shell/pages/MenuItemViewController.h"
#include "trading/confirm/OrderAlertWindowController.h"
#include "trading/pages/PageTable.h"

#include <QDate>
#include <QPointer>
#include <functional>
#include <memory>
#include <optional>

class MenuItemViewManager;

// The window that asks how much of a declaration to withdraw. It shows the
// account, code, type and action code, takes the quantity and, confirmed,
// hands back the withdrawal; closed any other way, nothing. It does not
// block: `finished` tells the result. A view installed by the widget
// library shows it; without one it stays headless (tests drive it).
class HGTCancelConfirmAlertWC : public QObject {
    Q_OBJECT
public:
    using ViewFactory = std::function<void(HGTCancelConfirmAlertWC&, QObject* parentWindow)>;
    static void setViewFactory(ViewFactory factory);
    static void setShownHookForTesting(std::function<void(HGTCancelConfirmAlertWC&)> hook);

    // runModal:securityId:stockCode:voteTypeTitle:voteType:orgNo:
    void runModal(QObject* parentWindow, const QString& securityId, const QString& stockCode,
        const QString& voteTypeTitle, qint32 voteType, const QString& orgNo);
    // Read as typed numbers are (full-width digits are digits).
    void setQuantityText(const QString& text) { quantityText_ = typednumber::read(text); }
    void confirmButtonClicked();
    void cancelButtonClicked();
    // windowWillClose: closing the window otherwise is a cancel.
    void windowWillClose() { cancelButtonClicked(); }

    const QString& securityId() const { return securityId_; }
    const QString& stockCode() const { return stockCode_; }
    const QString& voteTypeDesc() const { return voteTypeDesc_; }
    const QString& orgNo() const { return orgNo_; }
    const QString& quantityText() const { return quantityText_; }
    bool isShown() const { return shown_; }

signals:
    // The withdrawal confirmed, or nullopt; then the window closes.
    void finished(const std::optional<OrderParam>& param);
    void closeRequested();

private:
    void end(std::optional<OrderParam> param);

    QString securityId_, stockCode_, voteTypeDesc_, orgNo_, quantityText_;
    qint32 voteType_ = 0;
    bool shown_ = false;
};

struct HGTPageServices {
    HGTRequestManager* requestManager = nullptr; // null: the shared one
    MenuItemViewController::Services page;
    OrderAlertWindowController::Services dialog;
    std::function<QDate()> chinaToday; // null: the China clock's date
};

// The declarations between two dates and their withdrawal (link id 90007):
// a click on a row asks how much to withdraw, then confirms the
// withdrawal. The list is not read again after it.
class HGTCancelVoteViewController : public MenuItemViewController,
                                    public IDoConfigOrder,
                                    public IHGTQueryOtherVote,
                                    public IHGTCancelOtherVote {
    Q_OBJECT
public:
    static constexpr char kPageClass[] = "HGTCancelVoteViewController";
    static constexpr char kDateOrderFormat[] = "开始日期%1不能大于结束日期%2, 请重新输入。";

    explicit HGTCancelVoteViewController(BaseNode::Ptr node = nullptr, HGTPageServices services = {});
    ~HGTCancelVoteViewController() override;

    // getDateString:
    static QString getDateString(const QDate& date) { return date.toString(QStringLiteral("yyyyMMdd")); }
    void setBeginDate(const QDate& date) { beginDate_ = date; }
    void setEndDate(const QDate& date) { endDate_ = date; }
    const QDate& beginDate() const { return beginDate_; }
    const QDate& endDate() const { return endDate_; }
    void queryButtonClicked();
    // A click on a row (ordersTableViewClicked:), as a row of the reply
    // whatever the view's sort; -1 for none.
    void ordersTableViewClicked(int row);

    PageTable& ordersTableView() { return table_; }
    const std::shared_ptr<DTHGTOtherVoteTable>& declarations() const { return declarations_; }
    const QString& countText() const { return countText_; }
    bool isQuerying() const { return querying_; }
    bool progressShown() const { return progress_; }
    const QString& lastSerialNo() const { return lastSerialNo_; }
    HGTCancelConfirmAlertWC* cancelConfirmAlert() const { return cancelConfirmAlert_.get(); }
    OrderAlertWindowController& alertWindowController() { return alertWindowController_; }
    void setParentWindow(QObject* window) { parentWindow_ = window; }

    bool doConfigOrderForHKOtherVote(int type, const OrderParam& orderParam) override;
    void hgtQueryOtherVote(DataModel*, const QString&, const std::shared_ptr<DTHGTOtherVoteTable>& table) override;
    bool hgtQueryOtherVote(DataModel*, const QString&, const CSError& error) override;
    void hgtCancelOtherVote(DataModel*, const QString&, const QString& serialNo) override;
    bool hgtCancelOtherVote(DataModel*, const QString&, const CSError& error) override;

protected:
    void awakeFromNib() override;
    // The answers of the dropped requests never come: the windows close and
    // the pickers are free again.
    void willDropRequests() override;
    // The previous account's declarations go before the new ones are asked.
    void clearAccountFigures() override;

private:
    bool verifyInput();
    void query(bool fromButton);
    void endToQuery();
    void confirmWithdrawal(const OrderParam& param);

    HGTRequestManager* requestManager;
    std::function<QDate()> chinaToday_;
    OrderAlertWindowController alertWindowController_;
    std::unique_ptr<HGTCancelConfirmAlertWC> cancelConfirmAlert_;
    QPointer<QObject> parentWindow_;
    PageTable table_;
    std::shared_ptr<DTHGTOtherVoteTable> declarations_;
    QDate beginDate_, endDate_;
    QString countText_ = QStringLiteral("0");
    bool querying_ = false;
    bool progress_ = false;
    QString lastSerialNo_;
};

// The notices the trade server holds for one security (link id 90008): a
// title above a one-row table each. An empty or failed answer keeps the list
// shown while it is of the same code.
class HGTQueryNotificationViewController : public MenuItemViewController, public IHGTQueryNotification {
    Q_OBJECT
public:
    static constexpr char kPageClass[] = "HGTQueryNotificationViewController";
    static constexpr int kCodeLength = 5;

    explicit HGTQueryNotificationViewController(BaseNode::Ptr node = nullptr, HGTPageServices services = {});

    void setCodeText(const QString& text) { code_ = typednumber::read(text).left(kCodeLength); }
    const QString& codeText() const { return code_; }
    void queryButtonClick();
    qsizetype numberOfRowsInTableView() const { return qsizetype(contentArray.size()); }
    const DTHGTNotificationList& notifications() const { return contentArray; }
    bool progressShown() const { return progress_; }

    void hgtQueryNotification(DataModel*, const QString&, const DTHGTNotificationList& list) override;
    bool hgtQueryNotification(DataModel*, const QString&, const CSError& error) override;

protected:
    void willDropRequests() override { progress_ = false; }
    void clearAccountFigures() override;

private:
    void answerFor(const QString& code);

    HGTRequestManager* requestManager;
    QString code_;
    QString askedCode_; // of the query awaited
    QString shownCode_; // of the notices shown
    DTHGTNotificationList contentArray;
    bool progress_ = false;
};

// The securities the Stock Connect trades (link id 90004); an empty code
// asks for all of them.
class HGTQueryStockTargetViewController : public MenuItemViewController, public IHGTQueryStockTarget {
    Q_OBJECT
public:
    static constexpr char kPageClass[] = "HGTQueryStockTargetViewController";
    static constexpr int kCodeLength = 5;

    explicit HGTQueryStockTargetViewController(BaseNode::Ptr node = nullptr, HGTPageServices services = {});

    void setCodeText(const QString& text) { code_ = typednumber::read(text).left(kCodeLength); }
    const QString& codeText() const { return code_; }
    void queryButtonClick();
    const DTTablePtr& targets() const { return targets_; }
    bool progressShown() const { return progress_; }

    void hgtQueryStockTarget(DataModel*, const QString&, const DTTablePtr& table) override;
    bool hgtQueryStockTarget(DataModel*, const QString&, const CSError& error) override;

protected:
    void willDropRequests() override { progress_ = false; }
    void clearAccountFigures() override;

private:
    HGTRequestManager* requestManager;
    QString code_;
    QString askedCode_; // of the query awaited
    QString shownCode_; // of the list shown
    DTTablePtr targets_;
    bool progress_ = false;
};

// The Stock Connect permissions (link id 90009): the permission page with
// its list from the Stock Connect function, after a wizard too.
class HGTPermissionSettingsViewController : public PermissionSettingsViewController {
    Q_OBJECT
public:
    static constexpr char kPageClass[] = "HGTPermissionSettingsViewController";
    explicit HGTPermissionSettingsViewController(BaseNode::Ptr node = nullptr,
        PermissionSettingsViewController::Services services = {}, HGTRequestManager* requestManager = nullptr);
};

// Makes the ten Stock Connect pages ones the page factory can make (null:
// the shared manager).
void registerConnectPages(MenuItemViewManager* manager = nullptr);
