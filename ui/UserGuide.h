#pragma once
// Opening the user guide (Help... and the about box). A desktop without a
// handler for web pages would otherwise leave the click without any
// visible effect.

#include <string>

class QWidget;

namespace mzb {

// Opens the guide with the desktop's default handler; when there is none,
// a message names the guide's path, so it can be opened by hand.
void OpenUserGuide(QWidget* parent, const std::string& path);

} // namespace mzb
