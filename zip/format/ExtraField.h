#pragma once
// The extra field of a header: a row of blocks, each a 2-byte id, a 2-byte
// length and that many bytes. Finding, dropping and making blocks, and the
// ZIP64 block (0x0001), which carries the sizes, offset and disk of an entry
// whose classic fields hold the all-ones marker instead. (The blocks that
// carry times are in TimeFields.h.)

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace mzb {

inline constexpr std::uint16_t kExtraZip64 = 0x0001;
inline constexpr std::uint16_t kExtraUnicodePath = 0x7075;

// The data of the first block with the id; nullopt when there is none. A
// block whose length runs past the field ends the search.
std::optional<std::string_view> FindExtraBlock(std::string_view extra, std::uint16_t id);

// The field without its blocks of the id; bytes that do not make a whole
// block are kept as they are.
std::string WithoutExtraBlock(std::string_view extra, std::uint16_t id);

// A block of the id holding the data, which must be shorter than 64 KiB.
std::string ExtraBlock(std::uint16_t id, std::string_view data);

// The values of an entry as its header's fixed fields give them; those
// holding the marker are to be read from the ZIP64 block. A local header
// has no offset or disk: they are 0 there.
struct TZip64Fields {
    std::uint64_t UncompressedSize = 0;
    std::uint64_t CompressedSize = 0;
    std::uint64_t LocalHeaderOffset = 0;
    std::uint32_t DiskNumberStart = 0;
};

// The block for the values given, in the order of the application note
// (uncompressed size, compressed size, local header offset); absent ones are
// left out.
std::string Zip64Block(std::optional<std::uint64_t> uncompressedSize,
                       std::optional<std::uint64_t> compressedSize,
                       std::optional<std::uint64_t> localHeaderOffset);

// Replaces each marked value by the block's next one, in the note's order.
// A local header's block holds both sizes whenever it holds one, so there
// the sizes are its first two values. False when the block lacks a value
// it must hold, or is cut short by the end of the field (the fields are
// unchanged then). An extra field without the block leaves the fields as
// they are: a tool that knew nothing of ZIP64 may have stored all ones as a
// real value.
bool ResolveZip64Fields(std::string_view extra, bool localHeader, TZip64Fields& fields);

} // namespace mzb
