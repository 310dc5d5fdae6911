#pragma once

#include "shell/pages/ActionOutcomeRelay.h"
#include "shell/pages/MenuItemViewController.h"
#include "trading/pages/PageTable.h"
#include "trading/query/QueryInfoManager.h"
#include "trading/requests/SecurityInfoDataModels.h"
#include "trading/security/StockManager.h"

#include <QList>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QValidator>
#include <optional>

// The answer of a cost-price reset: heard by the asset page while it awaits
// it, told with the page's texts once it does not.
LUMORA_OUTCOME_RELAY(ResetCostRelay, IResetCostDelegate, resetCost)

// What the asset page works with; null ones are the shared instances.
struct AssetQueryServices : MenuItemViewControllerServices {
    QueryInfoManager* queryInfoManager = nullptr;
    StockManager* stockManager = nullptr;
};

// The customer's capital accounts with their market value totals per
// currency, and the positions with three quick functions on one of them:
// adjust its reference cost price, buy it, sell it. A reset's answer comes
// through its relay, which tells it itself once the page is left or the
// account changes. Totals are the exact sums of the rows' values, never in
// floating point, rounded once.
class AssetQueryViewController : public MenuItemViewController,
                                 public IPositionInfoDelegate,
                                 public IFundInfoListDelegate,
                                 public IResetCostDelegate,
                                 public IDVCommonTableViewEndEditingDelegate {
    Q_OBJECT
public:
    static constexpr char kPageClass[] = "AssetQueryViewController";
    static constexpr int kFunctionAdjustCost = 1;
    static constexpr int kFunctionBuy = 2;
    static constexpr int kFunctionSell = 3;
    using Services = AssetQueryServices;

    explicit AssetQueryViewController(BaseNode::Ptr node = nullptr, Services services = Services());

    PageTable& fundTableView() { return fundTable_; }
    PageTable& positionTableView() { return positionTable_; }
    DVTableModel& fundTable() { return fundTable_.model(); }
    DVTableModel& positionTable() { return positionTable_.model(); }
    const DTTablePtr& positions() const { return positions_; }
    // The quick-function pop-up's items.
    const QStringList& functionTitles() const { return functionTitles_; }
    const QString& rmbMarketValueText() const { return rmb_; }
    const QString& usdMarketValueText() const { return usd_; }
    const QString& hkdMarketValueText() const { return hkd_; }
    int editableColumnIndex() const { return editableColumnIndex_; }

    // The view's selection of the positions table, as table-model rows.
    void setSelectedPositionRows(const QList<int>& rows) { selectedRows_ = rows; }
    // The view starts editing this cell when "调整成本价" is chosen; the row
    // is a table-model row, whatever the sort.
    using EditCell = std::function<void(int row, int column)>;
    void setEditCell(EditCell edit) { editCell_ = std::move(edit); }

    void functionSelected(int index);
    void endEditing(int row, int column, const QString& text) override;

    void queryPositionInfo(DataModel* request, const QString& handle, const DTTablePtr& table) override;
    bool queryPositionInfo(DataModel* request, const QString& handle, const CSError& error) override;
    void fundInfoList(
        DataModel* request, const QString& handle, const std::shared_ptr<DTFundInfoTable>& table) override;
    bool fundInfoList(DataModel* request, const QString& handle, const CSError& error) override;
    void resetCost(DataModel* request, const QString& handle, const QString& message) override;
    bool resetCost(DataModel* request, const QString& handle, const CSError& error) override;
    // What a reset's answer tells, here and through its relay: the server's
    // message either way.
    static QString resetCostText(const QString& message) { return message; }
    static QString resetCostFailureText(const CSError& error) { return error.domain; }

    // A sum of decimal texts (at most 13 integer digits each), kept exact to
    // 15 decimals: the rows are added as they are and rounded only once.
    class DecimalSum {
    public:
        // False, and nothing added, for a text that is no such decimal.
        bool add(const QString& text);
        // Rounded half away from zero.
        qint64 hundredths() const;

    private:
        qint64 units_ = 0; // whole yuan, rounded down
        qint64 fraction_ = 0; // the rest, in 10^-15 yuan
    };
    // A decimal text in hundredths, rounded half away from zero; nothing for
    // any other text.
    static std::optional<qint64> hundredths(const QString& text);
    // "%.2lf元" of a sum of hundredths.
    static QString yuanText(qint64 hundredths);

protected:
    void awakeFromNib() override;
    // The capital accounts' money and the positions, read again while an
    // action of unknown outcome left them owed.
    QStringList figuresShown() const override { return { owedfigure::kMoney, owedfigure::kPositions }; }
    QStringList readOwed(const QStringList& owed) override;
    void clearAccountFigures() override;

private:
    // Each answers whether its request went out.
    bool requestPositions();
    bool requestFunds();
    std::optional<RDOPositionDetail> positionAt(int row) const;

    QueryInfoManager* queryInfoManager_;
    StockManager* stockManager_;
    PageTable fundTable_;
    PageTable positionTable_;
    DTTablePtr positions_;
    QStringList functionTitles_;
    int editableColumnIndex_ = -1;
    QList<int> selectedRows_;
    EditCell editCell_;
    QPointer<QValidator> costFormatter_;
    QString rmb_ = yuanText(0);
    QString usd_ = yuanText(0);
    QString hkd_ = yuanText(0);
};
