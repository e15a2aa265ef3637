#pragma once
// The engine's view of the file system: listings with attributes, sizes and
// times, existence, directories, deletion, renaming, times and attributes,
// temporary files and link-safe output files.
//
// Paths are UTF-8 byte strings with '/' separators. Operations that can fail
// answer false (or an empty result) and leave errno as the system set it;
// none of them throws.
//
// Attributes use the MS-DOS attribute byte that archives store, mapped from
// Linux: read-only when the owner lacks write permission, hidden when the
// name begins with '.', system never, archive for every regular file (Linux
// keeps no archive bit), directory for directories.

#include "zip/base/FileTime.h"

#include <cstdint>
#include <ctime>
#include <optional>
#include <string>
#include <string_view>
#include <sys/stat.h>
#include <vector>

namespace mzb {

inline constexpr std::uint32_t kAttrReadOnly = 0x01;
inline constexpr std::uint32_t kAttrHidden = 0x02;
inline constexpr std::uint32_t kAttrDirectory = 0x10;
inline constexpr std::uint32_t kAttrArchive = 0x20;

// One file or directory as a listing or a look-up reports it. For a symbolic
// link every field but IsLink describes what the link points to.
struct FileInfo {
    std::string Name;                       // last path component
    std::uint64_t Size = 0;                 // 0 for directories
    std::uint32_t Attributes = 0;           // MS-DOS attribute byte (kAttr...)
    std::uint32_t Mode = 0;                 // Unix st_mode: file type and permission bits
    std::time_t WriteTime = 0;              // last write, seconds since the epoch
    std::uint32_t WriteTimeNanoseconds = 0; // within that second
    std::time_t ChangeTime = 0;             // last inode change, seconds since the epoch
    std::uint32_t ChangeTimeNanoseconds = 0;
    bool IsLink = false;      // the entry itself is a symbolic link
    std::uint64_t Device = 0; // with Inode, tells two names of one file apart
    std::uint64_t Inode = 0;

    TFileTime ModifiedTime() const { return {WriteTime, WriteTimeNanoseconds}; }
    bool IsDirectory() const { return (Attributes & kAttrDirectory) != 0; }
    // Not a directory, device, FIFO or socket: something whose bytes can be read.
    bool IsRegular() const { return (Mode & 0170000) == 0100000; }
    bool IsSameFile(const FileInfo& other) const {
        return Device == other.Device && Inode == other.Inode;
    }
};

// The value for an archive's external attributes: the MS-DOS byte in the low
// half, the Unix mode in the high half.
std::uint32_t ExternalAttributes(const FileInfo& info);

// What a stat of the file called `name` says; `isLink` when a link led to it.
FileInfo InfoFromStat(std::string_view name, const struct stat& st, bool isLink);

// The file or directory at a path, following a link there; nothing when
// there is none (a dangling link included).
std::optional<FileInfo> FileInfoOf(const std::string& path);

// The entry `name` of the folder open as dirFd, a link itself rather than
// what it points to; nothing when there is none.
std::optional<FileInfo> FileInfoAt(int dirFd, const std::string& name);

bool FileExists(const std::string& path);      // exists and is not a directory
bool DirectoryExists(const std::string& path); // a directory, or a link to one

// Every entry of a directory but "." and "..", hidden ones included, sorted
// by name bytes so that the same tree always yields the same order. The
// entries are read and looked up whole when the listing is made, relative
// to the open directory (no walk of the whole path per entry), and the
// directory is closed again, so a walk holds no descriptor per level
// however deep it goes. One that vanished between reading and look-up, or
// a dangling link, is passed over.
class DirListing {
public:
    // With `followLink` false a link at `dir` itself is refused, as
    // a walk that found a directory there needs when that directory is
    // swapped for a link before the walk gets to it (ENOTDIR).
    explicit DirListing(std::string dir, bool followLink = true);

    // Fills the next entry; false once the listing is exhausted. Taken
    // entries are released.
    bool Next(FileInfo& entry);
    // Why the directory, or an entry of it, could not be read: the errno of
    // the first failure (ENOENT for a directory that does not exist); 0 when
    // all went well. A vanished entry is no failure.
    int Error() const { return error_; }
    // The directory's identity, known once it was listed.
    std::uint64_t Device() const { return device_; }
    std::uint64_t Inode() const { return inode_; }

private:
    void LookUp(int dirFd, std::vector<std::string> names);

    std::vector<FileInfo> pending_; // entries not yet taken, the next one last
    int error_ = 0;
    std::uint64_t device_ = 0;
    std::uint64_t inode_ = 0;
};

// Creates a directory and every missing parent; true when it exists after.
bool ForceDirectories(const std::string& dir);

// Removes a file, or a link itself (never what it points to).
bool DeleteFile(const std::string& path);

// Moves a file to a new name, atomically replacing any file of that name.
bool RenameFile(const std::string& from, const std::string& to);

// Set the last-write time of a file or directory; a link at the path is left
// alone rather than followed. The MS-DOS form is a local time (low half) and
// date (high); a value that names no real moment is refused.
bool SetFileWriteTime(const std::string& path, TFileTime when);
bool SetFileDosDateTime(const std::string& path, std::uint32_t dosDateTime);

// Applies archive external attributes: a Unix mode in the high half, when
// present, gives the permission bits; otherwise the MS-DOS read-only bit
// takes the write permission away or gives the owner's back. Setuid, setgid
// and sticky are never set, and a link at the path is left alone.
bool SetFileAttributes(const std::string& path, std::uint32_t externalAttributes);
// The permission bits SetFileAttributes gives a file whose mode is currentMode.
std::uint32_t PermissionsFromAttributes(std::uint32_t currentMode,
                                        std::uint32_t externalAttributes);
// SetFileWriteTime through an open descriptor: no path lookup, so an
// extraction sets the time of the file it wrote and of nothing else.
bool SetOpenFileWriteTime(int fd, TFileTime when);

// Opens a regular file for reading (a link to one included). A FIFO, a
// device or a directory at the path is refused without waiting for a
// writer at its other end. Returns the descriptor, or -1 with errno set.
int OpenRegularForRead(const std::string& path);

// Opens a regular file for writing, created or truncated, without ever
// writing through a symbolic link at the path: a link standing there is
// replaced by the new file. Anything else that is not a regular file (a
// directory, a device, a FIFO) is refused. Returns the descriptor, or -1.
int OpenForWriteNoFollow(const std::string& path);

} // namespace mzb
