// mzb create end to end: archives written over a mixed tree must pass every
// other ZIP tool's test and extract to the very same bytes.
#include "support/MixedTree.h"
#include "support/PeerTests.h"
#include "support/PeerTools.h"
#include "support/RunCommand.h"
#include "support/TempDir.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>
#include <map>
#include <optional>
#include <set>
#include <sstream>
#include <unistd.h>

namespace mzb {
namespace {

namespace fs = std::filesystem;
using test::CommandResult;
using test::ReadFile;
using test::RunCommand;
using test::TempDir;

const std::string kOddName = "Ünïcödé/файл.txt"; // a name of the mixed tree

// Regular files below a directory by relative path, and the directories.
struct Tree {
    std::map<std::string, std::string> files;
    std::set<std::string> dirs;
    bool operator==(const Tree&) const = default;
};

Tree ReadTree(const fs::path& root) {
    Tree tree;
    for (const auto& e : fs::recursive_directory_iterator(root)) {
        const std::string rel = fs::relative(e.path(), root).string();
        if (e.is_directory()) {
            tree.dirs.insert(rel);
        } else if (e.is_regular_file()) {
            tree.files[rel] = ReadFile(e.path());
        }
    }
    return tree;
}

Tree Flattened(const Tree& tree) {
    Tree flat;
    for (const auto& [path, data] : tree.files) {
        flat.files[fs::path(path).filename().string()] = data;
    }
    return flat;
}

// The current directory for the length of a scope: mzb takes relative items
// from it.
class InDirectory {
public:
    explicit InDirectory(const fs::path& dir) : old_(fs::current_path()) { fs::current_path(dir); }
    ~InDirectory() { fs::current_path(old_); }

private:
    fs::path old_;
};

class CreateTest : public ::testing::Test {
protected:
    // The shared mixed tree, read once per test program.
    static const Tree& Source() {
        static const Tree source = ReadTree(test::MixedTree());
        return source;
    }

    // mzb create run from the folder that holds the tree, so that "tree/"
    // names it; archives go to the test's own folder.
    CommandResult Create(std::vector<std::string> args) {
        InDirectory here(test::MixedTree().parent_path());
        args.insert(args.begin(), {MZB_EXE, "create"});
        return RunCommand(args);
    }

    static std::string Peer(const std::string& name) { return test::PeerPath(name); }

    // Every peer's test of the archive, and what unzip and 7-Zip extract.
    void CheckWithPeers(const std::string& archive, const std::string& password,
                        const Tree& expected) {
        EXPECT_EQ(test::PeerTestFailures(archive, password), std::vector<std::string>{});

        const std::string byUnzip = work_.dir() + "by-unzip";
        const std::string bySeven = work_.dir() + "by-7zz";
        fs::remove_all(byUnzip);
        fs::remove_all(bySeven);
        std::vector<std::string> unzipX = {Peer("unzip"), "-q"};
        std::vector<std::string> sevenX = {Peer("7zz"), "x", "-y", "-o" + bySeven};
        if (!password.empty()) {
            unzipX.insert(unzipX.end(), {"-P", password});
            sevenX.push_back("-p" + password);
        }
        unzipX.insert(unzipX.end(), {archive, "-d", byUnzip});
        sevenX.push_back(archive);
        EXPECT_EQ(RunCommand(unzipX).exitCode, 0);
        EXPECT_EQ(RunCommand(sevenX).exitCode, 0);
        EXPECT_TRUE(ReadTree(byUnzip) == expected) << "unzip extracted other bytes";
        EXPECT_TRUE(ReadTree(bySeven) == expected) << "7zz extracted other bytes";
    }

    // The source tree as extracted from an archive holding "tree/...".
    static Tree WithTreePrefix(const Tree& tree) {
        Tree prefixed;
        prefixed.dirs.insert("tree");
        for (const auto& d : tree.dirs) {
            prefixed.dirs.insert("tree/" + d);
        }
        for (const auto& [path, data] : tree.files) {
            prefixed.files["tree/" + path] = data;
        }
        return prefixed;
    }

    std::string Archive(const std::string& name) const { return work_.dir() + name; }

    // Every peer the checks below use.
#define REQUIRE_ALL_PEERS() MZB_REQUIRE_PEERS("unzip", "7zz", "bsdtar", "python3")

    // mzb create NAME FLAGS tree/, checked with every peer.
    void CheckCreated(const std::string& name, std::vector<std::string> flags,
                      const std::string& password) {
        flags.insert(flags.begin(), Archive(name));
        flags.push_back("tree/");
        const auto result = Create(flags);
        ASSERT_EQ(result.exitCode, 0) << result.err;
        EXPECT_EQ(result.out + result.err, "") << "nothing printed on success";
        const bool flat = std::find(flags.begin(), flags.end(), "-j") != flags.end();
        CheckWithPeers(Archive(name), password,
                       flat ? Flattened(Source()) : WithTreePrefix(Source()));
    }

