#include "shell/ui/MainWindow.h"

#include "core/SystemInfo.h"
#include "core/ui/PopUp.h"
#include "shell/ui/LoginPanel.h"
#include "shell/ui/MenuItemView.h"
#include "shell/ui/UnlockScreenWindow.h"
#include "shell/ui/menueditor/MenuEditorWindow.h"
#include "shell/ui/statusbar/BottomInfoView.h"
#include "shell/windows/MainWindowOutlineModel.h"

#include <QApplication>
#include <QComboBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QScreen>
#include <QScrollArea>
#include <QSplitter>
#include <QStyledItemDelegate>
#include <QToolButton>
#include <QTreeView>
#include <QVBoxLayout>
#include <algorithm>

namespace {

// The colours of the window's frame; the tables and quotes take theirs from
// the shared table style.
constexpr char kStyleSheet[] = R"(
#titleBar { background: #1d3f72; }
#titleBar QLabel#appTitle { color: white; font-size: 15px; font-weight: bold; }
#titleBar QToolButton { color: white; background: transparent; border: 1px solid transparent;
    border-radius: 3px; padding: 3px 8px; }
#titleBar QToolButton:hover { border-color: #6f8fbf; background: #2a5190; }
#titleBar QComboBox { color: white; background: #2a5190; border: 1px solid #4d6fa3; border-radius: 3px;
    padding: 2px 8px; min-width: 80px; }
#titleBar QComboBox QAbstractItemView { color: black; background: white; }
#titleBar QComboBox QAbstractItemView::item { color: black; background: white; padding: 3px 6px; }
#titleBar QComboBox QAbstractItemView::item:selected { color: white; background: #2a5190; }
#menuBox { background: #eef2f7; border-right: 1px solid #c9d3e0; }
#menuBox QLabel#menuTitleLabel { color: #1d3f72; font-size: 14px; font-weight: bold; padding: 4px 2px; }
#menuBox QTreeView { background: #eef2f7; border: none; font-size: 13px; }
#menuBox QTreeView::item { height: 26px; }
#menuBox QTreeView::item:selected { background: #2a5190; color: white; }
#itemView { background: white; }
QScrollArea#pageArea { background: transparent; }
#itemView QLabel#emptyPageHint { color: #9aa6b6; font-size: 16px; }
#bottomView { background: #f3f3f3; border-top: 1px solid #c9d3e0; }
QLabel#messageCount { color: white; background: #d9302c; border-radius: 7px; font-size: 9px; }
)";

// A named area whose background the style sheet paints.
QWidget* styledArea(const char* name, QWidget* parent)
{
    auto* area = new QWidget(parent);
    area->setObjectName(QLatin1String(name));
    area->setAttribute(Qt::WA_StyledBackground);
    return area;
}

QToolButton* titleButton(const QString& name, const QString& text, QWidget* parent)
{
    auto* button = new QToolButton(parent);
    button->setObjectName(name);
    button->setText(text);
    button->setCursor(Qt::PointingHandCursor);
    return button;
}

} // namespace

