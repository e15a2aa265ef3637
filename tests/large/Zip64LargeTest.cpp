// Real sizes, end to end through mzb: a 5 GiB file and 70 000 small files
// in one backup, and archives of more than 65 534 entries from other tools.
// The big file is sparse and deflates to a few MiB, so the test costs
// little disk; it still reads and decodes 5 GiB several times, so it runs
// only in the optimised build.
//
// On an idle machine of two cores it takes about two minutes of CPU, most of
// it the peers decoding 5 GiB; disk use stays under 600 MB (the small files
// take a block each, the restored copies as many again).
#include "support/PeerTests.h"
#include "support/PeerTools.h"
#include "support/RunCommand.h"
#include "support/TempDir.h"

#include <fcntl.h>
#include <filesystem>
#include <gtest/gtest.h>
#include <random>
#include <sstream>
#include <unistd.h>

namespace mzb {
namespace {

namespace fs = std::filesystem;
using test::CommandResult;
using test::ReadFile;
using test::RunCommand;
using test::TempDir;

constexpr std::uint64_t kBigSize = 5ull << 30;
constexpr int kSmallFiles = 70000;
constexpr int kFilesPerFolder = 1000;

// Seeded bytes at the start, across the 4 GiB mark and at the end; holes
// between them. A reader that cut a size or an offset to 32 bits would
// misplace one of them.
void MakeBigFile(const fs::path& path) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::ftruncate(fd, static_cast<off_t>(kBigSize)), 0);
    std::mt19937_64 random(5);
    for (const std::uint64_t at :
         {std::uint64_t{0}, (std::uint64_t{1} << 32) - 2048, kBigSize - 4096}) {
        std::string piece(4096, '\0');
        for (char& c : piece) {
            c = static_cast<char>(random());
        }
        ASSERT_EQ(::pwrite(fd, piece.data(), piece.size(), static_cast<off_t>(at)),
                  static_cast<ssize_t>(piece.size()));
    }
    ASSERT_EQ(::close(fd), 0);
}

std::string SmallName(int i) {
    std::ostringstream name;
    name << "many/d" << i / kFilesPerFolder << "/f" << i << ".txt";
    return name.str();
}

std::string SmallContents(int i) {
    return "small file " + std::to_string(i) + "\n";
}

// The small files below root, each with its own contents.
void ExpectSmallFiles(const fs::path& root) {
    int wrong = 0;
    for (int i = 0; i < kSmallFiles; ++i) {
        wrong += ReadFile(root / SmallName(i)) == SmallContents(i) ? 0 : 1;
    }
    EXPECT_EQ(wrong, 0) << "small files missing or different below " << root;
}

std::string Mzb(const std::vector<std::string>& args, const std::string& what) {
    std::vector<std::string> argv = {MZB_EXE};
    argv.insert(argv.end(), args.begin(), args.end());
    const CommandResult r = RunCommand(argv);
    EXPECT_EQ(r.exitCode, 0) << what << ": " << r.out << r.err;
    return r.out;
}

