#pragma once

// What the Stock Connect widget tests share: pages opened directly through
// the page factory in windows of their own, every box read and closed, and
// the confirmation dialog confirmed with Enter, as the customer does.
#include "connect/pages/HGTQueryViewControllers.h"
#include "connect/ui/HGTTradeView.h"
#include "shell/pages/MenuItemViewManager.h"
#include "support/Spin.h"
#include "trading/ui/OrderAlertWindow.h"

#include <QApplication>
#include <QMessageBox>
#include <QStringList>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>
#include <memory>
#include <vector>

namespace hgtviewtest {

template <class W> W* shown()
{
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (auto* found = qobject_cast<W*>(w); found && found->isVisible())
            return found;
    }
    return nullptr;
}

class CustomerHands {
public:
    // After the pages' registrations.
    void start()
    {
        QObject::connect(&boxWatch_, &QTimer::timeout, [this] {
            if (auto* box = shown<QMessageBox>()) {
                boxes << box->informativeText();
                box->accept();
            }
        });
        boxWatch_.start(10);
        OrderAlertWindowController::setShownHookForTesting([](OrderAlertWindowController& c) {
            QTimer::singleShot(0, &c, [] {
                if (auto* dialog = shown<OrderAlertWindow>())
                    QTest::keyClick(dialog, Qt::Key_Return);
            });
        });
    }
    // Before the singletons the pages use go.
    void stop()
    {
        boxWatch_.stop();
        OrderAlertWindowController::setShownHookForTesting({});
        OrderAlertWindowController::setViewFactory({});
        HGTCancelConfirmAlertWC::setViewFactory({});
        pages.clear();
        windows.clear();
    }
    // The page its link id names, made by the page factory, shown in a window.
    template <class View> View* openDirectly(qint64 linkId, QSize size)
    {
        std::unique_ptr<MenuItemViewController> page = MenuItemViewManager::getInstance()->openConnectPage(linkId);
        if (!page)
            return nullptr;
        auto window = std::make_unique<QWidget>();
        window->resize(size);
        MenuItemView* view = MenuItemViewCatalogue::shared().makeView(*page, window.get());
        view->resize(size);
        window->show();
        pages.push_back(std::move(page));
        windows.push_back(std::move(window));
        return dynamic_cast<View*>(view);
    }
    QString nextBox()
    {
        EXPECT_TRUE(testsupport::spinUntil([&] { return !boxes.isEmpty(); }));
        return boxes.isEmpty() ? QString() : boxes.takeFirst();
    }

    QStringList boxes;
    std::vector<std::unique_ptr<MenuItemViewController>> pages;
    std::vector<std::unique_ptr<QWidget>> windows;

private:
    QTimer boxWatch_;
};

} // namespace hgtviewtest
