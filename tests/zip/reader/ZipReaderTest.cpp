#include "zip/reader/ZipReader.h"

#include "support/ArchiveBuilder.h"
#include "support/ChildProcess.h"
#include "support/LocalTime.h"
#include "support/SampleData.h"
#include "support/TempDir.h"
#include "support/TurnMeter.h"
#include "support/Unprivileged.h"
#include "zip/base/HeadlessHost.h"
#include "zip/base/ZipError.h"

#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <grp.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

namespace mzb {
namespace {

namespace fs = std::filesystem;
using test::ArchiveBuilder;
using test::ReadFile;
using test::TempDir;

// A reader over an archive in a temporary directory, extracting into
// tmp/out, with every event it fires recorded.
class ReaderTest : public ::testing::Test {
protected:
    ReaderTest() : reader(host) {
        reader.OnSkippingFile = [this](TZipReader& r, int reason, const std::string& name, int,
                                       bool&) {
            skipped.push_back({reason, name, r.LinkInTheWay()});
        };
        reader.OnBadCRC = [this](TZipReader&, std::uint32_t computed, std::uint32_t, int index) {
            badCrc.push_back(index);
            computedCrc.push_back(computed);
        };
        reader.OnEndUnZip = [this](TZipReader&, int, const std::string& name) {
            extracted.push_back(name);
        };
    }

    std::string Archive(const ArchiveBuilder& b) {
        const std::string path = tmp.dir() + "archive.zip";
        b.WriteTo(path);
        return path;
    }

    int Extract(const ArchiveBuilder& b, bool recreate = true) {
        reader.SetZipName(Archive(b));
        reader.SetDestDir(Out());
        reader.RecreateDirs = recreate;
        reader.DoAll = true;
        return reader.RunUnZip();
    }

    std::string Out() const { return tmp.dir() + "out"; }
    std::string At(const std::string& rel) const { return ReadFile(Out() + "/" + rel); }
    bool Exists(const std::string& rel) const { return fs::exists(Out() + "/" + rel); }

    // Every file below the temporary directory except the archive: what
    // extraction made, wherever it went.
    std::vector<std::string> AllFiles() const {
        std::vector<std::string> files;
        for (const auto& e : fs::recursive_directory_iterator(tmp.path())) {
            if (e.is_regular_file() && e.path().filename() != "archive.zip") {
                files.push_back(fs::relative(e.path(), tmp.path()).string());
            }
        }
        std::sort(files.begin(), files.end());
        return files;
    }

    struct Skip {
        int reason;
        std::string name;
        std::string link; // for kSkipLinkInTheWay
    };

    TempDir tmp;
    HeadlessHost host;
    TZipReader reader;
    std::vector<Skip> skipped;
    std::vector<int> badCrc;
    std::vector<std::uint32_t> computedCrc;
    std::vector<std::string> extracted;
};

TEST_F(ReaderTest, ExtractsStoredAndDeflatedEntriesWithTimesAndModes) {
    ArchiveBuilder b;
    b.Add("dir/", "").externalAttributes = 0x41ED0010u;
    b.Add("dir/a.txt", "hello");
    auto& script = b.AddDeflated("dir/sub/run.sh", std::string(100000, 'x') + "#!/bin/sh\n");
    script.externalAttributes = 0x81ED0020u; // rwxr-xr-x
    b.Add("empty", "");
    EXPECT_EQ(Extract(b), 4);
    EXPECT_EQ(At("dir/a.txt"), "hello");
    EXPECT_EQ(At("dir/sub/run.sh"), std::string(100000, 'x') + "#!/bin/sh\n");
    EXPECT_TRUE(Exists("empty"));
    struct stat st {};
    ASSERT_EQ(::stat((Out() + "/dir/sub/run.sh").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0755u);
    // 0x5A2B6C3D is 2025-01-11 13:33:58 local time.
    std::tm tm = *std::localtime(&st.st_mtime);
    EXPECT_EQ(tm.tm_year + 1900, 2025);
    EXPECT_EQ(tm.tm_hour, 13);
    EXPECT_EQ(tm.tm_sec, 58);
    EXPECT_TRUE(skipped.empty());
}

// Where an archive keeps the modification time in UTC, that is the time
// restored: the NTFS times before the extended timestamp, each to its own
// precision. A block whose length does not suit its content is passed over
// and the MS-DOS time stands.
TEST_F(ReaderTest, TimesComeFromTheNtfsFieldThenTheExtendedTimestampThenTheMsDosTime) {
    using test::ExtraBlockOf;
    using test::LE16;
    using test::LE32;
    using test::LE64;
    const auto extended = test::ExtendedTimestampOf;
    const auto ntfs = [](std::uint16_t size, const std::string& times) {
        return ExtraBlockOf(0x000A, LE32(0) + LE16(1) + LE16(size) + times);
    };
    const std::string march = LE32(1710065473);              // 2024-03-10 10:11:13 UTC
    const std::string marchTicks = LE64(133545390731234567); // .1234567 s later, since 1601
    const std::string unset = LE64(0);
    const std::int64_t dos = test::LocalTime(2025, 1, 11, 13, 33, 58); // the builder's 0x5A2B6C3D
    struct Case {
        const char* name;
        std::string extra;
        std::int64_t seconds;
        std::uint32_t nanoseconds = 0;
        std::uint32_t dosDateTime = 0x5A2B6C3D;
    };
    const Case cases[] = {
        {"central-form", extended(0x03, march), 1710065473},
        {"local-form", extended(0x03, march + LE32(1)), 1710065473},
        {"ntfs", ntfs(24, marchTicks + unset + unset), 1710065473, 123456700},
        {"ntfs-first", extended(0x01, LE32(1)) + ntfs(24, marchTicks + unset + unset), 1710065473,
         123456700},
        // The top bit set: after 2038 when the MS-DOS date says so (here
        // 2040-06-01), before 1970 when it holds its first value.
        {"after-2038", extended(0x01, LE32(0x84738B41)), 2222164801, 0, 0x78C16000},
        {"before-1970", extended(0x01, LE32(0xEDF91541)), -302443199, 0, 0x00210000},
        {"ntfs-before-1970", ntfs(24, LE64(113420304015000000) + unset + unset), -302443199,
         500000000, 0x00210000},
        {"extended-cut", extended(0x01, march.substr(0, 3)), dos},
        {"extended-odd-length", extended(0x01, march + "xy"), dos},
        {"extended-without-modification", extended(0x02, march), dos},
        {"ntfs-wrong-size", ntfs(16, marchTicks + unset), dos},
        {"ntfs-unset", ntfs(24, unset + unset + unset), dos},
        {"ntfs-cut", ExtraBlockOf(0x000A, LE32(0) + LE16(1) + LE16(24) + marchTicks), dos},
    };
    ArchiveBuilder b;
    for (const Case& c : cases) {
        auto& e = b.Add(c.name, "x");
        e.centralExtra = e.localExtra = c.extra;
        e.dosDateTime = c.dosDateTime;
    }
    EXPECT_EQ(Extract(b), int(std::size(cases)));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        struct stat st {};
        ASSERT_EQ(::stat((Out() + "/" + c.name).c_str(), &st), 0);
        EXPECT_EQ(st.st_mtim.tv_sec, c.seconds);
        EXPECT_EQ(st.st_mtim.tv_nsec, c.nanoseconds);
    }
}

TEST_F(ReaderTest, JunkedPathsPutEveryFileIntoDest) {
    ArchiveBuilder b;
    b.Add("a/b/c.txt", "c");
    b.Add("a/", "");
    EXPECT_EQ(Extract(b, false), 2); // the directory entry counts, creates nothing
    EXPECT_EQ(At("c.txt"), "c");
    EXPECT_FALSE(Exists("a"));
}

TEST_F(ReaderTest, AnArchiveOfEmptyFoldersRecreatesThem) {
    ArchiveBuilder b;
    b.Add("a/", "");
    b.Add("a/b/", "");
    int numFiles = -1;
    reader.OnStartUnZipInfo = [&](TZipReader&, int n, std::uint64_t, bool&) { numFiles = n; };
    EXPECT_EQ(Extract(b), 2);
    EXPECT_EQ(numFiles, 0);
    EXPECT_TRUE(fs::is_directory(Out() + "/a/b"));
}

TEST_F(ReaderTest, NeverRestoresSetuidSetgidOrSticky) {
    ArchiveBuilder b;
    b.Add("suid", "x").externalAttributes = 0x8FFF0020u; // -rwsrwsrwt
    Extract(b);
    struct stat st {};
    ASSERT_EQ(::stat((Out() + "/suid").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0777u);
}

TEST_F(ReaderTest, LinksDevicesAndFifosInTheArchiveBecomePlainFiles) {
    ArchiveBuilder b;
    b.Add("link", "/etc/passwd").externalAttributes = 0xA1FF0020u;
    b.Add("fifo", "").externalAttributes = 0x11A40020u;
    Extract(b);
    EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(Out() + "/link")));
    EXPECT_EQ(At("link"), "/etc/passwd");
    EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(Out() + "/fifo")));
}

