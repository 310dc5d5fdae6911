#include "trading/ui/TradingViews.h"

#include "trading/pages/AfTradeViewController.h"
#include "trading/pages/TradeViewController.h"
#include "trading/pages/WarrantExerciseViewController.h"
#include "trading/ui/OrderAlertWindow.h"
#include "trading/ui/TradeView.h"

void installTradingViews()
{
    registerOrderAlertWindow();
    TradeViewController::registerPages();
    AfTradeViewController::registerPages();
    WarrantExerciseViewController::registerPages();
    registerTradeViews();
}
