#pragma once

namespace ui {

// Scrolling never changes a value: the wheel over a combo box, a row of
// segments or a date, focused or not, and over a spin box that does not have the focus scrolls
// the area it sits in (a list inside the page, or the page once the list is
// at its end) instead, and nothing where it sits in none. Such fields take
// the focus on a click or Tab, never on the wheel; a focused spin box steps
// with the wheel as usual.
// One filter serves the whole application; every window and page installs
// it, and installing it again does nothing.
void letTheWheelScrollPastFields();

} // namespace ui
