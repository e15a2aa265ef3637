#pragma once
// The steps of a backup once its archive is complete on disk: reading it
// back when the project asks for it (before it takes its name), then, after
// a backup that holds everything asked for, the project's retention rule.

#include "core/backup/BackupJob.h"
#include "core/backup/Pruning.h"
#include "core/editor/BackupEditor.h"
#include "core/project/ProjectStore.h"
#include "zip/base/ZipError.h"

#include <stdexcept>
#include <string>
#include <vector>

namespace mzb {

// The archive did not read back whole: the backup failed.
class EVerifyFailed : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// How many problems and deleted names a report lists.
inline constexpr std::size_t kReportNamesShown = 5;

// "Verify After Backup": the new archive is read back while it is still a
// hidden part file, before it takes its name at `path`, so that one that
// does not read back whole never stands in for the previous archive of that
// name. The writer then keeps it as PATH.damaged (an older damaged copy of
// that name gives way: it is no backup either), where neither the Restore
// page nor the retention rule take it for a backup.
class ArchiveVerifier {
public:
    ArchiveVerifier(bool verify, BackupWriter& writer, std::string path, std::string password);
    // For the writer's run whose archive stays; none when the project does
    // not verify. The verifier must outlive that run.
    ArchiveReadyCheck Check();
    // The failed backup a refusal by the check is, with the problems found.
    EVerifyFailed Failure(const EArchiveRefused& refused) const;

private:
    bool verify_;
    BackupWriter& writer_;
    std::string path_;
    std::string password_;
    std::vector<std::string> problems_;
};

// For a `complete` backup whose archive stands at `path`, applies the
// project's retention rule at `now` and returns the report's lines about
// it, each starting with '\r': "Archives Deleted: 2 ('docs01.zip',
// 'docs02.zip')", and "Archives Not Deleted: ..." with the reasons; empty
// when nothing was deleted or tried.
std::string FinishArchive(const BackupEditor& editor, const ProjectStore& store,
                          const std::string& path, bool complete, LocalDateTime now);

// The report's lines about a pruning, each starting with '\r':
// "<where>Archives Deleted: 2 ('docs01.zip', 'docs02.zip')" and
// "<where>Archives Not Deleted: ..." with the reasons; `where` is empty
// for the save folder, "Remote " for the remote copy.
std::string PruneReportText(const PruneResult& result, const std::string& where);

} // namespace mzb
