#pragma once
// The platform's directory listing as the finder sees it: one record per
// entry with the attributes, size and times the desktop systems report.
//
// Attributes on Linux: read-only when the owner lacks write permission,
// hidden when the name begins with a dot, archive for every entry that is not
// a directory (Linux keeps no archive bit), system never.

#include <chrono>
#include <cstdint>
#include <dirent.h>
#include <string>

namespace mzb {

inline constexpr int faReadOnly = 0x01;
inline constexpr int faHidden = 0x02;
inline constexpr int faSysFile = 0x04;
inline constexpr int faDirectory = 0x10;
inline constexpr int faArchive = 0x20;

// The raw listing data, in UTC. Where the file system keeps no creation
// time, the last-write time stands in for it.
struct TFindData {
    std::chrono::system_clock::time_point CreationTime;
    std::chrono::system_clock::time_point LastAccessTime;
    std::chrono::system_clock::time_point LastWriteTime;
    bool SymbolicLink = false; // the entry is a link; the other fields describe its target
};

struct TSearchRec {
    uint32_t Time = 0; // last write, local time, MS-DOS packed (date high, time low)
    int64_t Size = 0;  // bytes
    int Attr = 0;      // fa* bits
    std::string Name;  // without folder
    TFindData FindData;
};

struct ListingEntry {
    std::string Name;
    unsigned char Type = DT_UNKNOWN;
};

// One pass over a folder. A folder that cannot be opened lists nothing.
class TDirectoryListing {
public:
    explicit TDirectoryListing(const std::string& folder);
    ~TDirectoryListing();
    TDirectoryListing(const TDirectoryListing&) = delete;
    TDirectoryListing& operator=(const TDirectoryListing&) = delete;

    // The next entry other than "." and ".."; false at the end.
    bool Next(ListingEntry& entry);
    // Fills the record of an entry of this folder; false when the entry has
    // gone since it was listed.
    bool Describe(const ListingEntry& entry, TSearchRec& record) const;
    // A directory that is not reached through a symbolic link, so descending
    // into it can never loop.
    bool IsRealFolder(const ListingEntry& entry) const;

private:
    DIR* dir_ = nullptr;
};

} // namespace mzb
