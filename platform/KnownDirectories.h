#pragma once
// The files and directories the program finds by itself. Directories come with a trailing
// '/', the form that file names are appended to.

#include <string>

namespace mzb {

// The full path of the running executable; empty when the system cannot
// tell (no /proc).
std::string ExecutablePath();

// The directory of the running executable, where project.ini lives; empty
// when the system cannot tell (no /proc).
std::string ProgramDirectory();

// The user's home directory: $HOME, else the password database's entry,
// else "/". It stands in for every default that names a drive root.
std::string HomeDirectory();

// The user's configuration directory: $XDG_CONFIG_HOME, else ~/.config/.
std::string ConfigHomeDirectory();

} // namespace mzb