MainWindow::MainWindow(MainWindowServices services, QWidget* parent)
    : ui::Window(parent)
    , controller_(services.controller)
    , alerts_(this)
    , locker_(services.screenLock)
    , loginPanelServices_(services.loginPanel)
{
    setObjectName(QStringLiteral("mainWindow"));
    setStyleSheet(QString::fromLatin1(kStyleSheet));
    controller_.setAlertPresenter(&alerts_);
    const QString version = SystemInfo::getInstance()->appVersion().value_or(QString());
    setWindowTitle(QStringLiteral("%1 V%2").arg(QStringLiteral("Lumora证券交易"), version));

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(makeTitleBar());

    // Tab follows the order widgets are made in, and a page is made long
    // after the window: the status bar is made before the menu, so that Tab
    // from the menu goes on to the page rather than to the status bar.
    QWidget* bottom = styledArea("bottomView", this);
    auto* bottomLayout = new QHBoxLayout(bottom);
    bottomLayout->setContentsMargins(0, 0, 0, 0);
    bottomView_ = new BottomInfoView(services.statusBar, bottom);
    bottomLayout->addWidget(bottomView_);

    auto* splitter = new QSplitter(Qt::Horizontal, this);
    splitter->setObjectName(QStringLiteral("contentSplitter"));
    splitter->setChildrenCollapsible(false);
    splitter->setHandleWidth(1);
    splitter->addWidget(makeMenuBox());
    itemView_ = styledArea("itemView", splitter);
    auto* pageLayout = new QVBoxLayout(itemView_);
    pageLayout->setContentsMargins(0, 0, 0, 0);
    // While no page is open the area says where pages come from.
    emptyPageHint_ = new QLabel(QStringLiteral("请在左侧菜单中选择功能"), itemView_);
    emptyPageHint_->setObjectName(QStringLiteral("emptyPageHint"));
    emptyPageHint_->setAlignment(Qt::AlignCenter);
    pageLayout->addWidget(emptyPageHint_);
    // A page larger than the area scrolls inside it: its minimum size never
    // grows the window past the screen. The area itself takes no focus, so
    // the first Tab stop of the page is the page's own first field.
    pageArea_ = new QScrollArea(itemView_);
    pageArea_->setObjectName(QStringLiteral("pageArea"));
    pageArea_->setWidgetResizable(true);
    pageArea_->setFrameShape(QFrame::NoFrame);
    pageArea_->setFocusPolicy(Qt::NoFocus);
    pageArea_->viewport()->setAutoFillBackground(false);
    pageArea_->hide();
    pageLayout->addWidget(pageArea_);
    splitter->addWidget(itemView_);
    splitter->setStretchFactor(1, 1);
    splitter->setSizes({ 210, 790 });
    layout->addWidget(splitter, 1);
    layout->addWidget(bottom);

    connect(&controller_, &MainWindowController::outlineChanged, this, &MainWindow::refreshOutline);
    // After the click that moved the highlight has been handled in full: the
    // view selects the clicked row at the end of its own mouse handling.
    connect(&controller_, &MainWindowController::selectionRestored, this, &MainWindow::refreshSelection,
        Qt::QueuedConnection);
    connect(&controller_, &MainWindowController::selectionMoved, this, &MainWindow::refreshSelection);
    connect(&controller_, &MainWindowController::pageChanged, this, &MainWindow::refreshPage);
    connect(&controller_, &MainWindowController::accountsChanged, this, &MainWindow::refreshAccounts);
    connect(&controller_, &MainWindowController::messageCountChanged, this, &MainWindow::refreshMessageCount);
    connect(&controller_, &MainWindowController::runLoginPanel, this, &MainWindow::runLoginPanel,
        Qt::QueuedConnection);
    // The child windows close at the lock. One asked for while it is on (a
    // click that reached the hidden window) is not made at all, so nothing it
    // reads as it opens goes out from the locked screen.
    connect(&controller_, &MainWindowController::openMenuEditor, this, [this] {
        if (windowIsLocked())
            return;
        // Every press makes an editor of its own.
        editor_ = new MenuEditorWindow({}, this);
        editor_->showCentredOnScreen();
    });
    connect(&controller_, &MainWindowController::openUserSettings, this, [this] {
        if (userSettingFactory_ && !windowIsLocked())
            userSettingWC_.open([this] { return userSettingFactory_(this); });
    });
    connect(&controller_, &MainWindowController::openMessageCenter, this, [this] {
        if (messageCenterFactory_ && !windowIsLocked())
            messageCenterWC_.open([this] { return messageCenterFactory_(this); });
    });
    connect(&controller_, &MainWindowController::closeChildWindow, this, &MainWindow::closeChildWindow);
    connect(&controller_, &MainWindowController::closeWindow, this, &QWidget::close, Qt::QueuedConnection);

    // Never larger than the screen's usable area.
    QSize size = kDefaultSize;
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        size = size.boundedTo(screen->availableGeometry().size());
    resize(size);
    controller_.awakeFromNib();
}

