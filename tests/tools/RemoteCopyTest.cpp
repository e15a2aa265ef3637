#include "support/PeerTools.h"
#include "support/RcloneServer.h"
#include "support/RunCommand.h"
#include "support/SampleData.h"
#include "support/TempDir.h"

#include <algorithm>
#include <filesystem>
#include <gtest/gtest.h>

namespace mzb {
namespace {

namespace fs = std::filesystem;
using test::CommandResult;
using test::RcloneServer;
using test::ReadFile;
using test::RunCommand;
using test::TempDir;

// A numbered project "Docs" whose archives go to out/ and are copied to
// the remote "nas" of an rclone.conf the test writes. rclone is reached
// through a wrapper on PATH that logs every command line it is given.
class RemoteCopyTest : public ::testing::Test {
protected:
    void SetUp() override {
        const auto binary = test::MakeBinary(300000, 21);
        tmp_.write("src/data.bin", std::string(binary.begin(), binary.end()));
        tmp_.write("src/notes.txt", "remote copies\n");
        fs::create_directories(tmp_.path() / "out");
        fs::create_directories(tmp_.path() / "served");
        fs::create_directories(tmp_.path() / "tmp");
        const auto rclone = test::FindProgram("rclone");
        tmp_.write("bin/rclone", "#!/bin/sh\nprintf '%s\\n' \"$*\" >> " + tmp_.dir() +
                                     "argv.log\nexec " + rclone.value_or("false") + " \"$@\"\n");
        fs::permissions(tmp_.path() / "bin/rclone", fs::perms::owner_all);
        ini_ = tmp_.write("project.ini",
                          "[Common]\nProject Count=1\nCount0=Docs\n\n[Docs]\n"
                          "Filename prefix=docs\nWhether use Date=0\nValue=4\n"
                          "Save Path=" +
                              tmp_.dir() + "out\nBackup Directory Count=1\nBackup0=" + tmp_.dir() +
                              "src/*.*\nWhether password Project=0\n"
                              "Remote Copy=nas:backups/docs\n")
                   .string();
    }

    void Configure(const RcloneServer& server) {
        tmp_.write("rclone.conf", server.ConfigSection("nas"));
    }

    CommandResult Mzb(std::vector<std::string> args, const std::string& path = "") {
        args.insert(args.begin(), {MZB_EXE, "--ini", ini_});
        const char* inherited = std::getenv("PATH");
        return RunCommand(
            args,
            {"RCLONE_CONFIG=" + tmp_.dir() + "rclone.conf",
             "RCLONE_CACHE_DIR=" + tmp_.dir() + "cache", "TMPDIR=" + tmp_.dir() + "tmp",
             "PATH=" + (path.empty() ? tmp_.dir() + "bin:" + (inherited ? inherited : "") : path)});
    }

    std::string Remote(const std::string& name) const {
        return ReadFile(tmp_.path() / "served/backups/docs" / name);
    }
    std::string Local(const std::string& name) const {
        return ReadFile(tmp_.path() / "out" / name);
    }
    // The size column of a listing row: whole KiB.
    static std::string Kib(const std::string& contents) {
        return std::to_string(contents.size() / 1024);
    }

