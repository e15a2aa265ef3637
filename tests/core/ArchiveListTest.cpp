#include "core/restore/ArchiveList.h"

#include "core/base/DateText.h"
#include "core/base/EntryText.h"
#include "support/ArchiveBuilder.h"
#include "support/TempDir.h"
#include "zip/base/HeadlessHost.h"

#include <fcntl.h>
#include <filesystem>
#include <gtest/gtest.h>
#include <random>
#include <sys/stat.h>
#include <thread>

namespace mzb {

namespace {

namespace fs = std::filesystem;

struct FakeContents : ArchiveContentsView {
    std::vector<std::string> shown;
    int cleared = 0;
    void ShowArchiveContents(const std::string& folder, const std::string& name) override {
        shown.push_back(PathInFolder(folder, name));
    }
    void ClearContents() override { ++cleared; }
};

std::vector<std::string> Column(const std::vector<ArchiveRow>& rows, int column) {
    std::vector<std::string> out;
    for (const auto& r : rows) {
        out.push_back(column == 0 ? r.Name : column == 1 ? r.Size : r.Date);
    }
    return out;
}

std::vector<ArchiveRow> Rows(std::initializer_list<std::pair<const char*, const char*>> nameSize) {
    std::vector<ArchiveRow> rows;
    for (const auto& [name, size] : nameSize) {
        rows.push_back({name, size, "2024-01-01"});
    }
    return rows;
}

void SetWriteTime(const fs::path& file, LocalDateTime local) {
    const CivilDateTime c = local.Civil();
    std::tm tm{};
    tm.tm_year = c.Year - 1900;
    tm.tm_mon = c.Month - 1;
    tm.tm_mday = c.Day;
    tm.tm_hour = c.Hour;
    tm.tm_min = c.Minute;
    tm.tm_sec = c.Second;
    tm.tm_isdst = -1;
    const timespec times[2] = {{std::mktime(&tm), 0}, {std::mktime(&tm), 0}};
    ASSERT_EQ(utimensat(AT_FDCWD, file.c_str(), times, 0), 0);
}

class ArchiveListTest : public ::testing::Test {
protected:
    test::TempDir tmp;
    TFindFile finder;
    FakeContents contents;
    ArchiveList list{finder, contents};

