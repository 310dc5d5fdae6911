#include "shell/pages/AccountPages.h"

#include "shell/pages/ChangePasswordViewController.h"
#include "shell/pages/MenuItemViewManager.h"
#include "shell/pages/ReservationInfoViewController.h"

void registerAccountPages(MenuItemViewManager* manager)
{
    if (!manager)
        manager = MenuItemViewManager::getInstance();
    manager->registerPageClass(QString::fromLatin1(ChangePasswordViewController::kPageClass),
        [](const BaseNode::Ptr& node) { return std::make_unique<ChangePasswordViewController>(node); });
    manager->registerPageClass(QString::fromLatin1(ReservationInfoViewController::kPageClass),
        [](const BaseNode::Ptr& node) { return std::make_unique<ReservationInfoViewController>(node); });
}
