#include "core/backup/StoredProjectBackup.h"

#include "core/editor/ProjectEditor.h"
#include "core/project/ProjectName.h"
#include "platform/Blanks.h"

#include <exception>

namespace mzb {

StoredProjectBackup::StoredProjectBackup(const ProjectStore& store, const CommonSettings& settings,
                                         BackupWriter& writer, RunHost& host)
    : store_(store), settings_(settings), writer_(writer), host_(host) {}

bool StoredProjectBackup::Select(const std::string& name) {
    selected_.reset();
    if (const auto found = FindProjectName(settings_.ProjectNames, TrimBlanks(name))) {
        selected_ = settings_.ProjectNames[*found];
    }
    return selected_.has_value();
}

void StoredProjectBackup::Load() {
    if (selected_) {
        editor_ = EditorForProject(store_.ReadProject(*selected_), settings_, host_.Now());
    }
}

StoredBackupResult ResultOf(BackupOutcome outcome) {
    switch (outcome) {
    case BackupOutcome::Declined:
        return StoredBackupResult::Declined;
    case BackupOutcome::Refused:
        return StoredBackupResult::Refused;
    case BackupOutcome::Exists:
        return StoredBackupResult::Exists;
    case BackupOutcome::Busy:
        return StoredBackupResult::Busy;
    case BackupOutcome::Incomplete:
        return StoredBackupResult::Incomplete;
    case BackupOutcome::NothingSaved:
        return StoredBackupResult::NothingSaved;
    case BackupOutcome::Unrecorded:
        return StoredBackupResult::Unrecorded;
    case BackupOutcome::CopyFailed:
        return StoredBackupResult::CopyFailed;
    case BackupOutcome::Completed:
        break;
    }
    return StoredBackupResult::Completed;
}

StoredBackupResult StoredProjectBackup::Start() {
    try {
        return ResultOf(RunBackup(editor_, settings_, store_, writer_, host_));
    } catch (const std::exception& e) {
        host_.ShowMessage(e.what(), MessageKind::Error);
        return StoredBackupResult::Failed;
    }
}

} // namespace mzb
