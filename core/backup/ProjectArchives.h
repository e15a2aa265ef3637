#pragma once
// Which files of a project's save folder are its own archives, when each
// was made, and taking one away. Only a name that the project's prefix and
// suffix rule give (date or number) is the project's, and not even such a
// name when another project of the same folder could have written it too:
// what two projects share belongs to neither. Part files, other users'
// files, links and folders never are.

#include "core/backup/Retention.h"
#include "core/project/ProjectRecord.h"
#include "platform/LocalDateTime.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace mzb {

// One file of a folder as the listing saw it.
struct FolderFile {
    std::string Name; // without its folder
    LocalDateTime Modified;
    std::uint64_t Size = 0;
};

// The archive names a project writes: its prefix and suffix rule.
struct ArchivePattern {
    std::string Prefix;
    bool UseDate = true;
};

// When an archive was made. A date name carries no year: its month to
// second is taken in the year of the file's last write, or the year before
// when that would put it more than a day after the write (a name given on
// New Year's Eve, written after midnight). Without a date in its name, or
// with one no such year has (29 February), the last write.
LocalDateTime ArchiveDate(const std::optional<CivilDateTime>& nameDate, LocalDateTime modified);

// The project's own archives among a folder's files, each with its date:
// the names of `own`'s pattern that no pattern of `others` (the other
// projects saving to the same folder) gives as well. Paths are `folder`
// (with its trailing '/') followed by the name.
std::vector<DatedArchive> OwnArchives(const std::string& folder, const ArchivePattern& own,
                                      const std::vector<ArchivePattern>& others,
                                      const std::vector<FolderFile>& files);

// The regular files of the folder that the user running owns, links not
// followed; none when it cannot be listed.
std::vector<FolderFile> ListOwnFiles(const std::string& folder);

// The save folder as archive paths start: trimmed, with one trailing '/'.
std::string ArchiveFolderOf(const ProjectRecord& project);

// The project's own archives on disk. `projects` is every project, the
// project itself among them (matched by name, letter case ignored); those
// that save to the same folder, by its identity on disk, are the others.
std::vector<DatedArchive> FindProjectArchives(const ProjectRecord& project,
                                              const std::vector<ProjectRecord>& projects);

// Removes an archive that is still the user's own regular file, never
// following a link; empty, or why it could not.
std::string DeleteArchive(const std::string& path);

} // namespace mzb
