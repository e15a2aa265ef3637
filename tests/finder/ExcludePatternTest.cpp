#include "finder/ExcludePattern.h"

#include "finder/ListingMask.h"

#include <gtest/gtest.h>

namespace mzb {

TEST(MatchExcludePattern, FollowsItsOwnDotRules) {
    struct Case {
        const char* path;
        const char* pattern;
        bool match;
    } const cases[] = {
        {"/home/u/a.zip", "*.zip", true},
        {"/home/u/A.ZIP", "*.zip", true},    // letter case ignored
        {"/home/u/a.b.zip", "*.zip", false}, // "*" never runs across a dot
        {"/home/u/readme", "*.*", false},    // "*.*" needs a dot
        {"/home/u/readme", "*", true},
        {"/home/u/a.txt", "?.txt", true},
        {"/home/u/ab.txt", "?.txt", false},
        {"/home/u/a.txt", "a?.txt", true}, // "?" before a dot is skipped
        {"/home/u/a.txt", "a.t?t", true},
        {"/home/u/a.b", "a?b", false},             // "?" never matches a dot
        {"/home/u/report.doc", "rep*t.doc", true}, // text between "*" and "." is not compared
        {"/home/u/report.doc", "rep*x.doc", true},
        {"/home/u/report.doc", "*.do", false},
        {"/home/u/report.doc", "*.doc*", true}, // trailing wildcards are skipped
        {"/home/u/report", "report.*", false},
        {"/home/u/x.tmp", "", true}, // empty pattern: empty name part matches
    };
    for (const auto& c : cases) {
        EXPECT_EQ(MatchExcludePattern(c.path, c.pattern), c.match) << c.path << " ~ " << c.pattern;
    }
}

TEST(MatchExcludePattern, FolderPartMatchesTheEndOfThePathsFolder) {
    struct Case {
        const char* path;
        const char* pattern;
        bool match;
    } const cases[] = {
        {"/home/u/cache/a.dat", "cache/", true},       // any depth, any name
        {"/home/u/cache/deep/a.dat", "cache/", false}, // only files directly inside
        {"/home/u/mycache/a.dat", "cache/", true},     // a folder name that merely ends with it
        {"/home/u/cache/a.dat", "cache/*.dat", true},
        {"/home/u/cache/a.txt", "cache/*.dat", false},
        {"/home/u/cache/a.dat", "/home/u/cache/", true}, // a full folder
        {"/home/u/cache/a.dat", "/HOME/U/CACHE/", true},
        {"/home/u/cache/a.dat", "/other/cache/", false},
        {"/c/a.dat", "/a/b/c/", false},         // longer than the path's folder
        {"/home/u/a.dat", "*:/home/u/", true},  // a drive wildcard fits any path
        {"/home/u/a.dat", "c:/home/u/", false}, // Linux paths have no drive
        {"c:/data/a.dat", "C:/data/", true},
        {"d:/data/a.dat", "C:/data/", false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(MatchExcludePattern(c.path, c.pattern), c.match) << c.path << " ~ " << c.pattern;
    }
}

TEST(MatchesListingMask, StarAndQuestionMarkWithoutCase) {
    struct Case {
        const char* name;
        const char* mask;
        bool match;
    } const cases[] = {
        {"a.zip", "*.zip", true},
        {"A.ZIP", "*.zip", true},
        {"a.b.zip", "*.zip", true},
        {"a.zipx", "*.zip", false},
        {"zip", "*.zip", false},
        {"readme", "*.*", true},
        {"readme", "readme.*", true},
        {"readme.txt", "readme.*", true},
        {"readme2", "readme.*", false},
        {"ab", "a?", true},
        {"a", "ab", false},
        {"", "*", true},
        {"aaaaaaaaaaaaaaaaaaaab", "*a*a*a*a*a*a*c", false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(MatchesListingMask(c.name, c.mask), c.match) << c.name << " ~ " << c.mask;
    }
}

} // namespace mzb