TEST_F(ReaderTest, ReplacesALinkAtTheOutputPathInsteadOfWritingThroughIt) {
    const auto victim = tmp.write("victim.txt", "precious");
    fs::create_directories(Out());
    fs::create_symlink(victim, Out() + "/a.txt");
    ArchiveBuilder b;
    b.Add("a.txt", "new");
    reader.OverwriteMode = TUZOverwriteMode::Always;
    EXPECT_EQ(Extract(b), 1);
    EXPECT_EQ(ReadFile(victim), "precious");
    EXPECT_FALSE(fs::is_symlink(Out() + "/a.txt"));
    EXPECT_EQ(At("a.txt"), "new");
}

// Another user who may write below the destination plants links to a
// folder of their choosing, before the run and between two of its entries.
// Each entry whose way passes a link is refused and named with the link,
// the others are restored, and nothing reaches the link's target; a folder
// moved away in the middle keeps what was already decoded for it. The
// destination itself may be a link: the user chose it.
TEST_F(ReaderTest, NoLinkBelowTheDestinationIsFollowedWhetherPlantedBeforeOrDuringTheRun) {
    ArchiveBuilder b;
    b.Add("a/x", "1");
    b.Add("a/b/y", "2"); // a/b a link before the run
    b.Add("d/w", "3");   // d too, one level up
    b.Add("e/", "");     // and a folder entry's own folder
    b.Add("f/g/h/z", "4");
    b.Add("f/g/h/z2", "5"); // f/g swapped for a link just before this one
    b.Add("f/g2/k", "6");
    b.Add("top", "7");
    const std::string archive = Archive(b);
    const std::string real = tmp.dir() + "real";
    const std::string outside = tmp.dir() + "outside";
    const std::string dest = tmp.dir() + "dest";
    for (const unsigned threads : {1u, 4u}) {
        fs::remove_all(real);
        fs::remove(dest);
        fs::create_directories(real + "/a");
        fs::create_directories(outside);
        fs::create_directory_symlink(real, dest);
        for (const char* planted : {"/a/b", "/d", "/e"}) {
            fs::create_directory_symlink(outside, dest + planted);
        }
        reader.OnStartUnZip = [&](TZipReader&, int index, std::string&, bool&) {
            if (index == 5) {
                fs::rename(dest + "/f/g", dest + "/moved");
                fs::create_directory_symlink(outside, dest + "/f/g");
            }
        };
        skipped.clear();
        reader.Threads = threads;
        reader.SetZipName(archive);
        reader.SetDestDir(dest);
        reader.RecreateDirs = true;
        reader.DoAll = true;
        EXPECT_EQ(reader.RunUnZip(), 4) << threads << " threads";
        std::vector<std::string> refused;
        for (const auto& s : skipped) {
            EXPECT_EQ(s.reason, kSkipLinkInTheWay);
            refused.push_back(s.name + " at " + s.link);
        }
        EXPECT_EQ(refused, (std::vector<std::string>{dest + "/a/b/y at " + dest + "/a/b",
                                                     dest + "/d/w at " + dest + "/d",
                                                     dest + "/e/ at " + dest + "/e",
                                                     dest + "/f/g/h/z2 at " + dest + "/f/g"}));
        EXPECT_TRUE(fs::is_empty(outside));
        EXPECT_EQ(ReadFile(real + "/a/x"), "1");
        EXPECT_EQ(ReadFile(real + "/moved/h/z"), "4");
        EXPECT_EQ(ReadFile(real + "/f/g2/k"), "6");
        EXPECT_EQ(ReadFile(real + "/top"), "7");
    }
}