MainWindow::~MainWindow()
{
    // The page widget goes before its controller.
    delete pageView_.data();
}

QWidget* MainWindow::makeTitleBar()
{
    QWidget* bar = styledArea("titleBar", this);
    bar->setFixedHeight(46);
    auto* layout = new QHBoxLayout(bar);
    layout->setContentsMargins(12, 4, 12, 4);
    layout->setSpacing(6);

    auto* title = new QLabel(QStringLiteral("Lumora证券 网上交易"), bar);
    title->setObjectName(QStringLiteral("appTitle"));
    // On a screen with little room (a large scale, a large font) the account
    // box narrows and the title gives way, rather than the window grow past
    // the screen's edge and take the page area's far side with it.
    title->setMinimumWidth(1);
    layout->addWidget(title);
    layout->addSpacing(24);

    activedAccountsButton_ = new QComboBox(bar);
    activedAccountsButton_->setObjectName(QStringLiteral("activedAccountsButton"));
    // Account lines are long (name, number, branch, kind): the box takes
    // what the title and the buttons leave, down to its least, rather than
    // widen the window.
    activedAccountsButton_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
    // The menu-style pop-up would draw its entries in the box's own white
    // text on the list's white; plain items take the list's colours.
    activedAccountsButton_->setItemDelegate(new QStyledItemDelegate(activedAccountsButton_));
    // A choice switches the active account.
    chooseInOpenList(activedAccountsButton_);
    connect(activedAccountsButton_, &QComboBox::activated, this, [this](int index) {
        if (!filling_)
            controller_.acitiveAccountChanged(index);
    });
    layout->addWidget(activedAccountsButton_, 1);

    accountPButton_ = titleButton(QStringLiteral("accountPButton"), QStringLiteral("账户"), bar);
    accountPButton_->setPopupMode(QToolButton::InstantPopup);
    auto* accountMenu = new QMenu(accountPButton_);
    accountMenu->addAction(QStringLiteral("新用户登录"), this,
        [this] { controller_.accountPButtonSelected(MainWindowController::kNewUserLogin); });
    accountMenu->addAction(QStringLiteral("注销当前用户"), this,
        [this] { controller_.accountPButtonSelected(MainWindowController::kLogoutCurrentUser); });
    accountPButton_->setMenu(accountMenu);
    layout->addWidget(accountPButton_);

    messageNotification_ = titleButton(QStringLiteral("messageNotification"), QStringLiteral("消息"), bar);
    messageNotification_->setMinimumWidth(58);
    connect(messageNotification_, &QToolButton::clicked, &controller_,
        &MainWindowController::messageCenterButtonClicked);
    layout->addWidget(messageNotification_);

    editButton_ = titleButton(QStringLiteral("editButton"), QStringLiteral("编辑菜单"), bar);
    connect(editButton_, &QToolButton::clicked, &controller_, &MainWindowController::editButtonClicked);
    layout->addWidget(editButton_);

    userSettingButton_ = titleButton(QStringLiteral("userSettingButton"), QStringLiteral("设置"), bar);
    userSettingButton_->setVisible(false);
    connect(userSettingButton_, &QToolButton::clicked, &controller_,
        &MainWindowController::userSettingButtonClicked);
    layout->addWidget(userSettingButton_);

    lockScreenButton_ = titleButton(QStringLiteral("lockScreenButton"), QStringLiteral("锁屏"), bar);
    connect(lockScreenButton_, &QToolButton::clicked, &controller_,
        &MainWindowController::lockScreenButtonClicked);
    layout->addWidget(lockScreenButton_);
    return bar;
}

