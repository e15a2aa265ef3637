#include "zip/crypt/AesCipher.h"

#include "support/TempDir.h"
#include "zip/base/ByteOrder.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace mzb {
namespace {

// The text of tests/data/aes/README.md.
std::string KnownText() {
    std::string text;
    for (int i = 0; i < 64; ++i) {
        char line[96];
        std::snprintf(line, sizeof line,
                      "line %04d of the known answer, stored so that every byte is encrypted as "
                      "it is\n",
                      i);
        text += line;
    }
    return text;
}

struct PeerEntry {
    std::vector<std::uint8_t> header; // salt and verifier
    std::vector<std::uint8_t> body;
    std::vector<std::uint8_t> trailer;
};

// The one entry of a fixture archive, cut as its local header places it.
PeerEntry EntryOf(const std::string& file, std::uint8_t strength) {
    const std::string bytes = test::ReadFile(std::string(MZB_TEST_DATA_DIR) + "/aes/" + file);
    const auto* p = reinterpret_cast<const std::uint8_t*>(bytes.data());
    const std::size_t start = 30 + GetLE16(p + 26) + GetLE16(p + 28);
    const std::size_t size = GetLE32(p + 18);
    const std::size_t headerSize = AesSaltSize(strength) + kAesVerifierSize;
    PeerEntry entry;
    entry.header.assign(p + start, p + start + headerSize);
    entry.body.assign(p + start + headerSize, p + start + size - kAesAuthenticationSize);
    entry.trailer.assign(p + start + size - kAesAuthenticationSize, p + start + size);
    return entry;
}

struct Fixture {
    const char* file;
    std::uint8_t strength;
    std::uint8_t version;
};
constexpr Fixture kFixtures[] = {
    {"aes128-7zz.zip", 1, 2}, {"aes256-7zz.zip", 3, 2}, {"aes256-bsdtar.zip", 3, 1}};

// The salt, verifier and code in these files are other tools' derivation,
// counter mode and HMAC: the password must pass the verifier, the data
// decrypt to the text in pieces that split the counter blocks and the
// cipher's batches anywhere, and the code match. A wrong password fails
// the verifier, and a changed byte of the data fails the code.
TEST(AesCipherTest, OtherToolsEntriesDecryptInAnyPiecesAndAuthenticate) {
    const std::string known = KnownText();
    for (const Fixture& f : kFixtures) {
        SCOPED_TRACE(f.file);
        const PeerEntry entry = EntryOf(f.file, f.strength);
        ASSERT_EQ(entry.body.size(), known.size());

        TAesCipher cipher(f.strength, "Key 1", f.version);
        ASSERT_TRUE(cipher.CheckPassword(entry.header.data()));
        std::vector<std::uint8_t> data = entry.body;
        std::size_t at = 0;
        for (const std::size_t piece : {1, 15, 16, 17, 4097}) {
            cipher.Decrypt(data.data() + at, piece);
            at += piece;
        }
        cipher.Decrypt(data.data() + at, data.size() - at);
        EXPECT_EQ(std::string(data.begin(), data.end()), known);
        EXPECT_TRUE(cipher.CheckTrailer(entry.trailer.data()));

        EXPECT_FALSE(TAesCipher(f.strength, "Key 2", f.version).CheckPassword(entry.header.data()));

        TAesCipher again(f.strength, "Key 1", f.version);
        ASSERT_TRUE(again.CheckPassword(entry.header.data()));
        data = entry.body;
        data[2000] ^= 0x01;
        again.Decrypt(data.data(), data.size());
        EXPECT_FALSE(again.CheckTrailer(entry.trailer.data()));
    }
}

// Two entries under one password must never share a key stream.
TEST(AesCipherTest, EveryEntryWrittenGetsAFreshSalt) {
    const auto first = TAesCipher::ForWriting(3, "pw")->Header();
    const auto second = TAesCipher::ForWriting(3, "pw")->Header();
    ASSERT_EQ(first.size(), 16u + kAesVerifierSize);
    EXPECT_NE(std::vector(first.begin(), first.begin() + 16),
              std::vector(second.begin(), second.begin() + 16));
}

} // namespace
} // namespace mzb
