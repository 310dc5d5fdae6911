#include "trading/ui/QueryPageViews.h"

#include "core/ui/PopUp.h"
#include "shell/ui/tables/DVCheckTableView.h"
#include "trading/pages/AssetQueryViewController.h"
#include "trading/pages/DeputeCancelViewController.h"
#include "trading/pages/DistributionViewController.h"
#include "trading/pages/QueryViewControllers.h"
#include "trading/ui/PurchaseView.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QHBoxLayout>
#include <QItemSelectionModel>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

// The view's table holds the page's model; rows reach it through the table
// so that its columns are sized as they arrive.
void attach(PageTable& table, DVCommonTableView* view)
{
    table.attach(view->tableModel(), [view](std::shared_ptr<const DTTable> t, bool rebuildColumns) {
        if (rebuildColumns)
            view->reinitTableViewWithObject(t);
        else
            view->initTableViewWithObject(t);
    });
}

QLabel* named(const char* name, QWidget* parent)
{
    auto* label = new QLabel(parent);
    label->setObjectName(QString::fromLatin1(name));
    return label;
}

} // namespace

DeputeCancelView::DeputeCancelView(DeputeCancelViewController& controller, QWidget* parent)
    : MenuItemView(controller, parent)
    , page_(controller)
    , ordersTableView_(new DVCheckTableView(this))
    , selectAllButton_(new QCheckBox(QStringLiteral("全选"), this))
    , countText_(named("countText", this))
    , selectedCountText_(named("selectedCountText", this))
    , cancelButton_(new QPushButton(QStringLiteral("撤单"), this))
{
    ordersTableView_->setObjectName(QStringLiteral("ordersTableView"));
    selectAllButton_->setObjectName(QStringLiteral("selectAllButton"));
    cancelButton_->setObjectName(QStringLiteral("cancelButton"));
    attach(page_.ordersTableView(), ordersTableView_);
    page_.setParentWindow(window());

    auto* bar = new QHBoxLayout;
    bar->addWidget(selectAllButton_);
    bar->addWidget(new QLabel(QStringLiteral("委托笔数:"), this));
    bar->addWidget(countText_);
    bar->addWidget(new QLabel(QStringLiteral("已选笔数:"), this));
    bar->addWidget(selectedCountText_);
    bar->addStretch();
    bar->addWidget(cancelButton_);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(ordersTableView_);
    layout->addLayout(bar);

    connect(
        selectAllButton_, &QCheckBox::clicked, this, [this](bool on) { page_.selectAllButtonClicked(on); });
    // A box ticked in the table: the counts and the select-all box follow.
    connect(ordersTableView_->tableModel(), &QAbstractItemModel::dataChanged, this,
        [this] { page_.ordersTableViewClicked(); });
    connect(cancelButton_, &QPushButton::clicked, this, [this] { page_.cancelOderButtonClicked(); });
    refresh();
}

void DeputeCancelView::refresh()
{
    countText_->setText(page_.countText());
    selectedCountText_->setText(page_.selectedCountText());
    selectAllButton_->setChecked(page_.selectAllChecked());
    cancelButton_->setEnabled(!page_.isBusy());
}

AssetQueryView::AssetQueryView(AssetQueryViewController& controller, QWidget* parent)
    : MenuItemView(controller, parent)
    , page_(controller)
    , fundTableView_(new DVCommonTableView(this))
    , positionTableView_(new DVCommonTableView(this))
    , functionPButton_(new QComboBox(this))
    , rmbMarketValueText_(named("rmbMarketValueText", this))
    , usdMarketValueText_(named("usdMarketValueText", this))
    , hkdMarketValueText_(named("hkdMarketValueText", this))
{
    fundTableView_->setObjectName(QStringLiteral("fundTableView"));
    positionTableView_->setObjectName(QStringLiteral("positionTableView"));
    functionPButton_->setObjectName(QStringLiteral("functionPButton"));
    // A choice acts on the position at once (a jump to buy or sell, the cost editor).
    chooseInOpenList(functionPButton_);
    attach(page_.fundTableView(), fundTableView_);
    attach(page_.positionTableView(), positionTableView_);
    page_.setEditCell([this](int row, int column) {
        // The page names the position's row; the sort decides where it shows.
        const int shown = positionTableView_->tableModel()->viewRow(row);
        if (shown < 0)
            return;
        const QModelIndex index = positionTableView_->model()->index(shown, column);
        positionTableView_->setCurrentIndex(index);
        positionTableView_->edit(index);
    });

    auto* totals = new QHBoxLayout;
    totals->addWidget(new QLabel(QStringLiteral("人民币市值:"), this));
    totals->addWidget(rmbMarketValueText_);
    totals->addWidget(new QLabel(QStringLiteral("美元市值:"), this));
    totals->addWidget(usdMarketValueText_);
    totals->addWidget(new QLabel(QStringLiteral("港币市值:"), this));
    totals->addWidget(hkdMarketValueText_);
    totals->addStretch();
    totals->addWidget(functionPButton_);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(fundTableView_, 1);
    layout->addLayout(totals);
    layout->addWidget(positionTableView_, 3);

    connect(functionPButton_, &QComboBox::activated, this, [this](int index) {
        QList<int> rows;
        if (QItemSelectionModel* selection = positionTableView_->selectionModel()) {
            for (const QModelIndex& i : selection->selectedRows())
                rows << positionTableView_->tableModel()->sourceRow(i.row());
        }
        page_.setSelectedPositionRows(rows);
        page_.functionSelected(index);
        functionPButton_->setCurrentIndex(0);
    });
    refresh();
}

