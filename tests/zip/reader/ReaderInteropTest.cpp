// Archives written at test time by the installed ZIP tools, over one mixed
// tree, must restore byte for byte with their times, modes and empty
// folders. A test needs its tool (see PeerTools.h).
#include "support/MixedTree.h"
#include "support/PeerTools.h"
#include "support/RunCommand.h"
#include "support/ScopedEnvironment.h"
#include "support/TempDir.h"
#include "zip/base/HeadlessHost.h"
#include "zip/base/ZipError.h"
#include "zip/format/ZipFormat.h"
#include "zip/reader/ZipReader.h"

#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace mzb {
namespace {

namespace fs = std::filesystem;
using test::CommandResult;
using test::MixedTree;
using test::RunCommand;
using test::TempDir;

std::string Quoted(const std::string& text) {
    std::string out = "'";
    for (char c : text) {
        out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    }
    return out + "'";
}

// Runs a shell command inside the tree with a UTF-8 locale, so that every
// tool stores the non-ASCII names as they are.
CommandResult RunInTree(const std::string& command) {
    return RunCommand(
        {"/bin/sh", "-c", "cd " + Quoted(MixedTree().string()) + " && LC_ALL=C.UTF-8 " + command});
}

struct Restore {
    int extracted = 0;
    std::vector<int> skipReasons;
    int badCrc = 0;
    int entriesDecoded = 0; // entries that produced output
};

class ReaderInteropTest : public ::testing::Test {
protected:
    std::string Archive() const { return tmp.dir() + "peer.zip"; }
    fs::path Out() const { return tmp.path() / "out"; }

    void MakeArchive(const std::string& command) {
        const CommandResult r = RunInTree(command);
        ASSERT_EQ(r.exitCode, 0) << command << "\n" << r.out << r.err;
    }

    Restore Extract(const std::string& password = {}) {
        Restore result;
        int lastIndex = -1;
        reader.OnSkippingFile = [&](TZipReader&, int reason, const std::string&, int, bool&) {
            result.skipReasons.push_back(reason);
        };
        reader.OnBadCRC = [&](TZipReader&, std::uint32_t, std::uint32_t, int) { ++result.badCrc; };
        reader.OnStartUnZip = [&](TZipReader&, int index, std::string&, bool&) {
            lastIndex = index;
        };
        reader.OnFilePercentDone = [&](TZipReader&, int) {
            if (lastIndex >= 0) {
                ++result.entriesDecoded;
                lastIndex = -1;
            }
        };
        reader.SetZipName(Archive());
        reader.SetDestDir(Out().string());
        reader.ArchivePassword = password;
        reader.RecreateDirs = true;
        reader.DoAll = true;
        reader.OverwriteMode = TUZOverwriteMode::Always;
        result.extracted = reader.RunUnZip();
        return result;
    }

    // Every file of the tree, byte for byte, with its time; every folder.
    void ExpectTreeRestored(const fs::path& restored, bool times = true, bool modes = true) {
        for (const auto& e : fs::recursive_directory_iterator(MixedTree())) {
            const fs::path rel = fs::relative(e.path(), MixedTree());
            const fs::path copy = restored / rel;
            SCOPED_TRACE(rel.string());
            if (e.is_directory()) {
                EXPECT_TRUE(fs::is_directory(copy));
                continue;
            }
            ASSERT_TRUE(fs::is_regular_file(copy));
            ExpectSameBytes(e.path(), copy);
            struct stat a {
            }, b{};
            ASSERT_EQ(::stat(e.path().c_str(), &a), 0);
            ASSERT_EQ(::stat(copy.c_str(), &b), 0);
            if (times) {
                EXPECT_EQ(b.st_mtime, a.st_mtime);
            }
            if (modes) {
                EXPECT_EQ(b.st_mode & 0777, a.st_mode & 0777);
            }
        }
    }

    static void ExpectSameBytes(const fs::path& a, const fs::path& b) {
        ASSERT_EQ(fs::file_size(a), fs::file_size(b));
        std::ifstream fa(a, std::ios::binary), fb(b, std::ios::binary);
        std::vector<char> ba(1 << 20), bb(1 << 20);
        std::uint64_t offset = 0;
        while (fa.read(ba.data(), std::streamsize(ba.size())) || fa.gcount() > 0) {
            const auto n = fa.gcount();
            fb.read(bb.data(), n);
            ASSERT_EQ(fb.gcount(), n);
            ASSERT_TRUE(std::equal(ba.begin(), ba.begin() + n, bb.begin()))
                << "first difference in the MiB at " << offset;
            offset += std::uint64_t(n);
        }
    }