TEST(Large, FiveGiBFileAndSeventyThousandFilesBackUpRestoreAndPassEveryPeer) {
    MZB_REQUIRE_PEERS("7zz", "zip", "python3", "unzip", "bsdtar");
    TempDir tmp;
    const fs::path src = tmp.path() / "src";
    fs::create_directories(src);
    MakeBigFile(src / "big.img");
    for (int i = 0; i < kSmallFiles; ++i) {
        tmp.write("src/" + SmallName(i), SmallContents(i));
    }
    fs::create_directories(tmp.path() / "out");
    const std::string ini =
        tmp.write("project.ini", "[Common]\r\nProject Count=1\r\nCount0=Large\r\n"
                                 "\r\n[Large]\r\n"
                                 "Filename prefix=large\r\n"
                                 "Whether use Date=0\r\n"
                                 "Increase Value=1\r\n"
                                 "Value=0\r\n"
                                 "Save Path=" +
                                     tmp.dir() + "out\r\n" +
                                     "Backup Directory Count=1\r\n"
                                     "Backup0=" +
                                     src.string() + "/*.*\r\n" +
                                     "Whether include Subdirectory=1\r\n"
                                     "Whether store path in Zip=0\r\n")
            .string();
    Mzb({"--ini", ini, "backup", "Large"}, "mzb backup");
    const std::string archive = tmp.dir() + "out/large1.zip";
    ASSERT_TRUE(fs::exists(archive));

    // One row per entry, the big one with its whole size.
    const std::string listing = Mzb({"list", archive}, "mzb list");
    EXPECT_EQ(std::count(listing.begin(), listing.end(), '\n'), kSmallFiles + 1);
    const std::string bigSize = std::to_string(kBigSize);
    EXPECT_NE(listing.find(bigSize + "\t"), std::string::npos) << "no entry of " << bigSize;

    // Our decoder checks every entry's size and CRC-32, the big one's
    // included; the small files are restored and compared byte for byte.
    Mzb({"test", archive}, "mzb test");
    Mzb({"extract", archive, tmp.dir() + "back", "-o", "always", "f*.txt"}, "mzb extract");
    int restored = 0;
    for (const auto& e : fs::directory_iterator(tmp.path() / "back")) {
        restored += e.is_regular_file() ? 1 : 0;
    }
    EXPECT_EQ(restored, kSmallFiles);
    for (int i = 0; i < kSmallFiles; i += 997) {
        EXPECT_EQ(ReadFile(tmp.path() / "back" / fs::path(SmallName(i)).filename()),
                  SmallContents(i));
    }
    fs::remove_all(tmp.path() / "back");
    EXPECT_EQ(test::PeerTestFailures(archive), std::vector<std::string>{});

    // Other tools' archives of the 70 000 files need the ZIP64 end record
    // (Python is made to put ZIP64 blocks into every header as well). On a
    // busy disk making and removing 70 000 files is the slow part, so one
    // of them is restored in full and the others decoded and counted.
    const std::string python = "import os, sys, zipfile\n"
                               "with zipfile.ZipFile(sys.argv[1], 'w') as z:\n"
                               "    for root, dirs, files in sorted(os.walk('many')):\n"
                               "        for name in sorted(files):\n"
                               "            path = os.path.join(root, name)\n"
                               "            with open(path, 'rb') as f, "
                               "z.open(path, 'w', force_zip64=True) as out:\n"
                               "                out.write(f.read())\n";
    struct Peer {
        std::string tool;
        std::string before; // the command line before the archive's name
        std::string after;
        bool restore;
    };
    const Peer peers[] = {
        {"7zz", "7zz a -tzip -mx=1 -bd -bso0 -bsp0 ", " many", true},
        {"zip", "zip -q -r -1 ", " many", false},
        {"python3", "python3 -c \"$PY\" ", "", false},
    };
    for (const auto& [tool, before, after, restore] : peers) {
        SCOPED_TRACE(tool);
        const std::string peerArchive = tmp.dir() + tool + ".zip";
        const std::string line = before + peerArchive + after;
        const CommandResult made = RunCommand({"/usr/bin/env", "PY=" + python, "/bin/sh", "-c",
                                               "cd " + src.string() + " && " + line});
        ASSERT_EQ(made.exitCode, 0) << made.out << made.err;
        const std::string rows = Mzb({"list", peerArchive, "*.txt"}, "mzb list of " + tool);
        EXPECT_EQ(std::count(rows.begin(), rows.end(), '\n'), kSmallFiles);
        if (restore) {
            const std::string dest = tmp.dir() + "by-" + tool;
            Mzb({"extract", peerArchive, dest, "-o", "always"}, "mzb extract of " + tool);
            ExpectSmallFiles(dest);
            fs::remove_all(dest);
        } else {
            Mzb({"test", peerArchive}, "mzb test of " + tool);
        }
        fs::remove(peerArchive);
    }
}

} // namespace
} // namespace mzb
