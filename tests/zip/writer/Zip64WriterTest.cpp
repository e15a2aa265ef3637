// The writer at the format's limits: archives within the classic fields stay
// exactly as they always were; beyond them the ZIP64 records carry what the
// classic fields cannot.
#include "support/PeerTests.h"
#include "support/PeerTools.h"
#include "support/RunCommand.h"
#include "support/TempDir.h"
#include "zip/base/HeadlessHost.h"
#include "zip/writer/ZipWriter.h"

#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <gtest/gtest.h>
#include <map>
#include <optional>
#include <string>
#include <utime.h>

namespace mzb {
namespace {

namespace fs = std::filesystem;
using test::ReadFile;
using test::TempDir;

// MS-DOS times are local times: the zone is fixed for the length of a test.
class FixedTimeZone {
public:
    FixedTimeZone() {
        if (const char* tz = std::getenv("TZ")) {
            saved_ = tz;
        }
        ::setenv("TZ", "UTC", 1);
        ::tzset();
    }
    ~FixedTimeZone() {
        if (saved_) {
            ::setenv("TZ", saved_->c_str(), 1);
        } else {
            ::unsetenv("TZ");
        }
        ::tzset();
    }

private:
    std::optional<std::string> saved_;
};

void Stamp(const fs::path& path, std::time_t when, fs::perms mode) {
    fs::permissions(path, mode);
    const utimbuf times{when, when};
    ASSERT_EQ(::utime(path.c_str(), &times), 0);
}

std::string Fixture(const char* name) {
    return std::string(MZB_TEST_DATA_DIR) + "/zip/classic/" + name;
}

// Two runs over one tree, stored so that the compressor's choices play no
// part: the first writes it, the second carries it over, replaces one file
// by an encrypted copy and adds another. tests/data/zip/classic/README.md
// says how the fixture was made.
TEST(ClassicLayout, ArchiveWithinTheClassicLimitsIsByteIdenticalToTheFixture) {
    FixedTimeZone utc;
    TempDir tmp;
    const fs::path tree = tmp.path() / "tree";
    const std::time_t first = 1700000000; // 2023-11-14 22:13:20
    tmp.write("tree/a.txt", "first text\n");
    std::string binary;
    for (int i = 0; i < 3000; ++i) {
        binary += static_cast<char>((i * 7919 + 13) % 251);
    }
    tmp.write("tree/sub/b.bin", binary);
    tmp.write("tree/sub/empty", "");
    tmp.write("tree/gr\xC3\xBC\xC3\x9F\x65.txt", "a name in UTF-8\n");
    fs::create_directories(tree / "sub/deeper");
    for (const char* file : {"a.txt", "sub/empty", "gr\xC3\xBC\xC3\x9F\x65.txt"}) {
        Stamp(tree / file, first, fs::perms(0644));
    }
    Stamp(tree / "sub/b.bin", first, fs::perms(0755));
    for (const char* dir : {"sub/deeper", "sub", ""}) {
        Stamp(tree / dir, first, fs::perms(0755));
    }

    HeadlessHost host;
    TZipWriter writer(host, {}, [](std::uint8_t* out, std::size_t n) {
        for (std::size_t i = 0; i < n; ++i) {
            out[i] = static_cast<std::uint8_t>(0xA5 ^ i);
        }
    });
    writer.DoProcessMessages = false;
    const std::string zip = tmp.dir() + "classic.zip";
    writer.SetZipName(zip);
    writer.SetRootDir(tmp.dir());
    writer.SetRelativePaths(true);
    writer.AddDirEntriesOnRecurse = true;
    writer.SetPackLevel(0);
    writer.SetArchiveComment("two runs, stored");
    writer.SetFilesList({tmp.dir() + "tree/*"});
    ASSERT_EQ(writer.RunZip(), 6);

    tmp.write("tree/a.txt", "second text, encrypted\n");
    tmp.write("tree/new.txt", "added by the second run\n");
    for (const char* file : {"a.txt", "new.txt"}) {
        Stamp(tree / file, first + 3600, fs::perms(0644));
    }
    Stamp(tree, first + 3600, fs::perms(0755));
    writer.ArchivePassword = "pw";
    writer.SetFilesList({tmp.dir() + "tree/*"});
    ASSERT_EQ(writer.RunZip(), 2);

    const std::string written = ReadFile(zip);
    const std::string expected = ReadFile(Fixture("two-runs-stored.zip"));
    ASSERT_FALSE(expected.empty());
    EXPECT_EQ(written.size(), expected.size());
    EXPECT_TRUE(written == expected) << "the archive differs from the fixture";
}

std::string Bytes(std::initializer_list<int> values) {
    std::string s;
    for (int v : values) {
        s += static_cast<char>(v);
    }
    return s;
}

std::string LE16(std::uint16_t v) {
    return Bytes({v & 0xFF, v >> 8});
}

std::string LE32(std::uint32_t v) {
    return LE16(static_cast<std::uint16_t>(v)) + LE16(static_cast<std::uint16_t>(v >> 16));
}

std::string LE64(std::uint64_t v) {
    return LE32(static_cast<std::uint32_t>(v)) + LE32(static_cast<std::uint32_t>(v >> 32));
}

const std::string kMarker32 = Bytes({0xFF, 0xFF, 0xFF, 0xFF});

// Sources are modified at this moment, so that the extended timestamp every
// header carries is known.
constexpr std::time_t kSourceTime = 1700000000;
const std::string kSourceTimeBlock = Bytes({0x55, 0x54, 0x05, 0x00, 0x01}) + LE32(kSourceTime);

// Runs of a writer whose classic limits are lowered, so that a few KiB of
// data reach the ZIP64 records. Files are stored: their sizes are known.
class Zip64WriterTest : public ::testing::Test {
protected:
    std::string Zip() const { return tmp.dir() + "out.zip"; }
    std::string Put(const std::string& name, std::size_t size) {
        std::string data;
        for (std::size_t i = 0; i < size; ++i) {
            data += static_cast<char>('a' + i % 23);
        }
        const fs::path path = tmp.write("src/" + name, data);
        Stamp(path, kSourceTime, fs::perms(0644));
        return path.string();
    }

