// How the reader meets AES entries that are not right: a wrong password is
// refused by the verifier before anything is decoded, a changed byte of the
// data by the authentication code, and neither leaves a file behind; with
// workers, which derive the keys, as without.
#include "support/SampleData.h"
#include "support/TempDir.h"
#include "zip/base/HeadlessHost.h"
#include "zip/reader/ZipReader.h"
#include "zip/writer/ZipWriter.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>

namespace mzb {
namespace {

namespace fs = std::filesystem;
using test::ReadFile;
using test::TempDir;

class AesReaderTest : public ::testing::TestWithParam<unsigned> {
protected:
    AesReaderTest() : reader(host) {
        reader.Threads = GetParam();
        reader.OnSkippingFile = [this](TZipReader&, int reason, const std::string& name, int,
                                       bool&) { skipped.emplace_back(reason, name); };
        reader.OnBadCRC = [this](TZipReader&, std::uint32_t, std::uint32_t, int) { ++badCrc; };
        reader.OnFilePercentDone = [this](TZipReader&, int) { ++decoding; };
    }

    void SetUp() override {
        const auto smallBytes = test::MakeText(300, 1);
        small.assign(smallBytes.begin(), smallBytes.end());
        const auto largeBytes = test::MakeText(300000, 2);
        large.assign(largeBytes.begin(), largeBytes.end());
        tmp.write("src/small.txt", small);
        tmp.write("src/large.txt", large);
        TZipWriter writer(host);
        writer.SetZipName(Zip());
        writer.ArchivePassword = "right";
        writer.Encryption = TEncryption::Aes256;
        writer.SetFilesList({tmp.dir() + "src/*"});
        ASSERT_EQ(writer.RunZip(), 2);
        for (int i = 0; i < writer.EntryCount(); ++i) {
            if (writer.Entry(i).FileName() == "large.txt") {
                largeEntry = writer.Entry(i);
            }
        }
    }

    int Extract(const std::string& password) {
        reader.SetZipName(Zip());
        reader.SetDestDir(Out());
        reader.ArchivePassword = password;
        reader.DoAll = true;
        reader.OverwriteMode = TUZOverwriteMode::Always;
        return reader.RunUnZip();
    }

    std::string Zip() const { return tmp.dir() + "aes.zip"; }
    std::string Out() const { return tmp.dir() + "out"; }
    std::vector<std::string> OutFiles() const {
        std::vector<std::string> names;
        for (const auto& e : fs::directory_iterator(Out())) {
            names.push_back(e.path().filename().string());
        }
        std::sort(names.begin(), names.end());
        return names;
    }

    TempDir tmp;
    HeadlessHost host;
    TZipReader reader;
    std::string small;
    std::string large;
    TZipHeaderInfo largeEntry;
    std::vector<std::pair<int, std::string>> skipped;
    int badCrc = 0;
    int decoding = 0;
};

TEST_P(AesReaderTest, AChangedByteFailsTheAuthenticationCodeAndLeavesNoFile) {
    {
        std::fstream f(Zip(), std::ios::in | std::ios::out | std::ios::binary);
        // Inside the large entry's data, past its local header and salt.
        f.seekp(static_cast<std::streamoff>(largeEntry.RelativeOffset +
                                            largeEntry.LocalHeaderSize() +
                                            largeEntry.CompressedSize / 2));
        char c = 0;
        f.seekg(f.tellp());
        f.get(c);
        f.seekp(-1, std::ios::cur);
        f.put(static_cast<char>(c ^ 0x20));
    }
    EXPECT_EQ(Extract("right"), 1);
    ASSERT_EQ(skipped.size(), 1u);
    EXPECT_EQ(skipped[0], std::make_pair(kSkipNotAuthentic, std::string("large.txt")));
    EXPECT_EQ(badCrc, 0);
    EXPECT_EQ(OutFiles(), std::vector<std::string>{"small.txt"}) << "no part file left";
    EXPECT_EQ(ReadFile(Out() + "/small.txt"), small);
}

TEST_P(AesReaderTest, AWrongPasswordIsRefusedByTheVerifierAndAnAnswerMayMendIt) {
    EXPECT_EQ(Extract("wrong"), 0);
    ASSERT_EQ(skipped.size(), 2u);
    EXPECT_EQ(skipped[0].first, kSkipBadPassword);
    EXPECT_EQ(skipped[1].first, kSkipBadPassword);
    EXPECT_EQ(decoding, 0) << "nothing decoded under a wrong password";
    EXPECT_TRUE(OutFiles().empty());

    skipped.clear();
    int asked = 0;
    reader.OnBadPassword = [&asked](TZipReader&, int, std::string& password) {
        ++asked;
        password = "right";
    };
    EXPECT_EQ(Extract("wrong"), 2);
    EXPECT_EQ(asked, 1) << "the answer is kept for the later entry";
    EXPECT_TRUE(skipped.empty());
    EXPECT_EQ(ReadFile(Out() + "/large.txt"), large);
}

INSTANTIATE_TEST_SUITE_P(Threads, AesReaderTest, ::testing::Values(1u, 2u),
                         [](const auto& info) { return std::to_string(info.param) + "Threads"; });

} // namespace
} // namespace mzb
