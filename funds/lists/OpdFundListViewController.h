#pragma once

#include "funds/lists/FundListContent.h"
#include "funds/lists/OpenFundList.h"
#include "shell/windows/AlertPresenter.h"

#include <QObject>
#include <memory>
#include <optional>
#include <vector>

// Told which fund the user picked in a fund list panel; each operation
// answers whether it is implemented (the default answers false). The fund is
// nullopt when the row names a fund the list has no record of.
class ITableSelectedItemChanged : public virtual DataModelObserver {
public:
    using Fund = std::optional<RDOOpenEndFund>;
    virtual bool subscribeTableSelectedItemChanged(const Fund&) { return false; }
    virtual bool purchaseTableSelectedItemChanged(const Fund&) { return false; }
    virtual bool redeemTableSelectedItemChanged(const Fund&) { return false; }
    virtual bool transformTableSelectedItemChanged(const Fund&) { return false; }
    virtual bool bonusSettingTableSelectedItemChanged(const Fund&) { return false; }
    virtual bool timingTradeTableSelectedItemChanged(const Fund&) { return false; }
};

// The fund list panel of the fund pages: the list of one source in a table
// with a fund-company filter; the fund the user picks goes to the table
// observers (the trade form). Observers are held weakly. Main thread only.
class OpdFundListViewController : public QObject, public IRequestContentDelegate {
    Q_OBJECT
public:
    // initWithOpenFundListObject: the panel keeps the source.
    explicit OpdFundListViewController(std::unique_ptr<OpenFundList> openFundList, QObject* parent = nullptr);
    ~OpdFundListViewController() override;

    // awakeFromNib: empties the filter to "全部基金" and loads the list.
    void awakeFromNib();
    // addTableObserver: nil is ignored.
    void addTableObserver(ITableSelectedItemChanged* observer);
    void requestTableContent();
    void requestContentComplete(const OpdFundTablePtr& table) override;
    bool requestContentError(const CSError& error) override;
    // filterPButtonSelected: the filter entry chosen.
    void filterPButtonSelected(qsizetype index);
    // tableSelectedItemChanged: the table row (of the table model, whatever
    // the sort or filter) the user selected; -1 for none.
    void tableSelectedItemChanged(qsizetype tableRow);

    OpenFundList* openFundList() const { return openFundList_.get(); }
    QString listTitleText() const { return openFundList_ ? openFundList_->listTitle() : QString(); }
    const FundListContent& content() const { return content_; }
    void setAlertPresenter(AlertPresenter* alerts) { alerts_ = alerts ? alerts : AlertPresenter::headless(); }

signals:
    void changed();
    // The list asked for came: with its rows, or not.
    void contentRead(bool withRows);

private:
    std::unique_ptr<OpenFundList> openFundList_;
    std::vector<platform::WeakRef<ITableSelectedItemChanged>> observerArray;
    FundListContent content_;
    AlertPresenter* alerts_ = AlertPresenter::headless();
    OneBoxAtATime failureBox_;
};