QWidget* MainWindow::makeMenuBox()
{
    QWidget* box = styledArea("menuBox", this);
    box->setMinimumWidth(170);
    auto* layout = new QVBoxLayout(box);
    layout->setContentsMargins(8, 8, 0, 4);
    layout->setSpacing(4);

    itemSelectButton_ = new QComboBox(box);
    itemSelectButton_->setObjectName(QStringLiteral("itemSelectButton"));
    connect(itemSelectButton_, &QComboBox::activated, this, [this](int index) {
        if (!filling_)
            controller_.functionButtonSelected(index);
    });
    layout->addWidget(itemSelectButton_);

    menuTitleLabel_ = new QLabel(box);
    menuTitleLabel_->setObjectName(QStringLiteral("menuTitleLabel"));
    layout->addWidget(menuTitleLabel_);

    outlineModel_ = new MainWindowOutlineModel(this);
    outlineModel_->setShownDepth(kShownMenuLevels);
    itemListView_ = new QTreeView(box);
    itemListView_->setObjectName(QStringLiteral("itemListView"));
    itemListView_->setModel(outlineModel_);
    itemListView_->setHeaderHidden(true);
    itemListView_->setUniformRowHeights(true);
    itemListView_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    itemListView_->setSelectionMode(QAbstractItemView::SingleSelection);
    itemListView_->setIndentation(14);
    connect(itemListView_->selectionModel(), &QItemSelectionModel::currentChanged, this,
        [this](const QModelIndex& current) {
            if (!filling_ && current.isValid())
                controller_.outlineViewSelectionDidChange(outlineModel_->indexPath(current));
        });
    // A click on a group opens or closes it.
    connect(itemListView_, &QTreeView::clicked, this, [this](const QModelIndex& index) {
        if (outlineModel_->rowCount(index) > 0)
            itemListView_->setExpanded(index, !itemListView_->isExpanded(index));
    });
    layout->addWidget(itemListView_, 1);
    return box;
}

void MainWindow::setUserSettingWindowFactory(ChildWindowFactory factory)
{
    userSettingFactory_ = std::move(factory);
    userSettingButton_->setVisible(bool(userSettingFactory_));
}

void MainWindow::setMessageCenterWindowFactory(ChildWindowFactory factory)
{
    messageCenterFactory_ = std::move(factory);
}

void MainWindow::showEvent(QShowEvent* event)
{
    ui::Window::showEvent(event);
    fitFrameToScreen();
    if (!loaded_) {
        loaded_ = true;
        controller_.windowDidLoad();
    }
}

void MainWindow::moveEvent(QMoveEvent* event)
{
    ui::Window::moveEvent(event);
    fitFrameToScreen();
}

void MainWindow::resizeEvent(QResizeEvent* event)
{
    ui::Window::resizeEvent(event);
    fitFrameToScreen();
}

void MainWindow::fitFrameToScreen()
{
    if (!isVisible() || (windowState() & (Qt::WindowMaximized | Qt::WindowFullScreen | Qt::WindowMinimized)))
        return;
    const QSize extent = frameGeometry().size() - size();
    const QScreen* screen = this->screen();
    if (extent == frameExtent_ || !screen)
        return;
    frameExtent_ = extent;
    const QRect available = screen->availableGeometry();
    resize(size().boundedTo(available.size() - extent));
    QRect frame = frameGeometry();
    frame.moveRight(std::min(frame.right(), available.right()));
    frame.moveBottom(std::min(frame.bottom(), available.bottom()));
    frame.moveLeft(std::max(frame.left(), available.left()));
    frame.moveTop(std::max(frame.top(), available.top()));
    move(frame.topLeft());
}

void MainWindow::willClose()
{
    // A lock that closed the window (the risk gate logging every account
    // out) must not lock the session it just ended.
    locker_.controller().windowWillClose();
    lockWindow(false);
    controller_.windowWillClose();
    bottomView_->controller().unloadView();
}