    void Refresh() {
        list.Folder = tmp.path().string();
        list.RefreshArchiveList();
    }
};

} // namespace

TEST_F(ArchiveListTest, SizesInWholeKibibytesAndDatesWithoutMidnight) {
    SetWriteTime(tmp.write("a.zip", std::string(1023, 'x')), LocalDateTime::Make(2024, 3, 10));
    SetWriteTime(tmp.write("b.zip", std::string(2048, 'x')),
                 LocalDateTime::Make(2024, 3, 10, 14, 5, 8));
    SetWriteTime(tmp.write("c.zip", std::string(3071, 'x')),
                 LocalDateTime::Make(2024, 3, 10, 14, 5, 9)); // odd second: 2-second resolution
    tmp.write("d.txt", "not listed");
    tmp.write(".e.zip", "hidden");
    tmp.write("sub/f.zip", "not entered");
    Refresh();
    EXPECT_EQ(Column(list.Rows(), 0), (std::vector<std::string>{"a.zip", "b.zip", "c.zip"}));
    EXPECT_EQ(Column(list.Rows(), 1), (std::vector<std::string>{"0", "2", "2"}));
    EXPECT_EQ(Column(list.Rows(), 2), (std::vector<std::string>{"2024-03-10", "2024-03-10 14:05:08",
                                                                "2024-03-10 14:05:08"}));
    EXPECT_EQ(list.TotalText(), "(Total 3 files)");
    EXPECT_EQ(contents.shown, std::vector<std::string>{tmp.path().string() + "/a.zip"});
}

TEST_F(ArchiveListTest, EmptyOrMissingFolderGivesTheEmptyList) {
    Refresh();
    EXPECT_TRUE(list.Rows().empty());
    EXPECT_EQ(list.TotalText(), "(Total 0 files)");
    EXPECT_EQ(contents.cleared, 1);
    list.Folder = tmp.path().string() + "/missing";
    list.RefreshArchiveList();
    EXPECT_EQ(contents.cleared, 2);
    EXPECT_TRUE(contents.shown.empty());
}

TEST_F(ArchiveListTest, TheFolderIsALocationNotAPatternAndOnlyRegularFilesAreArchives) {
    tmp.write("we*ird?;dir/a.zip", "a");
    tmp.write("weXirdY;dir/b.zip", "not this folder");
    ASSERT_EQ(::mkfifo((tmp.path() / "we*ird?;dir/pipe.zip").c_str(), 0600), 0);
    fs::create_directory(tmp.path() / "we*ird?;dir/folder.zip");
    list.Folder = (tmp.path() / "we*ird?;dir").string();
    list.RefreshArchiveList(); // would stay here for good if it opened the FIFO
    EXPECT_EQ(Column(list.Rows(), 0), std::vector<std::string>{"a.zip"});
    EXPECT_EQ(list.TotalText(), "(Total 1 files)");
}

TEST(SortArchiveRows, ComparesNamesAndSizesAsText) {
    auto rows = Rows({{"x", "9"}, {"y", "10"}, {"z", "100"}, {"w", "11"}});
    SortArchiveRows(rows, ArchiveSortField::BySize, false);
    EXPECT_EQ(Column(rows, 1), (std::vector<std::string>{"10", "100", "11", "9"}));
    rows = Rows({{"a.zip", ""}, {"B.zip", ""}, {"ab.zip", ""}, {"a", ""}});
    SortArchiveRows(rows, ArchiveSortField::ByName, false);
    EXPECT_EQ(Column(rows, 0), (std::vector<std::string>{"B.zip", "a", "a.zip", "ab.zip"}));
    SortArchiveRows(rows, ArchiveSortField::ByName, true);
    EXPECT_EQ(Column(rows, 0), (std::vector<std::string>{"ab.zip", "a.zip", "a", "B.zip"}));
}

TEST(SortArchiveRows, DescendingExchangesEqualRows) {
    // With equal keys every comparison exchanges: q=2 swaps rows 0,2 then
    // 1,2 (3,1,2), q=1 swaps rows 0,1 (1,3,2).
    auto rows = Rows({{"1", "5"}, {"2", "5"}, {"3", "5"}});
    SortArchiveRows(rows, ArchiveSortField::BySize, true);
    EXPECT_EQ(Column(rows, 0), (std::vector<std::string>{"1", "3", "2"}));
    SortArchiveRows(rows, ArchiveSortField::BySize, false); // ascending leaves equal rows be
    EXPECT_EQ(Column(rows, 0), (std::vector<std::string>{"1", "3", "2"}));
}

TEST(SortArchiveRows, DatesSortByTheirValueAcrossMonths) {
    std::vector<ArchiveRow> rows = {{"jan31", "1", "2024-01-31 23:00:00"},
                                    {"feb1", "1", "2024-02-01"},
                                    {"dec", "1", "2023-12-31 09:00:00"},
                                    {"feb1late", "1", "2024-02-01 00:00:02"}};
    SortArchiveRows(rows, ArchiveSortField::ByDate, false);
    EXPECT_EQ(Column(rows, 0), (std::vector<std::string>{"dec", "jan31", "feb1", "feb1late"}));
    SortArchiveRows(rows, ArchiveSortField::ByDate, true);
    EXPECT_EQ(Column(rows, 0), (std::vector<std::string>{"feb1late", "feb1", "jan31", "dec"}));
    rows[1].Date = "yesterday";
    EXPECT_THROW(SortArchiveRows(rows, ArchiveSortField::ByDate, false), std::invalid_argument);
}

// The list's order as first written: an exchange sort comparing the texts
// (dates parsed in every comparison). Kept here as the oracle of the faster sort.
void ExchangeSortOracle(std::vector<ArchiveRow>& rows, ArchiveSortField field, bool descending) {
    const auto greater = [field](const ArchiveRow& a, const ArchiveRow& b) {
        if (field == ArchiveSortField::ByDate) {
            return *ParseDateTime(a.Date) > *ParseDateTime(b.Date);
        }
        return field == ArchiveSortField::BySize ? a.Size > b.Size : a.Name > b.Name;
    };
    for (size_t q = rows.size() - 1; q >= 1; --q) {
        for (size_t r = 0; r < q; ++r) {
            if (descending != greater(rows[r], rows[q])) {
                std::swap(rows[r], rows[q]);
            }
        }
    }
}

TEST(SortArchiveRows, GivesTheExchangeSortsOrderTiesIncluded) {
    // Equal keys end in an order that depends on the rows around them; few
    // distinct keys make many ties, many make none. Dates of one day written
    // with and without the midnight time compare equal.
    std::mt19937 random(34);
    for (int round = 0; round < 400; ++round) {
        const int keys = 1 + round % 40;
        std::vector<ArchiveRow> rows;
        const size_t count = 1 + random() % 60;
        for (size_t i = 0; i < count; ++i) {
            const int key = static_cast<int>(random() % keys);
            const std::string day =
                "2024-0" + std::to_string(1 + key % 9) + "-1" + std::to_string(key / 9 % 10);
            rows.push_back({"n" + std::to_string(i) + "-" + std::to_string(random() % 3),
                            std::to_string(key * 7),
                            random() % 2 && key % 2 ? day + " 00:00:00" : day});
        }
        for (const auto field :
             {ArchiveSortField::ByName, ArchiveSortField::BySize, ArchiveSortField::ByDate}) {
            for (const bool descending : {false, true}) {
                auto expected = rows;
                ExchangeSortOracle(expected, field, descending);
                auto sorted = rows;
                SortArchiveRows(sorted, field, descending);
                ASSERT_EQ(Column(sorted, 0), Column(expected, 0))
                    << "round " << round << " field " << static_cast<int>(field)
                    << (descending ? " descending" : " ascending");
            }
        }
    }
}

TEST_F(ArchiveListTest, ASingleArchiveIsStillShown) {
    tmp.write("only.zip", "");
    list.SortField = ArchiveSortField::ByDate;
    list.Descending = true;
    Refresh();
    EXPECT_EQ(Column(list.Rows(), 0), std::vector<std::string>{"only.zip"});
    EXPECT_EQ(contents.shown.size(), 1u);
}

TEST_F(ArchiveListTest, DeleteAsksForTheSelectedRowsAndRefreshesWhateverTheAnswer) {
    for (const char* name : {"a.zip", "b.zip", "c.zip", "d.zip"}) {
        tmp.write(name, "");
    }
    Refresh();
    std::string asked;
    list.Folder = "  " + tmp.path().string() + "/ ";
    list.DeleteArchives(1, 3, [&](const std::string& q) {
        asked = q;
        return false;
    });
    EXPECT_EQ(asked, "Do you want delete the 3 files ");
    EXPECT_EQ(list.Folder, tmp.path().string() + "/");
    EXPECT_EQ(list.Rows().size(), 4u);
    list.DeleteArchives(1, 3, [](const std::string&) { return true; });
    EXPECT_EQ(Column(list.Rows(), 0), std::vector<std::string>{"a.zip"});
    EXPECT_EQ(list.TotalText(), "(Total 1 files)");
}

std::string ManifestOf(const std::string& archive, const std::string& full) {
    return "mzb-manifest\t1\narchive\t" + archive + "\nfull\t" + full + "\nmade\t0\n";
}

// What the window's reader of kinds does, on the test's thread.
void ReadKinds(ArchiveList& list, const std::vector<KindToRead>& archives) {
    for (const KindToRead& archive : archives) {
        list.SetKind(archive, ArchiveKindText(archive.Path, archive.Password));
    }
}

std::vector<std::string> Kinds(const ArchiveList& list) {
    std::vector<std::string> kinds;
    for (const ArchiveRow& row : list.Rows()) {
        kinds.push_back(row.Kind);
    }
    return kinds;
}

TEST_F(ArchiveListTest, AKindReadHoldsForThatArchiveFileAndPasswordOnly) {
    const LocalDateTime when = LocalDateTime::Make(2024, 3, 10, 14, 0, 0);
    const auto write = [&](const std::string& name, const test::ArchiveBuilder& archive) {
        // Beside the old one first, then over it: another file, as a copy
        // into the folder makes, of the same size and time.
        archive.WriteTo((tmp.path() / "new.tmp").string());
        SetWriteTime(tmp.path() / "new.tmp", when);
        fs::rename(tmp.path() / "new.tmp", tmp.path() / name);
    };
    const auto withManifest = [](const std::string& manifest) {
        test::ArchiveBuilder b;
        b.Add("a.txt", "a");
        b.Add(".mzb-manifest", manifest);
        return b;
    };
    write("d01.zip", withManifest(ManifestOf("d01.zip", "d01.zip")));
    write("d02.zip", withManifest(ManifestOf("d02.zip", "d01.zip")));
    test::ArchiveBuilder locked;
    locked.AddEncrypted(".mzb-manifest", ManifestOf("e.zip", "e.zip"), "pw", true);
    write("e.zip", locked);
    Refresh();
    EXPECT_EQ(Kinds(list), (std::vector<std::string>{"", "", ""}));
    ReadKinds(list, list.KindsToRead());
    EXPECT_EQ(Kinds(list), (std::vector<std::string>{"full", "differential of d01.zip", ""}));

    // Unchanged archives are not read again, the one without its password
    // neither while the password stays the same.
    Refresh();
    EXPECT_TRUE(list.KindsToRead().empty());
    EXPECT_EQ(Kinds(list), (std::vector<std::string>{"full", "differential of d01.zip", ""}));

    list.Password = "pw";
    Refresh();
    ASSERT_EQ(list.KindsToRead().size(), 1u);
    EXPECT_EQ(list.KindsToRead()[0].Name, "e.zip");

    // d02.zip replaced by a full archive of the same name, size and time.
    const std::vector<KindToRead> old = {
        {"d02.zip", (tmp.path() / "d02.zip").string(), list.Rows()[1].Stamp, "pw"}};
    write("d02.zip", withManifest(ManifestOf("d02.zip", "d02.zip")));
    Refresh();
    EXPECT_EQ(Kinds(list), (std::vector<std::string>{"full", "", ""}));
    // A reading of the file it replaced, arriving late, is not its kind.
    EXPECT_FALSE(list.SetKind(old[0], "differential of d01.zip"));
    EXPECT_EQ(list.Rows()[1].Kind, "");
    std::vector<std::string> toRead;
    for (const KindToRead& archive : list.KindsToRead()) {
        toRead.push_back(archive.Name);
    }
    EXPECT_EQ(toRead, (std::vector<std::string>{"d02.zip", "e.zip"}));
    ReadKinds(list, list.KindsToRead());
    EXPECT_EQ(Kinds(list), (std::vector<std::string>{"full", "full", "full"}));
}

// The window reads kinds on a thread of their own while its reader shows
// an archive's contents: the two share nothing.
TEST_F(ArchiveListTest, KindsReadOnAThreadBesideTheWindowsReader) {
    for (const std::string name : {"d01.zip", "d02.zip"}) {
        test::ArchiveBuilder b;
        b.AddDeflated("a.txt", std::string(5000, 'a'));
        b.AddDeflated(".mzb-manifest", ManifestOf(name, "d01.zip"));
        b.WriteTo((tmp.path() / name).string());
    }
    Refresh();
    std::vector<std::string> kinds;
    std::thread kindReader([&kinds, archives = list.KindsToRead()] {
        for (const KindToRead& archive : archives) {
            kinds.push_back(ArchiveKindText(archive.Path, archive.Password));
        }
    });
    HeadlessHost host;
    TZipReader window(host);
    for (const char* name : {"d02.zip", "d01.zip"}) {
        EXPECT_EQ(ReadEntryText(window, (tmp.path() / name).string(), "a.txt", {}),
                  std::string(5000, 'a'));
    }
    kindReader.join();
    EXPECT_EQ(kinds, (std::vector<std::string>{"full", "differential of d01.zip"}));
}

TEST(PathInFolder, PutsOneSeparatorAndKeepsAnEmptyFolderRelative) {
    EXPECT_EQ(PathInFolder("/b", "x.zip"), "/b/x.zip");
    EXPECT_EQ(PathInFolder("/b/", "x.zip"), "/b/x.zip");
    EXPECT_EQ(PathInFolder("", "x.zip"), "x.zip");
}

} // namespace mzb