TEST_F(ReaderTest, UnsafeNamesAreRefusedAndTheirNeighboursExtracted) {
    ArchiveBuilder b;
    b.Add("first.txt", "1");
    b.Add("../escape.txt", "evil");
    b.Add("a/../../escape2.txt", "evil");
    b.Add("..\\..\\escape3.txt", "evil").versionMadeBy = 0x0014; // MS-DOS separators
    b.Add("..\\..\\name.txt", "unix");                           // one Linux name
    b.Add(std::string("nul\0name", 8), "evil");
    b.Add("ctl\x01name", "ctl");
    b.Add("/abs/inside.txt", "abs");
    b.Add("C:/drive/inside.txt", "drive").versionMadeBy = 0x0B14; // NTFS
    b.Add("c:/folder.txt", "a Linux folder name");
    b.Add("last.txt", "2");
    EXPECT_EQ(Extract(b), 7);
    EXPECT_EQ(At("first.txt"), "1");
    EXPECT_EQ(At("last.txt"), "2");
    EXPECT_EQ(At("abs/inside.txt"), "abs");
    EXPECT_EQ(At("drive/inside.txt"), "drive");
    EXPECT_EQ(At("..\\..\\name.txt"), "unix");
    EXPECT_EQ(At("ctl\x01name"), "ctl");
    EXPECT_EQ(At("c:/folder.txt"), "a Linux folder name");
    ASSERT_EQ(skipped.size(), 4u);
    for (const auto& s : skipped) {
        EXPECT_EQ(s.reason, kSkipUnsafe) << s.name;
    }
    for (const auto& f : AllFiles()) {
        EXPECT_EQ(f.rfind("out/", 0), 0u) << f << " was written outside the destination";
    }
}

TEST_F(ReaderTest, BlankDestinationRestoresEveryFileWhereItCameFrom) {
    const std::string root = tmp.dir() + "root";
    reader.OriginalRoot = root;
    fs::create_directories(root + "/home/u");
    const auto victim = tmp.write("victim.txt", "precious");
    fs::create_symlink(victim, root + "/home/u/linked.txt");
    ArchiveBuilder b;
    b.Add("home/u/", "");
    b.Add("home/u/a.txt", "a");
    b.Add("/home/u/abs.txt", "abs");
    b.Add("home/u/linked.txt", "new");
    b.Add("home/../../escape.txt", "evil");
    reader.SetZipName(Archive(b));
    reader.SetDestDir("");
    reader.RecreateDirs = true;
    reader.DoAll = true;
    reader.OverwriteMode = TUZOverwriteMode::Always;
    EXPECT_EQ(reader.RunUnZip(), 4);
    EXPECT_EQ(ReadFile(root + "/home/u/a.txt"), "a");
    EXPECT_EQ(ReadFile(root + "/home/u/abs.txt"), "abs");
    EXPECT_EQ(ReadFile(root + "/home/u/linked.txt"), "new");
    EXPECT_FALSE(fs::is_symlink(root + "/home/u/linked.txt"));
    EXPECT_EQ(ReadFile(victim), "precious");
    ASSERT_EQ(skipped.size(), 1u);
    EXPECT_EQ(skipped[0].reason, kSkipUnsafe);
    for (const auto& f : AllFiles()) {
        EXPECT_TRUE(f.rfind("root/", 0) == 0 || f == "victim.txt") << f;
    }
}

// Restores home/u/Data/a.txt into the original places below `root`, as
// the user `as` when given (a child process then): "followed" when the
// file reached the target of the link at home/u/Data, "refused at LINK"
// when the link stopped it.
std::string RestoreThroughLink(const std::string& archive, const std::string& root,
                               std::optional<unsigned> trusted, std::optional<uid_t> as) {
    const auto restore = [&] {
        HeadlessHost host;
        TZipReader reader(host);
        std::string outcome = "followed";
        reader.OnSkippingFile = [&](TZipReader& r, int reason, const std::string&, int, bool&) {
            outcome = reason == kSkipLinkInTheWay ? "refused at " + r.LinkInTheWay()
                                                  : "skipped for " + std::to_string(reason);
        };
        reader.OriginalRoot = root;
        reader.TrustedUser = trusted;
        reader.SetZipName(archive);
        reader.RecreateDirs = true;
        reader.DoAll = true;
        reader.RunUnZip();
        return outcome;
    };
    if (!as) {
        return restore();
    }
    return test::RunInChild([&] {
        if (::setgroups(0, nullptr) != 0 || ::setgid(*as) != 0 || ::setuid(*as) != 0) {
            return std::string("cannot become the user");
        }
        return restore();
    });
}

// Restoring to the original places follows the system's own links (such as
// /bin -> usr/bin), but only those no other user can have placed or can
// change: owned by root or by the user restoring, in a folder of theirs
// that nobody else may write. A user who turned a backed-up folder into a
// link to a folder of root's gets root's restore of it refused, not written
// there. Tried as root and as an unprivileged user where the tests run as
// root, else by naming another user as the trusted one.
TEST_F(ReaderTest, OriginalPlacesFollowOnlyLinksNoOtherUserCouldHavePlaced) {
    ArchiveBuilder b;
    b.Add("home/u/Data/a.txt", "restored");
    const std::string archive = Archive(b);
    const bool isRoot = ::geteuid() == 0;
    constexpr uid_t kOther = 4242;
    struct Case {
        const char* what;
        bool ownLink; // else owned by kOther
        bool rootsLink;
        mode_t folderMode;
        bool followed;
    } const cases[] = {
        {"the user's own link", true, false, 0755, true},
        {"root's link", false, true, 0755, true},
        {"another user's link", false, false, 0755, false},
        {"an own link in a folder others may write", true, false, 0777, false},
    };
    std::vector<std::optional<uid_t>> runners{std::nullopt};
    if (isRoot) {
        runners.push_back(65534); // nobody
    }
    for (const auto& runner : runners) {
        const uid_t me = runner.value_or(::geteuid());
        for (const Case& c : cases) {
            if (c.rootsLink && !isRoot) {
                continue; // only root makes a link of root's
            }
            const std::string root = tmp.dir() + "root";
            const std::string target = tmp.dir() + "target";
            fs::remove_all(root);
            fs::remove_all(target);
            fs::create_directories(root + "/home/u");
            fs::create_directories(target);
            const std::string link = root + "/home/u/Data";
            fs::create_directory_symlink(target, link);
            fs::permissions(root + "/home/u", fs::perms(c.folderMode));
            std::optional<unsigned> trusted;
            if (isRoot) {
                const uid_t owner = c.rootsLink ? 0 : c.ownLink ? me : kOther;
                ASSERT_EQ(::lchown(link.c_str(), owner, static_cast<gid_t>(-1)), 0);
                ASSERT_EQ(::chown(target.c_str(), me, static_cast<gid_t>(-1)), 0);
                test::OpenPathToOthers(target);
                test::OpenPathToOthers(archive);
            } else if (!c.ownLink) {
                trusted = kOther; // the user's own link then stands for another's
            }
            const std::string outcome = RestoreThroughLink(archive, root, trusted, runner);
            EXPECT_EQ(outcome, c.followed ? "followed" : "refused at " + link)
                << c.what << ", restored by uid " << me;
            EXPECT_EQ(ReadFile(target + "/a.txt"), c.followed ? "restored" : "") << c.what;
        }
    }
}

