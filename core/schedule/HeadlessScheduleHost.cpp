#include "core/schedule/HeadlessScheduleHost.h"

namespace mzb {

StoredBackupResult HeadlessScheduleHost::StartBackup() {
    results_.push_back(backup_.Start());
    return results_.back();
}

} // namespace mzb
