#pragma once
// Searching the archives of one folder for files: every entry that matches,
// once per archive that holds it, oldest archive first, and the distinct
// versions of one path. Each archive's central directory is read once, with
// no password (entry names are not encrypted); an archive that cannot be
// read is reported and skipped.

#include "finder/FindFile.h"
#include "platform/LocalDateTime.h"
#include "zip/format/ZipHeaderInfo.h"

#include <cstdint>
#include <functional>
#include <stop_token>
#include <string>
#include <string_view>
#include <vector>

namespace mzb {

// How an entry compares with the same path in the next older archive that
// holds it.
enum class VersionChange { New, Changed, Same };

struct SearchHit {
    std::string Archive;       // file name without folder
    LocalDateTime ArchiveDate; // the archive's last-write time
    std::string Path;          // stored directory and file name
    std::uint64_t Size = 0;    // uncompressed
    std::string Modified;      // the entry's modification time, local
    std::uint32_t Crc = 0;
    VersionChange Change = VersionChange::New;
};

// "new", "changed" or "same".
std::string VersionChangeText(VersionChange change);
// The CRC as eight lower-case hexadecimal digits.
std::string CrcText(std::uint32_t crc);
// The entry's modification time on the local clock, YYYY-MM-DD HH:MM:SS:
// its UTC time where the archive keeps one, else its MS-DOS fields as they
// stand (local already, and not always a real moment).
std::string EntryModifiedText(const TZipHeaderInfo& entry);

// Whether a stored path answers a search text: a wildcard (the engine's
// matcher) with a '/' is matched against the whole path, one without
// against the file name; any other text is looked for as a part of the
// path, letters A-Z without regard to case.
bool PathMatchesSearch(std::string_view search, std::string_view path);

struct SearchEvents {
    // Each match as soon as its archive is read.
    std::function<void(const SearchHit&)> OnFound;
    // An archive that could not be read, with the reason; the search goes on.
    std::function<void(const std::string& archive, const std::string& reason)> OnUnreadable;
};

// Whether a stored path is one the search looks for.
using PathFilter = std::function<bool(std::string_view path)>;

// Any of the texts, by PathMatchesSearch.
PathFilter AnyOfSearchTexts(std::vector<std::string> texts);

// Searches the folder's archives, oldest first (by last-write time, then
// name), for entries whose stored path passes the filter; directory entries
// are not files and never match. Stops between archives once stop is
// requested. Returns the number of matches.
size_t SearchArchives(TFindFile& finder, const std::string& folder, const PathFilter& matches,
                      const SearchEvents& events, std::stop_token stop = {});

struct FileVersion {
    std::uint64_t Size = 0;
    std::uint32_t Crc = 0;
    std::string Modified; // as the newest archive holding it stores it
    // The archives holding this version, newest first, with their dates.
    std::vector<std::string> Archives;
    std::vector<LocalDateTime> ArchiveDates;
};

// The distinct versions (by CRC and size) of one stored path in the
// folder's archives, newest first: ordered by the newest archive that holds
// each. Unreadable archives go to events.OnUnreadable as in a search.
std::vector<FileVersion> FindVersions(TFindFile& finder, const std::string& folder,
                                      const std::string& path, const SearchEvents& events,
                                      std::stop_token stop = {});

} // namespace mzb
