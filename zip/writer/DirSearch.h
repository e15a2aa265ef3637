#pragma once
// Turning a writer's file list into the files (and directory items) to add:
// explicit files are checked, wildcard items are resolved by walking
// directories, exclusions applied and the bytes to read summed.

#include "zip/io/FileSystem.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace mzb {

// A list item ending in a separator is a directory item; one holding any of
// * ? < > | is a wildcard item; anything else names one file.
enum class TFileItemKind { Directory, Wildcard, File };
TFileItemKind KindOfItem(std::string_view item);

// The exclusion test: a pattern holding a separator is matched against the
// whole path, any other pattern against its file name, letter case ignored.
// Given a bare file name (as the no-compression list is), only patterns
// without a separator can match.
bool MatchesPatternList(std::span<const std::string> patterns, std::string_view path);

// One open directory listing of a walk.
struct TSearchData {
    std::string Dir; // the directory listed, ending in '/'
    // The wildcard component a subdirectory's name must match to be entered;
    // empty below the wildcard components.
    std::string DirPattern;
    DirListing Listing;
    FileInfo Current; // the entry taken last
};

// Walks a directory, optionally with its subdirectories, returning the
// regular files whose names match a mask (devices, FIFOs and sockets have no
// contents to save and could stall a reader). Hidden entries are included and dot-directories
// entered; linked directories are never descended into, which also keeps
// link loops out. A start directory with wildcard components ("/home/*/docs")
// is listed from its fixed part, and each such component must match a
// directory name at its depth before the walk goes down; the mask applies
// below them.
class TDirSearch {
public:
    // The start directory and 20 levels below it: deeper directories are not
    // entered.
    static constexpr std::size_t kMaxListings = 21;

    TDirSearch(std::string_view startDir, bool recurse, std::string mask);

    // The part of the start directory before its first wildcard component,
    // ending in '/': the directory that has to exist for the walk to find
    // anything.
    const std::string& StartDirectory() const { return startDir_; }

    // Gives the next name found: a file's full path, or with recursion a
    // directory's full path ending in '/' as soon as the walk enters it.
    // False once the walk is over.
    bool Next(std::string& fullPath, FileInfo& info);

private:
    void Open(std::string dir);

    std::string startDir_;
    std::vector<std::string> dirPatterns_;
    bool recurse_;
    std::string mask_;
    std::vector<TSearchData> stack_;
};

// The writer's settings and events that the expansion follows.
struct TFileListExpansion {
    std::string RootDir; // put before explicit items without a directory
    bool Recurse = false;
    bool AddDirEntriesOnRecurse = false;
    bool SkipIfArchiveBitNotSet = false;
    std::span<const std::string> ExcludeList;
    std::string ZipName; // the archive being written, never added to itself
    // Set only when freshening: whether the file has an entry in the existing
    // archive (files without one are left out).
    std::function<bool(const std::string& path)> HasArchiveEntry;
    // Lets the host process its pending events; true when a cancel was
    // requested meanwhile.
    std::function<bool()> CancelRequested;
    // The writer forwards these to its OnNoSuchFile and OnRecursingFile with
    // itself as sender.
    std::function<void(const std::string& FName)> OnNoSuchFile;
    std::function<void(const std::string& FName)> OnRecursingFile;
};

// Rewrites the list in place: directory items and the explicit files that
// exist stay in their order, followed by the names each wildcard item found.
// Returns the total size of the files listed (TotalBytes). A cancel request
// raises EUserCanceled; nothing else raises.
std::uint64_t ExpandFilesList(std::vector<std::string>& filesList,
                              const TFileListExpansion& settings);

} // namespace mzb
