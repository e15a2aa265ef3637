#pragma once
// mzb create: one archive writer run over files, directories and wildcards.

#include "tools/mzb/Commands.h"

namespace mzb::cli {

int RunCreate(const GlobalOptions& options, const Args& args);

} // namespace mzb::cli
