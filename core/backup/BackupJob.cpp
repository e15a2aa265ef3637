#include "core/backup/BackupJob.h"

#include "platform/Blanks.h"

namespace mzb {

BackupJob MakeBackupJob(const BackupEditor& editor) {
    BackupJob job;
    job.ZipName = std::string(TrimBlanks(editor.Filename));
    job.Recurse = editor.Recurse;
    job.StorePaths = editor.StorePaths;
    job.ArchiveComment =
        editor.CommentTicked ? std::string(TrimBlanks(editor.Comment)) : std::string();
    job.FilesList = editor.Include;
    job.ExcludeList = editor.Exclude;
    job.ArchivePassword =
        editor.PasswordTicked ? std::string(TrimBlanks(editor.Password)) : std::string();
    job.PackLevel = 5;
    job.AddDirEntriesOnRecurse = false;
    return job;
}

} // namespace mzb
