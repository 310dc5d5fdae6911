#pragma once

#include <QLineEdit>
#include <QPointer>

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

// Return in either of two fields moves to the other when it shows; with
// one field shown the focus stays.
inline void returnMovesBetween(QLineEdit* first, QLineEdit* second)
{
    QObject::connect(first, &QLineEdit::returnPressed, second, [second] {
        if (!second->isHidden())
            second->setFocus();
    });
    QObject::connect(second, &QLineEdit::returnPressed, first, [first] {
        if (!first->isHidden())
            first->setFocus();
    });
}

// A widget's signal runs one of the page's actions while the page lives;
// the view that holds `page` is the connection's context.
template <class Sender, class Signal, class Page, class Owner, class R>
void forward(Sender* sender, Signal signal, QObject* view, const QPointer<Page>& page, R (Owner::*action)())
{
    QObject::connect(sender, signal, view, [&page, action] {
        if (page)
            (page.data()->*action)();
    });
}
template <class Sender, class Signal, class Page, class Owner, class R, class Arg>
void forward(Sender* sender, Signal signal, QObject* view, const QPointer<Page>& page, R (Owner::*action)(Arg))
{
    QObject::connect(sender, signal, view, [&page, action](Arg value) {
        if (page)
            (page.data()->*action)(value);
    });
}

} // namespace transferui
