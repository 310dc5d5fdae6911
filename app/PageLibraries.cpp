#include "app/PageLibraries.h"

#include "compliance/permissions/PermissionSettingsViewController.h"
#include "compliance/ui/BusinessContractView.h"
#include "funds/ui/FundsStartup.h"
#include "shell/ui/pages/AccountPageViews.h"
#include "trading/ui/QueryPageViews.h"
#include "trading/ui/TradingViews.h"
#include "transfer/pages/TransferPages.h"
#include "transfer/ui/TransferViews.h"

void installPageLibraries()
{
    // Library by library; the main window's dispatch finds them by page class.
    registerAccountPageViews();
    registerCompliancePages();
    installComplianceViews();
    installTradingViews();
    installFundLibrary();
    registerTransferPages();
    registerTransferPageViews();
    registerQueryPageViews();
}
