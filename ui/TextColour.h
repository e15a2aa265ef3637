#pragma once
// Texts the Parts name by colour (navy labels, the blue archive path, the
// red schedule switch, the navy and red links) keep that colour's hue but
// take the lightness core's ReadableOn finds against the background the
// palette gives them, and take it again whenever the palette changes, as
// when the desktop switches between a light and a dark scheme.

#include <QColor>

class QWidget;

namespace mzb {

inline const QColor kNavy(0, 0, 128);
inline const QColor kBlue(0, 0, 255);
inline const QColor kRed(255, 0, 0);

// Draws the widget's text (of a field: its typed text) in the readable
// form of `wanted`; an invalid colour gives the text back to the palette.
// A disabled widget keeps the palette's disabled text.
void SetTextColour(QWidget& widget, const QColor& wanted);

} // namespace mzb
