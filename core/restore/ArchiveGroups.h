#pragma once
// Files to restore from several archives of one folder, grouped by the
// archive that holds each: one reader run per archive that is there, and
// the archives that are gone named with the files they would have given.

#include <functional>
#include <string>
#include <vector>

namespace mzb {

// One file to restore: the archive holding it and its stored name.
struct ChosenFile {
    std::string Archive; // file name in the folder
    std::string Name;    // stored directory and file name
};

struct HolderFiles {
    std::string Archive;            // file name in the folder
    std::vector<std::string> Names; // stored names to extract from it
};

struct ArchiveGroups {
    // One group per archive that is there, in the order the files first name it.
    std::vector<HolderFiles> Extract;
    // Archives that are missing (or unreadable), with the files they would
    // have given: the restore names them and restores everything else.
    std::vector<HolderFiles> Missing;
};

// A file named twice by the same archive is taken once. Each archive is
// asked about once.
ArchiveGroups GroupByArchive(const std::vector<ChosenFile>& files,
                             const std::function<bool(const std::string& archive)>& present);

} // namespace mzb
