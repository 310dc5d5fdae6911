#pragma once

// Registers the widgets of the account's own pages (password, reserved
// greeting) with the page-view catalogue.
void registerAccountPageViews();
