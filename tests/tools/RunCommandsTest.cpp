#include "support/PeerTools.h"
#include "support/RunCommand.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>
#include <random>

namespace mzb {
namespace {

using test::CommandResult;
using test::RunCommand;
using test::TempDir;

// Archives come from another tool, so that the restore is held to what
// other programs write.
class RestoreCommandTest : public ::testing::Test {
protected:
    void SetUp() override {
        MZB_REQUIRE_PEERS("zip");
        std::mt19937 rng(7);
        std::string noise(70000, '\0');
        for (char& c : noise) {
            c = static_cast<char>(rng());
        }
        tmp_.write("src/a.txt", "hello\n");
        tmp_.write("src/sub/b.bin", noise);
    }

    void Pack(const std::vector<std::string>& extra) {
        std::vector<std::string> argv = {"/bin/sh", "-c",
                                         "cd '" + tmp_.dir() + "src' && zip -qr " +
                                             (extra.empty() ? "" : extra[0] + " ") + "../t.zip ."};
        ASSERT_EQ(RunCommand(argv).exitCode, 0);
    }

    CommandResult Restore(std::vector<std::string> args) {
        args.insert(args.begin(), {MZB_EXE, "restore", tmp_.dir() + "t.zip", tmp_.dir() + "out"});
        return RunCommand(args);
    }

    TempDir tmp_;
};

TEST_F(RestoreCommandTest, RestoresByteIdenticalFilesWithTheSuccessText) {
    Pack({});
    const CommandResult r = Restore({});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "Restore Files Succeeds!\nProject Name: ''\nFilename:     't.zip'\n");
    EXPECT_EQ(test::ReadFile(tmp_.path() / "out/sub/b.bin"),
              test::ReadFile(tmp_.path() / "src/sub/b.bin"));
    EXPECT_EQ(test::ReadFile(tmp_.path() / "out/a.txt"), "hello\n");
}

TEST_F(RestoreCommandTest, PasswordsDecideBetweenSuccessAndTheFailureText) {
    Pack({"-P Key"});
    const CommandResult wrong = Restore({"-p", "key"});
    EXPECT_EQ(wrong.exitCode, 1);
    EXPECT_TRUE(wrong.out.starts_with("The password is incorrect\nRestore files fails!\n"))
        << wrong.out;
    EXPECT_NE(wrong.out.find("\n  sub/b.bin: wrong password\n"), std::string::npos) << wrong.out;

    const CommandResult padded = Restore({"-p", " Key"});
    EXPECT_EQ(padded.exitCode, 1) << "a padded password is used as typed";

    const CommandResult right = Restore({"-p", "Key", "-o", "always"});
    EXPECT_EQ(right.exitCode, 0) << right.out << right.err;
    EXPECT_EQ(test::ReadFile(tmp_.path() / "out/a.txt"), "hello\n");
}

TEST_F(RestoreCommandTest, JunkedPathsLandInTheDestination) {
    Pack({});
    EXPECT_EQ(Restore({"-j"}).exitCode, 0);
    EXPECT_EQ(test::ReadFile(tmp_.path() / "out/b.bin").size(), 70000u);
}

} // namespace
} // namespace mzb
