#include "zip/format/AesExtraBlock.h"

#include "zip/base/ByteOrder.h"
#include "zip/format/ExtraField.h"

namespace mzb {
namespace {

constexpr std::size_t kAesDataSize = 7;

} // namespace

std::optional<TAesExtra> FindAesExtra(std::string_view extra) {
    const auto block = FindExtraBlock(extra, kExtraAes);
    if (!block || block->size() != kAesDataSize) {
        return std::nullopt;
    }
    const auto* p = reinterpret_cast<const std::uint8_t*>(block->data());
    const std::uint16_t version = GetLE16(p);
    TAesExtra aes{static_cast<std::uint8_t>(version), p[4], GetLE16(p + 5)};
    // Anything else is a block of another meaning, or of a future version
    // whose data this reader would get wrong.
    if ((version != 1 && version != 2) || p[2] != 'A' || p[3] != 'E' || aes.Strength < 1 ||
        aes.Strength > 3) {
        return std::nullopt;
    }
    return aes;
}

std::string AesExtraBlock(const TAesExtra& aes) {
    std::string block(4 + kAesDataSize, '\0');
    auto* p = reinterpret_cast<std::uint8_t*>(block.data());
    PutLE16(p, kExtraAes);
    PutLE16(p + 2, kAesDataSize);
    PutLE16(p + 4, aes.Version);
    p[6] = 'A';
    p[7] = 'E';
    p[8] = aes.Strength;
    PutLE16(p + 9, aes.Method);
    return block;
}

} // namespace mzb
