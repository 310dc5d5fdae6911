#include "shell/ui/menueditor/MenuEditorWindow.h"

#include "core/NotificationCenter.h"
#include "platform/PropertyList.h"
#include "shell/ShellTestRig.h"
#include "support/Spin.h"

#include <QPointer>
#include <QPushButton>
#include <QTreeView>

using namespace shelltest;

namespace {

class MenuEditorWindowTest : public ShellHomeFixture {
protected:
    void SetUp() override
    {
        ShellHomeFixture::SetUp();
        menuManager = std::make_unique<MenuManager>();
        menuManager->setMenuInfo(std::make_shared<RDOMenuManager>(std::vector<RDOMenuInfo::Ptr> {
            node("1", "-1", "行情"), node("2", "-1", "资讯"), node("3", "-1", "开户"),
            node("4", "-1", "服务"), node("5", "-1", "网上交易"), node("11", "5", "买入", "buysale?MMLB=0"),
            node("52", "5", "资金查询", "tradequery?tc_mfuncno=500") }));
        NotificationCenter::getInstance()->addObserver(
            &menuChanges, [this] { ++menuChanges; }, 7);
        window = new MenuEditorWindow({ menuManager.get(), NotificationCenter::getInstance() });
        window->setAttribute(Qt::WA_DeleteOnClose);
        window->show();
    }
    void TearDown() override
    {
        delete window.data();
        NotificationCenter::getInstance()->removeObserver(&menuChanges);
        menuManager.reset();
        ShellHomeFixture::TearDown();
    }
    // Unticks an entry of the editor as a click on its box does.
    void untick(int row)
    {
        QAbstractItemModel* editor = window->findChild<QTreeView*>("editMenuView")->model();
        editor->setData(editor->index(row, 0), Qt::Unchecked, Qt::CheckStateRole);
    }
    int previewRows() const { return window->findChild<QTreeView*>("userMenuView")->model()->rowCount(); }
    QString stored(const QString& id) const
    {
        return platform::PropertyList::readFile(menuManager->menuVisiblePath())->toMap().value(id).toString();
    }

    std::unique_ptr<MenuManager> menuManager;
    QPointer<MenuEditorWindow> window;
    int menuChanges = 0;
};

} // namespace

TEST_F(MenuEditorWindowTest, UntickedEntryLeavesThePreviewAndOkKeepsIt)
{
    EXPECT_EQ(previewRows(), 2);
    untick(1);
    EXPECT_EQ(previewRows(), 1);
    window->findChild<QPushButton*>("okButton")->click();
    ASSERT_TRUE(testsupport::spinUntil([this] { return window.isNull(); }));
    EXPECT_EQ(stored("52"), "0");
    EXPECT_EQ(menuChanges, 1);
}

TEST_F(MenuEditorWindowTest, CloseBoxDropsTheChanges)
{
    untick(0);
    window->close();
    EXPECT_EQ(stored("11"), "1");
    EXPECT_TRUE(menuManager->getMenuItemVisible("11"));
    EXPECT_EQ(menuChanges, 0);
}
