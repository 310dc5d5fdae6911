#include "shell/ui/pages/AccountPageViews.h"

#include "shell/pages/AccountPages.h"
#include "shell/ui/MainWindow.h"
#include "shell/ui/MessageCenterWindow.h"
#include "shell/ui/UserSettingWindow.h"
#include "shell/ui/pages/ChangePasswordView.h"
#include "shell/ui/pages/ReservationInfoView.h"

void registerAccountPageViews()
{
    registerAccountPages();
    // Each factory answers nothing for a controller of another class.
    MenuItemViewCatalogue::shared().registerView(
        QString::fromLatin1(ChangePasswordViewController::kPageClass),
        [](MenuItemViewController& controller, QWidget* parent) -> MenuItemView* {
            auto* page = dynamic_cast<ChangePasswordViewController*>(&controller);
            return page ? new ChangePasswordView(*page, parent) : nullptr;
        });
    MenuItemViewCatalogue::shared().registerView(
        QString::fromLatin1(ReservationInfoViewController::kPageClass),
        [](MenuItemViewController& controller, QWidget* parent) -> MenuItemView* {
            auto* page = dynamic_cast<ReservationInfoViewController*>(&controller);
            return page ? new ReservationInfoView(*page, parent) : nullptr;
        });
}

void installAccountWindows(MainWindow& window)
{
    window.setUserSettingWindowFactory([](QWidget* parent) { return new UserSettingWindow({}, parent); });
    window.setMessageCenterWindowFactory([](QWidget* parent) { return new MessageCenterWindow({}, parent); });
}
