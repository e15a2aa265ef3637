// mzb test and mzb extract end to end: the exit status of each case the
// README promises, and nothing written where an entry was refused.
#include "support/ArchiveBuilder.h"
#include "support/RunCommand.h"
#include "support/ScopedEnvironment.h"
#include "support/TempDir.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>

namespace mzb {
namespace {

namespace fs = std::filesystem;
using test::ArchiveBuilder;
using test::CommandResult;
using test::RunCommand;
using test::TempDir;

class ArchiveCommandsTest : public ::testing::Test {
protected:
    std::string Archive(const std::string& name, const ArchiveBuilder& b) {
        const std::string path = tmp_.dir() + name;
        b.WriteTo(path);
        return path;
    }
    CommandResult Mzb(std::vector<std::string> args) {
        args.insert(args.begin(), MZB_EXE);
        return RunCommand(args);
    }
    // Exit status of mzb test and of mzb extract into a fresh folder.
    std::pair<int, int> TestAndExtract(const std::string& archive,
                                       std::vector<std::string> extra = {}) {
        std::vector<std::string> test = {"test", archive};
        test.insert(test.end(), extra.begin(), extra.end());
        std::vector<std::string> extract = {"extract", archive, Out(), "-o", "always"};
        extract.insert(extract.end(), extra.begin(), extra.end());
        fs::remove_all(Out());
        return {Mzb(test).exitCode, Mzb(extract).exitCode};
    }
    std::string Out() const { return tmp_.dir() + "out"; }

