#include "funds/ui/FundsStartup.h"

#include "funds/pages/OpdQuoteViewController.h"
#include "funds/requests/FundDataModels.h"
#include "funds/ui/FundPanels.h"

void installFundLibrary()
{
    registerFundDataModels();
    registerFundPages();
    registerFundViews();
}
