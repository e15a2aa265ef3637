#include "zip/io/FileSystem.h"

#include "support/TempDir.h"
#include "zip/base/DosDateTime.h"

#include <cerrno>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

namespace mzb {
namespace {

namespace fs = std::filesystem;
using test::ReadFile;
using test::TempDir;

mode_t PermissionsOf(const fs::path& path) {
    struct stat st {};
    EXPECT_EQ(::lstat(path.c_str(), &st), 0);
    return st.st_mode & 07777;
}

std::uint32_t DosDateTime(int year, int month, int day, int hour, int minute, int second) {
    return PackDosDateTime({year, month, day, hour, minute, second});
}

TEST(FileSystemTest, AttributesFollowTheLinuxMapping) {
    TempDir tmp;
    struct Case {
        const char* name;
        bool directory;
        mode_t mode;
        std::uint32_t attributes;
    };
    const Case cases[] = {
        {"plain.txt", false, 0644, kAttrArchive},
        {"locked.txt", false, 0444, kAttrArchive | kAttrReadOnly},
        {".profile", false, 0600, kAttrArchive | kAttrHidden},
        {"group-writable-only", false, 0464, kAttrArchive | kAttrReadOnly},
        {"docs", true, 0755, kAttrDirectory},
        {".config", true, 0555, kAttrDirectory | kAttrHidden | kAttrReadOnly},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto path = tmp.path() / c.name;
        if (c.directory) {
            fs::create_directory(path);
        } else {
            tmp.write(c.name, "12345");
        }
        ASSERT_EQ(::chmod(path.c_str(), c.mode), 0);
        const auto info = FileInfoOf(path.string());
        ASSERT_TRUE(info);
        EXPECT_EQ(info->Name, c.name);
        EXPECT_EQ(info->Attributes, c.attributes);
        EXPECT_EQ(info->Size, c.directory ? 0u : 5u);
        const std::uint32_t type = c.directory ? S_IFDIR : S_IFREG;
        EXPECT_EQ(ExternalAttributes(*info), (type | c.mode) << 16 | c.attributes);
    }
}

std::uint32_t DosTimeOf(const std::string& file) {
    return TimeToDosDateTime(FileInfoOf(file)->WriteTime);
}

TEST(FileSystemTest, DosDateTimeRoundTripsAtTwoSecondSteps) {
    TempDir tmp;
    const auto file = tmp.write("f", "x").string();
    const std::uint32_t values[] = {
        DosDateTime(1980, 1, 1, 0, 0, 0),      DosDateTime(1999, 12, 31, 23, 59, 58),
        DosDateTime(2000, 2, 29, 12, 34, 56),  DosDateTime(2024, 7, 15, 3, 4, 6),
        DosDateTime(2107, 12, 31, 23, 59, 58),
    };
    for (const auto dos : values) {
        SCOPED_TRACE(dos);
        ASSERT_TRUE(SetFileDosDateTime(file, dos));
        EXPECT_EQ(DosTimeOf(file), dos);
    }

    // An odd second is stored as the even one below it.
    std::tm local{};
    local.tm_year = 2010 - 1900;
    local.tm_mon = 5;
    local.tm_mday = 1;
    local.tm_hour = 8;
    local.tm_min = 30;
    local.tm_sec = 17;
    local.tm_isdst = -1;
    ASSERT_TRUE(SetFileWriteTime(file, {std::mktime(&local)}));
    EXPECT_EQ(DosTimeOf(file), DosDateTime(2010, 6, 1, 8, 30, 16));

    // A stored value naming no real moment leaves the file's time alone.
    const auto kept = FileInfoOf(file)->WriteTime;
    EXPECT_FALSE(SetFileDosDateTime(file, DosDateTime(2001, 2, 30, 0, 0, 0)));
    EXPECT_EQ(FileInfoOf(file)->WriteTime, kept);

    // Before 1980 there is no MS-DOS time: the earliest one stands in.
    ASSERT_TRUE(SetFileWriteTime(file, {86400 * 365}));
    EXPECT_EQ(DosTimeOf(file), DosDateTime(1980, 1, 1, 0, 0, 0));
}

TEST(FileSystemTest, WriteTimeIsNotSetThroughALink) {
    TempDir tmp;
    const auto target = tmp.write("target", "x");
    const auto link = tmp.path() / "link";
    fs::create_symlink(target, link);
    const auto before = FileInfoOf(target.string())->WriteTime;
    SetFileDosDateTime(link.string(), DosDateTime(1990, 1, 1, 0, 0, 0));
    EXPECT_EQ(FileInfoOf(target.string())->WriteTime, before);
}

TEST(FileSystemTest, NoFollowOpenReplacesALinkInsteadOfWritingThroughIt) {
    TempDir tmp;
    const auto victim = tmp.write("victim", "precious");
    const auto outside = tmp.path() / "outside";
    fs::create_directory(outside);
    struct Case {
        const char* what;
        fs::path target;
    };
    const Case cases[] = {
        {"link to a file", victim},
        {"dangling link", outside / "would-be-created"},
        {"link to a directory", outside},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const auto out = tmp.path() / "out";
        fs::remove(out);
        fs::create_symlink(c.target, out);
        const int fd = OpenForWriteNoFollow(out.string());
        ASSERT_GE(fd, 0) << std::strerror(errno);
        ASSERT_EQ(::write(fd, "new", 3), 3);
        ::close(fd);
        EXPECT_FALSE(fs::is_symlink(out));
        EXPECT_EQ(ReadFile(out), "new");
    }
    EXPECT_EQ(ReadFile(victim), "precious");
    EXPECT_FALSE(fs::exists(outside / "would-be-created"));
    EXPECT_TRUE(fs::is_empty(outside));
}

TEST(FileSystemTest, NoFollowOpenTruncatesFilesAndRefusesOtherKinds) {
    TempDir tmp;
    const auto existing = tmp.write("existing", "old contents");
    const int fd = OpenForWriteNoFollow(existing.string());
    ASSERT_GE(fd, 0);
    ::close(fd);
    EXPECT_EQ(ReadFile(existing), "");

    const auto fifo = tmp.path() / "fifo";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_EQ(OpenForWriteNoFollow(fifo.string()), -1); // and does not hang
    fs::create_directory(tmp.path() / "dir");
    EXPECT_EQ(OpenForWriteNoFollow((tmp.path() / "dir").string()), -1);
    EXPECT_EQ(OpenForWriteNoFollow((tmp.path() / "missing" / "f").string()), -1);
}

TEST(FileSystemTest, SetFileAttributesRestoresPermissionsOnly) {
    TempDir tmp;
    const auto file = tmp.write("script.sh", "#!/bin/sh\n");
    struct Case {
        const char* what;
        mode_t before;
        std::uint32_t external;
        mode_t after;
    };
    const Case cases[] = {
        {"Unix mode", 0600, (S_IFREG | 0755u) << 16 | kAttrArchive, 0755},
        {"setuid, setgid and sticky dropped", 0600, (S_IFREG | 07755u) << 16, 0755},
        {"MS-DOS read-only", 0664, kAttrReadOnly | kAttrArchive, 0444},
        {"MS-DOS writable gives the owner write back", 0444, kAttrArchive, 0644},
        {"MS-DOS writable keeps other bits", 0750, kAttrArchive, 0750},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_EQ(::chmod(file.c_str(), c.before), 0);
        EXPECT_TRUE(SetFileAttributes(file.string(), c.external));
        EXPECT_EQ(PermissionsOf(file), c.after);
    }

    const auto link = tmp.path() / "link";
    fs::create_symlink(file, link);
    ASSERT_EQ(::chmod(file.c_str(), 0600), 0);
    EXPECT_FALSE(SetFileAttributes(link.string(), (S_IFREG | 0777u) << 16));
    EXPECT_EQ(PermissionsOf(file), 0600);
}

TEST(FileSystemTest, ListingShowsHiddenEntriesSortedAndFollowsFileLinks) {
    TempDir tmp;
    tmp.write("b.txt", "bb");
    tmp.write(".hidden", "h");
    tmp.write("A.txt", "a");
    fs::create_directory(tmp.path() / "sub");
    fs::create_symlink(tmp.path() / "b.txt", tmp.path() / "link-to-b");
    fs::create_symlink(tmp.path() / "nowhere", tmp.path() / "dangling");

    DirListing listing(tmp.path().string());
    std::vector<FileInfo> found;
    for (FileInfo entry; listing.Next(entry);) {
        found.push_back(entry);
    }
    ASSERT_EQ(found.size(), 5u);
    EXPECT_EQ(found[0].Name, ".hidden");
    EXPECT_EQ(found[0].Attributes & kAttrHidden, kAttrHidden);
    EXPECT_EQ(found[1].Name, "A.txt");
    EXPECT_EQ(found[2].Name, "b.txt");
    EXPECT_FALSE(found[2].IsLink);
    EXPECT_EQ(found[3].Name, "link-to-b");
    EXPECT_TRUE(found[3].IsLink);
    EXPECT_EQ(found[3].Size, 2u);
    EXPECT_EQ(found[4].Name, "sub");
    EXPECT_TRUE(found[4].IsDirectory());

    FileInfo entry;
    EXPECT_FALSE(DirListing((tmp.path() / "missing").string()).Next(entry));
    EXPECT_FALSE(DirListing((tmp.path() / "b.txt").string()).Next(entry));
}

TEST(FileSystemTest, ExistenceDeletionAndRenaming) {
    TempDir tmp;
    const auto file = tmp.write("f", "data").string();
    const auto link = (tmp.path() / "link").string();
    fs::create_symlink(file, link);
    EXPECT_TRUE(FileExists(link));
    EXPECT_FALSE(DirectoryExists(file));
    EXPECT_FALSE(FileExists(tmp.dir()));
    EXPECT_TRUE(DirectoryExists(tmp.dir()));

    // Deleting a link removes the link, never the file it names.
    EXPECT_TRUE(DeleteFile(link));
    EXPECT_FALSE(fs::is_symlink(link));
    EXPECT_TRUE(FileExists(file));

    const auto other = tmp.write("other", "replaced").string();
    EXPECT_TRUE(RenameFile(file, other));
    EXPECT_FALSE(FileExists(file));
    EXPECT_EQ(ReadFile(other), "data");

    const auto deep = tmp.dir() + "a/b/c";
    EXPECT_TRUE(ForceDirectories(deep));
    EXPECT_TRUE(DirectoryExists(deep));
    EXPECT_TRUE(ForceDirectories(deep));
    EXPECT_FALSE(ForceDirectories(other + "/below-a-file"));
}

} // namespace
} // namespace mzb
