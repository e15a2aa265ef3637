#include "zip/crypt/AesCipher.h"

#include "zip/base/ByteOrder.h"
#include "zip/base/ZipError.h"

#include <algorithm>
#include <cstring>
#include <openssl/core_names.h>
#include <openssl/crypto.h>
#include <openssl/evp.h>
#include <openssl/rand.h>

namespace mzb {
namespace {

constexpr std::size_t kBlockSize = 16;
// Counter blocks encrypted in one call: enough for the library to keep its
// AES instructions pipelined, small enough to stay in the first-level cache.
constexpr std::size_t kBatchBlocks = 256;

[[noreturn]] void Fail(const char* what) {
    throw EEncryptionError(std::string("AES encryption failed: ") + what);
}

// Fetched once: a fetch takes the library's global lock and looks the
// algorithm up by name.
const EVP_CIPHER* BlockCipher(std::uint8_t strength) {
    static EVP_CIPHER* const ciphers[3] = {EVP_CIPHER_fetch(nullptr, "AES-128-ECB", nullptr),
                                           EVP_CIPHER_fetch(nullptr, "AES-192-ECB", nullptr),
                                           EVP_CIPHER_fetch(nullptr, "AES-256-ECB", nullptr)};
    const EVP_CIPHER* cipher = ciphers[strength - 1];
    if (cipher == nullptr) {
        Fail("the library has no AES");
    }
    return cipher;
}

EVP_MAC* Hmac() {
    static EVP_MAC* const mac = EVP_MAC_fetch(nullptr, "HMAC", nullptr);
    if (mac == nullptr) {
        Fail("the library has no HMAC");
    }
    return mac;
}

} // namespace

std::size_t AesKeySize(std::uint8_t strength) {
    return 8u + 8u * strength;
}

std::size_t AesSaltSize(std::uint8_t strength) {
    return 4u + 4u * strength;
}

std::uint8_t AesStrength(TEncryption encryption) {
    return static_cast<std::uint8_t>(encryption);
}

TAesKeys DeriveAesKeys(std::uint8_t strength, std::string_view password, const std::uint8_t* salt) {
    const std::size_t keySize = AesKeySize(strength);
    std::vector<std::uint8_t> derived(2 * keySize + kAesVerifierSize);
    if (PKCS5_PBKDF2_HMAC(password.data(), static_cast<int>(password.size()), salt,
                          static_cast<int>(AesSaltSize(strength)), kAesKeyRounds, EVP_sha1(),
                          static_cast<int>(derived.size()), derived.data()) != 1) {
        Fail("the key derivation failed");
    }
    TAesKeys keys;
    keys.encryption.assign(derived.begin(), derived.begin() + std::ptrdiff_t(keySize));
    keys.authentication.assign(derived.begin() + std::ptrdiff_t(keySize),
                               derived.begin() + std::ptrdiff_t(2 * keySize));
    std::copy(derived.end() - kAesVerifierSize, derived.end(), keys.verifier.begin());
    OPENSSL_cleanse(derived.data(), derived.size());
    return keys;
}

// The running transform: the block cipher keyed for the counter blocks, the
// MAC over the encrypted bytes, and the key stream left of the last block.
struct TAesCipher::TState {
    EVP_CIPHER_CTX* aes = EVP_CIPHER_CTX_new();
    EVP_MAC_CTX* mac = EVP_MAC_CTX_new(Hmac());
    std::uint64_t counter = 0; // of the last block used; the high 64 bits stay 0
    std::array<std::uint8_t, kBlockSize> block{};
    std::size_t blockUsed = kBlockSize;
    std::vector<std::uint8_t> counters = std::vector<std::uint8_t>(kBatchBlocks * kBlockSize);
    std::vector<std::uint8_t> stream = std::vector<std::uint8_t>(kBatchBlocks * kBlockSize);

