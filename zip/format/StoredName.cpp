#include "zip/format/StoredName.h"

#include "zip/base/ByteOrder.h"
#include "zip/base/Utf8.h"
#include "zip/format/Cp437.h"
#include "zip/format/Crc32.h"
#include "zip/format/ExtraField.h"

#include <algorithm>

namespace mzb {
namespace {

// Host numbers of "version made by" whose names follow MS-DOS conventions.
constexpr std::uint16_t kHostMsDos = 0;
constexpr std::uint16_t kHostNtfs = 11;
constexpr std::uint16_t kHostVfat = 14;

void DosSeparators(std::string& name, bool dosHost) {
    if (dosHost) {
        std::replace(name.begin(), name.end(), '\\', '/');
    }
}

} // namespace

std::string EncodeStoredName(std::string_view directory, std::string_view fileName) {
    std::string name;
    name.reserve(directory.size() + fileName.size());
    name.append(directory).append(fileName);
    return name;
}

bool HasNonAsciiBytes(std::string_view name) {
    return std::any_of(name.begin(), name.end(),
                       [](char c) { return static_cast<unsigned char>(c) >= 0x80; });
}

bool NeedsUtf8Flag(std::string_view name) {
    return HasNonAsciiBytes(name) && IsValidUtf8(name);
}

bool IsDosHost(std::uint16_t versionMadeBy) {
    const std::uint16_t host = versionMadeBy >> 8;
    return host == kHostMsDos || host == kHostNtfs || host == kHostVfat;
}

std::string DecodeStoredName(std::string_view raw, bool utf8Flag, bool dosHost) {
    std::string name =
        !utf8Flag && dosHost && HasNonAsciiBytes(raw) ? Cp437ToUtf8(raw) : std::string(raw);
    DosSeparators(name, dosHost);
    return name;
}

std::optional<std::string> UnicodePathFromExtra(std::string_view extra, std::string_view rawName,
                                                bool dosHost) {
    const auto block = FindExtraBlock(extra, kExtraUnicodePath);
    if (!block) {
        return std::nullopt;
    }
    // Version 1, CRC-32 of the name bytes it stands for, the name.
    const auto* p = reinterpret_cast<const std::uint8_t*>(block->data());
    if (block->size() < 5 || p[0] != 1 || GetLE32(p + 1) != Crc32(rawName.data(), rawName.size())) {
        return std::nullopt;
    }
    std::string name(block->substr(5));
    DosSeparators(name, dosHost);
    return name;
}

void SplitStoredName(std::string_view name, std::string& directory, std::string& fileName) {
    const std::size_t slash = name.rfind('/');
    const std::size_t split = slash == std::string_view::npos ? 0 : slash + 1;
    directory.assign(name.substr(0, split));
    fileName.assign(name.substr(split));
}

} // namespace mzb