    TempDir work_;
};

// One archive per case, so that each reports (and takes its time) alone;
// Python decrypts slowly, a password case takes half a minute.
TEST_F(CreateTest, PeersReadArchivesWithPaths) {
    REQUIRE_ALL_PEERS();
    CheckCreated("paths.zip", {"-r"}, "");
}

TEST_F(CreateTest, PeersReadEncryptedArchivesWithPaths) {
    REQUIRE_ALL_PEERS();
    CheckCreated("paths-pw.zip", {"-r", "-e", "zipcrypto", "-p", "s3cret pass"}, "s3cret pass");
}

TEST_F(CreateTest, PeersReadArchivesWithoutPathsAtTheHighestLevel) {
    REQUIRE_ALL_PEERS();
    CheckCreated("flat.zip", {"-r", "-j", "-l", "9"}, "");
}

TEST_F(CreateTest, PeersReadFastEncryptedArchivesWithoutPaths) {
    REQUIRE_ALL_PEERS();
    CheckCreated("flat-pw.zip", {"-r", "-j", "-l", "1", "-e", "zipcrypto", "-p", "pw"}, "pw");
}

// AES, the cipher a password gets by default: 7-Zip tests and extracts it
// and bsdtar extracts it, at every strength (Info-ZIP's unzip and Python's
// zipfile do not read AES).
TEST_F(CreateTest, SevenZipAndBsdtarReadAesArchivesAtEveryStrength) {
    MZB_REQUIRE_PEERS("7zz", "bsdtar");
    const std::string password = "s3cret pass";
    for (const std::string strength : {"aes128", "aes192", "aes256"}) {
        SCOPED_TRACE(strength);
        const std::string archive = Archive(strength + ".zip");
        const auto made = Create({archive, "-r", "-e", strength, "-p", password, "tree/"});
        ASSERT_EQ(made.exitCode, 0) << made.err;
        const auto tested = RunCommand({Peer("7zz"), "t", "-p" + password, archive});
        EXPECT_EQ(tested.exitCode, 0) << tested.out << tested.err;

        const std::string bySeven = work_.dir() + "by-7zz";
        const std::string byBsdtar = work_.dir() + "by-bsdtar";
        fs::remove_all(bySeven);
        fs::remove_all(byBsdtar);
        fs::create_directories(byBsdtar);
        EXPECT_EQ(
            RunCommand({Peer("7zz"), "x", "-y", "-o" + bySeven, "-p" + password, archive}).exitCode,
            0);
        const auto bsdtar =
            RunCommand({Peer("bsdtar"), "-xf", archive, "-C", byBsdtar, "--passphrase", password});
        EXPECT_EQ(bsdtar.exitCode, 0) << bsdtar.err;
        EXPECT_TRUE(ReadTree(bySeven) == WithTreePrefix(Source())) << "7zz extracted other bytes";
        EXPECT_TRUE(ReadTree(byBsdtar) == WithTreePrefix(Source()))
            << "bsdtar extracted other bytes";
    }
}

TEST_F(CreateTest, NamesAndCommentAsOtherToolsShowThem) {
    REQUIRE_ALL_PEERS();
    ASSERT_EQ(
        Create({Archive("named.zip"), "-r", "-c", "Weekly backup, ünïcode", "tree/"}).exitCode, 0);
    const auto comment = RunCommand({Peer("unzip"), "-z", Archive("named.zip")});
    EXPECT_NE(comment.out.find("Weekly backup, ünïcode"), std::string::npos) << comment.out;
    const auto listing = RunCommand({Peer("unzip"), "-l", Archive("named.zip")});
    EXPECT_NE(listing.out.find("tree/" + kOddName), std::string::npos) << listing.out;
    const auto names = RunCommand(
        {Peer("python3"), "-c",
         "import sys, zipfile\nprint('\\n'.join(zipfile.ZipFile(sys.argv[1]).namelist()))",
         Archive("named.zip")});
    EXPECT_NE(names.out.find("tree/" + kOddName + "\n"), std::string::npos) << names.out;
    EXPECT_NE(names.out.find("tree/empty-dir/\n"), std::string::npos);
}

// "-r dir/" gives the names the classic command-line archiver gives (its
// non-ASCII names carry no UTF-8 mark, so Python reads them otherwise).
TEST_F(CreateTest, RecursiveDirectoryHoldsTheNamesOtherArchiversGive) {
    MZB_REQUIRE_PEERS("zip", "python3");
    const std::string zip = Peer("zip");
    ASSERT_EQ(Create({Archive("ours.zip"), "-r", "tree/"}).exitCode, 0);
    {
        InDirectory here(test::MixedTree().parent_path());
        ASSERT_EQ(RunCommand({zip, "-q", "-r", Archive("theirs.zip"), "tree/"}).exitCode, 0);
    }
    auto names = [&](const std::string& archive) {
        return RunCommand({Peer("python3"), "-c",
                           "import sys, zipfile\n"
                           "print(sorted(n for n in zipfile.ZipFile(sys.argv[1]).namelist() if "
                           "n.isascii()))",
                           Archive(archive)})
            .out;
    };
    EXPECT_EQ(names("ours.zip"), names("theirs.zip"));
}

TEST_F(CreateTest, UpdatedArchiveStaysReadableByPeers) {
    REQUIRE_ALL_PEERS();
    TempDir tmp;
    const fs::path dir = tmp.path() / "u";
    tmp.write("u/keep.txt", "keep");
    tmp.write("u/change.txt", "old");
    const std::string archive = tmp.dir() + "up.zip";
    InDirectory here(tmp.path());
    ASSERT_EQ(RunCommand({MZB_EXE, "create", archive, "-e", "zipcrypto", "-p", "pw", "-c",
                          "carried comment", "-r", "u"})
                  .exitCode,
              0);
    tmp.write("u/change.txt", "new contents");
    fs::last_write_time(dir / "change.txt",
                        fs::file_time_type::clock::now() + std::chrono::hours(1));
    tmp.write("u/added/more.txt", "more");
    ASSERT_EQ(
        RunCommand({MZB_EXE, "create", archive, "-e", "zipcrypto", "-p", "pw", "-r", "u"}).exitCode,
        0);
    Tree expected = ReadTree(tmp.path());
    for (auto it = expected.files.begin(); it != expected.files.end();) {
        it = it->first.starts_with("u/") ? std::next(it) : expected.files.erase(it);
    }
    std::erase_if(expected.dirs, [](const std::string& d) { return !d.starts_with("u"); });
    CheckWithPeers(archive, "pw", expected);
    EXPECT_NE(RunCommand({Peer("unzip"), "-z", archive}).out.find("carried comment"),
              std::string::npos);
}

TEST_F(CreateTest, ExitStatusTellsSkippedFilesFromFailures) {
    TempDir tmp;
    tmp.write("d/one/same.txt", "1");
    tmp.write("d/two/same.txt", "2");
    tmp.write("d/x.tmp", "tmp");
    InDirectory here(tmp.path());
    const std::string archive = tmp.dir() + "e.zip";

    auto missing = RunCommand({MZB_EXE, "create", archive, "d/one/same.txt", "nope.txt"});
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_NE(missing.err.find("nope.txt"), std::string::npos) << missing.err;
    EXPECT_TRUE(fs::exists(archive));
    fs::remove(archive);

    auto noFolder = RunCommand({MZB_EXE, "create", archive, "gone/*.txt"});
    EXPECT_EQ(noFolder.exitCode, 1);
    EXPECT_EQ(noFolder.err, "mzb: " + tmp.dir() + "gone: no such folder\n");
    fs::remove(archive);

    auto duplicate = RunCommand({MZB_EXE, "create", archive, "-j", "-r", "-x", "*.tmp", "d"});
    EXPECT_EQ(duplicate.exitCode, 1);
    EXPECT_NE(duplicate.err.find("two/same.txt"), std::string::npos) << duplicate.err;
    EXPECT_EQ(duplicate.err.find("x.tmp"), std::string::npos);

    EXPECT_EQ(RunCommand({MZB_EXE, "create", archive, "-l", "12", "d"}).exitCode, 2);
    EXPECT_EQ(RunCommand({MZB_EXE, "create", archive}).exitCode, 2);
    const auto failed = RunCommand({MZB_EXE, "create", tmp.dir() + "no/such/dir/e.zip", "d"});
    EXPECT_EQ(failed.exitCode, 2);
    EXPECT_NE(failed.err.find("e.zip"), std::string::npos);
}

TEST_F(CreateTest, ExclusionsWithADirectoryAreRelativeToTheCurrentDirectory) {
    TempDir tmp;
    tmp.write("p/src/a.c", "a");
    tmp.write("p/build/a.o", "o");
    tmp.write("p/notes.txt", "n");
    InDirectory here(tmp.path());
    const std::string archive = tmp.dir() + "x.zip";
    ASSERT_EQ(RunCommand({MZB_EXE, "create", archive, "-r", "-x", "p/build/*", "-x", "*.txt", "p"})
                  .exitCode,
              0);
    const auto listing = RunCommand({MZB_EXE, "list", archive});
    EXPECT_NE(listing.out.find("p/src/a.c"), std::string::npos) << listing.out;
    EXPECT_EQ(listing.out.find("a.o"), std::string::npos) << listing.out;
    EXPECT_EQ(listing.out.find("notes.txt"), std::string::npos) << listing.out;
}

} // namespace
} // namespace mzb
