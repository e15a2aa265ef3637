// The reader on ZIP64 archives: values from the extended information block
// in place of the markers, hostile ones refused before they are used, and
// ZIP64 end records that contradict the file ending in the damaged-archive
// error.
#include "support/ArchiveBuilder.h"
#include "support/TempDir.h"
#include "zip/base/HeadlessHost.h"
#include "zip/base/ZipError.h"
#include "zip/reader/ZipReader.h"
#include "zip/writer/ZipWriter.h"

#include <filesystem>
#include <gtest/gtest.h>

namespace mzb {
namespace {

namespace fs = std::filesystem;
using test::ArchiveBuilder;
using test::ReadFile;
using test::TempDir;

std::string LE64(std::uint64_t v) {
    std::string s;
    for (int i = 0; i < 8; ++i) {
        s += static_cast<char>(v >> (8 * i));
    }
    return s;
}

// A ZIP64 block holding the values given.
std::string Block(std::initializer_list<std::uint64_t> values) {
    std::string data;
    for (std::uint64_t v : values) {
        data += LE64(v);
    }
    return std::string("\x01\x00", 2) + static_cast<char>(data.size()) + '\0' + data;
}

class Zip64ReaderTest : public ::testing::Test {
protected:
    Zip64ReaderTest() : reader(host) {
        reader.OnSkippingFile = [this](TZipReader&, int reason, const std::string& name, int,
                                       bool&) { skipped.emplace_back(reason, name); };
    }

    std::string Archive() const { return tmp.dir() + "archive.zip"; }
    std::string Out() const { return tmp.dir() + "out"; }

    int Extract() {
        reader.SetZipName(Archive());
        reader.SetDestDir(Out());
        reader.DoAll = true;
        return reader.RunUnZip();
    }

    TempDir tmp;
    HeadlessHost host;
    TZipReader reader;
    std::vector<std::pair<int, std::string>> skipped;
};

// Sizes and offsets near 2^64 are compared with the room the file has, never
// added to a position where they would wrap around to a small number.
TEST_F(Zip64ReaderTest, ValuesNearTwoToThe64AreRefusedNotWrapped) {
    ArchiveBuilder b;
    auto& size = b.Add("size.txt", "hello");
    size.compressedSize = 0xFFFFFFFFu;
    size.centralExtra = Block({~0ull - 40});
    auto& offset = b.Add("offset.txt", "hello");
    offset.relativeOffset = 0xFFFFFFFFu;
    offset.centralExtra = Block({~0ull - 20});
    b.Add("sound.txt", "sound");
    b.WriteTo(Archive());
    EXPECT_EQ(Extract(), 1);
    EXPECT_EQ(skipped, (std::vector<std::pair<int, std::string>>{{kSkipUnsafe, "size.txt"},
                                                                 {kSkipUnsafe, "offset.txt"}}));
    EXPECT_EQ(ReadFile(Out() + "/sound.txt"), "sound");
}

// Without a usable directory the rebuild walks the local headers: it must
// take the sizes from their blocks to find the next entry.
TEST_F(Zip64ReaderTest, RebuildReadsTheSizesOfZip64LocalHeaders) {
    ArchiveBuilder b;
    for (const char* name : {"a.txt", "b.txt"}) {
        auto& e = b.Add(name, std::string(name) + " data");
        e.compressedSize = e.uncompressedSize = 0xFFFFFFFFu;
        e.localExtra = e.centralExtra = Block({10, 10});
    }
    b.writeEndRecord = false;
    b.WriteTo(Archive());
    reader.IncompleteZipMode = TIncompleteZipMode::izAssumeBad;
    EXPECT_EQ(Extract(), 2);
    EXPECT_TRUE(reader.Rebuilt());
    EXPECT_TRUE(reader.Entry(1).LocalZip64);
    EXPECT_EQ(reader.Entry(1).CompressedSize, 10u);
    EXPECT_EQ(ReadFile(Out() + "/b.txt"), "b.txt data");
}

// An archive of two entries with the classic counts lowered to one, so that
// it ends in the ZIP64 end record, its locator and the end record.
std::string Zip64Archive(TempDir& tmp) {
    tmp.write("src/a", "a");
    tmp.write("src/b", "b");
    HeadlessHost host;
    TZipWriter writer(host, TZipLimits{.Classic = {.MaxField32 = kMaxField32, .MaxField16 = 1}});
    writer.DoProcessMessages = false;
    writer.SetZipName(tmp.dir() + "archive.zip");
    writer.SetFilesList({tmp.dir() + "src/*"});
    EXPECT_EQ(writer.RunZip(), 2);
    return ReadFile(tmp.dir() + "archive.zip");
}

TEST_F(Zip64ReaderTest, Zip64RecordsThatContradictTheFileAreADamagedArchive) {
    const std::string sound = Zip64Archive(tmp);
    const std::size_t end = sound.size() - kEndCentralSize;
    const std::size_t locator = end - kZip64LocatorSize;
    const std::size_t record = locator - kZip64EndCentralSize;
    reader.SetZipName(Archive());
    reader.OpenArchive();
    ASSERT_EQ(reader.EntryCount(), 2);

    struct Case {
        const char* what;
        std::size_t at;
        std::uint64_t value;
    };
    const Case cases[] = {
        {"locator pointing past the end of the file", locator + 8, 1ull << 40},
        {"locator pointing before the file's start", locator + 8, ~0ull - 100},
        {"2^63 entries", record + 32, 1ull << 63},
        {"a directory near 2^64 bytes long", record + 40, ~0ull - 3},
    };
    for (const Case& c : cases) {
        std::string bytes = sound;
        bytes.replace(c.at, 8, LE64(c.value));
        tmp.write("damaged.zip", bytes);
        TZipReader damaged(host);
        damaged.SetZipName(tmp.dir() + "damaged.zip");
        EXPECT_THROW(damaged.OpenArchive(), EBadZipFile) << c.what;
        EXPECT_EQ(damaged.EntryCount(), 0) << c.what;
    }
}

} // namespace
} // namespace mzb
