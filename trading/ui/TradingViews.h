#pragma once

// Installs the trading pages in the page dispatch and their widgets in the
// page catalogue, and the confirmation dialog's window. Called once at
// start-up, before any page opens.
void installTradingViews();