// An ordinary user's umask limits what the archive asks for, as other
// extractors do; root gets the modes as stored (see the first test).
TEST_F(ReaderTest, AnOrdinaryUsersUmaskLimitsRestoredModes) {
    ArchiveBuilder b;
    b.Add("open", "x").externalAttributes = 0x81B60020u; // -rw-rw-rw-
    const std::string archive = Archive(b);
    const std::string dest = tmp.dir() + "dest";
    fs::create_directories(dest);
    fs::permissions(dest, fs::perms::all);
    test::OpenPathToOthers(dest);
    EXPECT_TRUE(test::RunUnprivileged([&] {
        ::umask(077);
        HeadlessHost host;
        TZipReader reader(host);
        reader.SetZipName(archive);
        reader.SetDestDir(dest);
        reader.DoAll = true;
        reader.RunUnZip();
        struct stat st {};
        return ::stat((dest + "/open").c_str(), &st) == 0 && (st.st_mode & 0777) == 0600;
    }));
}

TEST_F(ReaderTest, AFifoNamedLikeAnArchiveIsRefusedWithoutWaiting) {
    const std::string fifo = tmp.dir() + "pipe.zip";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    reader.SetZipName(fifo);
    EXPECT_THROW(reader.OpenArchive(), ENotAZipFile);
    reader.SetDestDir(Out());
    reader.DoAll = true;
    EXPECT_THROW(reader.RunUnZip(), ENotAZipFile);
}

TEST_F(ReaderTest, InconsistentHeadersFailTheirEntryOnly) {
    ArchiveBuilder b;
    b.Add("ok1", "fine");
    b.Add("badsig", "x").localSignature = 0x04034B51u;
    b.AddEncrypted("short-crypt", "", "pw", false).compressedSize = 5;
    b.Add("ok2", "fine too");
    reader.ArchivePassword = "pw";
    EXPECT_EQ(Extract(b), 2);
    EXPECT_EQ(At("ok1"), "fine");
    EXPECT_EQ(At("ok2"), "fine too");
    ASSERT_EQ(skipped.size(), 2u);
    EXPECT_EQ(skipped[0].reason, kSkipUnsafe);
    EXPECT_EQ(skipped[1].reason, kSkipUnsafe);
}

TEST_F(ReaderTest, DataReachingIntoTheNextEntryIsRefused) {
    ArchiveBuilder b;
    b.Add("big", std::string(1000, 'a')).compressedSize = 5000; // claims the next entry's bytes
    b.Add("next", "n");
    EXPECT_EQ(Extract(b), 1);
    EXPECT_EQ(At("next"), "n");
    ASSERT_EQ(skipped.size(), 1u);
    EXPECT_EQ(skipped[0].reason, kSkipUnsafe);
}

TEST_F(ReaderTest, EntriesSharingOneLocalHeaderAreReadFromTheLocalHeaders) {
    // The overlapping bomb: many central entries point at one local header.
    ArchiveBuilder b;
    b.AddDeflated("kernel", std::string(1 << 20, '\0'));
    for (int i = 0; i < 50; ++i) {
        auto& e = b.Add("copy" + std::to_string(i), "");
        e.inCentralDirectory = true;
        e.relativeOffset = 0;
        e.uncompressedSize = 1u << 20;
        e.crc = test::Crc32Of(std::string(1 << 20, '\0'));
    }
    Extract(b);
    std::uintmax_t written = 0;
    for (const auto& f : AllFiles()) {
        written += fs::file_size(tmp.path() / f);
    }
    // Only the one true entry is written, once.
    EXPECT_LE(written, std::uintmax_t(1) << 20);
    EXPECT_TRUE(reader.Rebuilt());
}

TEST_F(ReaderTest, OutputBeyondTheDeclaredSizeFailsTheEntry) {
    ArchiveBuilder b;
    auto& e = b.AddDeflated("bomb", std::string(10 << 20, 'z'));
    e.uncompressedSize = 1000;
    b.Add("after", "ok");
    EXPECT_EQ(Extract(b), 1);
    EXPECT_FALSE(Exists("bomb"));
    EXPECT_EQ(badCrc.size(), 1u);
    EXPECT_EQ(At("after"), "ok");
}

TEST_F(ReaderTest, ShortOutputWithAMatchingCrcStillFails) {
    ArchiveBuilder b;
    b.Add("short", "abc").uncompressedSize = 10;
    EXPECT_EQ(Extract(b), 0);
    EXPECT_EQ(badCrc.size(), 1u);
    EXPECT_FALSE(Exists("short"));
}

TEST_F(ReaderTest, ADamagedEntryLeavesTheExistingFileAsItWas) {
    fs::create_directories(Out());
    tmp.write("out/keep.txt", "the good copy");
    ArchiveBuilder b;
    b.Add("keep.txt", "newer").crc = 1234;
    reader.OverwriteMode = TUZOverwriteMode::Always;
    EXPECT_EQ(Extract(b), 0);
    EXPECT_EQ(At("keep.txt"), "the good copy");
    EXPECT_EQ(AllFiles(), std::vector<std::string>{"out/keep.txt"}); // no stray partial file
}

TEST_F(ReaderTest, WrongPasswordWithoutHandlerSkipsOnlyEncryptedEntries) {
    ArchiveBuilder b;
    b.AddEncrypted("secret1", "s1", "right", true);
    b.Add("plain", "p");
    b.AddEncrypted("secret2", "s2", "right", false);
    reader.ArchivePassword = "wrong";
    EXPECT_EQ(Extract(b), 1);
    EXPECT_EQ(At("plain"), "p");
    ASSERT_EQ(skipped.size(), 2u);
    EXPECT_EQ(skipped[0].reason, kSkipBadPassword);
}

TEST_F(ReaderTest, PasswordFromOnBadPasswordIsKeptForLaterEntriesAndRuns) {
    ArchiveBuilder b;
    b.AddEncrypted("s1", std::string(70000, 'q'), "right", true);
    b.AddEncrypted("s2", "two", "right", false);
    int asked = 0;
    reader.OnBadPassword = [&](TZipReader&, int, std::string& pw) {
        ++asked;
        pw = "right";
    };
    EXPECT_EQ(Extract(b), 2);
    EXPECT_EQ(asked, 1);
    EXPECT_EQ(reader.ArchivePassword, "right");
    EXPECT_EQ(At("s1"), std::string(70000, 'q'));
    EXPECT_EQ(At("s2"), "two");
}

