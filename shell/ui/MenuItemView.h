#pragma once

#include "shell/pages/MenuItemViewController.h"
#include "shell/ui/RunAlert.h"

#include <QHash>
#include <QLabel>
#include <QPointer>
#include <QString>
#include <QWidget>
#include <functional>

// The widget of a content page: it shows its MenuItemViewController in
// refresh() (called on every changed()) and forwards the user's actions; it
// keeps no state of its own and never owns the controller. Message boxes of
// the page open on the page's window. While figures the page shows may be out
// of date (an action's outcome is unknown and they are not read again yet) a
// line across the top of the page says so, in a band the page keeps above its
// controls (its contents margin): a page without a layout places its controls
// in contentsRect().
class MenuItemView : public QWidget {
    Q_OBJECT
public:
    static constexpr char kOutOfDateText[] = "操作结果未知，以下数据可能不是最新，正在向服务器重新查询。";

    explicit MenuItemView(MenuItemViewController& controller, QWidget* parent = nullptr);
    ~MenuItemView() override;

    MenuItemViewController* controller() const { return controller_.data(); }

    // removeSubViewsFromView: takes every child out of the container's layout
    // and hides it; the container still owns them, so a page that swaps
    // panels can show one again.
    static void removeSubViewsFromView(QWidget* view);

protected:
    virtual void refresh() { }
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    // Shows or hides the out-of-date line as the controller says.
    void markOutOfDate();

    QPointer<MenuItemViewController> controller_;
    WindowAlertPresenter alerts_;
    QLabel* outOfDate_;
};

// How the widget of each page class is made. The libraries that register a
// page class with MenuItemViewManager register its widget here from their
// own widget library. A page class without a widget shows its title.
class MenuItemViewCatalogue {
public:
    using ViewFactory = std::function<MenuItemView*(MenuItemViewController&, QWidget*)>;

    static MenuItemViewCatalogue& shared();
    void registerView(const QString& className, ViewFactory factory);
    MenuItemView* makeView(MenuItemViewController& controller, QWidget* parent) const;

private:
    QHash<QString, ViewFactory> factories_;
};