    std::size_t TreeFileCount() const {
        std::size_t n = 0;
        for (const auto& e : fs::recursive_directory_iterator(MixedTree())) {
            n += e.is_regular_file() ? 1 : 0;
        }
        return n;
    }

    TempDir tmp;
    HeadlessHost host;
    TZipReader reader{host};
};

TEST_F(ReaderInteropTest, InfoZipAtEveryLevel) {
    MZB_REQUIRE_PEERS("zip");
    for (const char* level : {"-0", "-1", "-6", "-9"}) {
        SCOPED_TRACE(level);
        fs::remove(Archive());
        fs::remove_all(Out());
        MakeArchive(std::string("zip -q -r ") + level + " " + Quoted(Archive()) + " .");
        const Restore r = Extract();
        EXPECT_TRUE(r.skipReasons.empty());
        EXPECT_EQ(r.badCrc, 0);
        ExpectTreeRestored(Out());
    }
}

TEST_F(ReaderInteropTest, InfoZipFromAPipeWritesDataDescriptors) {
    MZB_REQUIRE_PEERS("zip");
    // Output to a pipe as well, or zip seeks back and fills in the sizes.
    MakeArchive("cat large/big.bin | zip -q - - | cat > " + Quoted(Archive()));
    reader.SetZipName(Archive());
    reader.OpenArchive();
    ASSERT_EQ(reader.EntryCount(), 1);
    EXPECT_NE(reader.Entry(0).Flags & kFlagDataDescriptor, 0) << "no data descriptor";
    const Restore r = Extract();
    EXPECT_EQ(r.extracted, 1);
    ExpectSameBytes(MixedTree() / "large/big.bin", Out() / "-");
}

// 7-Zip turns a file's time into MS-DOS local time with the offset in force
// today rather than on the file's date, so in a zone with daylight saving
// half of its times are an hour off; its archives are compared in a zone
// without.
TEST_F(ReaderInteropTest, SevenZipStoredDeflatedAndTraditionallyEncrypted) {
    MZB_REQUIRE_PEERS("7zz");
    const test::ScopedEnvironment zone("TZ", "UTC0");
    const std::string add = "7zz a -tzip -y -bd -bso0 -bsp0 ";
    for (const char* method : {"-mm=Copy", "-mm=Deflate"}) {
        SCOPED_TRACE(method);
        fs::remove(Archive());
        fs::remove_all(Out());
        MakeArchive(add + method + " " + Quoted(Archive()) + " .");
        const Restore r = Extract();
        EXPECT_TRUE(r.skipReasons.empty());
        ExpectTreeRestored(Out());
    }
    fs::remove(Archive());
    fs::remove_all(Out());
    MakeArchive(add + "-mem=ZipCrypto -ppw " + Quoted(Archive()) + " .");
    const Restore r = Extract("pw");
    EXPECT_TRUE(r.skipReasons.empty());
    ExpectTreeRestored(Out());
}

// Finer than the MS-DOS time's two seconds: Info-ZIP keeps whole seconds in
// UTC, 7-Zip asked to keep NTFS times 100 ns; for folders too.
TEST_F(ReaderInteropTest, InfoZipAndSevenZipTimesComeBackExactly) {
    MZB_REQUIRE_PEERS("zip", "7zz");
    const fs::path tree = tmp.path() / "timed";
    fs::create_directories(tree / "folder");
    std::ofstream(tree / "folder/odd.txt") << "an odd second";
    const struct timespec file = {1720102273, 123456700};   // 2024-07-04 14:11:13.1234567 UTC
    const struct timespec folder = {1730615403, 987654300}; // 2024-11-03 06:30:03.9876543 UTC
    const struct timespec fileTimes[2] = {file, file};
    const struct timespec folderTimes[2] = {folder, folder};
    ASSERT_EQ(::utimensat(AT_FDCWD, (tree / "folder/odd.txt").c_str(), fileTimes, 0), 0);
    ASSERT_EQ(::utimensat(AT_FDCWD, (tree / "folder").c_str(), folderTimes, 0), 0);
    const struct {
        const char* command;
        bool hundredNanoseconds;
    } makers[] = {
        {"zip -q -r ", false},
        {"7zz a -tzip -mtc=on -y -bd -bso0 -bsp0 ", true},
    };
    for (const auto& maker : makers) {
        SCOPED_TRACE(maker.command);
        fs::remove(Archive());
        fs::remove_all(Out());
        const CommandResult made = RunCommand({"/bin/sh", "-c",
                                               "cd " + Quoted(tree.string()) + " && " +
                                                   maker.command + Quoted(Archive()) + " folder"});
        ASSERT_EQ(made.exitCode, 0) << made.out << made.err;
        const Restore r = Extract();
        EXPECT_EQ(r.extracted, 2);
        const std::pair<const char*, struct timespec> expected[] = {{"folder/odd.txt", file},
                                                                    {"folder", folder}};
        for (const auto& [name, time] : expected) {
            struct stat st {};
            ASSERT_EQ(::stat((Out() / name).c_str(), &st), 0);
            EXPECT_EQ(st.st_mtim.tv_sec, time.tv_sec) << name;
            EXPECT_EQ(st.st_mtim.tv_nsec, maker.hundredNanoseconds ? time.tv_nsec : 0) << name;
        }
    }
}

TEST_F(ReaderInteropTest, InfoZipEncryptedWithAPassword) {
    MZB_REQUIRE_PEERS("zip");
    MakeArchive("zip -q -r -P 'secret word' " + Quoted(Archive()) + " .");
    const Restore r = Extract("secret word");
    EXPECT_TRUE(r.skipReasons.empty());
    ExpectTreeRestored(Out());
}

// The check byte of the encryption header refuses a wrong password before
// any data is decoded; one entry in 256 passes it by chance and then fails
// its CRC. Either way nothing is written. The large file is left out: it
// would only cost time.
TEST_F(ReaderInteropTest, WrongPasswordIsRefusedByTheHeaderCheck) {
    MZB_REQUIRE_PEERS("zip", "7zz");
    const std::vector<std::string> makers = {
        "zip -q -r -P right " + Quoted(Archive()) + " . -x 'large/*'",
        "7zz a -tzip -y -bd -bso0 -bsp0 -mem=ZipCrypto -pright '-xr!large' " + Quoted(Archive()) +
            " .",
    };
    for (const auto& maker : makers) {
        SCOPED_TRACE(maker);
        fs::remove(Archive());
        fs::remove_all(Out());
        MakeArchive(maker);
        const Restore r = Extract("wrong");
        // One entry in 256 passes the check byte by chance; its data then
        // fails the CRC, unless it has none: an empty file comes out empty,
        // which is still the file that was saved. No wrong byte is written.
        const std::size_t refusable = TreeFileCount() - 1; // all but the large file
        EXPECT_LE(r.skipReasons.size(), refusable);
        EXPECT_GE(r.skipReasons.size() + 1, refusable);
        for (int reason : r.skipReasons) {
            EXPECT_EQ(reason, kSkipBadPassword);
        }
        EXPECT_LE(r.entriesDecoded, 1);
        std::size_t written = 0;
        for (const auto& e : fs::recursive_directory_iterator(Out())) {
            if (e.is_regular_file()) {
                ++written;
                ExpectSameBytes(MixedTree() / fs::relative(e.path(), Out()), e.path());
            }
        }
        EXPECT_LE(written, 1u);
    }
}

// AES archives of the two tools that write them: 7-Zip at two strengths
// (the version that stores CRC 0), bsdtar (the version that keeps the CRC,
// with data descriptors). Both in a zone without daylight saving, for 7-Zip.
TEST_F(ReaderInteropTest, AesArchivesOfSevenZipAndBsdtar) {
    MZB_REQUIRE_PEERS("7zz", "bsdtar");
    const test::ScopedEnvironment zone("TZ", "UTC0");
    const std::string seven = "7zz a -tzip -y -bd -bso0 -bsp0 -mx=5 -p'pass word' ";
    const std::vector<std::string> makers = {
        seven + "-mem=AES128 " + Quoted(Archive()) + " .",
        seven + "-mem=AES256 " + Quoted(Archive()) + " .",
        "bsdtar --format zip --options zip:encryption=aes256 --passphrase 'pass word' -cf " +
            Quoted(Archive()) + " .",
    };
    for (const auto& maker : makers) {
        SCOPED_TRACE(maker);
        fs::remove(Archive());
        fs::remove_all(Out());
        MakeArchive(maker);
        const Restore r = Extract("pass word");
        EXPECT_TRUE(r.skipReasons.empty());
        EXPECT_EQ(r.badCrc, 0);
        ExpectTreeRestored(Out());
    }
}

TEST_F(ReaderInteropTest, Bsdtar) {
    MZB_REQUIRE_PEERS("bsdtar");
    MakeArchive("bsdtar --format zip -cf " + Quoted(Archive()) + " .");
    const Restore r = Extract();
    EXPECT_TRUE(r.skipReasons.empty());
    ExpectTreeRestored(Out());
}

TEST_F(ReaderInteropTest, PythonZipfileWithCommentsAndUtf8Names) {
    MZB_REQUIRE_PEERS("python3");
    const std::string script = R"(
import os, sys, zipfile
with zipfile.ZipFile(sys.argv[1], 'w', zipfile.ZIP_DEFLATED) as z:
    z.comment = 'Archive comment, ünïcödé'.encode()
    for root, dirs, files in os.walk('.'):
        dirs.sort()
        for name in sorted(dirs) + sorted(files):
            path = os.path.join(root, name)[2:]
            info = zipfile.ZipInfo.from_file(path, path)
            info.compress_type = zipfile.ZIP_DEFLATED
            info.comment = ('comment of ' + info.filename).encode()
            if info.is_dir():
                z.writestr(info, b'')
            else:
                with open(path, 'rb') as f:
                    z.writestr(info, f.read())
)";
    MakeArchive("python3 -c " + Quoted(script) + " " + Quoted(Archive()));
    reader.SetZipName(Archive());
    reader.OpenArchive();
    EXPECT_EQ(reader.ArchiveComment(), "Archive comment, ünïcödé");
    bool sawUtf8Name = false;
    for (int i = 0; i < reader.EntryCount(); ++i) {
        const std::string name = reader.EntryDirectory(i) + reader.EntryFileName(i);
        EXPECT_EQ(reader.EntryComment(i), "comment of " + name);
        if (name == "Ünïcödé/файл.txt") {
            sawUtf8Name = (reader.Entry(i).Flags & kFlagUtf8Name) != 0;
        }
    }
    EXPECT_TRUE(sawUtf8Name);
    const Restore r = Extract();
    EXPECT_TRUE(r.skipReasons.empty());
    ExpectTreeRestored(Out());
}

