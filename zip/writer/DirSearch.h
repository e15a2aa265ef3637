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
// contents to save and could stall a reader). Hidden entries are included
// and dot-directories entered; linked directories are never descended into.
// A start directory with wildcard components ("/home/*/docs") is listed from
// its fixed part, and each such component must match a directory name at
// its depth before the walk goes down; the mask applies below them.
//
// The walk goes as deep as the tree does. What it holds is bounded by the
// tree's shape, not by open descriptors: one listing per level of the
// current path, each only the names not yet taken. A directory that is one
// of those above it (a bind mount of an ancestor, say) is passed over, so
// no loop is entered.
class TDirSearch {
public:
    // Told of each directory that could not be listed, or whose entries
    // could not be looked up, with the errno of the failure (ENOENT for one
    // that does not exist); the walk goes on with the rest.
    using TUnlistable = std::function<void(const std::string& dir, int error)>;

    TDirSearch(std::string_view startDir, bool recurse, std::string mask,
               TUnlistable onUnlistable = nullptr);

    // The part of the start directory before its first wildcard component,
    // ending in '/': the directory that has to exist for the walk to find
    // anything.
    const std::string& StartDirectory() const { return startDir_; }

    // Gives the next name found: a file's full path, or with recursion a
    // directory's full path ending in '/' as soon as the walk enters it.
    // False once the walk is over.
    bool Next(std::string& fullPath, FileInfo& info);

    // Listings open now: the depth of the current path plus one.
    std::size_t Depth() const { return stack_.size(); }

private:
    void Open(std::string dir);
    void Close();
    bool IsOnCurrentPath(const FileInfo& dir) const;

    std::string startDir_;
    std::vector<std::string> dirPatterns_;
    bool recurse_;
    std::string mask_;
    TUnlistable onUnlistable_;
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
    // Asked last of each file that passed every other check, with what the
    // expansion's own look at it found, before anything opens it: false
    // leaves it out, unreported and uncounted. Unset takes every file.
    std::function<bool(const std::string& path, const FileInfo& info)> ChooseFile;
    // Lets the host process its pending events; true when a cancel was
    // requested meanwhile.
    std::function<bool()> CancelRequested;
    // The writer forwards these to its OnNoSuchFile, OnRecursingFile and
    // OnFolderNotListed with itself as sender.
    std::function<void(const std::string& FName)> OnNoSuchFile;
    std::function<void(const std::string& FName)> OnRecursingFile;
    // A wildcard item's folder that does not exist, or a folder the walk
    // could not list: its path without the trailing '/', and the errno.
    std::function<void(const std::string& FName, int ErrorCode)> OnFolderNotListed;
};

// Rewrites the list in place: directory items and the explicit files that
// exist stay in their order, followed by the names each wildcard item found.
// Returns the total size of the files listed (TotalBytes). A cancel request
// raises EUserCanceled; nothing else raises: what cannot be found or read is
// told through the events and left out.
std::uint64_t ExpandFilesList(std::vector<std::string>& filesList,
                              const TFileListExpansion& settings);

} // namespace mzb
