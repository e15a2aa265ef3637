#include "core/restore/ArchiveSearch.h"

#include "support/ArchiveBuilder.h"
#include "support/TempDir.h"

#include <chrono>
#include <filesystem>
#include <gtest/gtest.h>

namespace mzb {

namespace {

namespace fs = std::filesystem;

class ArchiveSearchTest : public ::testing::Test {
protected:
    test::TempDir tmp;
    TFindFile finder;
    std::vector<std::string> rows;
    std::vector<std::string> unreadable;
    SearchEvents events{
        [this](const SearchHit& h) {
            rows.push_back(h.Archive + " " + h.Path + " " + std::to_string(h.Size) + " " +
                           CrcText(h.Crc) + " " + VersionChangeText(h.Change));
        },
        [this](const std::string& archive, const std::string&) { unreadable.push_back(archive); }};

    // An archive written `day` days after a moment of the past month (days
    // apart, so that no clock change reorders them): the search orders
    // archives by their time, whatever their names.
    void Write(const std::string& name, const test::ArchiveBuilder& b, int day) {
        const auto path = tmp.path() / name;
        b.WriteTo(path.string());
        SetDay(path, day);
    }
    static void SetDay(const fs::path& path, int day) {
        fs::last_write_time(path,
                            fs::file_time_type::clock::now() - std::chrono::hours(24 * (30 - day)));
    }

    size_t Search(std::vector<std::string> texts) {
        rows.clear();
        unreadable.clear();
        return SearchArchives(finder, tmp.path().string(), AnyOfSearchTexts(std::move(texts)),
                              events);
    }
};

std::vector<std::string> Archives(const FileVersion& v) {
    return v.Archives;
}

} // namespace

TEST(PathMatchesSearch, WildcardsByNameOrPathAndOtherTextAsAPartOfThePath) {
    EXPECT_TRUE(PathMatchesSearch("*.TXT", "docs/a.txt"));
    EXPECT_FALSE(PathMatchesSearch("d*.txt", "docs/a.txt")); // no '/': the name alone
    EXPECT_TRUE(PathMatchesSearch("docs/*.txt", "docs/a.txt"));
    EXPECT_FALSE(PathMatchesSearch("docs/*.txt", "old/docs/a.txt"));
    EXPECT_TRUE(PathMatchesSearch("DOCS/A", "old/docs/a.txt"));
    EXPECT_FALSE(PathMatchesSearch("docs/b", "old/docs/a.txt"));
}

TEST_F(ArchiveSearchTest, EachMatchOncePerArchiveOldestFirstWithHowItChanged) {
    // Names against their dates: renamed archives keep their place by time.
    test::ArchiveBuilder oldest, middle, newest;
    oldest.Add("docs/", "");
    oldest.Add("docs/report.txt", "first");
    oldest.Add("notes.txt", "n");
    middle.Add("docs/report.txt", "first");
    middle.Add("docs/extra/report.txt.bak", "b");
    newest.Add("docs/report.txt", "Frist"); // same size, another CRC
    newest.Add("notes.txt", "n");
    Write("z-renamed.zip", oldest, 0);
    Write("m.zip", middle, 1);
    Write("a-latest.zip", newest, 2);
    EXPECT_EQ(Search({"report.txt"}), 4u);
    EXPECT_EQ(rows, (std::vector<std::string>{
                        "z-renamed.zip docs/report.txt 5 9271ee57 new",
                        "m.zip docs/report.txt 5 9271ee57 same",
                        "m.zip docs/extra/report.txt.bak 1 71beeff9 new",
                        "a-latest.zip docs/report.txt 5 c4db5d5c changed",
                    }));
    // Any of several texts; a folder entry is no file to find.
    EXPECT_EQ(Search({"notes.txt", "docs"}), 6u);
    EXPECT_EQ(rows.back(), "a-latest.zip notes.txt 1 7808a3d2 same");
}

TEST_F(ArchiveSearchTest, ADamagedArchiveIsReportedAndEncryptedNamesNeedNoPassword) {
    test::ArchiveBuilder locked, sound;
    locked.AddEncrypted("secret/plan.txt", "the plan", "pw", true);
    sound.Add("plan.txt", "p");
    Write("locked.zip", locked, 0);
    tmp.write("broken.zip", "no archive here");
    Write("sound.zip", sound, 2);
    SetDay(tmp.path() / "broken.zip", 1);
    EXPECT_EQ(Search({"plan"}), 2u);
    EXPECT_EQ(unreadable, std::vector<std::string>{"broken.zip"});
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0], "locked.zip secret/plan.txt 8 9087770d new");
    EXPECT_EQ(rows[1], "sound.zip plan.txt 1 82079eb1 new");
}

TEST_F(ArchiveSearchTest, AStopRequestEndsTheSearchBeforeTheNextArchive) {
    test::ArchiveBuilder b;
    b.Add("a.txt", "a");
    Write("1.zip", b, 0);
    Write("2.zip", b, 1);
    std::stop_source stop;
    SearchEvents stopping = events;
    stopping.OnFound = [&](const SearchHit& hit) {
        events.OnFound(hit);
        stop.request_stop();
    };
    EXPECT_EQ(SearchArchives(finder, tmp.path().string(), AnyOfSearchTexts({"a.txt"}), stopping,
                             stop.get_token()),
              1u);
    EXPECT_EQ(rows.size(), 1u);
}

TEST_F(ArchiveSearchTest, VersionsAreDistinctByCrcAndSizeNewestFirst) {
    test::ArchiveBuilder a1, a2, b, a3, other;
    a1.Add("f.txt", "alpha");
    a2.Add("f.txt", "alpha");
    b.Add("f.txt", "alphA"); // same size, another CRC
    a3.Add("f.txt", "alpha");
    a3.Add("sub/f.txt", "not the same path");
    other.Add("g.txt", "no f.txt here");
    Write("1.zip", a1, 0);
    Write("2.zip", a2, 1);
    Write("3.zip", b, 2);
    Write("4.zip", a3, 3);
    Write("5.zip", other, 4);
    const auto versions = FindVersions(finder, tmp.path().string(), "f.txt", events);
    ASSERT_EQ(versions.size(), 2u);
    EXPECT_EQ(Archives(versions[0]), (std::vector<std::string>{"4.zip", "2.zip", "1.zip"}));
    EXPECT_EQ(Archives(versions[1]), std::vector<std::string>{"3.zip"});
    EXPECT_EQ(versions[0].Size, 5u);
    EXPECT_NE(versions[0].Crc, versions[1].Crc);
}

} // namespace mzb
