#include "finder/DirectoryListing.h"

#include "platform/LocalDateTime.h"

#include <fcntl.h>
#include <sys/stat.h>

namespace mzb {

namespace {

std::chrono::system_clock::time_point ToTimePoint(const struct statx_timestamp& t) {
    using namespace std::chrono;
    return system_clock::time_point(
        duration_cast<system_clock::duration>(seconds(t.tv_sec) + nanoseconds(t.tv_nsec)));
}

} // namespace

TDirectoryListing::TDirectoryListing(const std::string& folder) : dir_(opendir(folder.c_str())) {}

TDirectoryListing::~TDirectoryListing() {
    if (dir_ != nullptr) {
        closedir(dir_);
    }
}

bool TDirectoryListing::Next(ListingEntry& entry) {
    if (dir_ == nullptr) {
        return false;
    }
    while (const dirent* d = readdir(dir_)) {
        const std::string_view name = d->d_name;
        if (name == "." || name == "..") {
            continue;
        }
        entry.Name.assign(name);
        entry.Type = d->d_type;
        return true;
    }
    return false;
}

bool TDirectoryListing::Describe(const ListingEntry& entry, TSearchRec& record) const {
    constexpr unsigned kWanted = STATX_BASIC_STATS | STATX_BTIME;
    struct statx st {};
    const int fd = dirfd(dir_);
    bool link = false;
    if (statx(fd, entry.Name.c_str(), AT_STATX_SYNC_AS_STAT, kWanted, &st) != 0) {
        // A dangling link still lists, as the link itself.
        if (statx(fd, entry.Name.c_str(), AT_SYMLINK_NOFOLLOW, kWanted, &st) != 0) {
            return false;
        }
    }
    if (entry.Type == DT_LNK) {
        link = true;
    } else if (entry.Type == DT_UNKNOWN) {
        struct stat own {};
        link =
            fstatat(fd, entry.Name.c_str(), &own, AT_SYMLINK_NOFOLLOW) == 0 && S_ISLNK(own.st_mode);
    }
    record.Name = entry.Name;
    record.Size = static_cast<int64_t>(st.stx_size);
    const bool isDir = S_ISDIR(st.stx_mode);
    record.Attr = isDir ? faDirectory : faArchive;
    if ((st.stx_mode & S_IWUSR) == 0) {
        record.Attr |= faReadOnly;
    }
    if (!entry.Name.empty() && entry.Name[0] == '.') {
        record.Attr |= faHidden;
    }
    if (isDir) {
        record.Size = 0;
    }
    record.FindData.LastWriteTime = ToTimePoint(st.stx_mtime);
    record.FindData.LastAccessTime = ToTimePoint(st.stx_atime);
    record.FindData.CreationTime =
        (st.stx_mask & STATX_BTIME) ? ToTimePoint(st.stx_btime) : record.FindData.LastWriteTime;
    record.FindData.SymbolicLink = link;
    record.Time = LocalDateTime::FromSystem(record.FindData.LastWriteTime).ToDos();
    return true;
}

bool TDirectoryListing::IsRealFolder(const ListingEntry& entry) const {
    if (entry.Type != DT_UNKNOWN) {
        return entry.Type == DT_DIR;
    }
    struct stat st {};
    return fstatat(dirfd(dir_), entry.Name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 &&
           S_ISDIR(st.st_mode);
}

} // namespace mzb
