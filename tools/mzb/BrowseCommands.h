#pragma once
// mzb archives and mzb contents: the restore page's two lists as text;
// mzb find and mzb versions: its search over a folder's archives.

#include "tools/mzb/Commands.h"

namespace mzb::cli {

// archives DIR [--by name|size|date] [--desc]
int RunArchives(const GlobalOptions& options, const Args& args);
// contents ARCHIVE
int RunContents(const GlobalOptions& options, const Args& args);
// find DIR PATTERN...
int RunFind(const GlobalOptions& options, const Args& args);
// versions DIR PATH
int RunVersions(const GlobalOptions& options, const Args& args);

} // namespace mzb::cli