void AssetQueryView::refresh()
{
    if (functionPButton_->count() != page_.functionTitles().size()) {
        functionPButton_->clear();
        functionPButton_->addItems(page_.functionTitles());
    }
    rmbMarketValueText_->setText(page_.rmbMarketValueText());
    usdMarketValueText_->setText(page_.usdMarketValueText());
    hkdMarketValueText_->setText(page_.hkdMarketValueText());
}

DistributionView::DistributionView(DistributionViewController& controller, QWidget* parent)
    : MenuItemView(controller, parent)
    , page_(controller)
    , distributionTable_(new DVCommonTableView(this))
    , warningLabel_(named("warningLabel", this))
{
    distributionTable_->setObjectName(QStringLiteral("distributionTable"));
    warningLabel_->setText(QStringLiteral("配号查询失败，请稍后再试。"));
    attach(page_.distributionTableView(), distributionTable_);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(warningLabel_);
    layout->addWidget(distributionTable_);
    refresh();
}

void DistributionView::refresh()
{
    warningLabel_->setVisible(page_.warningShown());
}

CommonQueryView::CommonQueryView(CommonQueryViewController& controller, QWidget* parent)
    : MenuItemView(controller, parent)
    , page_(controller)
    , queryProgress_(new QProgressBar(this))
{
    queryProgress_->setObjectName(QStringLiteral("queryProgress"));
    queryProgress_->setRange(0, 0);
    // Its room stays when it goes, so the table never jumps as a query (each
    // round's read too) comes and goes.
    QSizePolicy keepsItsRoom = queryProgress_->sizePolicy();
    keepsItsRoom.setRetainSizeWhenHidden(true);
    queryProgress_->setSizePolicy(keepsItsRoom);
    auto* table = new DVCommonTableView(this);
    table->setObjectName(QStringLiteral("tableView"));
    attach(controller.tableView(), table);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(queryProgress_);
    layout->addWidget(table);
    refresh();
}

void CommonQueryView::refresh()
{
    queryProgress_->setVisible(page_.isQuerying());
}

HistoricQueryView::HistoricQueryView(HistoricQueryViewController& controller, QWidget* parent)
    : MenuItemView(controller, parent)
    , page_(controller)
    , beginDatePicker_(new QDateEdit(this))
    , endDatePicker_(new QDateEdit(this))
    , queryButton_(new QPushButton(QStringLiteral("查询"), this))
    , resultCountText_(named("resultCountText", this))
    , queryProgress_(new QProgressBar(this))
{
    beginDatePicker_->setObjectName(QStringLiteral("beginDatePicker"));
    endDatePicker_->setObjectName(QStringLiteral("endDatePicker"));
    queryButton_->setObjectName(QStringLiteral("queryButton"));
    queryProgress_->setObjectName(QStringLiteral("queryProgress"));
    queryProgress_->setRange(0, 0);
    for (QDateEdit* picker : { beginDatePicker_, endDatePicker_ }) {
        picker->setDisplayFormat(QStringLiteral("yyyy-MM-dd"));
        picker->setCalendarPopup(true);
    }
    auto* table = new DVCommonTableView(this);
    table->setObjectName(QStringLiteral("tableView"));
    attach(page_.tableView(), table);

    auto* bar = new QHBoxLayout;
    bar->addWidget(new QLabel(QStringLiteral("起始日期:"), this));
    bar->addWidget(beginDatePicker_);
    bar->addWidget(new QLabel(QStringLiteral("结束日期:"), this));
    bar->addWidget(endDatePicker_);
    bar->addWidget(queryButton_);
    bar->addWidget(queryProgress_);
    bar->addStretch();
    bar->addWidget(new QLabel(QStringLiteral("记录数:"), this));
    bar->addWidget(resultCountText_);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(bar);
    layout->addWidget(table);

    connect(beginDatePicker_, &QDateEdit::dateChanged, this, [this](QDate d) { page_.setBeginDate(d); });
    connect(endDatePicker_, &QDateEdit::dateChanged, this, [this](QDate d) { page_.setEndDate(d); });
    connect(queryButton_, &QPushButton::clicked, this, [this] { page_.queryButtonClicked(); });
    refresh();
}

void HistoricQueryView::refresh()
{
    if (page_.beginDate().isValid())
        beginDatePicker_->setDate(page_.beginDate());
    if (page_.endDate().isValid())
        endDatePicker_->setDate(page_.endDate());
    const bool busy = page_.isQuerying();
    beginDatePicker_->setEnabled(!busy);
    endDatePicker_->setEnabled(!busy);
    queryProgress_->setVisible(busy);
    resultCountText_->setText(page_.resultCountText());
}

namespace {
template <class Page, class View> void registerView()
{
    MenuItemViewCatalogue::shared().registerView(QString::fromLatin1(Page::kPageClass),
        [](MenuItemViewController& controller, QWidget* parent) -> MenuItemView* {
            auto* page = qobject_cast<Page*>(&controller);
            return page ? new View(*page, parent) : nullptr;
        });
}
} // namespace

void registerQueryPageViews()
{
    registerQueryPages();
    registerView<DeputeCancelViewController, DeputeCancelView>();
    registerView<AssetQueryViewController, AssetQueryView>();
    registerView<DistributionViewController, DistributionView>();
    registerPurchaseView();
    registerView<CommonQueryViewController, CommonQueryView>();
    registerView<HistoricQueryViewController, HistoricQueryView>();
    registerView<HistoricQueryViewControllerEx, HistoricQueryView>();
}
