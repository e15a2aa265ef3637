#pragma once
// The extra block (0x9901) of an entry encrypted with AES: the format's
// version (1 stores the CRC-32, 2 stores 0), the vendor letters "AE", the
// key strength (1, 2, 3 for 128, 192, 256 bits) and the compression method
// of the data; the header's own method field then says 99.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace mzb {

inline constexpr std::uint16_t kExtraAes = 0x9901;
inline constexpr std::uint16_t kMethodAes = 99;
// Version 5.1 of the format, the first with AES: a reader too old for it
// then says so rather than that it lacks method 99.
inline constexpr std::uint16_t kVersionNeededAes = 51;

struct TAesExtra {
    std::uint8_t Version = 0;  // 1 or 2; 0: the entry is not AES-encrypted
    std::uint8_t Strength = 0; // 1, 2, 3
    std::uint16_t Method = 0;  // of the data once decrypted

    bool Present() const { return Version != 0; }
    bool operator==(const TAesExtra&) const = default;
};

// The block in an extra field, when it is there and well formed (seven
// bytes, the vendor letters, a version and a strength the format has).
std::optional<TAesExtra> FindAesExtra(std::string_view extra);

// The whole block, its id and length included.
std::string AesExtraBlock(const TAesExtra& aes);

} // namespace mzb