    ~TState() {
        EVP_CIPHER_CTX_free(aes);
        EVP_MAC_CTX_free(mac);
        OPENSSL_cleanse(block.data(), block.size());
        OPENSSL_cleanse(stream.data(), stream.size());
    }
};

TAesCipher::TAesCipher(std::uint8_t strength, std::string_view password, std::uint8_t version)
    : strength_(strength), version_(version), password_(password), salt_(AesSaltSize(strength)) {}

TAesCipher::~TAesCipher() {
    OPENSSL_cleanse(password_.data(), password_.size());
}

std::unique_ptr<TAesCipher> TAesCipher::ForWriting(std::uint8_t strength,
                                                   std::string_view password) {
    // The version follows the entry's size, known only at the end.
    auto cipher = std::make_unique<TAesCipher>(strength, password, 1);
    if (RAND_bytes(cipher->salt_.data(), static_cast<int>(cipher->salt_.size())) != 1) {
        Fail("no random bytes for the salt");
    }
    TAesKeys keys = DeriveAesKeys(strength, password, cipher->salt_.data());
    cipher->verifier_ = keys.verifier;
    cipher->Start(keys);
    return cipher;
}

void TAesCipher::Start(const TAesKeys& keys) {
    state_ = std::make_unique<TState>();
    const OSSL_PARAM params[] = {
        OSSL_PARAM_construct_utf8_string(OSSL_MAC_PARAM_DIGEST, const_cast<char*>("SHA1"), 0),
        OSSL_PARAM_construct_end()};
    if (state_->aes == nullptr || state_->mac == nullptr ||
        EVP_EncryptInit_ex2(state_->aes, BlockCipher(strength_), keys.encryption.data(), nullptr,
                            nullptr) != 1 ||
        EVP_CIPHER_CTX_set_padding(state_->aes, 0) != 1 ||
        EVP_MAC_init(state_->mac, keys.authentication.data(), keys.authentication.size(), params) !=
            1) {
        Fail("the cipher could not be set up");
    }
}

std::vector<std::uint8_t> TAesCipher::Header() {
    std::vector<std::uint8_t> header(salt_);
    header.insert(header.end(), verifier_.begin(), verifier_.end());
    return header;
}

bool TAesCipher::CheckPassword(const std::uint8_t* header) {
    std::copy(header, header + salt_.size(), salt_.begin());
    TAesKeys keys = DeriveAesKeys(strength_, password_, salt_.data());
    if (std::memcmp(keys.verifier.data(), header + salt_.size(), kAesVerifierSize) != 0) {
        return false;
    }
    verifier_ = keys.verifier;
    Start(keys);
    OPENSSL_cleanse(keys.encryption.data(), keys.encryption.size());
    OPENSSL_cleanse(keys.authentication.data(), keys.authentication.size());
    return true;
}

void TAesCipher::XorKeyStream(std::uint8_t* data, std::size_t n) {
    TState& s = *state_;
    while (n > 0 && s.blockUsed < kBlockSize) {
        *data++ ^= s.block[s.blockUsed++];
        --n;
    }
    auto encryptCounters = [&s](std::size_t blocks, std::uint8_t* out) {
        std::uint8_t* c = s.counters.data();
        for (std::size_t i = 0; i < blocks; ++i, c += kBlockSize) {
            PutLE64(c, ++s.counter);
            std::memset(c + 8, 0, 8);
        }
        int produced = 0;
        if (EVP_EncryptUpdate(s.aes, out, &produced, s.counters.data(),
                              static_cast<int>(blocks * kBlockSize)) != 1) {
            Fail("the block cipher failed");
        }
    };
    while (n >= kBlockSize) {
        const std::size_t blocks = std::min(n / kBlockSize, kBatchBlocks);
        encryptCounters(blocks, s.stream.data());
        const std::size_t bytes = blocks * kBlockSize;
        for (std::size_t i = 0; i < bytes; ++i) {
            data[i] ^= s.stream[i];
        }
        data += bytes;
        n -= bytes;
    }
    if (n > 0) {
        encryptCounters(1, s.block.data());
        for (std::size_t i = 0; i < n; ++i) {
            data[i] ^= s.block[i];
        }
        s.blockUsed = n;
    }
}

void TAesCipher::Encrypt(std::uint8_t* data, std::size_t n) {
    XorKeyStream(data, n);
    if (EVP_MAC_update(state_->mac, data, n) != 1) {
        Fail("the authentication code failed");
    }
}

void TAesCipher::Decrypt(std::uint8_t* data, std::size_t n) {
    if (EVP_MAC_update(state_->mac, data, n) != 1) {
        Fail("the authentication code failed");
    }
    XorKeyStream(data, n);
}

std::array<std::uint8_t, kAesAuthenticationSize> TAesCipher::AuthenticationCode() {
    std::uint8_t full[EVP_MAX_MD_SIZE];
    std::size_t size = 0;
    if (EVP_MAC_final(state_->mac, full, &size, sizeof full) != 1 ||
        size < kAesAuthenticationSize) {
        Fail("the authentication code failed");
    }
    std::array<std::uint8_t, kAesAuthenticationSize> code{};
    std::copy(full, full + kAesAuthenticationSize, code.begin());
    return code;
}

std::vector<std::uint8_t> TAesCipher::Trailer() {
    const auto code = AuthenticationCode();
    return {code.begin(), code.end()};
}

bool TAesCipher::CheckTrailer(const std::uint8_t* trailer) {
    const auto code = AuthenticationCode();
    return CRYPTO_memcmp(code.data(), trailer, code.size()) == 0;
}

void MarkAesEntry(TZipHeaderInfo& entry, std::uint8_t strength) {
    entry.Flags |= kFlagEncrypted;
    const std::uint8_t version = entry.UncompressedSize < kAesVersion2Below ? 2 : 1;
    entry.Aes = {version, strength, entry.DataMethod()};
    entry.CompressionMethod = kMethodAes;
    entry.VersionNeeded = std::max(entry.VersionNeeded, kVersionNeededAes);
    const auto madeBy = static_cast<std::uint16_t>(entry.VersionMadeBy & 0xFF);
    entry.VersionMadeBy = static_cast<std::uint16_t>((entry.VersionMadeBy & 0xFF00) |
                                                     std::max(madeBy, kVersionNeededAes));
    if (version == 2) {
        entry.Crc32 = 0;
    }
}

void TAesCipher::MarkEntry(TZipHeaderInfo& entry) const {
    MarkAesEntry(entry, strength_);
}

} // namespace mzb