TEST_F(ReaderTest, ADanglingLinkAtTheOutputPathCountsAsAnExistingFile) {
    fs::create_directories(Out());
    fs::create_symlink(tmp.dir() + "nowhere", Out() + "/f");
    ArchiveBuilder b;
    b.Add("f", "archive");
    reader.OverwriteMode = TUZOverwriteMode::Never;
    EXPECT_EQ(Extract(b), 0);
    EXPECT_TRUE(fs::is_symlink(Out() + "/f"));
    ASSERT_EQ(skipped.size(), 1u);
    EXPECT_EQ(skipped[0].reason, kSkipNotOverwritten);
}

// A folder the run made holds no file of anyone else's when it is made, so
// a name there is not looked up before its file is written; a name found
// taken all the same (the archive names it twice, or another user put
// something there during the run) is judged as in any other folder.
TEST_F(ReaderTest, ANameTakenInAFolderTheRunMadeIsJudgedLikeAnyOther) {
    ArchiveBuilder b;
    b.Add("new/a", "first");
    b.Add("new/a", "second");
    b.Add("new/b", "archive");
    b.Add("new/c", "archive");
    b.Add("new/d", "archive");
    const std::string victim = tmp.write("victim", "precious");
    for (const auto mode : {TUZOverwriteMode::Never, TUZOverwriteMode::Always}) {
        const bool always = mode == TUZOverwriteMode::Always;
        fs::remove_all(Out());
        reader.OnStartUnZip = [&](TZipReader&, int index, std::string&, bool&) {
            if (index == 2) {
                tmp.write("out/new/b", "planted");
                fs::create_directory(Out() + "/new/c");
                fs::create_symlink(victim, Out() + "/new/d");
            }
        };
        reader.OverwriteMode = mode;
        skipped.clear();
        EXPECT_EQ(Extract(b), always ? 4 : 1);
        EXPECT_EQ(At("new/a"), always ? "second" : "first");
        EXPECT_EQ(At("new/b"), always ? "archive" : "planted");
        EXPECT_TRUE(fs::is_directory(Out() + "/new/c"));
        EXPECT_NE(fs::is_symlink(Out() + "/new/d"), always);
        EXPECT_EQ(ReadFile(victim), "precious");
        using Refused = std::vector<std::pair<int, std::string>>;
        Refused refused;
        for (const auto& skip : skipped) {
            refused.emplace_back(skip.reason, skip.name.substr(Out().size()));
        }
        const Refused expected = always ? Refused{{kSkipCannotCreate, "/new/c"}}
                                        : Refused{{kSkipNotOverwritten, "/new/a"},
                                                  {kSkipNotOverwritten, "/new/b"},
                                                  {kSkipCannotCreate, "/new/c"},
                                                  {kSkipNotOverwritten, "/new/d"}};
        EXPECT_EQ(refused, expected) << (always ? "always" : "never");
    }
}

