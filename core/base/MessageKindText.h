#pragma once
// The window title of each message kind, shared by the standard message
// boxes and the program's timed message window.

#include "core/base/RunHost.h"

#include <string>

namespace mzb {

// "Warning", "Error", "Information", "Confirm"; the custom kind takes the
// application's title.
std::string MessageKindTitle(MessageKind kind, const std::string& applicationTitle);
// Every kind but the custom one shows the system's icon of its kind.
bool MessageKindHasIcon(MessageKind kind);

} // namespace mzb
