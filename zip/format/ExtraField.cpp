#include "zip/format/ExtraField.h"

#include "zip/base/ByteOrder.h"
#include "zip/format/ZipFormat.h"

namespace mzb {
namespace {

constexpr std::size_t kBlockHeaderSize = 4;

const std::uint8_t* Bytes(std::string_view s) {
    return reinterpret_cast<const std::uint8_t*>(s.data());
}

void AppendLE64(std::string& out, std::uint64_t v) {
    std::uint8_t bytes[8];
    PutLE64(bytes, v);
    out.append(reinterpret_cast<const char*>(bytes), sizeof bytes);
}

// Walks the whole blocks of a field: calls visit(id, start, length) for each
// and returns where the whole blocks end.
template <typename Visit> std::size_t ForEachBlock(std::string_view extra, Visit visit) {
    std::size_t at = 0;
    while (extra.size() - at >= kBlockHeaderSize) {
        const std::uint16_t id = GetLE16(Bytes(extra) + at);
        const std::size_t length = GetLE16(Bytes(extra) + at + 2);
        if (length > extra.size() - at - kBlockHeaderSize) {
            break;
        }
        if (!visit(id, at, kBlockHeaderSize + length)) {
            break;
        }
        at += kBlockHeaderSize + length;
    }
    return at;
}

// Whether the field ends in a block of the id that its length cuts short.
bool EndsInCutBlock(std::string_view extra, std::uint16_t id) {
    const std::size_t end =
        ForEachBlock(extra, [](std::uint16_t, std::size_t, std::size_t) { return true; });
    return extra.size() - end >= 2 && GetLE16(Bytes(extra) + end) == id;
}

} // namespace

std::optional<std::string_view> FindExtraBlock(std::string_view extra, std::uint16_t id) {
    std::optional<std::string_view> found;
    ForEachBlock(extra, [&](std::uint16_t blockId, std::size_t start, std::size_t length) {
        if (blockId == id) {
            found = extra.substr(start + kBlockHeaderSize, length - kBlockHeaderSize);
        }
        return !found;
    });
    return found;
}

std::string WithoutExtraBlock(std::string_view extra, std::uint16_t id) {
    std::string kept;
    const std::size_t end =
        ForEachBlock(extra, [&](std::uint16_t blockId, std::size_t start, std::size_t length) {
            if (blockId != id) {
                kept.append(extra.substr(start, length));
            }
            return true;
        });
    kept.append(extra.substr(end));
    return kept;
}

std::string ExtraBlock(std::uint16_t id, std::string_view data) {
    std::string block(kBlockHeaderSize, '\0');
    auto* p = reinterpret_cast<std::uint8_t*>(block.data());
    PutLE16(p, id);
    PutLE16(p + 2, static_cast<std::uint16_t>(data.size()));
    return block.append(data);
}

std::string Zip64Block(std::optional<std::uint64_t> uncompressedSize,
                       std::optional<std::uint64_t> compressedSize,
                       std::optional<std::uint64_t> localHeaderOffset) {
    std::string values;
    for (const auto& v : {uncompressedSize, compressedSize, localHeaderOffset}) {
        if (v) {
            AppendLE64(values, *v);
        }
    }
    return ExtraBlock(kExtraZip64, values);
}

bool ResolveZip64Fields(std::string_view extra, bool localHeader, TZip64Fields& fields) {
    const bool sizes[2] = {fields.UncompressedSize == kZip64Marker32,
                           fields.CompressedSize == kZip64Marker32};
    const bool offset = fields.LocalHeaderOffset == kZip64Marker32;
    const bool disk = fields.DiskNumberStart == kZip64Marker16;
    if (!sizes[0] && !sizes[1] && !offset && !disk) {
        return true;
    }
    const auto block = FindExtraBlock(extra, kExtraZip64);
    if (!block) {
        return !EndsInCutBlock(extra, kExtraZip64);
    }
    const std::uint8_t* p = Bytes(*block);
    const std::size_t size = block->size();
    std::size_t at = 0;
    auto next = [&](std::size_t width) -> std::optional<std::uint64_t> {
        if (size - at < width) {
            return std::nullopt;
        }
        const std::uint64_t v = width == 8 ? GetLE64(p + at) : GetLE32(p + at);
        at += width;
        return v;
    };
    TZip64Fields resolved = fields;
    std::uint64_t* targets[2] = {&resolved.UncompressedSize, &resolved.CompressedSize};
    const bool bothSizes = localHeader && size >= 16;
    for (int i = 0; i < 2; ++i) {
        if (!sizes[i] && !bothSizes) {
            continue;
        }
        const auto v = next(8);
        if (!v) {
            return false;
        }
        if (sizes[i]) {
            *targets[i] = *v;
        }
    }
    if (offset) {
        const auto v = next(8);
        if (!v) {
            return false;
        }
        resolved.LocalHeaderOffset = *v;
    }
    if (disk) {
        const auto v = next(4);
        if (!v) {
            return false;
        }
        resolved.DiskNumberStart = static_cast<std::uint32_t>(*v);
    }
    fields = resolved;
    return true;
}

} // namespace mzb
