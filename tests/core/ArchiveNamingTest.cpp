#include "core/project/ArchiveNaming.h"

#include <gtest/gtest.h>
#include <string>

namespace mzb {
namespace {

LocalDateTime At(int month, int day, int hour, int minute, int second) {
    return LocalDateTime::Make(2026, month, day, hour, minute, second);
}

ArchiveNameInput Numbered(std::string dir, int number, bool append0, int width) {
    ArchiveNameInput in;
    in.SaveDir = std::move(dir);
    in.Prefix = "docs";
    in.UseDate = false;
    in.Number = number;
    in.IsAppend0 = append0;
    in.Width = width;
    return in;
}

TEST(ArchiveNamingTest, DateSuffixIsMonthDayAndTimeWithFixedSeparators) {
    ArchiveNameInput in;
    in.SaveDir = "/home/u/Backups";
    in.Prefix = "docs";
    in.Now = At(12, 7, 20, 41, 38);
    EXPECT_EQ(NextArchiveName(in), "/home/u/Backups/docs12-07_20-41-38.zip");
    in.Now = At(1, 2, 3, 4, 5);
    EXPECT_EQ(NextArchiveName(in), "/home/u/Backups/docs01-02_03-04-05.zip");
}

TEST(ArchiveNamingTest, NumberSuffixIsPaddedOnlyWhenAskedAndShorterThanTheWidth) {
    struct Case {
        int number;
        bool append0;
        int width;
        std::string expected;
    };
    const std::string zeros28(28, '0');
    const Case cases[] = {
        {7, true, 3, "/home/u/docs007.zip"},
        {7, false, 3, "/home/u/docs7.zip"},
        {7, true, 1, "/home/u/docs7.zip"},
        {1000, true, 3, "/home/u/docs1000.zip"},
        {12, true, 2, "/home/u/docs12.zip"},
        {12, true, 30, "/home/u/docs" + zeros28 + "12.zip"},
        {12, true, 40, "/home/u/docs" + std::string(38, '0') + "12.zip"},
        {12, true, 2000000000, "/home/u/docs" + std::string(253, '0') + "12.zip"},
        {0, false, 2, "/home/u/docs1.zip"},
        {1005, false, 2, "/home/u/docs1000.zip"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(NextArchiveName(Numbered("/home/u/", c.number, c.append0, c.width)), c.expected)
            << c.number << " width " << c.width;
    }
}

TEST(ArchiveNamingTest, DirectoryAndPrefixAreTrimmedAndTheDirectoryGetsOneSeparator) {
    struct Case {
        const char* dir;
        const char* prefix;
        const char* expected;
    };
    const Case cases[] = {
        {"/home/u/", "docs", "/home/u/docs5.zip"},
        {"/home/u/data", "docs", "/home/u/data/docs5.zip"},
        {"  /home/u/data \t", "docs", "/home/u/data/docs5.zip"},
        {"/", "docs", "/docs5.zip"},
        {"/home/u/", " a b ", "/home/u/a b5.zip"},
        {"/home/u/", "", "/home/u/5.zip"},
        {"", "docs", "docs5.zip"},
    };
    for (const auto& c : cases) {
        ArchiveNameInput in = Numbered(c.dir, 5, false, 2);
        in.Prefix = c.prefix;
        EXPECT_EQ(NextArchiveName(in), c.expected) << c.dir;
    }
}

TEST(ArchiveNamingTest, NumberAdvancesByTheStepAndStopsAtTheTop) {
    EXPECT_EQ(NextArchiveNumber(4, 3), 7);
    EXPECT_EQ(NextArchiveNumber(999, 5), 1000);
    EXPECT_EQ(NextArchiveNumber(1000, 5), 1000);
    // The saved value may sit below 1: the editor stores shown minus step.
    EXPECT_EQ(NextArchiveNumber(-4, 5), 1);
    EXPECT_EQ(NextArchiveNumber(3, 0), 4);       // a step out of range counts as 1
    EXPECT_EQ(NextArchiveNumber(3, 5000), 1000); // and is pulled to 1000 at most
    EXPECT_EQ(NextArchiveNumber(2147483647, 1000), 1000);
    EXPECT_EQ(NextArchiveNumber(-2147483647 - 1, 1), 1);
}

TEST(ArchiveNamingTest, LoadingANumberedProjectShowsTheNumberAfterItsValue) {
    ProjectRecord project;
    project.SavePath = " /home/u/Backups ";
    project.FilenamePrefix = "docs";
    project.UseDate = false;
    project.Value = 3; // saved as shown 5 minus step 2
    project.IncreaseValue = 2;
    CommonSettings settings;
    settings.IsAppend0 = true;
    settings.Width = 3;
    const LocalDateTime now = At(12, 7, 20, 41, 38);
    EXPECT_EQ(ArchiveNameOnLoad(project, settings, now), "/home/u/Backups/docs005.zip");
    project.Value = 1000;
    EXPECT_EQ(ArchiveNameOnLoad(project, settings, now), "/home/u/Backups/docs1000.zip");
    project.UseDate = true;
    EXPECT_EQ(ArchiveNameOnLoad(project, settings, now), "/home/u/Backups/docs12-07_20-41-38.zip");
}

// Reading a name back accepts what the naming gives, padding included, and
// nothing else: no other suffix, no number out of range, no impossible time.
TEST(ArchiveNamingTest, ANameIsReadBackOnlyWhenTheRuleCouldHaveGivenIt) {
    struct Case {
        const char* name;
        bool useDate;
        bool matches;
    };
    const Case cases[] = {
        {"docs7.zip", false, true},
        {"docs0007.zip", false, true},
        {"docs1000.zip", false, true},
        {"docs1001.zip", false, false},
        {"docs0.zip", false, false},
        {"docs.zip", false, false},
        {"docs7.ZIP", false, false},
        {"docs-7.zip", false, false},
        {".docs7.zip.part-a1B2c3", false, false},
        {"docs12-07_20-41-38.zip", false, false},
        {"docs12-07_20-41-38.zip", true, true},
        {"docs13-07_20-41-38.zip", true, false},
        {"docs12-07_24-41-38.zip", true, false},
        {"docs12-07_20-41-38-1.zip", true, false},
        {"Docs12-07_20-41-38.zip", true, false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ParseArchiveName(c.name, " docs ", c.useDate).has_value(), c.matches) << c.name;
    }
    const auto parts = ParseArchiveName("docs12-07_20-41-38.zip", "docs", true);
    ASSERT_TRUE(parts && parts->Date);
    EXPECT_EQ(LocalDateTime::FromCivil(*parts->Date),
              LocalDateTime::FromCivil({1899, 12, 7, 20, 41, 38, 0}));
}

} // namespace
} // namespace mzb
