#include "zip/io/OutputPath.h"

#include <gtest/gtest.h>
#include <optional>
#include <string>

namespace mzb {
namespace {

struct PathCase {
    const char* what;
    const char* destDir;
    bool recreate;
    const char* directory;
    const char* fileName;
    std::optional<std::string> expected; // nothing: unsafe
};

const PathCase kCases[] = {
    {"plain name below dest", "/out", false, "", "a.txt", "/out/a.txt"},
    {"junked directories", "/out", false, "deep/er/", "a.txt", "/out/a.txt"},
    {"recreated directories", "/out", true, "deep/er/", "a.txt", "/out/deep/er/a.txt"},
    {"absolute stored directory goes below dest", "/out", true, "/etc/", "passwd",
     "/out/etc/passwd"},
    {"many leading separators", "/out", true, "///etc/", "x", "/out/etc/x"},
    {"drive letter removed", "/out", true, "C:/data/", "a.txt", "/out/data/a.txt"},
    {"drive-relative directory", "/out", true, "C:data/", "a.txt", "/out/data/a.txt"},
    {"drive-relative file name", "/out", true, "", "C:x", "/out/x"},
    {"bare drive as a name", "/out", true, "", "C:", std::nullopt},
    {"share prefix removed", "/out", true, "//server/share/dir/", "f", "/out/dir/f"},
    {"device prefix removed", "/out", true, "//?/C:/dir/", "f", "/out/dir/f"},
    {"device share prefix removed", "/out", true, "//?/UNC/srv/sh/d/", "f", "/out/d/f"},
    {"dot components dropped", "/out", true, "./a/./b/", "f", "/out/a/b/f"},
    {"dot-dot at the front", "/out", true, "../", "evil", std::nullopt},
    {"dot-dot in the middle", "/out", true, "a/../../", "evil", std::nullopt},
    {"dot-dot even when it would stay inside", "/out", true, "a/b/../", "f", std::nullopt},
    {"dot-dot as a file name", "/out", false, "", "..", std::nullopt},
    {"dot as a file name", "/out", false, "", ".", std::nullopt},
    {"name that only starts with dots is fine", "/out", true, "..a/", "..b", "/out/..a/..b"},
    {"control characters are Linux name characters", "/out", true, "t\tx/", "a\nb\x1b",
     "/out/t\tx/a\nb\x1b"},
    {"DEL in the name", "/out", true, "", "a\x7f", "/out/a\x7f"},
    {"non-ASCII names are fine", "/out", true, "d\xc3\xa9j\xc3\xa0/", "\xe2\x82\xac",
     "/out/d\xc3\xa9j\xc3\xa0/\xe2\x82\xac"},
    {"a backslash is a name character", "/out", true, "a\\..\\", "f", "/out/a\\..\\f"},
    {"a backslash name cannot climb", "/out", true, "", "..\\..\\x", "/out/..\\..\\x"},
    {"root as dest", "/", true, "a/", "f", "/a/f"},
    {"directory entry", "/out", true, "a/b/", "", "/out/a/b/"},
    {"directory entry with dot-dot", "/out", true, "a/../../", "", std::nullopt},
    {"directory entry junked", "/out", false, "a/", "", "/out/"},
    {"empty dest keeps absolute locations", "", true, "/home/u/", "f", "/home/u/f"},
    {"empty dest keeps relative locations", "", true, "a/", "f", "a/f"},
    {"empty dest drops the drive", "", true, "C:/data/", "a.txt", "/data/a.txt"},
    {"empty dest still refuses dot-dot", "", true, "/home/../etc/", "f", std::nullopt},
    {"empty dest refuses shares", "", true, "//srv/share/", "f", std::nullopt},
    {"empty dest without folders is the current directory", "", false, "/etc/", "f", "f"},
};

// As names from an MS-DOS or Windows host: drive letters mean drives.
TEST(OutputPathTest, MapsStoredNamesInsideTheDestination) {
    for (const auto& c : kCases) {
        TOutputPathRules rules{c.destDir, "", c.recreate};
        EXPECT_EQ(OutputPathOf(rules, c.directory, c.fileName, true), c.expected) << c.what;
    }
}

// A Linux folder may be called "c:"; only its safety is checked.
TEST(OutputPathTest, UnixHostNamesKeepWhatLooksLikeADrive) {
    const PathCase cases[] = {
        {"drive-like folder", "/out", true, "C:/data/", "a.txt", "/out/C:/data/a.txt"},
        {"drive-like file name", "/out", true, "", "c:x", "/out/c:x"},
        {"drive-like folder, stored locations", "", true, "c:/", "f", "c:/f"},
        {"absolute stored directory goes below dest", "/out", true, "/etc/", "passwd",
         "/out/etc/passwd"},
        {"dot-dot still refused", "/out", true, "c:/../../", "f", std::nullopt},
    };
    for (const auto& c : cases) {
        TOutputPathRules rules{c.destDir, "", c.recreate};
        EXPECT_EQ(OutputPathOf(rules, c.directory, c.fileName, false), c.expected) << c.what;
    }
}

TEST(OutputPathTest, EmbeddedNulIsUnsafe) {
    const std::string name("a\0b", 3);
    EXPECT_EQ(OutputPathOf({"/out", "", false}, "", name, false), std::nullopt);
    EXPECT_EQ(OutputPathOf({"/out", "", true}, std::string("d\0/", 3), "f", false), std::nullopt);
}

TEST(OutputPathTest, RootDirIsRemovedIgnoringCase) {
    const TOutputPathRules rules{"/out", "Home/User/", true};
    EXPECT_EQ(OutputPathOf(rules, "home/user/docs/", "a", false), "/out/docs/a");
    EXPECT_EQ(OutputPathOf(rules, "home/other/", "a", false), "/out/home/other/a");
    // Removing the prefix must not open a way out of the destination.
    EXPECT_EQ(OutputPathOf(rules, "home/user/../../", "a", false), std::nullopt);
}

} // namespace
} // namespace mzb
