#pragma once

#include "shell/pages/MenuItemViewController.h"

#include <QHash>
#include <QString>
#include <functional>
#include <memory>

// Page dispatch: the page of a menu entry, chosen from its link type and, for
// type 4, its link id. The table names the page classes; the libraries that
// own the pages (trading, funds, transfers, ...) register how to make them
// with registerPageClass, so the shell never names a page of theirs. A link
// whose class this build has not registered answers the not-supported
// message, as do the links of no class (the Stock Connect entries among
// them); no entry ever opens an empty page. Main thread only.
class MenuItemViewManager {
public:
    using PageFactory = std::function<std::unique_ptr<MenuItemViewController>(const BaseNode::Ptr&)>;

    static constexpr char kNotSupportedMessage[] = "该版本应用程序不支持此功能，请升级软件到最新版本。";
    static constexpr qint64 kExitTradingLinkId = 60004;

    static MenuItemViewManager* getInstance();
    // Tests: drops the shared manager with its registrations.
    static void resetInstance();

    explicit MenuItemViewManager(NotificationCenter* notificationCenter = nullptr);

    // setWindow: message boxes are shown through the main window's presenter.
    void setWindow(AlertPresenter* window) { window_ = window; }
    AlertPresenter* window() const { return window_ ? window_ : AlertPresenter::headless(); }

    // The class the table names for a link; "" when the link opens no page.
    static QString pageClassName(qint64 linkType, qint64 linkId);
    // The Stock Connect pages by link id (90000 to 90009); "" for another id.
    // The menu opens none of them: pageClassName names no class for these ids.
    static QString connectPageClassName(qint64 linkId);

    // A page class of this build; a later registration replaces an earlier one.
    void registerPageClass(const QString& className, PageFactory factory);
    bool hasPageClass(const QString& className) const { return factories_.contains(className); }

    // getViewController: a new page, loaded, for the node; none after the
    // not-supported message or the exit-trading question (type 14 on "确认").
    std::unique_ptr<MenuItemViewController> getViewController(const BaseNode::Ptr& node);
    // A Stock Connect page opened directly, made by the same factory and set
    // up as the dispatch sets up a page; none (and the not-supported message)
    // for an id of no such page or a class this build has not registered.
    std::unique_ptr<MenuItemViewController> openConnectPage(qint64 linkId, const QString& title = QString());

private:
    std::unique_ptr<MenuItemViewController> makePage(const QString& className, const BaseNode::Ptr& node);
    void showNotSupported();
    void askExitTrading();

    NotificationCenter* notificationCenter;
    AlertPresenter* window_ = nullptr;
    QHash<QString, PageFactory> factories_;
};
