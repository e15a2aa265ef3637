#include "core/restore/ArchiveGroups.h"

#include <unordered_map>
#include <unordered_set>

namespace mzb {

ArchiveGroups GroupByArchive(const std::vector<ChosenFile>& files,
                             const std::function<bool(const std::string& archive)>& present) {
    // The files may come from an untrusted manifest or from thousands of
    // search results: maps keep both linear.
    struct Slot {
        bool Present;
        size_t Index;
        std::unordered_set<std::string> Names;
    };
    std::unordered_map<std::string, Slot> slots;
    ArchiveGroups groups;
    for (const ChosenFile& file : files) {
        auto found = slots.find(file.Archive);
        if (found == slots.end()) {
            const bool there = present(file.Archive);
            auto& list = there ? groups.Extract : groups.Missing;
            list.push_back({file.Archive, {}});
            found = slots.emplace(file.Archive, Slot{there, list.size() - 1, {}}).first;
        }
        Slot& slot = found->second;
        if (slot.Names.insert(file.Name).second) {
            auto& list = slot.Present ? groups.Extract : groups.Missing;
            list[slot.Index].Names.push_back(file.Name);
        }
    }
    return groups;
}

} // namespace mzb
