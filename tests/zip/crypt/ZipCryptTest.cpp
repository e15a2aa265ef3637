#include "zip/crypt/ZipCrypt.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace mzb {
namespace {

TEST(ZipCryptTest, DecryptUndoesEncryptAcrossPieces) {
    std::string plain;
    for (int i = 0; i < 5000; ++i) {
        plain += static_cast<char>(i * 7 + i / 13);
    }
    std::string data = plain;
    auto* bytes = reinterpret_cast<std::uint8_t*>(data.data());
    TZipCryptKeys(std::string_view("pass word")).Encrypt(bytes, data.size());
    EXPECT_NE(data, plain);
    TZipCryptKeys keys("pass word");
    for (std::size_t at = 0, piece = 1; at < data.size();
         at += piece, piece = piece * 3 % 4097 + 1) {
        keys.Decrypt(bytes + at, std::min(piece, data.size() - at));
    }
    EXPECT_EQ(data, plain);
}

std::vector<std::uint8_t> FromHex(std::string_view hex) {
    std::vector<std::uint8_t> bytes;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2) {
        bytes.push_back(
            static_cast<std::uint8_t>(std::stoi(std::string(hex.substr(i, 2)), nullptr, 16)));
    }
    return bytes;
}

// A known answer made by another tool: Info-ZIP zip 3.0, `zip -0 -P 'Key 1'`
// over a file holding "Morvaleen known answer\n", its entry data read back
// from the archive. Decrypted, its header holds ten random bytes and then
// the file's MS-DOS time 0x1CAA (that entry has a data descriptor, so the
// check bytes come from the time instead of the CRC).
constexpr std::string_view kKnownPassword = "Key 1";
constexpr std::string_view kKnownPlainHeader = "8823e602158f67d89240aa1c";
constexpr std::string_view kKnownPlainText = "Morvaleen known answer\n";
constexpr std::string_view kKnownEncrypted =
    "42c9f4db3f088c70c59a9da6941b3e725553c6df5a3f9fe8e9c133e01d711e6e53d5d5";

TEST(ZipCryptTest, KnownAnswerOfAnotherToolEncryptsAndDecryptsToTheSameBytes) {
    std::vector<std::uint8_t> plain = FromHex(kKnownPlainHeader);
    plain.insert(plain.end(), kKnownPlainText.begin(), kKnownPlainText.end());
    const std::vector<std::uint8_t> encrypted = FromHex(kKnownEncrypted);

    std::vector<std::uint8_t> data = plain;
    TZipCryptKeys(kKnownPassword).Encrypt(data.data(), data.size());
    EXPECT_EQ(data, encrypted);
    TZipCryptKeys(kKnownPassword).Decrypt(data.data(), data.size());
    EXPECT_EQ(data, plain);

    // The header the writer makes from the same filler and check bytes.
    const std::vector<std::uint8_t> filler(plain.begin(), plain.begin() + kEncryptionFillerSize);
    TZipCryptKeys keys(kKnownPassword);
    const auto header = EncryptionHeader(keys, 0x1CAA0000u, [&](std::uint8_t* out, std::size_t n) {
        std::copy(filler.begin(), filler.begin() + static_cast<std::ptrdiff_t>(n), out);
    });
    EXPECT_TRUE(std::equal(header.begin(), header.end(), encrypted.begin()));
}

TEST(ZipCryptTest, WrongPasswordGivesOtherBytes) {
    std::string data(64, 'a');
    auto* bytes = reinterpret_cast<std::uint8_t*>(data.data());
    TZipCryptKeys("right").Encrypt(bytes, data.size());
    TZipCryptKeys("wrong").Decrypt(bytes, data.size());
    EXPECT_NE(data, std::string(64, 'a'));
}

} // namespace
} // namespace mzb
