#pragma once

#include <functional>

class QLineEdit;

// Calls `ended` at every end of editing of `field`: Return or Enter, or the
// focus leaving it (Tab, a click elsewhere, another window). `toNext` says
// whether the customer asked for the next field, by Return, Enter or Tab; a
// click or Shift+Tab chose a field of its own, which keeps the focus. The
// field's own end-of-editing work belongs in `ended` in every case; only
// moving the focus on waits for `toNext`.
void onEditingEnd(QLineEdit* field, std::function<void(bool toNext)> ended);

// As onEditingEnd, also when the text did not change: every Return or Enter
// and every loss of the focus to another control of the window ends the
// editing (the field's own end of editing waits for a change since the last
// one). A menu or a pop-up's list opened over the window and another window
// taking the activation do not: the field keeps its editing, as a click on a
// button that takes no focus leaves it.
void onEveryEditingEnd(QLineEdit* field, std::function<void(bool toNext)> ended);
