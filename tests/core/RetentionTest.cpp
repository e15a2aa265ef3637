#include "core/backup/Retention.h"

#include "core/backup/ProjectArchives.h"
#include "core/backup/Pruning.h"
#include "core/base/Manifest.h"
#include "support/ArchiveBuilder.h"
#include "support/LocalTime.h"
#include "support/ScopedEnvironment.h"
#include "support/TempDir.h"

#include <algorithm>
#include <fcntl.h>
#include <filesystem>
#include <gtest/gtest.h>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace mzb {
namespace {

namespace fs = std::filesystem;

LocalDateTime Noon(int year, int month, int day) {
    return LocalDateTime::Make(year, month, day, 12, 0, 0);
}

std::string NameOf(LocalDateTime t) {
    const CivilDateTime c = t.Civil();
    char name[16];
    std::snprintf(name, sizeof name, "%04d-%02d-%02d", c.Year, c.Month, c.Day);
    return name;
}

// One archive a day at noon from `first` to `last`, named by their dates.
std::vector<DatedArchive> DailyFrom(LocalDateTime first, LocalDateTime last) {
    std::vector<DatedArchive> archives;
    for (LocalDateTime t = first; t <= last; t = t + std::chrono::hours(24)) {
        archives.push_back({NameOf(t), t});
    }
    return archives;
}

std::vector<std::string> Paths(const std::vector<DatedArchive>& archives) {
    std::vector<std::string> paths;
    for (const DatedArchive& a : archives) {
        paths.push_back(a.Path);
    }
    std::sort(paths.begin(), paths.end());
    return paths;
}

std::vector<std::string> Kept(const std::vector<DatedArchive>& all,
                              const std::vector<DatedArchive>& deleted) {
    std::vector<std::string> kept = Paths(all);
    for (const std::string& gone : Paths(deleted)) {
        kept.erase(std::find(kept.begin(), kept.end(), gone));
    }
    return kept;
}

RetentionRule ByAge(int daily, int weekly, int monthly) {
    RetentionRule rule;
    rule.Mode = KeepArchives::ByAge;
    rule.Daily = daily;
    rule.Weekly = weekly;
    rule.Monthly = monthly;
    return rule;
}

TEST(RetentionTest, KeepLastKeepsTheNewestWhateverTheListingOrder) {
    std::vector<DatedArchive> archives = DailyFrom(Noon(2025, 3, 1), Noon(2025, 3, 6));
    std::reverse(archives.begin(), archives.begin() + 3);
    RetentionRule rule;
    rule.Mode = KeepArchives::Last;
    rule.Last = 2;
    EXPECT_EQ(Kept(archives, ArchivesToDelete(rule, archives, Noon(2025, 3, 6))),
              (std::vector<std::string>{"2025-03-05", "2025-03-06"}));
    rule.Mode = KeepArchives::All;
    EXPECT_TRUE(ArchivesToDelete(rule, archives, Noon(2025, 3, 6)).empty());
}

// Weeks run from Monday across the turn of the year, months count back
// into the year before.
TEST(RetentionTest, ByAgeCountsDaysWeeksAndMonthsBackAcrossTheYearsEnd) {
    const std::vector<DatedArchive> archives = DailyFrom(Noon(2024, 10, 15), Noon(2025, 1, 10));
    const auto deleted =
        ArchivesToDelete(ByAge(3, 2, 3), archives, Noon(2025, 1, 10) + std::chrono::hours(1));
    EXPECT_EQ(Kept(archives, deleted),
              (std::vector<std::string>{"2024-11-30", "2024-12-31", "2025-01-05", "2025-01-08",
                                        "2025-01-09", "2025-01-10"}));
}

// The newest archive stays, however old; one dated after the clock (a clock
// set back) cannot be placed and stays too.
TEST(RetentionTest, TheNewestAndArchivesFromTheFutureAreNeverDeleted) {
    std::vector<DatedArchive> archives = DailyFrom(Noon(2020, 1, 1), Noon(2020, 1, 3));
    archives.push_back({"ahead", Noon(2030, 1, 1)});
    EXPECT_EQ(Kept(archives, ArchivesToDelete(ByAge(7, 4, 12), archives, Noon(2025, 6, 1))),
              (std::vector<std::string>{"2020-01-03", "ahead"}));
}

// Two chains and a differential whose full archive is gone: the rule
// picks points in time, and a kept differential keeps its full archive.
TEST(RetentionTest, AFullArchiveGoesOnlyWithEveryDifferentialBuiltOnIt) {
    std::vector<DatedArchive> archives = DailyFrom(Noon(2025, 3, 1), Noon(2025, 3, 6));
    const char* fulls[] = {"", "2025-03-01", "2025-03-01", "", "2025-03-04", "gone"};
    for (std::size_t i = 0; i < archives.size(); ++i) {
        archives[i].FullArchive = fulls[i];
    }
    RetentionRule rule;
    rule.Mode = KeepArchives::Last;
    rule.Last = 2;
    EXPECT_EQ(Kept(archives, ArchivesToDelete(rule, archives, Noon(2025, 3, 6))),
              (std::vector<std::string>{"2025-03-04", "2025-03-05", "2025-03-06"}));
    rule.Last = 4;
    EXPECT_EQ(Paths(ArchivesToDelete(rule, archives, Noon(2025, 3, 6))),
              (std::vector<std::string>{"2025-03-02"}));

    // By age: January's newest point in time is a differential of an
    // older full archive of the same month.
    std::vector<DatedArchive> monthly = {{"jan-full", Noon(2025, 1, 10), 0, ""},
                                         {"jan-diff", Noon(2025, 1, 20), 0, "jan-full"},
                                         {"feb-full", Noon(2025, 2, 10), 0, ""},
                                         {"feb-diff", Noon(2025, 2, 20), 0, "feb-full"}};
    EXPECT_TRUE(ArchivesToDelete(ByAge(0, 0, 2), monthly, Noon(2025, 2, 21)).empty());
    EXPECT_EQ(Paths(ArchivesToDelete(ByAge(0, 0, 1), monthly, Noon(2025, 2, 21))),
              (std::vector<std::string>{"jan-diff", "jan-full"}));
}

TEST(RetentionTest, TheRuleReadsAsASentence) {
    EXPECT_EQ(RetentionRuleText(ByAge(7, 4, 12)),
              "Keeps the newest archive of each of the last 7 days, 4 weeks and 12 months");
    EXPECT_EQ(RetentionRuleText(ByAge(1, 0, 6)),
              "Keeps the newest archive of each of the last 1 day and 6 months");
    EXPECT_EQ(RetentionRuleText(ByAge(0, 0, 0)), "Keeps only the newest archive");
    RetentionRule last;
    last.Mode = KeepArchives::Last;
    EXPECT_EQ(RetentionRuleText(last), "Keeps the newest 10 archives");
}

// A date name has no year: it is the year of the file's last write, or the
// one before for a name given just before New Year.
TEST(RetentionTest, ADateNameTakesItsYearFromTheFilesLastWrite) {
    const auto name = [](int month, int day, int hour) {
        CivilDateTime c;
        c.Month = month;
        c.Day = day;
        c.Hour = hour;
        return std::optional<CivilDateTime>(c);
    };
    EXPECT_EQ(ArchiveDate(name(6, 1, 9), LocalDateTime::Make(2025, 6, 1, 9, 0, 4)),
              LocalDateTime::Make(2025, 6, 1, 9, 0, 0));
    // Copied later the same year, the name still tells the day.
    EXPECT_EQ(ArchiveDate(name(3, 1, 9), LocalDateTime::Make(2025, 8, 20, 0, 0, 0)),
              LocalDateTime::Make(2025, 3, 1, 9, 0, 0));
    EXPECT_EQ(ArchiveDate(name(12, 31, 23), LocalDateTime::Make(2025, 1, 1, 0, 0, 5)),
              LocalDateTime::Make(2024, 12, 31, 23, 0, 0));
    EXPECT_EQ(ArchiveDate(name(2, 29, 8), LocalDateTime::Make(2025, 1, 3, 0, 0, 0)),
              LocalDateTime::Make(2024, 2, 29, 8, 0, 0));
    EXPECT_EQ(ArchiveDate(std::nullopt, LocalDateTime::Make(2025, 1, 3, 0, 0, 0)),
              LocalDateTime::Make(2025, 1, 3, 0, 0, 0));
}

void SetModified(const fs::path& file, int year, int month, int day, int hour, int minute) {
    const timespec times[2] = {{test::LocalTime(year, month, day, hour, minute, 0), 0},
                               {test::LocalTime(year, month, day, hour, minute, 0), 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, file.c_str(), times, AT_SYMLINK_NOFOLLOW), 0) << file;
}

ProjectRecord Project(const std::string& name, const test::TempDir& dir, const std::string& prefix,
                      bool useDate) {
    ProjectRecord p;
    p.Name = name;
    p.SavePath = dir.dir();
    p.FilenamePrefix = prefix;
    p.UseDate = useDate;
    return p;
}

std::vector<std::string> Names(const std::vector<std::string>& paths) {
    std::vector<std::string> names;
    for (const std::string& p : paths) {
        names.push_back(fs::path(p).filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

// Days are the local clock's: around the night the clocks go forward, a
// file written at 00:30 belongs to the new day, though it is still the day
// before in universal time.
TEST(RetentionTest, FileTimesFallOnTheLocalDayAcrossADaylightSavingChange) {
    const test::ScopedEnvironment zone("TZ", test::kZoneWithDaylightSaving);
    const test::TempDir dir;
    SetModified(dir.write("n1.zip", "a"), 2024, 3, 30, 10, 0);
    SetModified(dir.write("n2.zip", "b"), 2024, 3, 30, 23, 30);
    SetModified(dir.write("n3.zip", "c"), 2024, 3, 31, 0, 30);
    SetModified(dir.write("n4.zip", "d"), 2024, 3, 31, 3, 30);
    ProjectRecord p = Project("Numbered", dir, "n", false);
    p.KeepArchives = int(KeepArchives::ByAge);
    p.KeepDaily = 2;
    p.KeepWeekly = 0;
    p.KeepMonthly = 0;
    const PruneResult result =
        PruneProject(p, {p}, LocalDateTime::Make(2024, 3, 31, 12, 0, 0), "", true);
    EXPECT_EQ(Names(result.Deleted), (std::vector<std::string>{"n1.zip", "n3.zip"}));
    EXPECT_TRUE(fs::exists(dir.path() / "n1.zip")) << "a dry run deletes nothing";
}

// In a folder shared with other projects only names that the project alone
// can have written are its own; part files, links and folders never are,
// nor the archive the backup has just written.
TEST(RetentionTest, PruningTouchesOnlyTheProjectsOwnArchives) {
    const test::TempDir dir;
    const auto file = [&](const std::string& name, int day) {
        SetModified(dir.write(name, name), 2025, 5, day, 12, 0);
    };
    file("docs5.zip", 1);
    file("docs007.zip", 2);
    file("docs27.zip", 3);   // also "docs2" number 7
    file("docs2005.zip", 4); // "docs2" number 5 only
    file("docs12-01_10-00-00.zip", 5);
    file(".docs5.zip.part-Ab12Cd", 6);
    file("docs8.zip.bak", 7);
    file("docs9.zip", 8);
    fs::create_directory(dir.path() / "docs11.zip");
    fs::create_symlink(dir.path() / "docs5.zip", dir.path() / "docs12.zip");
    file("docs10.zip", 1); // just written, with a stale time

    ProjectRecord docs = Project("Docs", dir, "docs", false);
    docs.KeepArchives = int(KeepArchives::Last);
    docs.KeepLast = 1;
    const ProjectRecord docs2 = Project("Docs2", dir, " docs2 ", false);
    const ProjectRecord elsewhere = Project("Elsewhere", test::TempDir(), "docs", false);
    const PruneResult result =
        PruneProject(docs, {docs, docs2, elsewhere}, LocalDateTime::Make(2025, 5, 9, 0, 0, 0),
                     dir.dir() + "docs10.zip", false);
    EXPECT_TRUE(result.Failed.empty());
    EXPECT_EQ(Names(result.Deleted),
              (std::vector<std::string>{"docs007.zip", "docs5.zip", "docs9.zip"}));
    for (const char* kept : {"docs10.zip", "docs27.zip", "docs2005.zip", "docs12-01_10-00-00.zip",
                             ".docs5.zip.part-Ab12Cd", "docs8.zip.bak", "docs11.zip"}) {
        EXPECT_TRUE(fs::exists(dir.path() / kept)) << kept;
    }
    EXPECT_TRUE(fs::is_symlink(dir.path() / "docs12.zip"));
}

// The chains are read from the manifests, with the project's password; a
// full archive that no longer reads is still kept for the differential
// that names it.
TEST(RetentionTest, PruningReadsTheChainsFromTheManifests) {
    const test::TempDir dir;
    const auto archive = [&](int number, const std::string& full) {
        const std::string name = "docs" + std::to_string(number) + ".zip";
        Manifest manifest;
        manifest.Archive = name;
        manifest.FullArchive = full.empty() ? name : full;
        test::ArchiveBuilder builder;
        builder.Add("a.txt", "a");
        builder.AddEncrypted(std::string(kManifestEntryName), WriteManifest(manifest), "pw", true);
        SetModified(dir.write(name, builder.Build()), 2025, 5, number, 12, 0);
    };
    SetModified(dir.write("docs1.zip", "a full archive damaged beyond reading"), 2025, 5, 1, 12, 0);
    archive(2, "docs1.zip");
    archive(3, "docs1.zip");
    archive(4, "");
    archive(5, "docs4.zip");

    ProjectRecord docs = Project("Docs", dir, "docs", false);
    docs.Password = "pw";
    docs.KeepArchives = int(KeepArchives::Last);
    docs.KeepLast = 3;
    const PruneResult result =
        PruneProject(docs, {docs}, LocalDateTime::Make(2025, 5, 9, 0, 0, 0), "", false);
    EXPECT_TRUE(result.Failed.empty());
    EXPECT_EQ(Names(result.Deleted), (std::vector<std::string>{"docs2.zip"}));
}

} // namespace
} // namespace mzb
