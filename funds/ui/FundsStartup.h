#pragma once

// The fund library at start-up: its request classes, pages and their
// widgets. Declared alone so that start-up code need not see the fund
// records next to trading's.
void installFundLibrary();