// Both tools write the ZIP64 block into every header when told to, whatever
// the sizes; Python's streamed entries also get data descriptors with 8-byte
// sizes.
TEST_F(ReaderInteropTest, ForcedZip64FromInfoZipAndPython) {
    MZB_REQUIRE_PEERS("zip", "python3");
    const std::string python = R"(
import os, sys, zipfile
with zipfile.ZipFile(sys.argv[1], 'w', zipfile.ZIP_DEFLATED) as z:
    for root, dirs, files in os.walk('.'):
        for name in sorted(dirs) + sorted(files):
            path = os.path.join(root, name)[2:]
            info = zipfile.ZipInfo.from_file(path, path)
            info.compress_type = zipfile.ZIP_DEFLATED
            if info.is_dir():
                z.writestr(info, b'')
                continue
            with open(path, 'rb') as src, z.open(info, 'w', force_zip64=True) as dst:
                dst.write(src.read())
)";
    const std::vector<std::string> makers = {
        "zip -q -r -fz " + Quoted(Archive()) + " .",
        "python3 -c " + Quoted(python) + " " + Quoted(Archive()),
    };
    for (const auto& maker : makers) {
        SCOPED_TRACE(maker);
        fs::remove(Archive());
        fs::remove_all(Out());
        MakeArchive(maker);
        const Restore r = Extract();
        EXPECT_TRUE(r.skipReasons.empty());
        EXPECT_EQ(r.badCrc, 0);
        ExpectTreeRestored(Out());
    }
}

} // namespace
} // namespace mzb