    int Run(const TClassicLimits& limits, const std::vector<std::string>& names) {
        TZipWriter writer(host, TZipLimits{.Classic = limits});
        writer.DoProcessMessages = false;
        writer.SetPackLevel(0);
        writer.SetZipName(Zip());
        std::vector<std::string> items;
        for (const auto& name : names) {
            items.push_back(tmp.dir() + "src/" + name);
        }
        writer.SetFilesList(items);
        return writer.RunZip();
    }

    // What our own reader extracts, by stored name.
    std::map<std::string, std::string> Extracted() {
        const std::string dest = tmp.dir() + "extracted";
        fs::remove_all(dest);
        TZipReader reader(host);
        reader.SetZipName(Zip());
        reader.SetDestDir(dest);
        reader.DoAll = true;
        reader.OverwriteMode = TUZOverwriteMode::Always;
        reader.OnBadCRC = [](TZipReader&, std::uint32_t, std::uint32_t, int) { ADD_FAILURE(); };
        reader.OnSkippingFile = [](TZipReader&, int reason, const std::string& name, int, bool&) {
            ADD_FAILURE() << name << " skipped, reason " << reason;
        };
        reader.RunUnZip();
        std::map<std::string, std::string> files;
        for (const auto& f : fs::directory_iterator(dest)) {
            files[f.path().filename().string()] = ReadFile(f.path());
        }
        return files;
    }

    std::map<std::string, std::string> Sources(const std::vector<std::string>& names) {
        std::map<std::string, std::string> files;
        for (const auto& name : names) {
            files[name] = ReadFile(tmp.path() / "src" / name);
        }
        return files;
    }

