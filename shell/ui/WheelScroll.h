#pragma once

namespace ui {

// Scrolling never changes a value: the wheel over a combo box, a date or a
// spin box that does not have the focus scrolls the area it sits in (the
// page, or a list inside it) instead, and nothing where it sits in none.
// Such fields take the focus on a click or Tab, never on the wheel; once
// focused, the wheel steps them as usual.
// One filter serves the whole application; every window and page installs
// it, and installing it again does nothing.
void letTheWheelScrollPastFields();

} // namespace ui
