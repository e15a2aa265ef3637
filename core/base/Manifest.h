#pragma once
// The manifest that every archive of a differential project carries as its
// last entry: the point in time the archive records. It lists each file
// that existed when the archive was made, with the facts that decide whether
// it changed since and the archive that holds its bytes; a file deleted
// before that time is simply absent. Backups and restores read nothing but
// these manifests, so a copied or moved backup folder keeps working.
//
// The entry is text, one record per line, fields separated by tabs:
//
//   mzb-manifest<TAB>1
//   archive<TAB>NAME            the archive this manifest is in
//   full<TAB>NAME               the full archive its chain starts from
//   made<TAB>SECONDS            when the backup ran, seconds since 1970 (UTC)
//   file<TAB>STORED NAME<TAB>SIZE<TAB>MTIME<TAB>MODE<TAB>CTIME<TAB>CRC<TAB>HOLDER
//
// Archive names are file names without a folder (others are refused). SIZE is decimal bytes,
// MTIME and CTIME decimal nanoseconds since 1970 (UTC), MODE the octal
// st_mode, CRC the entry's CRC-32 as eight hex digits and HOLDER the
// archive whose entry of that stored name holds the file's bytes. In names,
// a backslash is written \\, and everything else as PrintableName shows it
// (a tab \t, a line feed \n, a carriage return \r, a C1 control \u00HH,
// every other control byte and every byte that is not part of a UTF-8
// character \xHH), so any Linux name survives the round trip and the file
// still reads as text.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace mzb {

// The manifest's stored name: in the archive's root, hidden by its dot.
inline constexpr std::string_view kManifestEntryName = ".mzb-manifest";

struct ManifestFile {
    std::string Name; // stored name
    std::uint64_t Size = 0;
    std::int64_t ModifiedNs = 0;
    std::uint32_t Mode = 0;
    std::int64_t ChangedNs = 0; // inode change time
    std::uint32_t Crc32 = 0;
    std::string Holder; // archive file name

    bool operator==(const ManifestFile&) const = default;
};

struct Manifest {
    std::string Archive;     // this archive's file name
    std::string FullArchive; // the chain's full archive; equal to Archive in a full one
    std::int64_t MadeSeconds = 0;
    std::vector<ManifestFile> Files;

    bool IsFull() const { return Archive == FullArchive; }
    bool operator==(const Manifest&) const = default;
};

std::string WriteManifest(const Manifest& manifest);

// Throws std::invalid_argument naming the line for text that is not a
// manifest of this format (a damaged or foreign entry must not pass for a
// point in time with files missing).
Manifest ReadManifest(std::string_view text);

} // namespace mzb
