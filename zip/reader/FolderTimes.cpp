#include "zip/reader/FolderTimes.h"

#include "zip/io/FileSystem.h"

namespace mzb {

void TFolderTimes::Remember(std::string folder, TFileTime time) {
    folders_.emplace_back(std::move(folder), time);
}

void TFolderTimes::Apply() {
    for (const auto& [folder, time] : folders_) {
        SetFileWriteTime(folder, time);
    }
    folders_.clear();
}

} // namespace mzb
