#include "core/schedule/HeadlessScheduleHost.h"

namespace mzb {

bool HeadlessScheduleHost::StartBackup() {
    const StoredBackupResult result = backup_.Start();
    results_.push_back(result);
    // An existing archive or a No returns normally; the tick goes on.
    return result != StoredBackupResult::Refused && result != StoredBackupResult::Failed;
}

} // namespace mzb
