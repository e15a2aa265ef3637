#pragma once
// Where the program's files live. A copy run from its build or unpacked
// folder keeps project.ini and the help beside its executable (portable
// use). An installed copy, whose executable sits in PREFIX/bin with
// PREFIX/share/morvaleen-zip-backup/ beside it, keeps project.ini in the
// user's configuration directory, since a system's bin folder is not the
// user's to write, and reads the help from the shared data folder. The
// window and mzb follow the same rule, so both use the same project.ini.

#include <string>

namespace mzb {

struct ProgramLayout {
    std::string ProgramDirectory; // the executable's directory, with a trailing '/'
    std::string IniDirectory;     // where project.ini lives, with a trailing '/'
    std::string HelpFile;         // the one-page user guide
    bool Installed = false;

    std::string IniPath() const { return IniDirectory + "project.ini"; }
};

// The layout of a program whose executable lives in `programDirectory`.
// $XDG_CONFIG_HOME (when absolute) or ~/.config holds an installed copy's
// settings folder.
ProgramLayout LayoutFor(const std::string& programDirectory);

// Creates an installed copy's settings folder, readable by the owner only,
// when it is missing; the first write of project.ini needs it. Failures are
// left to that write, which reports them.
void EnsureIniDirectory(const ProgramLayout& layout);

} // namespace mzb
