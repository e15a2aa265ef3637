#pragma once
// The checks run before Save and before every backup.

#include "core/base/RunHost.h"
#include "core/editor/BackupEditor.h"

#include <string>

namespace mzb {

// The first check that fails, with its message; empty when all pass.
std::string ValidationProblem(const BackupEditor& editor);
// Shows the problem in an error box; false when the action must be abandoned.
bool ValidateProject(const BackupEditor& editor, RunHost& host);

} // namespace mzb
