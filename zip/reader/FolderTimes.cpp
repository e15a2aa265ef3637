#include "zip/reader/FolderTimes.h"

namespace mzb {

void TFolderTimes::Remember(std::string folder, TFileTime time) {
    folders_.emplace_back(std::move(folder), time);
}

void TFolderTimes::Apply(
    const std::function<void(const std::string& folder, TFileTime time)>& set) {
    for (const auto& [folder, time] : folders_) {
        set(folder, time);
    }
    folders_.clear();
}

} // namespace mzb