    FixedTimeZone utc;
    TempDir tmp;
    HeadlessHost host;
};

// 3000 bytes against a limit of 1000: both headers carry the sizes in the
// block, and the directory, which starts beyond the limit, needs the ZIP64
// end record for its offset.
TEST_F(Zip64WriterTest, AFileBeyondTheClassicSizesGetsZip64RecordsFieldByField) {
    Put("big.bin", 3000);
    ASSERT_EQ(Run({.MaxField32 = 1000, .MaxField16 = kMaxField16}, {"big.bin"}), 1);
    const std::string z = ReadFile(Zip());
    ASSERT_EQ(z.size(), 3246u);
    const std::string block = Bytes({0x01, 0x00, 0x10, 0x00}) + LE64(3000) + LE64(3000);

    EXPECT_EQ(z.substr(0, 10), Bytes({0x50, 0x4B, 0x03, 0x04, 0x2D, 0x00, 0x00, 0x00, 0x00, 0x00}));
    EXPECT_EQ(z.substr(18, 8), kMarker32 + kMarker32);           // both sizes
    EXPECT_EQ(z.substr(26, 4), Bytes({0x07, 0x00, 0x1D, 0x00})); // name, extra
    EXPECT_EQ(z.substr(30, 36), "big.bin" + block + kSourceTimeBlock);

    const std::string central = z.substr(3066, 82);
    EXPECT_EQ(central.substr(0, 8), Bytes({0x50, 0x4B, 0x01, 0x02, 0x2D, 0x03, 0x2D, 0x00}));
    EXPECT_EQ(central.substr(16, 4), z.substr(14, 4)); // CRC as in the local header
    EXPECT_EQ(central.substr(20, 8), kMarker32 + kMarker32);
    EXPECT_EQ(central.substr(28, 8), Bytes({0x07, 0x00, 0x1D, 0x00, 0x00, 0x00, 0x00, 0x00}));
    EXPECT_EQ(central.substr(42, 4), LE32(0)); // the offset fits
    EXPECT_EQ(central.substr(46), "big.bin" + block + kSourceTimeBlock);

    EXPECT_EQ(z.substr(3148), Bytes({0x50, 0x4B, 0x06, 0x06}) + LE64(44) +
                                  Bytes({0x2D, 0x03, 0x2D, 0x00}) + LE32(0) + LE32(0) + LE64(1) +
                                  LE64(1) + LE64(82) + LE64(3066) +
                                  Bytes({0x50, 0x4B, 0x06, 0x07}) + LE32(0) + LE64(3148) + LE32(1) +
                                  Bytes({0x50, 0x4B, 0x05, 0x06}) + LE32(0) + LE32(0x00010001) +
                                  LE32(82) + kMarker32 + LE16(0));

    EXPECT_EQ(Extracted(), Sources({"big.bin"}));
    EXPECT_EQ(test::PeerTestFailures(Zip()), std::vector<std::string>{});
}

// 280 bytes fit a limit of 300, so the first entry is classic; the second
// starts beyond it: no block in its local header, which still says 4.5, and
// the offset in its central header's block.
TEST_F(Zip64WriterTest, AnEntryBeyondTheClassicOffsetKeepsItsOffsetInTheBlock) {
    Put("a.bin", 280);
    Put("b.txt", 1);
    ASSERT_EQ(Run({.MaxField32 = 300, .MaxField16 = kMaxField16}, {"a.bin", "b.txt"}), 2);
    const std::string z = ReadFile(Zip());
    EXPECT_EQ(z.substr(4, 2), LE16(20));
    EXPECT_EQ(z.substr(28, 2), LE16(9)); // the extended timestamp alone
    const std::string local = z.substr(324, 44);
    EXPECT_EQ(local.substr(0, 6), Bytes({0x50, 0x4B, 0x03, 0x04, 0x2D, 0x00}));
    EXPECT_EQ(local.substr(18, 12), LE32(1) + LE32(1) + Bytes({0x05, 0x00, 0x09, 0x00}));

    const std::string first = z.substr(369, 60);
    EXPECT_EQ(first.substr(4, 4), Bytes({0x14, 0x03, 0x14, 0x00}));
    EXPECT_EQ(first.substr(30, 2), LE16(9));
    const std::string second = z.substr(429, 72);
    EXPECT_EQ(second.substr(4, 4), Bytes({0x2D, 0x03, 0x2D, 0x00}));
    EXPECT_EQ(second.substr(20, 12), LE32(1) + LE32(1) + Bytes({0x05, 0x00, 0x15, 0x00}));
    EXPECT_EQ(second.substr(42),
              kMarker32 + "b.txt" + Bytes({0x01, 0x00, 0x08, 0x00}) + LE64(324) + kSourceTimeBlock);

    HeadlessHost host;
    TZipReader reader(host);
    reader.SetZipName(Zip());
    reader.OpenArchive();
    ASSERT_EQ(reader.EntryCount(), 2);
    EXPECT_EQ(reader.Entry(1).RelativeOffset, 324u);
    EXPECT_EQ(Extracted(), Sources({"a.bin", "b.txt"}));
    EXPECT_EQ(test::PeerTestFailures(Zip()), std::vector<std::string>{});
}

bool HasZip64EndRecord(const std::string& archive) {
    return ReadFile(archive).find("PK\x06\x06") != std::string::npos;
}

// With at most 3 entries in the classic counts: an update that brings the
// archive to 5 turns it into a ZIP64 one; one more update keeps it valid;
// a writer with the real limits makes it classic again.
TEST_F(Zip64WriterTest, EntryCountsBeyondTheClassicFieldsGoIntoTheZip64EndRecord) {
    const TClassicLimits three{.MaxField32 = kMaxField32, .MaxField16 = 3};
    for (const char* name : {"f0", "f1", "f2", "f3", "f4", "f5"}) {
        Put(name, 10);
    }
    ASSERT_EQ(Run(three, {"f0", "f1", "f2"}), 3);
    EXPECT_FALSE(HasZip64EndRecord(Zip()));

    ASSERT_EQ(Run(three, {"f3", "f4"}), 2);
    const std::string z = ReadFile(Zip());
    const std::size_t end = z.size() - kEndCentralSize;
    EXPECT_EQ(z.substr(end + 8, 4), Bytes({0xFF, 0xFF, 0xFF, 0xFF}));
    const std::size_t record = end - kZip64LocatorSize - kZip64EndCentralSize;
    EXPECT_EQ(z.substr(record, 4), Bytes({0x50, 0x4B, 0x06, 0x06}));
    EXPECT_EQ(z.substr(record + 24, 16), LE64(5) + LE64(5));
    EXPECT_EQ(Extracted(), Sources({"f0", "f1", "f2", "f3", "f4"}));
    EXPECT_EQ(test::PeerTestFailures(Zip()), std::vector<std::string>{});

    ASSERT_EQ(Run(three, {"f5"}), 1);
    EXPECT_EQ(Extracted(), Sources({"f0", "f1", "f2", "f3", "f4", "f5"}));
    ASSERT_EQ(Run({}, {"f0"}), 0);
    EXPECT_FALSE(HasZip64EndRecord(Zip()));
    EXPECT_EQ(Extracted(), Sources({"f0", "f1", "f2", "f3", "f4", "f5"}));
}

// A carried-over entry that outgrew the classic sizes keeps its ZIP64 block
// when a writer with the real limits adds to the archive.
TEST_F(Zip64WriterTest, UpdatingAZip64ArchiveKeepsItsEntriesValid) {
    Put("big.bin", 3000);
    Put("small.txt", 5);
    ASSERT_EQ(Run({.MaxField32 = 1000, .MaxField16 = kMaxField16}, {"big.bin"}), 1);
    ASSERT_EQ(Run({}, {"small.txt"}), 1);
    const std::string z = ReadFile(Zip());
    EXPECT_EQ(z.substr(18, 8), kMarker32 + kMarker32);
    EXPECT_EQ(z.substr(37, 20), Bytes({0x01, 0x00, 0x10, 0x00}) + LE64(3000) + LE64(3000));
    EXPECT_EQ(Extracted(), Sources({"big.bin", "small.txt"}));
    EXPECT_EQ(test::PeerTestFailures(Zip()), std::vector<std::string>{});
}

// Peers' ZIP64 entries, one with data descriptors whose sizes take 8 bytes,
// are carried over with their other extra blocks when a file is added.
TEST_F(Zip64WriterTest, PeersZip64EntriesAreCarriedOverIntact) {
    MZB_REQUIRE_PEERS("python3", "zip");
    const std::string python = test::PeerPath("python3");
    const std::string zip = test::PeerPath("zip");
    Put("a.txt", 500);
    Put("added.txt", 5);
    const std::string streamed = R"(
import sys, zipfile
class Pipe:
    def __init__(self): self.data = bytearray()
    def write(self, b): self.data += b; return len(b)
    def flush(self): pass
pipe = Pipe()
with zipfile.ZipFile(pipe, 'w', zipfile.ZIP_DEFLATED) as z:
    for name in ('s.txt', 't.txt'):
        with z.open(name, 'w', force_zip64=True) as f:
            f.write(name.encode() * 100)
open(sys.argv[1], 'wb').write(pipe.data)
)";
    const std::vector<std::vector<std::string>> makers = {
        {python, "-c", streamed, Zip()},
        {"/bin/sh", "-c", "cd " + tmp.dir() + "src && " + zip + " -q -fz " + Zip() + " a.txt"},
    };
    for (const auto& maker : makers) {
        fs::remove(Zip());
        const test::CommandResult made = test::RunCommand(maker);
        ASSERT_EQ(made.exitCode, 0) << made.err;
        const std::map<std::string, std::string> before = Extracted();
        ASSERT_EQ(Run({}, {"added.txt"}), 1);
        auto expected = before;
        expected["added.txt"] = ReadFile(tmp.path() / "src/added.txt");
        EXPECT_EQ(Extracted(), expected);
        EXPECT_EQ(test::PeerTestFailures(Zip()), std::vector<std::string>{});
    }
}

} // namespace
} // namespace mzb
