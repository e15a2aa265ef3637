#pragma once
// The steps of a backup once its archive is complete on disk: reading it
// back when the project asks for it, then, after a backup that holds
// everything asked for, the project's retention rule.

#include "core/backup/BackupJob.h"
#include "core/backup/Pruning.h"
#include "core/editor/BackupEditor.h"
#include "core/project/ProjectStore.h"

#include <stdexcept>
#include <string>

namespace mzb {

// The archive did not read back whole: the backup failed.
class EVerifyFailed : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// How many problems and deleted names a report lists.
inline constexpr std::size_t kReportNamesShown = 5;

// With "Verify After Backup" on, reads the archive at `path` back; a
// damaged one is set aside as PATH.damaged, where neither the Restore page
// nor the retention rule take it for a backup, and EVerifyFailed names it
// with the problems found. Then, for a `complete` backup, applies the
// project's retention rule at `now` and returns the report's lines about
// it, each starting with '\r': "Archives Deleted: 2 ('docs01.zip',
// 'docs02.zip')", and "Archives Not Deleted: ..." with the reasons; empty
// when nothing was deleted or tried.
std::string FinishArchive(const BackupEditor& editor, const ProjectStore& store,
                          BackupWriter& writer, const std::string& path, bool complete,
                          LocalDateTime now);

// The report's lines about a pruning, each starting with '\r':
// "<where>Archives Deleted: 2 ('docs01.zip', 'docs02.zip')" and
// "<where>Archives Not Deleted: ..." with the reasons; `where` is empty
// for the save folder, "Remote " for the remote copy.
std::string PruneReportText(const PruneResult& result, const std::string& where);

} // namespace mzb
