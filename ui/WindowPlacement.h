#pragma once
// Where the windows open and how large: sizes the Parts give in
// device-independent pixels are the least a window gets, and a larger
// desktop font or scale makes it as large as its controls need, so no
// caption is ever cut off. Each window opens centred in the room the
// desktop leaves free (panels excluded), its title bar included.

#include <QSize>

class QWidget;

namespace mzb {

// What the widget's controls need at the current font and style: its
// minimum size once every layout below it has settled.
QSize NeededSize(QWidget& widget);

// The free room of the screen the window opens on, less the frame the
// window manager will draw around it.
QSize RoomForClient(const QWidget& window);

// Centres the window, its frame included, in the free room of its screen.
void CentreOnScreen(QWidget& window);

// A dialog of fixed border: its size is the specified one or what its
// layout needs at the current font, whichever is larger in each direction.
void FixDialogSize(QWidget& dialog, QSize specified);

} // namespace mzb
