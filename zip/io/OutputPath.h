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
// destination (restore to the stored locations) an absolute directory stays
// absolute, a drive letter is dropped, share and device prefixes are unsafe,
// and ".." is still refused.

#include <optional>
#include <string>
#include <string_view>

namespace mzb {

struct TOutputPathRules {
    std::string DestDir; // without a trailing '/' (the root excepted); may be empty
    std::string RootDir; // removed from the front of stored directories; empty or ending in '/'
    bool RecreateDirs = false;
};

// The output path of an entry; for a directory entry (empty file name) the
// directory to create, ending in '/' (empty: the current directory).
// Nothing when the entry is unsafe.
std::optional<std::string> OutputPathOf(const TOutputPathRules& rules, std::string_view directory,
                                        std::string_view fileName, bool dosHost);

} // namespace mzb
