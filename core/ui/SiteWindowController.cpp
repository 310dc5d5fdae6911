#include "core/ui/SiteWindowController.h"

#include "core/ui/ColumnFit.h"
#include "core/ui/PopUp.h"
#include "platform/WindowGeometry.h"

#include <QAbstractTableModel>
#include <QCloseEvent>
#include <QComboBox>
#include <QFormLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QTabBar>
#include <QTableView>
#include <QVBoxLayout>

// The rows of the controller, one column per row key.
class SiteWindowController::SpeedTableModel final : public QAbstractTableModel {
public:
    explicit SpeedTableModel(ServerListController& controller, QObject* parent)
        : QAbstractTableModel(parent)
        , controller_(controller)
    {
    }

    static QString identifier(int column)
    {
        static const char* const ids[]
            = { ServerListController::kServerName, ServerListController::kTrafficTime,
                  ServerListController::kNetworkStatus, ServerListController::kSuggest };
        return column >= 0 && column < 4 ? QString::fromLatin1(ids[column]) : QString();
    }

    int rowCount(const QModelIndex& parent) const override
    {
        return parent.isValid() ? 0 : controller_.numberOfRowsInTableView();
    }
    int columnCount(const QModelIndex& parent) const override { return parent.isValid() ? 0 : 4; }
    QVariant data(const QModelIndex& index, int role) const override
    {
        if (role != Qt::DisplayRole || !index.isValid())
            return {};
        return controller_.objectValue(identifier(index.column()), index.row());
    }
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override
    {
        if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
            return QAbstractTableModel::headerData(section, orientation, role);
        static const QStringList titles = { QStringLiteral("服务器"), QStringLiteral("连接时间"),
            QStringLiteral("网络状态"), QStringLiteral("建议") };
        return section >= 0 && section < titles.size() ? titles[section] : QVariant();
    }
    void reload()
    {
        beginResetModel();
        endResetModel();
    }

private:
    ServerListController& controller_;
};

SiteWindowController::SiteWindowController(QWidget* parentWindow, DMServerManager* serverManager,
    DMNotificationCenter* notificationCenter, NotificationCenter* uiCenter)
    : QDialog(parentWindow)
    , controller_(std::make_unique<ServerListController>(serverManager, notificationCenter, uiCenter))
{
    setWindowTitle(QStringLiteral("服务器列表"));
    setModal(false);

    tradeButton_ = new QComboBox(this);
    quoteButton_ = new QComboBox(this);
    // A choice reconnects and fails every request in flight.
    chooseInOpenList(tradeButton_);
    chooseInOpenList(quoteButton_);
    auto* current = new QFormLayout;
    current->addRow(QStringLiteral("当前交易服务器:"), tradeButton_);
    current->addRow(QStringLiteral("当前行情服务器:"), quoteButton_);

    segments_ = new QTabBar(this);
    segments_->addTab(QStringLiteral("交易服务器"));
    segments_->addTab(QStringLiteral("行情服务器"));
    testButton_ = new QPushButton(QStringLiteral("测速"), this);
    auto* testRow = new QHBoxLayout;
    testRow->addWidget(segments_);
    testRow->addStretch();
    testRow->addWidget(testButton_);

    table_ = new QTableView(this);
    model_ = new SpeedTableModel(*controller_, this);
    table_->setModel(model_);
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->setSelectionMode(QAbstractItemView::SingleSelection);
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_->verticalHeader()->hide();
    fitColumnsToContents(table_);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(current);
    layout->addLayout(testRow);
    layout->addWidget(table_);
    resize(480, 360);

    connect(controller_.get(), &ServerListController::rowsChanged, this, [this] {
        model_->reload();
        fitColumnsToContents(table_);
    });
    connect(controller_.get(), &ServerListController::popUpsChanged, this, [this] { reloadPopUps(); });
    // activated: the user's choice only, not a selection the window makes itself.
    connect(tradeButton_, &QComboBox::activated, this,
        [this](int index) { controller_->currentConnectionSelected(DMServerManager::kTrade, index); });
    connect(quoteButton_, &QComboBox::activated, this,
        [this](int index) { controller_->currentConnectionSelected(DMServerManager::kQuote, index); });
    connect(testButton_, &QPushButton::clicked, this,
        [this] { controller_->testSpeedButtonClick(segments_->currentIndex()); });
    connect(segments_, &QTabBar::currentChanged, this,
        [this](int index) { controller_->testSpeedTypeSegmentedControlSelected(index); });
    connect(table_, &QTableView::doubleClicked, this, [this] { tableItemDoubleClicked(); });

    controller_->windowDidLoad(segments_->currentIndex());
}

SiteWindowController::~SiteWindowController() = default;

void SiteWindowController::reloadPopUps()
{
    // The items follow the names, not only their count: a list rebuilt with
    // as many servers names others, and an item picked is a position.
    fillPopUp(tradeButton_, controller_->tradeServerNames(), controller_->tradeSelectedItem());
    fillPopUp(quoteButton_, controller_->quoteServerNames(), controller_->quoteSelectedItem());
}

void SiteWindowController::tableItemDoubleClicked()
{
    const QModelIndexList selected = table_->selectionModel()->selectedRows();
    controller_->tableItemDoubleClicked(
        segments_->currentIndex(), selected.isEmpty() ? -1 : selected.first().row());
}

void SiteWindowController::parentCenter()
{
    QWidget* parent = parentWidget();
    if (!parent)
        return;
    const QRect frame = parent->frameGeometry();
    const QSize size = frameGeometry().size();
    // Inside the usable area of the parent's screen, over a parent near its
    // edge too; the title bar stays on it first.
    const QScreen* screen = QGuiApplication::screenAt(frame.center());
    if (!screen)
        screen = parent->screen();
    const QRectF reference(frame);
    const QSizeF extent(size);
    const QPointF origin = screen
        ? windowgeometry::placedFrame(reference, QRectF(screen->availableGeometry()), extent).topLeft()
        : windowgeometry::centredOrigin(reference, extent);
    move(origin.toPoint());
}

void SiteWindowController::showWindow()
{
    closed_ = false; // shown again: its next closing is told again
    // The frame is known once the window is shown; centre on both sides of that.
    parentCenter();
    show();
    parentCenter();
    raise();
}

void SiteWindowController::noteClosing()
{
    if (!closed_) {
        closed_ = true;
        controller_->windowWillClose();
    }
}

void SiteWindowController::closeEvent(QCloseEvent* event)
{
    noteClosing();
    QDialog::closeEvent(event);
}

void SiteWindowController::reject()
{
    noteClosing();
    QDialog::reject();
}
