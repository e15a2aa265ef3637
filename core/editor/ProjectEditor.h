#pragma once
// The project editor of the "Backup " page as values: what loading a
// project puts into its fields, what Save makes of them, and the defaults a
// new or deleted project leaves. The page only moves these values between
// its controls and a BackupEditor.

#include "core/editor/BackupEditor.h"
#include "core/project/CommonSettings.h"
#include "core/project/ProjectRecord.h"
#include "platform/LocalDateTime.h"

#include <string>
#include <string_view>

namespace mzb {

// What a spin field holds for its text: a number pulled into 1 to 1000, and
// 1 for a text that is not a number.
int SpinFieldValue(std::string_view text);

// The editor as loading the project leaves it: the number shown is the one
// after "Value", the confirmation equals the password, and the archive path
// is the one that name computes.
BackupEditor EditorForProject(const ProjectRecord& project, const CommonSettings& settings,
                              LocalDateTime now);

// Loads the project into the editor. A numbered project shows the number
// after its "Value"; a dated one leaves both spin fields as they were. The
// confirmation equals the password, and the archive path is computed anew.
void LoadProjectIntoEditor(BackupEditor& editor, const ProjectRecord& project,
                           const CommonSettings& settings, LocalDateTime now);

// The record Save writes, from the editor: the name and the prefix trimmed,
// "Value" the number shown less the step (loading adds it back), the
// password trimmed and the comment as typed, each only when its box is
// ticked and it is not blank. The password and comment fields that are not
// stored are emptied in the editor, as Save empties their controls.
ProjectRecord SaveEditor(BackupEditor& editor);

// A new project's values (NewProjectRecord), the number shown the one after
// its "Value", and an empty archive path; the name and the choice of suffix
// stay.
void ClearEditor(BackupEditor& editor);

// The archive path the editor's fields give now (the "Filename:" field).
std::string EditorArchiveName(const BackupEditor& editor, const CommonSettings& settings,
                              LocalDateTime now);

} // namespace mzb