void MainWindow::refreshOutline()
{
    filling_ = true;
    itemSelectButton_->clear();
    itemSelectButton_->addItems(controller_.menuTitles());
    itemSelectButton_->setCurrentIndex(
        int(controller_.menuTitles().indexOf(controller_.selectedMenuTitle())));
    menuTitleLabel_->setText(controller_.selectedMenuTitle());
    editButton_->setVisible(controller_.isEditButtonVisible());
    outlineModel_->setNodes(controller_.treeContent());
    itemListView_->expandAll();
    filling_ = false;
    refreshSelection();
}

void MainWindow::refreshSelection()
{
    filling_ = true;
    QItemSelectionModel* selection = itemListView_->selectionModel();
    const auto& path = controller_.selectedMenuItemIndex();
    const QModelIndex index = path ? outlineModel_->indexOfPath(*path) : QModelIndex();
    if (index.isValid()) {
        selection->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect);
        itemListView_->scrollTo(index);
    } else {
        selection->clearSelection();
        selection->setCurrentIndex(QModelIndex(), QItemSelectionModel::NoUpdate);
    }
    filling_ = false;
}

void MainWindow::refreshPage()
{
    MenuItemViewController* page = controller_.currentShow();
    if (pageView_ && pageView_->controller() == page && page)
        return;
    delete pageView_.data();
    if (page) {
        pageView_ = MenuItemViewCatalogue::shared().makeView(*page, pageArea_->viewport());
        pageArea_->setWidget(pageView_);
        // On the page area's own white, as pages are drawn.
        pageView_->setAutoFillBackground(false);
    }
    pageArea_->setVisible(bool(pageView_));
    emptyPageHint_->setVisible(!pageView_);
}

void MainWindow::refreshAccounts()
{
    filling_ = true;
    activedAccountsButton_->clear();
    activedAccountsButton_->addItems(controller_.accountTitles());
    activedAccountsButton_->setCurrentIndex(int(controller_.selectedAccountIndex()));
    filling_ = false;
}

void MainWindow::refreshMessageCount()
{
    const qint64 count = controller_.messageCount();
    messageNotification_->setVisible(count > 0);
    if (count <= 0)
        return;
    if (!messageCount_) {
        messageCount_ = new QLabel(messageNotification_);
        messageCount_->setObjectName(QStringLiteral("messageCount"));
        messageCount_->setAlignment(Qt::AlignCenter);
    }
    // The badge widens with the digits, as its images do: 16, 20, 24 points.
    const QString text = MainWindowController::badgeText(count);
    const int width = text.size() <= 1 ? 16 : text.size() == 2 ? 20 : 24;
    messageCount_->setText(text);
    messageCount_->setGeometry(messageNotification_->width() - width, 0, width, 14);
    messageCount_->raise();
    messageCount_->show();
}

void MainWindow::runLoginPanel()
{
    if (loginPanel_) {
        loginPanel_->activateWindow();
        return;
    }
    // Its form asks for a captcha as it is made.
    if (windowIsLocked())
        return;
    auto* panel = new LoginPanel(loginPanelServices_, this);
    panel->setAttribute(Qt::WA_DeleteOnClose);
    loginPanel_ = panel;
    panel->runModal();
    if (loginPanel_)
        loginPanel_->close();
}

void MainWindow::lockWindow(bool lock)
{
    if (!lock) {
        if (cover_)
            cover_->close();
        return;
    }
    if (!cover_) {
        cover_ = new LockScreenWindow(this);
        cover_->setAttribute(Qt::WA_DeleteOnClose);
    }
    cover_->showOverParent();
}

void MainWindow::closeChildWindow()
{
    for (MenuEditorWindow* editor : findChildren<MenuEditorWindow*>(Qt::FindDirectChildrenOnly))
        editor->close();
    userSettingWC_.close();
    messageCenterWC_.close();
    if (loginPanel_)
        loginPanel_->close();
    // An open pop-up menu closes with them.
    if (QWidget* popup = QApplication::activePopupWidget())
        popup->close();
}
