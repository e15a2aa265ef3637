#include "zip/io/FileStream.h"

#include "support/TempDir.h"

#include <cerrno>
#include <gtest/gtest.h>
#include <random>
#include <string>

namespace mzb {
namespace {

// Random mixes of small and large reads, writes and seeks against a string
// that models the file: the buffer's edges (8 KiB, bypass for big blocks,
// switching between reading and writing) are where such streams go wrong.
TEST(FileStream, RandomOperationsMatchAModel) {
    test::TempDir dir;
    const std::string path = (dir.path() / "f").string();
    std::mt19937 gen(7);
    for (int round = 0; round < 20; ++round) {
        TFileStream s;
        ASSERT_TRUE(s.Open(path, TFileMode::Create));
        std::string model;
        std::uint64_t pos = 0;
        for (int op = 0; op < 300; ++op) {
            const std::size_t n = gen() % 4 == 0 ? gen() % 40000 : gen() % 300;
            switch (gen() % 4) {
            case 0:
            case 1: {
                std::string data(n, '\0');
                for (auto& c : data) {
                    c = static_cast<char>(gen());
                }
                ASSERT_EQ(s.Write(data.data(), n), n);
                if (model.size() < pos + n) {
                    model.resize(pos + n, '\0');
                }
                model.replace(pos, n, data);
                pos += n;
                break;
            }
            case 2: {
                std::string got(n, '\0');
                const std::size_t expect =
                    pos >= model.size() ? 0 : std::min(n, model.size() - pos);
                ASSERT_EQ(s.Read(got.data(), n), expect);
                ASSERT_EQ(got.substr(0, expect), model.substr(pos, expect));
                pos += expect;
                break;
            }
            case 3:
                pos = model.empty() ? 0 : gen() % (model.size() + 1);
                ASSERT_TRUE(s.Seek(pos));
                break;
            }
            ASSERT_EQ(s.Position(), pos);
            ASSERT_EQ(s.Size(), model.size());
        }
        ASSERT_TRUE(s.Close());
        ASSERT_EQ(test::ReadFile(path), model);
    }
}

TEST(FileStream, ByteReadsAcrossRefillsAndBackwardSkips) {
    test::TempDir dir;
    std::string text;
    for (int i = 0; i < 20000; ++i) {
        text += static_cast<char>('a' + i % 26);
    }
    const auto path = dir.write("t", text).string();
    TFileStream s;
    ASSERT_TRUE(s.Open(path, TFileMode::Read));
    std::string got;
    for (int c; (c = s.ReadByte()) >= 0;) {
        got += static_cast<char>(c);
    }
    EXPECT_EQ(got, text);
    EXPECT_EQ(s.LastError(), 0); // the end of the file is no error
    ASSERT_TRUE(s.Skip(-3));
    EXPECT_EQ(s.ReadByte(), text[text.size() - 3]);
    EXPECT_FALSE(s.Skip(-30000));
    EXPECT_EQ(s.Position(), text.size() - 2);
}

TEST(FileStream, OpenFailuresKeepTheReason) {
    test::TempDir dir;
    TFileStream s;
    EXPECT_FALSE(s.Open((dir.path() / "missing").string(), TFileMode::Read));
    EXPECT_EQ(s.LastError(), ENOENT);
    EXPECT_FALSE(s.Open(dir.path().string(), TFileMode::Read));
    EXPECT_EQ(s.LastError(), EISDIR);
    EXPECT_FALSE(s.IsOpen());
    EXPECT_EQ(s.Read(nullptr, 0), 0u);
    // The next file opened starts without the old failure.
    test::TempDir other;
    const auto file = other.write("f", "x");
    ASSERT_TRUE(s.Open(file.string(), TFileMode::Read));
    EXPECT_EQ(s.LastError(), 0);
}

// A full disk must surface as a short count and a failed close, never as a
// silently shorter file.
TEST(FileStream, FullDiskIsReported) {
    TFileStream small;
    ASSERT_TRUE(small.Open("/dev/full", TFileMode::ReadWrite));
    EXPECT_EQ(small.Write("abc", 3), 3u); // buffered for now
    EXPECT_FALSE(small.Flush());
    EXPECT_TRUE(small.WriteFailed());
    EXPECT_EQ(small.LastError(), ENOSPC);
    EXPECT_EQ(small.Write("abc", 3), 0u);
    EXPECT_FALSE(small.Close());

    TFileStream big;
    ASSERT_TRUE(big.Open("/dev/full", TFileMode::ReadWrite));
    const std::string block(TFileStream::kBufferSize * 4, 'x');
    EXPECT_LT(big.Write(block.data(), block.size()), block.size());
    EXPECT_FALSE(big.Close());
}

} // namespace
} // namespace mzb
