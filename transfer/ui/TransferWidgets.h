#pragma once

#include <QComboBox>
#include <QLineEdit>
#include <QSignalBlocker>
#include <QStringList>

// Small pieces the transfer pages' widgets share.
namespace transferui {

template <class W> W* named(W* widget, const char* name)
{
    widget->setObjectName(QString::fromLatin1(name));
    return widget;
}

inline QLineEdit* passwordField(QWidget* parent, const char* name)
{
    auto* field = named(new QLineEdit(parent), name);
    field->setEchoMode(QLineEdit::Password);
    field->setMaxLength(255);
    return field;
}

// Fills a popup with items and a selection without telling the page.
inline void fill(QComboBox* box, const QStringList& items, qsizetype selected)
{
    const QSignalBlocker quiet(box);
    QStringList now;
    for (int i = 0; i < box->count(); ++i)
        now << box->itemText(i);
    if (now != items) {
        box->clear();
        box->addItems(items);
    }
    box->setCurrentIndex(int(selected));
}

// Shows the page's text without moving the cursor when it is already there.
inline void show(QLineEdit* field, const QString& text)
{
    if (field->text() != text)
        field->setText(text);
}

} // namespace transferui
