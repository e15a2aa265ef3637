#include "zip/crypt/EntryCipher.h"

#include "zip/crypt/AesCipher.h"
#include "zip/crypt/ZipCrypt.h"

#include <array>

namespace mzb {
namespace {

constexpr std::array<std::string_view, 4> kNames = {"zipcrypto", "aes128", "aes192", "aes256"};

bool IsAes(TEncryption encryption) {
    return encryption != TEncryption::Traditional;
}

} // namespace

std::string_view EncryptionName(TEncryption encryption) {
    return kNames[static_cast<std::size_t>(encryption)];
}

std::optional<TEncryption> EncryptionFromName(std::string_view name) {
    for (std::size_t i = 0; i < kNames.size(); ++i) {
        if (kNames[i] == name) {
            return static_cast<TEncryption>(i);
        }
    }
    return std::nullopt;
}

std::string_view EntryEncryptionName(const TZipHeaderInfo& entry) {
    if (!entry.IsEncrypted()) {
        return "-";
    }
    if (entry.CompressionMethod != kMethodAes) {
        return EncryptionName(TEncryption::Traditional);
    }
    return entry.Aes.Present() ? kNames[entry.Aes.Strength] : "unknown";
}

std::size_t EncryptionOverhead(TEncryption encryption) {
    if (!IsAes(encryption)) {
        return kEncryptionHeaderSize;
    }
    return AesSaltSize(AesStrength(encryption)) + kAesVerifierSize + kAesAuthenticationSize;
}

bool NeedsCrcFirst(TEncryption encryption) {
    return !IsAes(encryption);
}

void MarkEntryForCipher(TEncryption encryption, TZipHeaderInfo& entry) {
    if (IsAes(encryption)) {
        MarkAesEntry(entry, AesStrength(encryption));
    } else {
        entry.Flags |= kFlagEncrypted;
    }
}

std::unique_ptr<TEntryCipher> CipherForWriting(TEncryption encryption, std::string_view password,
                                               std::uint32_t crc, const TFillerSource& filler) {
    if (IsAes(encryption)) {
        return TAesCipher::ForWriting(AesStrength(encryption), password);
    }
    return std::make_unique<TTraditionalCipher>(password, crc, filler);
}

std::unique_ptr<TEntryCipher> CipherForReading(const TZipHeaderInfo& entry,
                                               std::string_view password) {
    if (entry.CompressionMethod == kMethodAes) {
        if (!entry.Aes.Present()) {
            return nullptr;
        }
        return std::make_unique<TAesCipher>(entry.Aes.Strength, password, entry.Aes.Version);
    }
    // An entry with a data descriptor was written before its CRC was known,
    // so its header checks against the high byte of its time instead.
    const auto checkByte = entry.HasDataDescriptor()
                               ? static_cast<std::uint8_t>(entry.FileDateTime >> 8)
                               : static_cast<std::uint8_t>(entry.Crc32 >> 24);
    return std::make_unique<TTraditionalCipher>(password, checkByte);
}

} // namespace mzb
