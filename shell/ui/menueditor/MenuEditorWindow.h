#pragma once

#include "shell/ui/RunAlert.h"
#include "shell/ui/Window.h"
#include "shell/windows/MenuEditorWindowController.h"

class QListWidget;
class QStandardItemModel;
class QTreeView;

// The menu editor window; it shows its MenuEditorWindowController. Each row
// of both outlines is a check box titled with the entry's name.
class MenuEditorWindow final : public ui::Window {
    Q_OBJECT
public:
    explicit MenuEditorWindow(MenuEditorWindowController::Services services = {}, QWidget* parent = nullptr);
    ~MenuEditorWindow() override;

    MenuEditorWindowController& controller() { return controller_; }
    // Shows the window centred on the screen (not over its parent), in front.
    void showCentredOnScreen();

protected:
    void willClose() override;

private:
    void fillOutline(
        QTreeView* view, QStandardItemModel* model, const BaseNode::List& nodes, bool selectFirstChild);

    MenuEditorWindowController controller_;
    WindowAlertPresenter alerts_;
    QListWidget* rootMenuTableView_ = nullptr;
    QTreeView* editMenuView_ = nullptr;
    QTreeView* userMenuView_ = nullptr;
    QStandardItemModel* editorModel_ = nullptr;
    QStandardItemModel* userMenuModel_ = nullptr;
    bool filling_ = false;
};
