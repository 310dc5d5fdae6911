#include "funds/ui/FundCancelViews.h"

#include "shell/ui/tables/DVCheckTableView.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

FundCancelView::FundCancelView(FundBatchCancelPage& page, QWidget* parent)
    : MenuItemView(page, parent)
    , page_(&page)
    , ordersTableView(new DVCheckTableView(this))
    , selectAllButton(new QCheckBox(QStringLiteral("全选"), this))
    , countText(new QLabel(this))
    , selectedCountText(new QLabel(this))
{
    setObjectName(page.pageClass());
    ordersTableView->setObjectName(QStringLiteral("ordersTableView"));
    selectAllButton->setObjectName(QStringLiteral("selectAllButton"));
    countText->setObjectName(QStringLiteral("countText"));
    selectedCountText->setObjectName(QStringLiteral("selectedCountText"));
    auto* cancel = new QPushButton(QStringLiteral("撤单"), this);
    cancel->setObjectName(QStringLiteral("cancelButton"));
    auto* layout = new QVBoxLayout(this);
    auto* bar = new QHBoxLayout;
    bar->addWidget(selectAllButton);
    bar->addWidget(new QLabel(QStringLiteral("记录数:"), this));
    bar->addWidget(countText);
    bar->addWidget(new QLabel(QStringLiteral("已选:"), this));
    bar->addWidget(selectedCountText);
    bar->addStretch(1);
    bar->addWidget(cancel);
    layout->addLayout(bar);
    layout->addWidget(ordersTableView, 1);
    page.setParentWindow(this);
    connect(selectAllButton, &QCheckBox::clicked, this, [this](bool on) {
        on ? ordersTableView->selectAllRows() : ordersTableView->deselectAllRows();
        page_->selectAllButtonClicked(on);
    });
    // Every tick, whichever way it came, reaches the page from the model.
    connect(ordersTableView->tableModel(), &QAbstractItemModel::dataChanged, this,
        [this](const QModelIndex&, const QModelIndex&, const QList<int>& roles) {
            if (roles.contains(Qt::CheckStateRole)) {
                ++checkChanges_;
                page_->setTicked(ordersTableView->selectedIndexSet());
            }
        });
    // A click on a row ticks it (ordersTableViewClicked:); a click on the box
    // itself was ticked by the box already.
    connect(ordersTableView, &QAbstractItemView::pressed, this, [this] { checksAtPress_ = checkChanges_; });
    connect(ordersTableView, &QAbstractItemView::clicked, this, [this](const QModelIndex& index) {
        if (checkChanges_ == checksAtPress_)
            ordersTableView->itemClicked(index.row());
    });
    ordersTableView->installEventFilter(this);
    connect(cancel, &QPushButton::clicked, this, [this] { page_->cancelOrdersClicked(); });
    refresh();
}

bool FundCancelView::eventFilter(QObject* watched, QEvent* event)
{
    // Space ticks the current row, whichever column has the focus.
    if (watched == ordersTableView && event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        const QModelIndex current = ordersTableView->currentIndex();
        if (key->key() == Qt::Key_Space && key->modifiers() == Qt::NoModifier && current.isValid()) {
            ordersTableView->itemClicked(current.row());
            return true;
        }
    }
    return MenuItemView::eventFilter(watched, event);
}

void FundCancelView::refresh()
{
    if (!page_)
        return;
    if (page_->listTable() != shown_) {
        // No list (another account's is gone, its own not in yet): no rows,
        // and the columns stay for the list to come.
        if (page_->listTable())
            ordersTableView->initTableViewWithObject(page_->listTable());
        else
            ordersTableView->updateTableViewWithObject(nullptr);
        shown_ = page_->listTable();
    }
    if (page_->ticked().isEmpty() && !ordersTableView->selectedIndexSet().isEmpty())
        ordersTableView->deselectAllRows();
    selectAllButton->setChecked(page_->selectAllOn());
    countText->setText(page_->countText());
    selectedCountText->setText(page_->selectedCountText());
}

void registerFundCancelViews()
{
    for (const char* name :
        { OpdFundCancelOrderViewController::kPageClass, InvestOntimeCancelOrderViewController::kPageClass }) {
        MenuItemViewCatalogue::shared().registerView(QString::fromLatin1(name),
            [](MenuItemViewController& controller, QWidget* parent) -> MenuItemView* {
                auto* page = qobject_cast<FundBatchCancelPage*>(&controller);
                return page ? new FundCancelView(*page, parent) : nullptr;
            });
    }
}
