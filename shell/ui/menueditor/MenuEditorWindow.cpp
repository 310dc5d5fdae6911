#include "shell/ui/menueditor/MenuEditorWindow.h"

#include "shell/menu/MenuManager.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QStandardItemModel>
#include <QTreeView>
#include <QVBoxLayout>

namespace {

// The outline node a row shows; the controller keeps the nodes alive until
// it rebuilds the outline, and the rows are rebuilt with it.
constexpr int kNodeRole = Qt::UserRole + 1;

BaseNode* nodeOf(const QModelIndex& index)
{
    return reinterpret_cast<BaseNode*>(index.data(kNodeRole).value<quintptr>());
}

QTreeView* makeOutline(const QString& name, QStandardItemModel* model, QWidget* parent)
{
    auto* view = new QTreeView(parent);
    view->setObjectName(name);
    view->setModel(model);
    view->setHeaderHidden(true);
    view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    view->setSelectionMode(QAbstractItemView::SingleSelection);
    view->setUniformRowHeights(true);
    return view;
}

} // namespace

MenuEditorWindow::MenuEditorWindow(MenuEditorWindowController::Services services, QWidget* parent)
    : ui::Window(parent)
    , controller_(services)
    , alerts_(this)
{
    setObjectName(QStringLiteral("menuEditorWindow"));
    setWindowTitle(QStringLiteral("自定义菜单"));
    controller_.setAlertPresenter(&alerts_);

    rootMenuTableView_ = new QListWidget(this);
    rootMenuTableView_->setObjectName(QStringLiteral("rootMenuTableView"));
    rootMenuTableView_->setMaximumWidth(140);
    editorModel_ = new QStandardItemModel(this);
    userMenuModel_ = new QStandardItemModel(this);
    editMenuView_ = makeOutline(QStringLiteral("editMenuView"), editorModel_, this);
    userMenuView_ = makeOutline(QStringLiteral("userMenuView"), userMenuModel_, this);

    auto* ok = new QPushButton(QStringLiteral("确定"), this);
    ok->setObjectName(QStringLiteral("okButton"));
    auto* cancel = new QPushButton(QStringLiteral("取消"), this);
    cancel->setObjectName(QStringLiteral("cancelButton"));
    cancel->setDefault(true);

    auto* preview = new QVBoxLayout;
    preview->addWidget(new QLabel(QString::fromUtf8(MenuManager::kMyTradeTitle), this));
    preview->addWidget(userMenuView_);
    auto* outlines = new QHBoxLayout;
    outlines->addWidget(rootMenuTableView_);
    outlines->addWidget(editMenuView_, 1);
    outlines->addLayout(preview, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(cancel);
    buttons->addWidget(ok);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(outlines);
    layout->addLayout(buttons);
    resize(640, 460);

    connect(&controller_, &MenuEditorWindowController::editorOutlineChanged, this,
        [this] { fillOutline(editMenuView_, editorModel_, controller_.editorOutline(), false); });
    connect(&controller_, &MenuEditorWindowController::userMenuOutlineChanged, this,
        [this] { fillOutline(userMenuView_, userMenuModel_, controller_.userMenuOutline(), true); });
    connect(editorModel_, &QStandardItemModel::itemChanged, this, [this](QStandardItem* item) {
        if (BaseNode* node = filling_ ? nullptr : nodeOf(item->index()))
            controller_.editMenuViewItemClicked(*node, item->checkState() == Qt::Checked);
    });
    connect(userMenuView_, &QTreeView::doubleClicked, this, [this](const QModelIndex& index) {
        if (const BaseNode* node = nodeOf(index))
            controller_.userMenuViewItemDoubleClicked(*node);
    });
    connect(rootMenuTableView_, &QListWidget::currentRowChanged, &controller_,
        &MenuEditorWindowController::setSelectedRoot);
    connect(ok, &QPushButton::clicked, this, [this] {
        if (controller_.okButtonClicked())
            close();
    });
    connect(cancel, &QPushButton::clicked, this, [this] {
        controller_.cancelButtonClicked();
        close();
    });

    controller_.awakeFromNib();
    rootMenuTableView_->addItems(controller_.rootMenuTitles());
    rootMenuTableView_->setCurrentRow(controller_.selectedRoot());
}

MenuEditorWindow::~MenuEditorWindow() = default;

void MenuEditorWindow::showCentredOnScreen()
{
    ui::centreOver(this, nullptr);
    show();
    // The frame is known once shown; centre on that.
    ui::centreOver(this, nullptr);
    raise();
    activateWindow();
}

void MenuEditorWindow::willClose()
{
    controller_.windowWillClose();
}

void MenuEditorWindow::fillOutline(
    QTreeView* view, QStandardItemModel* model, const BaseNode::List& nodes, bool selectFirstChild)
{
    filling_ = true;
    model->clear();
    // No recursion: a deep menu from the server cannot exhaust the stack.
    struct Step {
        BaseNode::List list;
        QStandardItem* parent;
        int depth;
    };
    std::vector<Step> steps { { nodes, model->invisibleRootItem(), 1 } };
    while (!steps.empty()) {
        const auto [list, parent, depth] = std::move(steps.back());
        steps.pop_back();
        for (const BaseNode::Ptr& node : list) {
            auto* item = new QStandardItem(node->nodeTitle);
            item->setData(QVariant::fromValue(quintptr(node.get())), kNodeRole);
            // The preview shows the ticks; only the editor changes them.
            item->setCheckable(view == editMenuView_);
            item->setCheckState(node->isVisiable ? Qt::Checked : Qt::Unchecked);
            item->setEditable(false);
            item->setSelectable(MenuEditorWindowController::shouldSelectItem(*node));
            if (node->isGroup) {
                QFont bold = item->font();
                bold.setBold(true);
                item->setFont(bold);
            }
            parent->appendRow(item);
            if (!node->isLeaf() && depth < kShownMenuLevels)
                steps.push_back({ node->children(), item, depth + 1 });
        }
    }
    view->expandAll();
    const QModelIndex first = model->index(0, 0);
    view->setCurrentIndex(selectFirstChild ? model->index(0, 0, first) : first);
    filling_ = false;
}
