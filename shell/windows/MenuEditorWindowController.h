#pragma once

#include "shell/menu/BaseNode.h"
#include "shell/windows/AlertPresenter.h"

#include <QObject>
#include <QStringList>

class MenuManager;
class NotificationCenter;

// What MenuEditorWindowController works with; null ones are the shared instances.
struct MenuEditorWindowControllerServices {
    MenuManager* menuManager = nullptr;
    NotificationCenter* notificationCenter = nullptr;
};

// The menu editor without its widgets: the trading menu with a tick per
// entry, and a preview of "我的交易" with the ticked entries only. Ticks
// change the menu store in memory; OK writes "MenuVisible.plist" and tells
// the main window, any other way of closing reads the file back. Main
// thread only.
class MenuEditorWindowController final : public QObject {
    Q_OBJECT
public:
    using Services = MenuEditorWindowControllerServices;
    static constexpr int32_t kMenuChanged = 7;

    explicit MenuEditorWindowController(Services services = Services(), QObject* parent = nullptr);

    void setAlertPresenter(AlertPresenter* alerts) { alerts_ = alerts ? alerts : AlertPresenter::headless(); }

    // awakeFromNib: the root list, then both outlines.
    void awakeFromNib();
    // The roots that can be edited (the trading root), by name.
    const QStringList& rootMenuTitles() const { return rootTitles_; }
    int selectedRoot() const { return selectedRoot_; }
    // A root picked in the list: the editor outline shows it.
    void setSelectedRoot(int index);

    // Every entry of the chosen root (the editor) and the shown entries of
    // the trading root (the preview).
    const BaseNode::List& editorOutline() const { return editorOutline_; }
    const BaseNode::List& userMenuOutline() const { return userMenuOutline_; }

    // editMenuViewItemClicked: an entry's box in the editor was set.
    void editMenuViewItemClicked(BaseNode& node, bool visible);
    // userMenuViewItemDoubleClicked: the entry leaves the preview and loses its tick.
    void userMenuViewItemDoubleClicked(const BaseNode& node);
    // okButtonClicked: answers whether the window may close; when the file
    // cannot be written the user is told and the choices stay on screen.
    bool okButtonClicked();
    // cancelButtonClicked, and windowWillClose for every way of closing:
    // the file's state comes back.
    void cancelButtonClicked();
    void windowWillClose();

    // outlineView:shouldSelectItem: entries with a title below a root.
    static bool shouldSelectItem(const BaseNode& node);

signals:
    void editorOutlineChanged();
    void userMenuOutlineChanged();

private:
    void fillEditorOutline();
    void fillUserMenuOutline();

    MenuManager* menuManager;
    NotificationCenter* notificationCenter;
    AlertPresenter* alerts_ = AlertPresenter::headless();
    QStringList rootTitles_;
    int selectedRoot_ = -1;
    BaseNode::List editorOutline_;
    BaseNode::List userMenuOutline_;
};
