#pragma once
// mzb list, test and extract: the archive reader from the command line.

#include "tools/mzb/Commands.h"

namespace mzb::cli {

int RunList(const GlobalOptions& options, const Args& args);
int RunTest(const GlobalOptions& options, const Args& args);
int RunExtract(const GlobalOptions& options, const Args& args);

} // namespace mzb::cli
