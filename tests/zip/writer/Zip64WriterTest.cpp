// The writer at the format's limits: archives within the classic fields stay
// exactly as they always were; beyond them the ZIP64 records carry what the
// classic fields cannot.
#include "support/TempDir.h"
#include "zip/base/HeadlessHost.h"
#include "zip/writer/ZipWriter.h"

#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <gtest/gtest.h>
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

} // namespace
} // namespace mzb
