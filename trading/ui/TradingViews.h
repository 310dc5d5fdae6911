#pragma once

// Installs the widgets of the trading library: the confirmation dialog's
// window, and the trading pages' widgets in the page catalogue. Called once at
// start-up, before any page opens.
void installTradingViews();
