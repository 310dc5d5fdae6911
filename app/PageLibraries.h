#pragma once

// Registers the pages of every library with the menu's page dispatch, and
// their widgets. The application calls it once at start; a test calls it to
// see that every menu entry the dispatch maps has a page.
void installPageLibraries();
