#pragma once
// Where an archive entry may be written. Stored names come from whoever made
// the archive, so they are taken apart by path components and rebuilt below
// the destination: nothing an entry says can place a file outside it.
//
// With a destination directory, leading separators and the drive (C:, also
// the drive-relative C:x), share (//server/share) and device (//?/, //./)
// prefixes of a stored directory are removed and the rest goes below the
// destination; drive letters are taken for what they are only in names from
// MS-DOS and Windows hosts (elsewhere "c:" is a folder name like any other).
// A ".." component, a NUL, or a file name of "." or ".." makes the entry
// unsafe; control characters and '\' are name characters as Linux has them
// (names from MS-DOS hosts reach here with '/' already). Without a
// destination the files go back where they came from: the stored path below
// the root of the file system, relative and absolute stored directories
// alike (a backup stores "/home/u/a.txt" as "home/u/a.txt"), a drive letter
// dropped. Share and device prefixes are then unsafe, and ".." is still
// refused.

#include <optional>
#include <string>
#include <string_view>

namespace mzb {

struct TOutputPathRules {
    std::string DestDir; // without a trailing '/' (the root excepted); may be empty
    std::string RootDir; // removed from the front of stored directories; empty or ending in '/'
    bool RecreateDirs = false;
    // What an empty DestDir stands for. Tests give a folder of their own,
    // so that a restore to the original places writes nothing outside it.
    std::string OriginalRoot = "/";
};

// The output path of an entry; for a directory entry (empty file name) the
// directory to create, ending in '/' (empty: the current directory).
// Nothing when the entry is unsafe.
std::optional<std::string> OutputPathOf(const TOutputPathRules& rules, std::string_view directory,
                                        std::string_view fileName, bool dosHost);

} // namespace mzb
