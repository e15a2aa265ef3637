#pragma once
// AES encryption of archive entries as other tools write it: per entry a
// random salt, keys derived from the password and the salt with
// PBKDF2-HMAC-SHA1 (1000 rounds; the AES key, then the authentication key,
// then a 2-byte password verifier), the data in AES's counter mode with a
// 128-bit little-endian counter that starts at 1, and the first 10 bytes of
// an HMAC-SHA1 over the encrypted data after it. The primitives are
// libcrypto's; only the format's arrangement of them is here.

#include "zip/crypt/EntryCipher.h"

#include <array>
#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

namespace mzb {

inline constexpr std::size_t kAesVerifierSize = 2;
inline constexpr std::size_t kAesAuthenticationSize = 10;
inline constexpr unsigned kAesKeyRounds = 1000;

// Strength 1, 2, 3: 16, 24, 32-byte keys and 8, 12, 16-byte salts.
std::size_t AesKeySize(std::uint8_t strength);
std::size_t AesSaltSize(std::uint8_t strength);
std::uint8_t AesStrength(TEncryption encryption);

// Entries shorter than this are written in version 2, whose CRC is 0: the
// CRC of a few bytes would give away much of them, and the authentication
// code protects them anyway. Longer ones keep the CRC (version 1), which
// still checks the data after decompression.
inline constexpr std::uint64_t kAesVersion2Below = 20;

// Marks an entry whose values are final as AES-encrypted: the flag, method
// 99, the AES block with the version its size calls for and the method of
// its data, and CRC 0 in version 2.
void MarkAesEntry(TZipHeaderInfo& entry, std::uint8_t strength);

struct TAesKeys {
    std::vector<std::uint8_t> encryption;
    std::vector<std::uint8_t> authentication;
    std::array<std::uint8_t, kAesVerifierSize> verifier{};
};

// The derivation, with libcrypto's PBKDF2.
TAesKeys DeriveAesKeys(std::uint8_t strength, std::string_view password, const std::uint8_t* salt);

class TAesCipher final : public TEntryCipher {
public:
    // For reading: keys come with CheckPassword.
    TAesCipher(std::uint8_t strength, std::string_view password, std::uint8_t version);
    // For writing: a fresh salt from the system's random source (libcrypto's
    // generator) and the keys derived from it. Throws EZipFormatError when
    // no random bytes can be had.
    static std::unique_ptr<TAesCipher> ForWriting(std::uint8_t strength, std::string_view password);
    ~TAesCipher() override;

    std::size_t HeaderSize() const override { return salt_.size() + kAesVerifierSize; }
    std::size_t TrailerSize() const override { return kAesAuthenticationSize; }
    bool DerivesKeys() const override { return true; }

    std::vector<std::uint8_t> Header() override;
    void Encrypt(std::uint8_t* data, std::size_t n) override;
    std::vector<std::uint8_t> Trailer() override;
    void MarkEntry(TZipHeaderInfo& entry) const override;

    bool CheckPassword(const std::uint8_t* header) override;
    void Decrypt(std::uint8_t* data, std::size_t n) override;
    bool CheckTrailer(const std::uint8_t* trailer) override;
    bool ChecksCrc() const override { return version_ == 1; }
    bool Authenticates() const override { return true; }

private:
    struct TState;
    void Start(const TAesKeys& keys);
    void XorKeyStream(std::uint8_t* data, std::size_t n);
    std::array<std::uint8_t, kAesAuthenticationSize> AuthenticationCode();

    std::uint8_t strength_;
    std::uint8_t version_;
    std::string password_;
    std::vector<std::uint8_t> salt_;
    std::array<std::uint8_t, kAesVerifierSize> verifier_{};
    std::unique_ptr<TState> state_;
};

} // namespace mzb
