#pragma once
// The directories the program finds by itself. Both come with a trailing
// '/', the form that file names are appended to.

#include <string>

namespace mzb {

// The directory of the running executable, where project.ini lives; empty
// when the system cannot tell (no /proc).
std::string ProgramDirectory();

// The user's home directory: $HOME, else the password database's entry,
// else "/". It stands in for every default that names a drive root.
std::string HomeDirectory();

} // namespace mzb
