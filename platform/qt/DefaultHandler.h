#pragma once
// Opening a file with the desktop's default handler (xdg-open underneath).

#include <functional>
#include <string>

namespace mzb {

// Opens the file with the handler the desktop has for its type. When none
// takes it (no opener is installed, or the opener finds no handler and
// fails), `onFailure` runs, at once or later from the event loop, so the
// caller can tell the user where the file is.
void OpenFileWithDefaultHandler(const std::string& path, std::function<void()> onFailure);

} // namespace mzb
