#pragma once

#include <QApplication>
#include <QWidget>

namespace uitest {

// The top-level window of that class on screen, if any.
template <class W> W* shown()
{
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (auto* found = qobject_cast<W*>(w); found && found->isVisible())
            return found;
    }
    return nullptr;
}

} // namespace uitest
