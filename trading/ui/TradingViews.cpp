#include "trading/ui/TradingViews.h"

#include "trading/ui/OrderAlertWindow.h"

void installTradingViews()
{
    registerOrderAlertWindow();
}