TEST_F(ReaderTest, MsDosReadOnlyAttributeTakesTheWritePermissionAway) {
    ArchiveBuilder b;
    auto& e = b.Add("ro.txt", "x");
    e.versionMadeBy = 0x0014; // MS-DOS host: no Unix mode
    e.externalAttributes = 0x21;
    auto& f = b.Add("rw.txt", "y");
    f.versionMadeBy = 0x0014;
    f.externalAttributes = 0x20;
    const mode_t oldMask = ::umask(022);
    Extract(b);
    ::umask(oldMask);
    struct stat st {};
    ASSERT_EQ(::stat((Out() + "/ro.txt").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0444u);
    ASSERT_EQ(::stat((Out() + "/rw.txt").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0644u);
}

// "newer" and "older" compare in the precision of the entry's time: an
// MS-DOS time to its two seconds, an extended timestamp to the second. The
// exact entry's MS-DOS time lies in the two seconds before its UTC time.
TEST_F(ReaderTest, OverwriteModes) {
    struct Case {
        TUZOverwriteMode mode;
        std::int64_t fileTimeOffsetMs; // existing file's time relative to the entry's
        bool replaced;
        bool exact = false; // the entry has an extended timestamp
    };
    const Case cases[] = {
        {TUZOverwriteMode::Always, 0, true},
        {TUZOverwriteMode::Never, 0, false},
        {TUZOverwriteMode::ifNewer, -10000, true},
        {TUZOverwriteMode::ifNewer, 0, false},
        {TUZOverwriteMode::ifNewer, 1500, false},
        {TUZOverwriteMode::ifNewer, 10000, false},
        {TUZOverwriteMode::ifOlder, 10000, true},
        {TUZOverwriteMode::ifOlder, 1500, false},
        {TUZOverwriteMode::ifOlder, 0, false},
        {TUZOverwriteMode::ifOlder, -10000, false},
        {TUZOverwriteMode::ifNewer, -1000, true, true},
        {TUZOverwriteMode::ifNewer, 700, false, true},
        {TUZOverwriteMode::ifOlder, 700, false, true},
        {TUZOverwriteMode::ifOlder, 1000, true, true},
        {TUZOverwriteMode::Prompt, 0, false}, // the headless host answers No
    };
    for (const auto& c : cases) {
        ArchiveBuilder b;
        auto& e = b.Add("f", "archive");
        if (c.exact) { // 2025-01-11 13:33:59 CET, a second after the MS-DOS time
            e.centralExtra = test::ExtendedTimestampOf(0x01, test::LE32(1736598839));
        }
        TempDir dir;
        fs::create_directories(Out());
        const auto path = tmp.write("out/f", "existing");
        reader.SetZipName(Archive(b));
        const std::time_t entryTime = [&] {
            reader.OpenArchive();
            return reader.EntryDateTime(0);
        }();
        const std::int64_t fileTimeMs = std::int64_t(entryTime) * 1000 + c.fileTimeOffsetMs;
        const struct timespec when = {fileTimeMs / 1000, (fileTimeMs % 1000) * 1000000};
        const struct timespec times[2] = {when, when};
        ::utimensat(AT_FDCWD, path.c_str(), times, 0);
        reader.OverwriteMode = c.mode;
        skipped.clear();
        Extract(b);
        EXPECT_EQ(At("f"), c.replaced ? "archive" : "existing")
            << int(c.mode) << " offset " << c.fileTimeOffsetMs << " ms"
            << (c.exact ? " from the extended timestamp" : "");
        EXPECT_EQ(skipped.size(), c.replaced ? 0u : 1u);
    }
    ASSERT_FALSE(host.Messages().empty());
    EXPECT_EQ(host.Messages().back().Text, "Replace existing file f?");
    EXPECT_EQ(host.Messages().back().Caption, "File Exists Alert");
}

TEST_F(ReaderTest, ProgressAndRunEvents) {
    ArchiveBuilder b;
    b.AddDeflated("a", std::string(100000, 'a'));
    b.Add("d/", "");
    b.Add("b", std::string(50000, 'b'));
    int numFiles = -1;
    std::uint64_t total = 0;
    std::vector<int> totals;
    int completed = -1;
    reader.OnStartUnZipInfo = [&](TZipReader&, int n, std::uint64_t bytes, bool&) {
        numFiles = n;
        total = bytes;
    };
    reader.OnTotalPercentDone = [&](TZipReader&, int p) { totals.push_back(p); };
    reader.OnUnZipComplete = [&](TZipReader&, int count) { completed = count; };
    EXPECT_EQ(Extract(b), 3);
    EXPECT_EQ(numFiles, 2);
    EXPECT_EQ(total, 150000u);
    EXPECT_EQ(completed, 3);
    ASSERT_FALSE(totals.empty());
    EXPECT_TRUE(std::is_sorted(totals.begin(), totals.end()));
    EXPECT_EQ(totals.back(), 100);
}

TEST_F(ReaderTest, FilesListChoosesEntriesAndIsEmptiedByTheRun) {
    ArchiveBuilder b;
    b.Add("docs/A.TXT", "a");
    b.Add("docs/b.bin", "b");
    b.Add("c.txt", "c");
    reader.SetZipName(Archive(b));
    reader.SetDestDir(Out());
    reader.RecreateDirs = true;
    reader.SetFilesList({"*.txt"});
    EXPECT_EQ(reader.RunUnZip(), 2);
    EXPECT_TRUE(Exists("docs/A.TXT"));
    EXPECT_FALSE(Exists("docs/b.bin"));
    EXPECT_TRUE(reader.FilesList().empty());
}

TEST_F(ReaderTest, CancelEndsTheRunAndRemovesThePartialFile) {
    ArchiveBuilder b;
    b.Add("big", std::string(200000, 'x'));
    int completed = -1;
    reader.OnFilePercentDone = [&](TZipReader& r, int) { r.Cancel(); };
    reader.OnUnZipComplete = [&](TZipReader&, int count) { completed = count; };
    EXPECT_THROW(Extract(b), EUserCanceled);
    EXPECT_EQ(completed, 0);
    EXPECT_TRUE(AllFiles().empty());
    EXPECT_FALSE(reader.Busy());
}

// A restore asked for while one runs (from a window event handled between
// its chunks) would share the settings and the open archive: refused.
TEST_F(ReaderTest, ARunAskedForDuringAnotherIsRefusedAndTheFirstEndsAsBegun) {
    ArchiveBuilder b;
    b.Add("a", std::string(100000, 'a'));
    b.Add("b", "b");
    std::string refused;
    reader.OnTotalPercentDone = [&](TZipReader& r, int) {
        if (refused.empty()) {
            try {
                r.RunUnZip();
                refused = "not refused";
            } catch (const ERunUnderWay& e) {
                refused = e.what();
            }
        }
    };
    EXPECT_EQ(Extract(b), 2);
    EXPECT_EQ(refused, "A run is still working on " + tmp.dir() +
                           "archive.zip; another cannot start until it ends.");
    EXPECT_EQ(At("a"), std::string(100000, 'a'));
    EXPECT_EQ(At("b"), "b");
    EXPECT_FALSE(reader.Busy());
}

TEST_F(ReaderTest, PartFilesOfAKilledRunGoFromTheFoldersWrittenTo) {
    tmp.write("out/.mzb-part-Ab12Cd", "half of a.txt");
    tmp.write("out/sub/.mzb-part-Xy34Zw", "half of sub/b.txt");
    tmp.write("out/other/.mzb-part-Qr56St", "in a folder this run leaves alone");
    tmp.write("out/.mzb-part-kept", "not a name the reader gives");
    ArchiveBuilder b;
    b.Add("a.txt", "a");
    b.Add("sub/b.txt", "b");
    EXPECT_EQ(Extract(b), 2);
    EXPECT_EQ(AllFiles(),
              (std::vector<std::string>{"out/.mzb-part-kept", "out/a.txt",
                                        "out/other/.mzb-part-Qr56St", "out/sub/b.txt"}));
}

TEST_F(ReaderTest, UnknownMethodIsReportedAndWritesNothing) {
    ArchiveBuilder b;
    b.Add("m9", "data").method = 9;
    EXPECT_EQ(Extract(b), 0);
    ASSERT_EQ(host.Messages().size(), 1u);
    EXPECT_EQ(host.Messages()[0].Text, "Unknown Compression Method");
    EXPECT_EQ(host.Messages()[0].Caption, "Zip Error");
    EXPECT_FALSE(Exists("m9"));
}

// An archive cut short in an entry's data: the entry is decoded as far as
// the file goes; stored data then ends the run as the premature end it is,
// deflated data fails its check and the run goes on. Nothing is left.
TEST_F(ReaderTest, DataCutOffByTheEndOfTheArchiveIsAPrematureEnd) {
    const auto random = test::MakeRandomBytes(100000, 7);
    const std::string plain(random.begin(), random.end());
    for (const bool deflated : {false, true}) {
        SCOPED_TRACE(deflated ? "deflated" : "stored");
        ArchiveBuilder b;
        b.Add("first", "1");
        deflated ? b.AddDeflated("a", plain) : b.Add("a", plain);
        const std::size_t dataOfA = 2 * kLocalHeaderSize + 5 + 1 + 1;
        {
            const std::string bytes = b.Build().substr(0, dataOfA + 50000);
            std::ofstream f(tmp.dir() + "archive.zip", std::ios::binary | std::ios::trunc);
            f.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        }
        reader.SetZipName(tmp.dir() + "archive.zip");
        reader.SetDestDir(Out());
        reader.IncompleteZipMode = TIncompleteZipMode::izAssumeBad;
        reader.DoAll = true;
        int completed = -1;
        reader.OnUnZipComplete = [&](TZipReader&, int count) { completed = count; };
        badCrc.clear();
        if (deflated) {
            EXPECT_EQ(reader.RunUnZip(), 1);
            EXPECT_EQ(badCrc, std::vector<int>{1});
        } else {
            try {
                reader.RunUnZip();
                ADD_FAILURE() << "no error";
            } catch (const EFatalUnzipError& e) {
                EXPECT_STREQ(e.what(), "Premature end of file reached");
            }
        }
        EXPECT_EQ(completed, 1);
        EXPECT_EQ(AllFiles(), std::vector<std::string>{"out/first"});
        EXPECT_TRUE(skipped.empty());
        fs::remove_all(Out());
        reader.SetZipName({});
    }
}

TEST_F(ReaderTest, DirectoryStates) {
    ArchiveBuilder empty;
    EXPECT_EQ(Extract(empty), 0);

    tmp.write("zero.zip", "");
    reader.SetZipName(tmp.dir() + "zero.zip");
    reader.OpenArchive();
    EXPECT_EQ(reader.EntryCount(), 0);

    tmp.write("junk.zip", std::string(100, 'j'));
    reader.SetZipName(tmp.dir() + "junk.zip");
    reader.OpenArchive(); // izAssumeMulti: quietly nothing
    EXPECT_EQ(reader.EntryCount(), 0);
    EXPECT_THROW(reader.RunUnZip(), EIncompleteZip);
    reader.IncompleteZipMode = TIncompleteZipMode::izAssumeNotAZip;
    EXPECT_THROW(reader.OpenArchive(), ENotAZipFile);
    reader.IncompleteZipMode = TIncompleteZipMode::izAssumeBad;
    EXPECT_THROW(reader.OpenArchive(), EBadZipFile);
    EXPECT_THROW(reader.Entry(0), EListError);
}

TEST_F(ReaderTest, MultiPartArchivesAreRefused) {
    ArchiveBuilder b;
    b.Add("a", "a");
    b.thisDisk = 1;
    reader.SetZipName(Archive(b));
    EXPECT_THROW(reader.OpenArchive(), EMultiPartZip);
    ArchiveBuilder parts;
    parts.Add("a", "a").diskNumberStart = 2;
    reader.SetZipName(tmp.dir() + "other.zip");
    reader.SetZipName(Archive(parts));
    EXPECT_THROW(reader.OpenArchive(), EMultiPartZip);
}

TEST_F(ReaderTest, DamagedCentralDirectoryIsRebuiltFromLocalHeaders) {
    ArchiveBuilder b;
    b.Add("one", "1");
    b.AddDeflated("two", "22222222");
    b.centralOffset = 3; // points into the first local header
    EXPECT_EQ(Extract(b), 2);
    EXPECT_TRUE(reader.Rebuilt());
    EXPECT_EQ(At("two"), "22222222");
}

TEST_F(ReaderTest, SortModeViewAndQueries) {
    ArchiveBuilder b;
    b.Add("b/zeta", "1").comment = "last";
    b.Add("a/alpha", "22");
    b.comment = "archive note";
    reader.SetZipName(Archive(b));
    reader.OpenArchive();
    EXPECT_EQ(reader.EntryFileName(0), "zeta");
    reader.SetSortMode(TZipSortMode::ByName);
    EXPECT_EQ(reader.EntryFileName(0), "alpha");
    EXPECT_EQ(reader.EntryDirectory(0), "a/");
    EXPECT_EQ(reader.EntryComment(1), "last");
    EXPECT_EQ(reader.ArchiveComment(), "archive note");
    EXPECT_THROW(reader.EntryFileName(2), EListError);
}

TEST_F(ReaderTest, TestOnlyChecksEverythingAndWritesNothing) {
    ArchiveBuilder b;
    b.AddDeflated("good", std::string(5000, 'g'));
    b.Add("bad", "b").crc = 7;
    reader.TestOnly = true;
    EXPECT_EQ(Extract(b), 1);
    EXPECT_EQ(badCrc.size(), 1u);
    EXPECT_TRUE(AllFiles().empty());
    EXPECT_FALSE(fs::exists(Out()));
}

// Every prefix of a small archive, and seeded random damage: each must end
// in a result or an engine error, with nothing outside the destination.
TEST_F(ReaderTest, TruncationAndCorruptionEndCleanly) {
    ArchiveBuilder b;
    b.Add("dir/", "");
    b.AddDeflated("dir/text", "the quick brown fox jumps over the lazy dog, again and again");
    b.Add("stored", "plain bytes");
    b.AddEncrypted("crypt", "secret", "pw", true);
    b.comment = "c";
    const std::string whole = b.Build();
    const std::string path = tmp.dir() + "archive.zip";
    auto attempt = [&](const std::string& bytes) {
        {
            std::ofstream f(path, std::ios::binary | std::ios::trunc);
            f.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        }
        HeadlessHost h;
        TZipReader r(h);
        r.IncompleteZipMode = TIncompleteZipMode::izAssumeBad;
        r.ArchivePassword = "pw";
        r.OverwriteMode = TUZOverwriteMode::Always;
        r.RecreateDirs = true;
        r.DoAll = true;
        try {
            r.SetZipName(path);
            r.SetDestDir(Out());
            r.RunUnZip();
        } catch (const EZipError&) {
        }
    };
    for (std::size_t n = 0; n < whole.size(); ++n) {
        attempt(whole.substr(0, n));
    }
    std::uint32_t seed = 12345;
    auto next = [&] { return seed = seed * 1103515245u + 12345u; };
    for (int round = 0; round < 300; ++round) {
        std::string bytes = whole;
        const int flips = 1 + static_cast<int>(next() % 4);
        for (int i = 0; i < flips; ++i) {
            bytes[(next() >> 8) % bytes.size()] = static_cast<char>(next() >> 16);
        }
        attempt(bytes);
    }
    for (const auto& f : AllFiles()) {
        EXPECT_EQ(f.rfind("out/", 0), 0u) << f;
    }
}

// Decoding on workers changes nothing a user sees: the same files with the
// same bytes, times and modes, the same entries refused (a bad CRC, a wrong
// password, a name leaving the destination), a link at an output path
// replaced rather than written through, and of two entries for one file
// the second decides against the first as without workers.
TEST_F(ReaderTest, ThreadsRestoreWhatOneThreadRestores) {
    ArchiveBuilder b;
    for (int i = 0; i < 40; ++i) {
        const std::string data(
            reinterpret_cast<const char*>(test::MakeText(1000 + i * 3001, i).data()),
            1000 + i * 3001);
        test::BuiltEntry& e = i % 2 ? b.AddDeflated("d/f" + std::to_string(i), data)
                                    : b.Add("s/f" + std::to_string(i), data);
        e.dosDateTime = 0x5A2B6C3Du + unsigned(i) * 2;
        e.externalAttributes = (i % 3 ? 0x81A40020u : 0x81ED0020u);
    }
    b.AddDeflated("bad crc", std::string(50000, 'q')).crc = 1; // decoded on a worker
    b.AddEncrypted("secret", "hidden text", "pw", true);
    b.AddEncrypted("other key", "other text", "not pw", false);
    b.Add("../escape", "x");
    b.Add("twice", "first");
    b.Add("twice", "second");
    b.Add("linked", "through no link");
    const std::string archive = Archive(b);
    auto restore = [&](unsigned threads, TUZOverwriteMode mode) {
        const std::string dest = tmp.dir() + "dest/";
        fs::create_directories(dest);
        fs::create_symlink(tmp.dir() + "target", dest + "linked");
        skipped.clear();
        badCrc.clear();
        computedCrc.clear();
        extracted.clear();
        reader.Threads = threads;
        reader.ArchivePassword = "pw";
        reader.OverwriteMode = mode;
        reader.SetZipName(archive);
        reader.SetDestDir(dest);
        reader.RecreateDirs = true;
        reader.DoAll = true;
        const int count = reader.RunUnZip();
        std::vector<std::string> seen;
        for (const auto& e : fs::recursive_directory_iterator(dest)) {
            struct stat st {};
            ::lstat(e.path().c_str(), &st);
            const std::string rel = fs::relative(e.path(), dest).string();
            // Folders get the time of their last change, which differs.
            seen.push_back(rel + " " + std::to_string(st.st_mode) +
                           (S_ISREG(st.st_mode)
                                ? " " + std::to_string(st.st_mtime) + " " +
                                      std::to_string(test::Crc32Of(ReadFile(e.path())))
                                : std::string()));
        }
        std::sort(seen.begin(), seen.end());
        std::vector<std::string> skips;
        for (const auto& s : skipped) {
            skips.push_back(std::to_string(s.reason) + " " + s.name);
        }
        seen.push_back("count " + std::to_string(count));
        seen.insert(seen.end(), skips.begin(), skips.end());
        for (std::size_t i = 0; i < badCrc.size(); ++i) {
            seen.push_back("bad crc " + std::to_string(badCrc[i]) + " computed " +
                           std::to_string(computedCrc[i]));
        }
        fs::remove_all(dest);
        return seen;
    };
    for (const auto mode : {TUZOverwriteMode::Always, TUZOverwriteMode::Never}) {
        const auto one = restore(1, mode);
        EXPECT_EQ(restore(4, mode), one);
        EXPECT_FALSE(fs::exists(tmp.dir() + "target"));
    }
    EXPECT_FALSE(fs::exists(tmp.dir() + "escape"));
}

// A restored file takes the group its folder gives (a shared folder's
// set-group-ID bit), on any number of threads: a small file a worker makes
// before the run reaches its folder must still end up with that group.
TEST_F(ReaderTest, FilesTakeTheGroupTheirFolderGivesOnAnyThreadCount) {
    std::optional<gid_t> other;
    if (::geteuid() == 0) {
        other = ::getegid() + 1;
    } else {
        std::vector<gid_t> groups(static_cast<std::size_t>(std::max(0, ::getgroups(0, nullptr))));
        groups.resize(static_cast<std::size_t>(
            std::max(0, ::getgroups(static_cast<int>(groups.size()), groups.data()))));
        for (const gid_t g : groups) {
            if (g != ::getegid()) {
                other = g;
            }
        }
    }
    if (!other) {
        GTEST_SKIP() << "needs a second group to give a folder";
    }
    ArchiveBuilder b;
    for (int i = 0; i < 40; ++i) {
        b.Add("shared/f" + std::to_string(i), "in the shared folder");
        b.Add("made/f" + std::to_string(i), "in a folder the run makes");
        b.Add("top" + std::to_string(i), "in the destination");
    }
    const std::string archive = Archive(b);
    for (const unsigned threads : {1u, 4u}) {
        SCOPED_TRACE(std::to_string(threads) + " threads");
        const std::string shared = Out() + "/shared";
        fs::create_directories(shared);
        ASSERT_EQ(::chown(shared.c_str(), static_cast<uid_t>(-1), *other), 0);
        ASSERT_EQ(::chmod(shared.c_str(), 02775), 0);
        reader.Threads = threads;
        reader.SetZipName(archive);
        reader.SetDestDir(Out());
        reader.RecreateDirs = true;
        reader.DoAll = true;
        EXPECT_EQ(reader.RunUnZip(), 120);
        for (int i = 0; i < 40; ++i) {
            struct stat st {};
            ASSERT_EQ(::stat((shared + "/f" + std::to_string(i)).c_str(), &st), 0);
            EXPECT_EQ(st.st_gid, *other) << i;
            ASSERT_EQ(::stat((Out() + "/made/f" + std::to_string(i)).c_str(), &st), 0);
            EXPECT_EQ(st.st_gid, ::getegid()) << i;
        }
        fs::remove_all(Out());
    }
}

// On one thread or four, extraction fires the same events in the same order
// (each entry's start, its percentages block by block, its end) and gives
// its host a turn at least every 32 KiB of its own reading and writing and
// of the large entry's progress, however long a worker spends on that
// entry; a cancel at a chosen turn ends the run there and leaves nothing.
TEST_F(ReaderTest, ThreadsKeepOneThreadsEventsAndTurnsEvery32KiB) {
    const auto random = test::MakeRandomBytes(4 << 20, 38);
    ArchiveBuilder b;
    b.Add("a", "first");
    b.AddEncrypted("big", std::string(random.begin(), random.end()), "pw", true);
    b.AddDeflated("c", std::string(5000, 'c'));
    const std::string archive = Archive(b);
    auto extract = [&](unsigned threads, int cancelAt) {
        test::TurnMeter meter;
        TZipReader r(meter);
        std::vector<std::string> events;
        r.OnStartUnZip = [&](TZipReader&, int i, std::string&, bool&) {
            events.push_back("start " + std::to_string(i));
            meter.Follow(i == 1);
        };
        r.OnFilePercentDone = [&](TZipReader&, int p) {
            events.push_back("file " + std::to_string(p));
            meter.Percent(p);
        };
        r.OnEndUnZip = [&](TZipReader&, int i, const std::string&) {
            events.push_back("end " + std::to_string(i));
        };
        meter.CancelAt(cancelAt, [&] {
            events.push_back("cancel");
            r.Cancel();
        });
        r.Threads = threads;
        r.ArchivePassword = "pw";
        r.SetZipName(archive);
        r.SetDestDir(Out());
        r.DoAll = true;
        r.OpenArchive(); // the directory is read in one go, before the entries
        events.push_back(meter.Measure([&] { return "count " + std::to_string(r.RunUnZip()); }));
        meter.ExpectStepsKept();
        const std::vector<std::string> files = AllFiles();
        fs::remove_all(Out());
        return std::pair(events, files);
    };
    for (const int cancelAt : {101, 40}) {
        SCOPED_TRACE("cancel at " + std::to_string(cancelAt));
        const auto one = extract(1, cancelAt);
        EXPECT_EQ(extract(4, cancelAt), one);
        EXPECT_EQ(one.first.back(), cancelAt > 100 ? "count 3" : "canceled");
        const std::vector<std::string> left =
            cancelAt > 100 ? std::vector<std::string>{"out/a", "out/big", "out/c"}
                           : std::vector<std::string>{"out/a"};
        EXPECT_EQ(one.second, left);
    }
}

} // namespace
} // namespace mzb
