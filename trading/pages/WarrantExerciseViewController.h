#pragma once

#include "trading/pages/TradeViewController.h"

// The warrant exercise page: the trading page with side 2, its price taken
// from the warrant's facts (exercise price, three decimals; the stepper moves
// by 0.01 until they arrive, by 0.001 from then on) and an exercise
// order (type 200) confirmed in the exercise dialog. No risk-warning list is
// asked for. Main thread only.
class WarrantExerciseViewController : public TradeViewController, public IQueryWarrantInfoDelegate {
    Q_OBJECT
public:
    static constexpr char kMissingInputMessage[] = "请确认已经输入行权代码、行权价格和行权数量。";

    explicit WarrantExerciseViewController(BaseNode::Ptr node = nullptr,
        TradeViewControllerServices services = {}, MenuItemViewController::Services pageServices = {});

    static void registerPages();

    void orderButtonClicked() override;
    // A warrant position: its exercise code and quantity, its account; the
    // name and price come from the lookup as for a typed code.
    void positionTableViewClicked(int row) override;
    qint32 getCurrentOrderType() const override;
    bool orderTypeRowHidden() const override { return true; }
    bool moneyRowHidden() const override { return false; }

    void queryQuotesOf5Level(DataModel*, const QString&, const RDOQuotesOf5Level& quote) override;
    bool queryQuotesOf5Level(DataModel*, const QString&, const CSError&) override;
    void queryWarrantInfo(DataModel*, const QString&, const RDOWarrantInfo& info) override;
    bool queryWarrantInfo(DataModel*, const QString&, const CSError&) override;
    bool doConfigOrderForStockTrade(int type, const OrderParam& orderParam) override;

protected:
    void awakeFromNib() override;
    void initViewControls() override;
    void initPriceView() override { }
    void initLabelsOfOrderControls() override { }
    // The labels stay the set-up's, and type 200 always carries a price,
    // whatever kind of security the code turns out to be.
    void fixControlsForOrderTypePButtonSelected() override { }
    bool verifyOrderInput() override;
    void showOrderConfirmWindow() override;

private:
    void clearPrice();

    // See AfTradeViewController: the rows move up once only.
    bool layoutShifted_ = false;
    // The code whose warrant facts were asked for last.
    QString warrantAsked_;
};
