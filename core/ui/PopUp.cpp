#include "core/ui/PopUp.h"

#include <QComboBox>
#include <QSignalBlocker>
#include <QStringList>

void fillPopUpItems(QComboBox* box, const QStringList& items)
{
    const QSignalBlocker block(box);
    QStringList shown;
    for (int i = 0; i < box->count(); ++i)
        shown << box->itemText(i);
    if (shown != items) {
        box->clear();
        box->addItems(items);
    }
}

void fillPopUp(QComboBox* box, const QStringList& items, int selected)
{
    fillPopUpItems(box, items);
    const QSignalBlocker block(box);
    box->setCurrentIndex(selected);
}
