#include "platform/AutostartEntry.h"

#include "support/PeerTools.h"
#include "support/RunCommand.h"
#include "support/TempDir.h"

#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>

namespace mzb {
namespace {

using test::ReadFile;
using test::TempDir;

std::string ExecLine(const std::string& text) {
    const auto start = text.find("\nExec=");
    return start == std::string::npos
               ? ""
               : text.substr(start + 6, text.find('\n', start + 1) - start - 6);
}

TEST(AutostartEntry, ExecQuotesThePathAsTheEntryFormatRequires) {
    const struct {
        const char* path;
        const char* exec;
    } cases[] = {
        {"/opt/mzb/bin/mzbackup", "/opt/mzb/bin/mzbackup"},
        {"/home/u/My Programs/mzbackup", "\"/home/u/My Programs/mzbackup\""},
        {"/home/u/100%/mzbackup", "/home/u/100%%/mzbackup"},
        {"/home/u/a$b\"c/mzbackup", "\"/home/u/a\\\\$b\\\\\"c/mzbackup\""},
        {"/home/u/back\\slash/mzbackup", "\"/home/u/back\\\\\\\\slash/mzbackup\""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ExecLine(AutostartEntryText(c.path)), c.exec) << c.path;
    }
    EXPECT_EQ(AutostartEntryText("relative/mzbackup"), "");
    EXPECT_EQ(AutostartEntryText("/home/u/line\nbreak"), "");
    EXPECT_EQ(AutostartEntryText("/home/u/tab\there"), "");
}

TEST(AutostartEntry, WrittenUnderTheConfigHomeValidAndRemoved) {
    MZB_REQUIRE_PEERS("desktop-file-validate");
    TempDir dir;
    const std::string config = dir.dir() + "config";
    ::setenv("XDG_CONFIG_HOME", config.c_str(), 1);
    const std::string path = config + "/autostart/Morvaleen Direride Backup.desktop";
    EXPECT_EQ(AutostartEntryPath(), path);

    // A link planted where a fixed temporary name would be is not written
    // through.
    const auto victim = dir.write("victim", "kept");
    std::filesystem::create_directories(config + "/autostart");
    std::filesystem::create_symlink(victim, path + ".tmp");
    ASSERT_TRUE(WriteAutostartEntry("/home/u/My Programs/mzbackup"));
    EXPECT_EQ(ReadFile(victim), "kept");
    EXPECT_EQ(ReadFile(path), AutostartEntryText("/home/u/My Programs/mzbackup"));
    const test::CommandResult r = test::RunCommand({test::PeerPath("desktop-file-validate"), path});
    EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
    EXPECT_EQ(r.out, "");
    ASSERT_TRUE(RemoveAutostartEntry());
    EXPECT_FALSE(std::filesystem::exists(path));
    EXPECT_TRUE(RemoveAutostartEntry());

    // A file where the directory should be: the entry cannot be written.
    std::filesystem::remove_all(config);
    dir.write("config/autostart", "");
    EXPECT_FALSE(WriteAutostartEntry("/usr/bin/mzbackup"));
    ::unsetenv("XDG_CONFIG_HOME");
}

} // namespace
} // namespace mzb
