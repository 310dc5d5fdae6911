#pragma once

#include <QStringList>

class QComboBox;

// Shows a pop-up's items without telling its own listeners; the items are
// replaced only when they differ (the names, not only their count), so an
// open list stays put and an item picked keeps its position.
void fillPopUpItems(QComboBox* box, const QStringList& items);
// The same, and the item shown, again without telling its listeners.
void fillPopUp(QComboBox* box, const QStringList& items, int selected);
