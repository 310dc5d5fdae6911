#pragma once

#include <QComboBox>
#include <QLineEdit>
#include <QSignalBlocker>
#include <QStringList>

// What the order forms share when they show their page's state.

// A field the user is typing in keeps its cursor unless the text changed.
inline void setIfChanged(QLineEdit* edit, const QString& text)
{
    if (edit->text() != text)
        edit->setText(text);
}

// A pop-up shows the page's items and choice without reporting it back.
inline void fill(QComboBox* box, const QStringList& items, int selected)
{
    const QSignalBlocker block(box);
    QStringList shown;
    for (int i = 0; i < box->count(); ++i)
        shown << box->itemText(i);
    if (shown != items) {
        box->clear();
        box->addItems(items);
    }
    box->setCurrentIndex(selected);
}
