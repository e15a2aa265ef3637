#include "platform/ProgramLayout.h"

#include "support/TempDir.h"

#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>
#include <optional>
#include <sys/stat.h>

namespace mzb {
namespace {

namespace fs = std::filesystem;

// Sets an environment variable for the length of a test.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const char* value) : name_(name) {
        if (const char* old = std::getenv(name)) {
            old_ = old;
        }
        if (value != nullptr) {
            ::setenv(name, value, 1);
        } else {
            ::unsetenv(name);
        }
    }
    ~ScopedEnv() {
        if (old_) {
            ::setenv(name_, old_->c_str(), 1);
        } else {
            ::unsetenv(name_);
        }
    }

private:
    const char* name_;
    std::optional<std::string> old_;
};

class ProgramLayoutTest : public ::testing::Test {
protected:
    test::TempDir tmp;
    ScopedEnv home{"HOME", tmp.dir().c_str()};
};

TEST_F(ProgramLayoutTest, BuildOrUnpackedFolderKeepsEverythingBesideTheExecutable) {
    // A bin folder without the shared data folder beside it is no install.
    for (const std::string& dir : {tmp.dir() + "build/release/", tmp.dir() + "unpacked/bin/"}) {
        fs::create_directories(dir);
        const ProgramLayout layout = LayoutFor(dir);
        EXPECT_FALSE(layout.Installed) << dir;
        EXPECT_EQ(layout.IniPath(), dir + "project.ini");
        EXPECT_EQ(layout.HelpFile, dir + "help.html");
    }
}

TEST_F(ProgramLayoutTest, InstalledCopyKeepsSettingsInTheUsersConfigurationFolder) {
    const std::string prefix = tmp.dir() + "usr/";
    fs::create_directories(prefix + "bin");
    fs::create_directories(prefix + "share/morvaleen-zip-backup");
    {
        ScopedEnv xdg("XDG_CONFIG_HOME", nullptr);
        const ProgramLayout layout = LayoutFor(prefix + "bin/");
        EXPECT_TRUE(layout.Installed);
        EXPECT_EQ(layout.IniPath(), tmp.dir() + ".config/morvaleen-zip-backup/project.ini");
        EXPECT_EQ(layout.HelpFile, prefix + "share/morvaleen-zip-backup/help.html");
    }
    {
        ScopedEnv xdg("XDG_CONFIG_HOME", (tmp.dir() + "conf").c_str());
        EXPECT_EQ(LayoutFor(prefix + "bin/").IniDirectory,
                  tmp.dir() + "conf/morvaleen-zip-backup/");
    }
    {
        // A relative value does not count, as for every XDG directory.
        ScopedEnv xdg("XDG_CONFIG_HOME", "relative/conf");
        EXPECT_EQ(LayoutFor(prefix + "bin/").IniDirectory,
                  tmp.dir() + ".config/morvaleen-zip-backup/");
    }
}

TEST_F(ProgramLayoutTest, SettingsFolderIsMadeForTheOwnerOnlyAndOnlyForAnInstall) {
    const std::string prefix = tmp.dir() + "usr/";
    fs::create_directories(prefix + "share/morvaleen-zip-backup");
    ScopedEnv xdg("XDG_CONFIG_HOME", (tmp.dir() + "fresh/conf").c_str());
    EnsureIniDirectory(LayoutFor(prefix + "bin/"));
    struct stat st {};
    ASSERT_EQ(::stat((tmp.dir() + "fresh/conf/morvaleen-zip-backup").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);

    EnsureIniDirectory(LayoutFor(tmp.dir() + "portable/"));
    EXPECT_FALSE(fs::exists(tmp.dir() + "portable"));
}

} // namespace
} // namespace mzb