    TempDir tmp_;
    std::string ini_;
};

TEST_F(RemoteCopyTest, SftpCopyArrivesWholeAFailureIsReportedAndRetriedWithoutLeakingThePassword) {
    MZB_REQUIRE_PEERS("rclone");
    const std::string work = tmp_.dir();
    {
        RcloneServer server(RcloneServer::Kind::Sftp, work + "served", work);
        ASSERT_NE(server.Port(), 0) << server.Log();
        Configure(server);
        const CommandResult first = Mzb({"backup", "Docs"});
        ASSERT_EQ(first.exitCode, 0) << first.out << first.err;
        EXPECT_NE(first.out.find("Remote Copy Succeeds!"), std::string::npos) << first.out;
        ASSERT_FALSE(Local("docs5.zip").empty());
        EXPECT_EQ(Remote("docs5.zip"), Local("docs5.zip"));
        EXPECT_FALSE(fs::exists(tmp_.path() / "served/backups/docs/.docs5.zip.part"));
    }
    // The server is gone: the archive is still made, the copy is reported
    // as failed with rclone's reason, and the command says so by its status.
    const CommandResult down = Mzb({"backup", "Docs"});
    EXPECT_EQ(down.exitCode, 1) << down.out << down.err;
    EXPECT_NE(down.out.find("Backup Files Succeeds!"), std::string::npos) << down.out;
    EXPECT_NE(down.out.find("Remote Copy Fails!"), std::string::npos) << down.out;
    EXPECT_NE(down.out.find("docs6.zip: "), std::string::npos) << down.out;
    EXPECT_FALSE(Local("docs6.zip").empty());

    RcloneServer again(RcloneServer::Kind::Sftp, work + "served", work);
    ASSERT_NE(again.Port(), 0) << again.Log();
    Configure(again);
    const CommandResult retried = Mzb({"backup", "Docs"});
    ASSERT_EQ(retried.exitCode, 0) << retried.out << retried.err;
    EXPECT_NE(retried.out.find("docs6.zip, docs7.zip"), std::string::npos) << retried.out;
    EXPECT_EQ(Remote("docs6.zip"), Local("docs6.zip"));
    EXPECT_EQ(Remote("docs7.zip"), Local("docs7.zip"));

    const CommandResult listed = Mzb({"remote", "Docs"});
    ASSERT_EQ(listed.exitCode, 0) << listed.err;
    EXPECT_EQ(listed.out, "docs5.zip\t" + Kib(Local("docs5.zip")) + "\tlocal and remote\n" +
                              "docs6.zip\t" + Kib(Local("docs6.zip")) + "\tlocal and remote\n" +
                              "docs7.zip\t" + Kib(Local("docs7.zip")) + "\tlocal and remote\n" +
                              "(Total 3 files, 0 missing remotely, 0 missing locally)\n");

    // The password reached rclone only through its own configuration file.
    const std::string obscured = ReadFile(tmp_.path() / "rclone.conf");
    const std::string stored = obscured.substr(obscured.find("pass = ") + 7);
    const std::string argv = ReadFile(tmp_.path() / "argv.log");
    ASSERT_NE(argv.find("copyto"), std::string::npos);
    for (const std::string& secret :
         {std::string(RcloneServer::kPassword), stored.substr(0, stored.find('\n'))}) {
        EXPECT_EQ(argv.find(secret), std::string::npos) << argv;
        EXPECT_EQ(ReadFile(ini_).find(secret), std::string::npos);
    }
}

TEST_F(RemoteCopyTest, WebdavCopyListsMissingArchivesAndRestoresFromTheRemote) {
    MZB_REQUIRE_PEERS("rclone");
    const std::string work = tmp_.dir();
    RcloneServer server(RcloneServer::Kind::Webdav, work + "served", work);
    ASSERT_NE(server.Port(), 0) << server.Log();
    Configure(server);
    const CommandResult made = Mzb({"backup", "Docs"});
    ASSERT_EQ(made.exitCode, 0) << made.out << made.err;
    ASSERT_EQ(Remote("docs5.zip"), Local("docs5.zip"));
    const std::string kib = Kib(Local("docs5.zip"));
    fs::remove(tmp_.path() / "out/docs5.zip");
    tmp_.write("out/docs9.zip", "made here, never copied");

    const CommandResult listed = Mzb({"remote", "Docs"});
    ASSERT_EQ(listed.exitCode, 0) << listed.err;
    EXPECT_EQ(listed.out, "docs5.zip\t" + kib + "\tmissing locally\n" +
                              "docs9.zip\t0\tmissing remotely\n"
                              "(Total 2 files, 1 missing remotely, 1 missing locally)\n");

    const CommandResult restored =
        Mzb({"restore", "--remote", "docs", "docs5.zip", work + "back", "-j"});
    ASSERT_EQ(restored.exitCode, 0) << restored.out << restored.err;
    EXPECT_EQ(ReadFile(work + "back/data.bin"), ReadFile(work + "src/data.bin"));
    EXPECT_EQ(ReadFile(work + "back/notes.txt"), "remote copies\n");
    // The fetched copy went with its private folder.
    EXPECT_TRUE(fs::is_empty(tmp_.path() / "tmp"));

    const CommandResult unknown = Mzb({"restore", "--remote", "Docs", "docs1.zip", work + "x"});
    EXPECT_EQ(unknown.exitCode, 2);
    EXPECT_NE(unknown.err.find("docs1.zip"), std::string::npos) << unknown.err;
}

// The names in a folder, sorted.
std::vector<std::string> Names(const fs::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

TEST_F(RemoteCopyTest, RetentionDeletesTheSameArchivesRemotelyAsLocally) {
    MZB_REQUIRE_PEERS("rclone");
    const std::string work = tmp_.dir();
    // Date names, kept two at a time; beside them on the remote a file of
    // no project and an archive of another prefix, which are never touched.
    std::string ini = ReadFile(ini_);
    ini.replace(ini.find("Whether use Date=0"), 18, "Whether use Date=1");
    tmp_.write("project.ini", ini + "Keep Archives=1\nKeep Last=2\n");
    tmp_.write("served/backups/docs/notes.txt", "not an archive");
    tmp_.write("served/backups/docs/mail01-01_10-00-00.zip", "another prefix");
    RcloneServer server(RcloneServer::Kind::Sftp, work + "served", work);
    ASSERT_NE(server.Port(), 0) << server.Log();
    Configure(server);
    for (const char* now : {"2026-01-01 10:00:00", "2026-01-02 10:00:00", "2026-01-03 10:00:00",
                            "2026-01-04 10:00:00"}) {
        const CommandResult r = Mzb({"backup", "Docs", "--now", now});
        ASSERT_EQ(r.exitCode, 0) << now << "\n" << r.out << r.err;
    }
    const std::vector<std::string> kept = {"docs01-03_10-00-00.zip", "docs01-04_10-00-00.zip"};
    EXPECT_EQ(Names(tmp_.path() / "out"), kept);
    EXPECT_EQ(Names(tmp_.path() / "served/backups/docs"),
              (std::vector<std::string>{"docs01-03_10-00-00.zip", "docs01-04_10-00-00.zip",
                                        "mail01-01_10-00-00.zip", "notes.txt"}));
}

TEST_F(RemoteCopyTest, WithoutRcloneTheLocalBackupIsMadeAndTheCopyWaits) {
    // A PATH without rclone (nor the wrapper).
    const CommandResult r = Mzb({"backup", "Docs"}, "/nonexistent");
    EXPECT_EQ(r.exitCode, 1) << r.out << r.err;
    EXPECT_NE(r.out.find("Backup Files Succeeds!"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("rclone is not installed"), std::string::npos) << r.out;
    EXPECT_FALSE(Local("docs5.zip").empty());
    const std::string ini = ReadFile(ini_);
    EXPECT_NE(ini.find("Remote Pending0=" + tmp_.dir() + "out/docs5.zip"), std::string::npos)
        << ini;
}

} // namespace
} // namespace mzb
