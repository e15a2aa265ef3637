#pragma once
// One backup of the project the editor shows, without the window: the
// confirmation, the project checks, the rule for an archive that already
// exists, the writer's settings, the completion report and the number
// suffix. The window, the schedule and the tray all go through RunBackup.

#include "core/backup/BackupJob.h"
#include "core/backup/BackupReport.h"
#include "core/base/RunHost.h"
#include "core/editor/BackupEditor.h"
#include "core/editor/ProjectValidation.h"
#include "core/project/CommonSettings.h"
#include "core/project/ProjectStore.h"

namespace mzb {

enum class BackupOutcome {
    Declined,  // No to the confirmation
    Refused,   // a project check failed, or the project's backup lock is unusable
    Exists,    // the archive exists and overwriting is off
    Busy,      // another run, of this program or another, backs the project up
    Completed, // the archive is written and reported
    // The archive is written and reported, but it lacks files or folders
    // that were asked for.
    Incomplete,
    // No file could be saved: no archive is written, the number stays.
    NothingSaved,
    // The archive is written and reported, but its number and time could
    // not be stored (the report says why).
    Unrecorded,
    // The archive is complete, but its copy to the project's remote
    // destination (or an earlier one still owed) did not arrive.
    CopyFailed,
};

// One backup of the project the editor names when it starts, holding the
// project's backup lock (ProjectStore::TryLockBackup) from the checks to the
// stored number. Once the archive is complete it is read back when the
// project asks for it, before it takes its name, and after a backup that
// lacks nothing the project's retention rule runs, its deletions listed in
// the report (AfterArchive.h).
// Then (also after an incomplete backup) its time is stored as "Last
// Backup" and a numbered project's number as "Value", in that project's
// section only while it exists; the report is shown, the editor's number
// advances by the step (at most 1000) and its archive path is computed
// anew. When they cannot be stored the report says so and why, and the run
// is Unrecorded.
//
// A numbered archive that is newer than the project's "Last Backup" was
// made by such a run: its number is passed over, so that archive is neither
// replaced nor in the way of every later run.
//
// A writer failure, a completed archive whose size cannot be read, or one
// that does not read back (EVerifyFailed) is raised after the lock has been
// released and the progress bar reset; none advances the number or runs the
// retention rule. Last, the remote copy step (RemoteCopyStep.h) runs, still
// under the lock; what it does never undoes the local backup. An editor
// that shows no project is refused with kNoProjectText before anything else.
BackupOutcome RunBackup(BackupEditor& editor, const CommonSettings& settings,
                        const ProjectStore& store, BackupWriter& writer, RunHost& host);

} // namespace mzb
