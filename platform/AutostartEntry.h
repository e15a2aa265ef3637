#pragma once
// The start-up registration: an XDG autostart entry that starts the program
// with the user's desktop session. Its file name stands for the value name
// the registration carries elsewhere.

#include <string>

namespace mzb {

inline constexpr const char* kAutostartName = "Morvaleen Direride Backup";

// $XDG_CONFIG_HOME/autostart/<name>.desktop (~/.config by default).
std::string AutostartEntryPath();
// The entry's text, with the executable as the desktop-entry format quotes
// a command: blanks and the format's reserved characters inside double
// quotes, '%' doubled. Empty when the path cannot be written as a command
// (it holds a control character such as a tab or a line break, or is not
// absolute).
std::string AutostartEntryText(const std::string& executable);
// Writes the entry for the executable, creating the directory; false when
// it cannot be written.
bool WriteAutostartEntry(const std::string& executable);
// Deletes the entry; an entry that is not there is no failure.
bool RemoveAutostartEntry();

} // namespace mzb
