#pragma once

class MenuItemViewManager;

// Registers the account's own pages, the password page and the reserved
// greeting page, under their page classes (null: the shared manager).
void registerAccountPages(MenuItemViewManager* manager = nullptr);
