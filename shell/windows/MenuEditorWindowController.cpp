#include "shell/windows/MenuEditorWindowController.h"

#include "comm/recordset/ServerNumber.h"
#include "core/NotificationCenter.h"
#include "shell/menu/MenuManager.h"

MenuEditorWindowController::MenuEditorWindowController(Services services, QObject* parent)
    : QObject(parent)
    , menuManager(services.menuManager ? services.menuManager : MenuManager::getInstance())
    , notificationCenter(
          services.notificationCenter ? services.notificationCenter : NotificationCenter::getInstance())
{
}

void MenuEditorWindowController::awakeFromNib()
{
    rootTitles_.clear();
    for (const RDOMenuInfo::Ptr& root : menuManager->getRootMenuArray())
        rootTitles_ << root->menuName;
    selectedRoot_ = rootTitles_.isEmpty() ? -1 : 0;
    fillEditorOutline();
    fillUserMenuOutline();
}

void MenuEditorWindowController::setSelectedRoot(int index)
{
    if (index < 0 || index >= rootTitles_.size() || index == selectedRoot_)
        return;
    selectedRoot_ = index;
    fillEditorOutline();
}

void MenuEditorWindowController::fillEditorOutline()
{
    const RDOMenuInfo::Ptr root
        = selectedRoot_ >= 0 ? menuManager->getTradeMenuInfo(rootTitles_[selectedRoot_]) : nullptr;
    editorOutline_ = root ? buildMenuOutline(*root, false, *menuManager) : BaseNode::List();
    emit editorOutlineChanged();
}

void MenuEditorWindowController::fillUserMenuOutline()
{
    const RDOMenuInfo::Ptr root
        = menuManager->getTradeMenuInfo(QString::fromUtf8(MenuManager::kMyTradeTitle));
    userMenuOutline_ = root ? buildMenuOutline(*root, true, *menuManager) : BaseNode::List();
    emit userMenuOutlineChanged();
}

void MenuEditorWindowController::editMenuViewItemClicked(BaseNode& node, bool visible)
{
    node.isVisiable = visible;
    menuManager->setMenuItemVisible(visible, node.nodeId);
    fillUserMenuOutline();
}

void MenuEditorWindowController::userMenuViewItemDoubleClicked(const BaseNode& node)
{
    menuManager->setMenuItemVisible(false, node.nodeId);
    fillUserMenuOutline();
    fillEditorOutline();
}

bool MenuEditorWindowController::okButtonClicked()
{
    if (editorOutline_.empty())
        return true; // no menu, nothing to keep
    // Closing reads the file back, so choices that were not written would be
    // lost without a word.
    if (!menuManager->applyMenuItemsVisibleSetting()) {
        alerts_->runAlert(AlertRequest::error(QStringLiteral("菜单设置未能保存，请稍后再试。")), nullptr);
        return false;
    }
    notificationCenter->postNotification(kMenuChanged);
    return true;
}

void MenuEditorWindowController::cancelButtonClicked()
{
    windowWillClose();
}

void MenuEditorWindowController::windowWillClose()
{
    menuManager->restoreMenuItemsVisibleSetting();
}

bool MenuEditorWindowController::shouldSelectItem(const BaseNode& node)
{
    return servernumber::wholeValueOf(node.parentId) != -1 && !node.nodeTitle.isEmpty();
}
