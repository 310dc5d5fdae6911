#pragma once

#include <QStringList>

class QComboBox;

// Shows a pop-up's items without telling its own listeners; the items are
// replaced only when they differ (the names, not only their count), so an
// open list stays put and an item picked keeps its position.
void fillPopUpItems(QComboBox* box, const QStringList& items);
// The same, and the item shown, again without telling its listeners.
void fillPopUp(QComboBox* box, const QStringList& items, int selected);

// For a pop-up whose choice acts at once (it reconnects, switches the
// account, sends a request): a key that would step the closed pop-up to
// another item (an arrow, Page Up or Down, Home, End, a typed letter) opens
// its list instead, so a choice is made only in the open list, by a click or
// Enter. Making it so again does nothing.
void chooseInOpenList(QComboBox* box);
