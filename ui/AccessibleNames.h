#pragma once
// The names a screen reader announces. Fields take theirs from the label
// whose buddy they are (Qt does that itself; without a buddy it falls back
// to the title of the surrounding group, which names every field of a
// group alike). Lists, grids and trees get no name that way, and buttons
// that show only an icon, or a caption like "...", would be announced by a
// caption nobody sees or one that says nothing.

class QWidget;

namespace mzb {

// Gives each list, grid and tree of the window, and the field of each
// editable drop-down, the text of the label whose buddy it is, and each
// tool button without words its hint, where the window's layout names
// none itself.
void NameControlsForAssistiveTools(QWidget& window);

} // namespace mzb
