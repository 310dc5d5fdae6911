#include "ShellTestRig.h"
#include "WindowTestRig.h"
#include "core/NotificationCenter.h"
#include "platform/PropertyList.h"
#include "shell/windows/MenuEditorWindowController.h"

#include <QDir>
#include <QFile>

using namespace shelltest;

namespace {

// A trading root (the fifth) with a group of two entries and one entry.
std::shared_ptr<RDOMenuManager> tradingMenu()
{
    return std::make_shared<RDOMenuManager>(std::vector<RDOMenuInfo::Ptr> { node("1", "-1", "行情"),
        node("2", "-1", "资讯"), node("3", "-1", "开户"), node("4", "-1", "服务"),
        node("5", "-1", "网上交易"), node("51", "5", "股票交易"), node("11", "51", "买入", "buysale?MMLB=0"),
        node("12", "51", "卖出", "buysale?MMLB=1"),
        node("52", "5", "资金查询", "tradequery?tc_mfuncno=500&tc_sfuncno=2") });
}

// The outline as text: "title" for a ticked entry, "-title" for a hidden one,
// children in parentheses.
QString shape(const BaseNode::List& nodes)
{
    QStringList out;
    for (const BaseNode::Ptr& n : nodes) {
        QString one = (n->isVisiable ? "" : "-") + n->nodeTitle;
        if (!n->isLeaf())
            one += u'(' + shape(n->children()) + u')';
        out << one;
    }
    return out.join(u' ');
}

BaseNode& find(const BaseNode::List& nodes, const QString& title)
{
    for (const BaseNode::Ptr& n : nodes) {
        if (n->nodeTitle == title)
            return *n;
        if (!n->isLeaf() && n->isGroup) {
            for (const BaseNode::Ptr& c : n->children())
                if (c->nodeTitle == title)
                    return *c;
        }
    }
    throw std::runtime_error("no such entry");
}

class MenuEditorControllerTest : public ShellHomeFixture {
protected:
    void SetUp() override
    {
        ShellHomeFixture::SetUp();
        menuManager = std::make_unique<MenuManager>();
        menuManager->setMenuInfo(tradingMenu());
        NotificationCenter::getInstance()->addObserver(
            &menuChanges, [this] { ++menuChanges; }, 7);
        editor = std::make_unique<MenuEditorWindowController>(
            MenuEditorWindowController::Services { menuManager.get(), NotificationCenter::getInstance() });
        editor->setAlertPresenter(&alerts);
        editor->awakeFromNib();
    }
    void TearDown() override
    {
        NotificationCenter::getInstance()->removeObserver(&menuChanges);
        editor.reset();
        menuManager.reset();
        ShellHomeFixture::TearDown();
    }
    QVariantMap storedVisibility() const
    {
        const auto stored = platform::PropertyList::readFile(menuManager->menuVisiblePath());
        return stored ? stored->toMap() : QVariantMap();
    }

    std::unique_ptr<MenuManager> menuManager;
    std::unique_ptr<MenuEditorWindowController> editor;
    windowtest::RecordingAlerts alerts;
    int menuChanges = 0;
};

} // namespace

TEST_F(MenuEditorControllerTest, HidingInTheEditorUpdatesThePreviewAndCancelRestores)
{
    EXPECT_EQ(editor->rootMenuTitles(), QStringList { "网上交易" });
    EXPECT_EQ(shape(editor->editorOutline()), "股票交易(买入 卖出) 资金查询");
    EXPECT_EQ(shape(editor->userMenuOutline()), "股票交易(买入 卖出) 资金查询");

    editor->editMenuViewItemClicked(find(editor->editorOutline(), "资金查询"), false);
    EXPECT_EQ(shape(editor->userMenuOutline()), "股票交易(买入 卖出)");
    // A hidden group takes its subtree out of the preview; its entries keep their ticks.
    editor->editMenuViewItemClicked(find(editor->editorOutline(), "股票交易"), false);
    EXPECT_EQ(shape(editor->userMenuOutline()), "");
    EXPECT_EQ(shape(editor->editorOutline()), "-股票交易(买入 卖出) -资金查询");

    editor->cancelButtonClicked();
    EXPECT_TRUE(menuManager->getMenuItemVisible("52"));
    EXPECT_TRUE(menuManager->getMenuItemVisible("51"));
    EXPECT_EQ(menuChanges, 0);
}

TEST_F(MenuEditorControllerTest, DoubleClickInThePreviewHidesAndUnticks)
{
    editor->userMenuViewItemDoubleClicked(find(editor->userMenuOutline(), "卖出"));
    EXPECT_EQ(shape(editor->userMenuOutline()), "股票交易(买入) 资金查询");
    EXPECT_EQ(shape(editor->editorOutline()), "股票交易(买入 -卖出) 资金查询");
}

TEST_F(MenuEditorControllerTest, OkWritesTheFileAndTellsTheMainWindowClosingWritesNothing)
{
    const QVariantMap before = storedVisibility();
    editor->editMenuViewItemClicked(find(editor->editorOutline(), "买入"), false);
    editor->windowWillClose();
    EXPECT_EQ(storedVisibility(), before);
    EXPECT_TRUE(menuManager->getMenuItemVisible("11"));

    editor->awakeFromNib();
    editor->editMenuViewItemClicked(find(editor->editorOutline(), "买入"), false);
    EXPECT_TRUE(editor->okButtonClicked());
    editor->windowWillClose();
    EXPECT_EQ(storedVisibility().value("11").toString(), "0");
    EXPECT_EQ(storedVisibility().value("12").toString(), "1");
    EXPECT_FALSE(menuManager->getMenuItemVisible("11"));
    EXPECT_EQ(menuChanges, 1);
}

TEST_F(MenuEditorControllerTest, OkThatCannotWriteKeepsTheWindowAndSaysSo)
{
    // The visibility file's place is taken by a folder: the write fails.
    ASSERT_TRUE(QFile::remove(menuManager->menuVisiblePath()));
    ASSERT_TRUE(QDir().mkdir(menuManager->menuVisiblePath()));
    editor->editMenuViewItemClicked(find(editor->editorOutline(), "买入"), false);
    EXPECT_FALSE(editor->okButtonClicked());
    ASSERT_EQ(alerts.shown.size(), 1u);
    EXPECT_EQ(alerts.shown[0].title, "错误");
    EXPECT_EQ(menuChanges, 0);
    EXPECT_FALSE(menuManager->getMenuItemVisible("11"));
}

TEST_F(MenuEditorControllerTest, RootsAndUntitledEntriesCannotBeSelected)
{
    ChildNode root, decimalRoot, untitled, entry;
    root.nodeTitle = "网上交易";
    root.parentId = "-1";
    decimalRoot.nodeTitle = "行情";
    decimalRoot.parentId = "-1.0";
    untitled.parentId = "5";
    entry.nodeTitle = "买入";
    entry.parentId = "51";
    EXPECT_FALSE(MenuEditorWindowController::shouldSelectItem(root));
    EXPECT_FALSE(MenuEditorWindowController::shouldSelectItem(decimalRoot));
    EXPECT_FALSE(MenuEditorWindowController::shouldSelectItem(untitled));
    EXPECT_TRUE(MenuEditorWindowController::shouldSelectItem(entry));
}