    TempDir tmp_;
};

TEST_F(ArchiveCommandsTest, EveryEntryHandledIsZeroAndAnyEntryLostIsOne) {
    ArchiveBuilder sound;
    sound.Add("a.txt", "alpha");
    sound.AddDeflated("dir/b.txt", std::string(3000, 'b'));
    EXPECT_EQ(TestAndExtract(Archive("sound.zip", sound)), std::pair(0, 0));
    EXPECT_EQ(test::ReadFile(Out() + "/dir/b.txt"), std::string(3000, 'b'));

    ArchiveBuilder damaged;
    damaged.Add("good.txt", "fine");
    damaged.Add("bad.txt", "damaged").crc = 0x12345678u;
    EXPECT_EQ(TestAndExtract(Archive("crc.zip", damaged)), std::pair(1, 1));

    ArchiveBuilder locked;
    locked.AddEncrypted("secret.txt", "classified", "right", true);
    const std::string lockedPath = Archive("locked.zip", locked);
    EXPECT_EQ(TestAndExtract(lockedPath, {"-p", "right"}), std::pair(0, 0));
    EXPECT_EQ(TestAndExtract(lockedPath, {"-p", "wrong"}), std::pair(1, 1));
    EXPECT_FALSE(fs::exists(Out() + "/secret.txt"));

    ArchiveBuilder unsafe;
    unsafe.Add("../escaped.txt", "out of the folder");
    const CommandResult refused =
        Mzb({"extract", Archive("unsafe.zip", unsafe), Out(), "-o", "always"});
    EXPECT_EQ(refused.exitCode, 1);
    EXPECT_NE(refused.err.find("escaped.txt"), std::string::npos) << refused.err;
    EXPECT_FALSE(fs::exists(tmp_.dir() + "escaped.txt"));

    // A folder below the destination that is a link: the entry is named
    // with the link, the others restored.
    ArchiveBuilder linked;
    linked.Add("sub/x.txt", "x");
    linked.Add("y.txt", "y");
    fs::create_directories(tmp_.path() / "elsewhere");
    fs::remove_all(Out());
    fs::create_directories(Out());
    fs::create_directory_symlink(tmp_.path() / "elsewhere", Out() + "/sub");
    const CommandResult blocked =
        Mzb({"extract", Archive("linked.zip", linked), Out(), "-o", "always"});
    EXPECT_EQ(blocked.exitCode, 1);
    EXPECT_EQ(blocked.err,
              "mzb: " + Out() + "/sub/x.txt: a link is in the way: " + Out() + "/sub\n");
    EXPECT_TRUE(fs::is_empty(tmp_.path() / "elsewhere"));
    EXPECT_EQ(test::ReadFile(Out() + "/y.txt"), "y");

    // A file that cannot be made is named with the system's reason.
    fs::remove(Out() + "/sub");
    fs::create_directories(Out() + "/sub/x.txt");
    const CommandResult taken =
        Mzb({"extract", Archive("linked.zip", linked), Out(), "-o", "always"});
    EXPECT_EQ(taken.exitCode, 1);
    EXPECT_EQ(taken.err,
              "mzb: " + Out() + "/sub/x.txt: cannot create the output file (Is a directory)\n");

    // An AES entry whose data changed after it was written fails its
    // authentication code: named so by extract and by restore's report,
    // and nothing of it is left in the destination.
    const std::string aes = tmp_.dir() + "aes.zip";
    tmp_.write("aes/c.txt", std::string(500, 'c'));
    ASSERT_EQ(Mzb({"create", aes, "-j", "-l", "0", "-p", "pw", tmp_.dir() + "aes/c.txt"}).exitCode,
              0);
    {
        std::fstream f(aes, std::ios::in | std::ios::out | std::ios::binary);
        unsigned char lengths[4] = {};
        f.seekg(26);
        f.read(reinterpret_cast<char*>(lengths), sizeof lengths);
        // Past the local header, the salt and the verifier.
        f.seekp(30 + lengths[0] + 256 * lengths[1] + lengths[2] + 256 * lengths[3] + 18 + 100);
        f.put('\x5a');
    }
    fs::remove_all(Out());
    const CommandResult changed = Mzb({"extract", aes, Out(), "-p", "pw", "-o", "always"});
    EXPECT_EQ(changed.exitCode, 1);
    EXPECT_EQ(changed.err, "mzb: c.txt: damaged data (authentication failed)\n");
    EXPECT_TRUE(fs::is_empty(Out()));
    const CommandResult restored = Mzb({"restore", aes, Out(), "-p", "pw", "-o", "always", "-q"});
    EXPECT_EQ(restored.exitCode, 1);
    EXPECT_NE(restored.out.find("c.txt: damaged data (authentication failed)"), std::string::npos)
        << restored.out;
    EXPECT_TRUE(fs::is_empty(Out()));
}

// A password kept off the command line, from a file's first line or the
// environment; the cipher chosen by name (AES-256 by default), as the
// listing shows it; and no archive in the clear when one was asked locked.
TEST_F(ArchiveCommandsTest, PasswordsFromAFileOrTheEnvironmentAndTheCipherByName) {
    tmp_.write("src/a.txt", "alpha beta gamma delta");
    const std::string src = tmp_.dir() + "src/";
    const std::string pwFile = tmp_.write("pw.txt", "s3cret\nnot the password\n").string();
    const std::string aes = tmp_.dir() + "aes.zip";
    CommandResult made = Mzb({"create", aes, "-r", "--password-file", pwFile, src});
    ASSERT_EQ(made.exitCode, 0) << made.err;
    CommandResult listed = Mzb({"list", aes});
    EXPECT_NE(listed.out.find("\taes256\t" + src.substr(1) + "a.txt\n"), std::string::npos)
        << listed.out;
    EXPECT_NE(listed.out.find("\t-\t" + src.substr(1) + "\n"), std::string::npos) << listed.out;
    EXPECT_EQ(RunCommand({MZB_EXE, "test", aes}, {"MZB_PASSWORD=s3cret"}).exitCode, 0);
    const CommandResult wrong = RunCommand({MZB_EXE, "test", aes}, {"MZB_PASSWORD=s3cre"});
    EXPECT_EQ(wrong.exitCode, 1);
    EXPECT_NE(wrong.err.find("a.txt: wrong password"), std::string::npos) << wrong.err;

    const std::string traditional = tmp_.dir() + "zipcrypto.zip";
    ASSERT_EQ(Mzb({"create", traditional, "-r", "-e", "zipcrypto", "-p", "s3cret", src}).exitCode,
              0);
    listed = Mzb({"list", traditional});
    EXPECT_NE(listed.out.find("\tzipcrypto\t"), std::string::npos) << listed.out;
    EXPECT_EQ(TestAndExtract(traditional, {"--password-file", pwFile}), std::pair(0, 0));

    const std::string empty = tmp_.write("empty.txt", "\n").string();
    for (const auto& refused : {std::vector<std::string>{"-e", "aes128"},
                                std::vector<std::string>{"--password-file", empty},
                                std::vector<std::string>{"-e", "aes512", "-p", "x"}}) {
        std::vector<std::string> args = {"create", tmp_.dir() + "clear.zip"};
        args.insert(args.end(), refused.begin(), refused.end());
        args.push_back(src);
        const CommandResult r = Mzb(args);
        EXPECT_EQ(r.exitCode, 2) << refused[1];
        EXPECT_FALSE(fs::exists(tmp_.dir() + "clear.zip")) << refused[1];
    }
}

// An entry's UTC time shows on the local clock of the zone mzb runs in, to
// the second; its MS-DOS time (2025-01-11 13:33:58) is only a fallback.
TEST_F(ArchiveCommandsTest, ListShowsTheExactTimeOnTheLocalClock) {
    ArchiveBuilder b;
    b.Add("a.txt", "alpha").centralExtra = test::ExtendedTimestampOf(0x01, test::LE32(1710065473));
    const std::string archive = Archive("timed.zip", b);
    // In New York summer time began at 07:00 UTC that day.
    const std::pair<std::string, const char*> shown[] = {
        {"UTC0", "\t2024-03-10 10:11:13\t"},
        {test::kNewYorkZone, "\t2024-03-10 06:11:13\t"},
    };
    for (const auto& [zone, time] : shown) {
        const CommandResult listed = RunCommand({MZB_EXE, "list", archive}, {"TZ=" + zone});
        EXPECT_EQ(listed.exitCode, 0);
        EXPECT_NE(listed.out.find(time), std::string::npos) << zone << ": " << listed.out;
    }
}

TEST_F(ArchiveCommandsTest, UnreadableArchivesAndUsageErrorsAreTwo) {
    const auto notAnArchive = tmp_.write("text.zip", "just some text, no archive at all");
    for (const std::string& archive : {notAnArchive.string(), tmp_.dir() + "missing.zip"}) {
        EXPECT_EQ(TestAndExtract(archive), std::pair(2, 2)) << archive;
        EXPECT_EQ(Mzb({"restore", archive, Out()}).exitCode, 2) << archive;
    }
    ArchiveBuilder sound;
    sound.Add("a.txt", "alpha");
    const std::string archive = Archive("sound.zip", sound);
    EXPECT_EQ(Mzb({"test"}).exitCode, 2);
    EXPECT_EQ(Mzb({"test", archive, "-x"}).exitCode, 2);
    EXPECT_EQ(Mzb({"test", archive, "-p"}).exitCode, 2);
    EXPECT_EQ(Mzb({"extract", archive}).exitCode, 2);
    EXPECT_EQ(Mzb({"extract", archive, Out(), "-o", "sometimes"}).exitCode, 2);
}

} // namespace
} // namespace mzb
