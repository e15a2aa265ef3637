#include "core/restore/ArchiveContents.h"

#include "core/restore/ArchiveList.h"
#include "support/ArchiveBuilder.h"
#include "support/PeerTools.h"
#include "support/RunCommand.h"
#include "support/TempDir.h"
#include "zip/base/HeadlessHost.h"
#include "zip/base/ZipError.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <unistd.h>

namespace mzb {

namespace {

namespace fs = std::filesystem;

std::vector<std::string> Cells(const std::vector<ContentsRow>& rows) {
    std::vector<std::string> out;
    for (const auto& r : rows) {
        out.push_back(r.Name + "|" + r.Size + "|" + r.Directory);
    }
    return out;
}

// Entries f0.txt, f1.txt, ... of one byte each (at most ten).
std::string Entries(int count) {
    test::ArchiveBuilder b;
    std::string name = "f0.txt";
    for (int i = 0; i < count; ++i, ++name[1]) {
        b.Add(name, "x");
    }
    return b.Build();
}

class ArchiveContentsTest : public ::testing::Test {
protected:
    test::TempDir tmp;
    HeadlessHost host;
    TZipReader reader{host};
    ArchiveContents contents{reader};

    void Show(const std::string& name) { contents.ShowArchiveContents(tmp.path().string(), name); }
};

} // namespace

TEST_F(ArchiveContentsTest, RowsShowCompressedSizesAndStoredDirectoriesInArchiveOrder) {
    const std::string text(5000, 'a');
    test::ArchiveBuilder b;
    b.Add("zeta/stored.txt", std::string(100, 's'));
    b.AddDeflated("deflated.txt", text);
    b.AddEncrypted("a/b/secret.txt", std::string(100, 'p'), "pw", false);
    b.Add("made\\elsewhere.txt", "dos").versionMadeBy = 0x0014; // a DOS tool's separator
    b.Add("emptydir/", "");
    b.WriteTo((tmp.path() / "mixed.zip").string());
    Show("mixed.zip");

    const std::size_t deflatedSize = test::RawDeflate(text).size();
    ASSERT_LT(deflatedSize, text.size());
    EXPECT_EQ(Cells(contents.Rows()), (std::vector<std::string>{
                                          "stored.txt|100|zeta/",
                                          "deflated.txt|" + std::to_string(deflatedSize) + "|",
                                          "secret.txt|112|a/b/", // 12-byte encryption header
                                          "elsewhere.txt|3|made/",
                                          "|0|emptydir/",
                                      }));
    EXPECT_EQ(contents.TotalText(), "(Total 5 files)");
}

TEST_F(ArchiveContentsTest, ArchiveOfAnotherToolWithPassword) {
    MZB_REQUIRE_PEERS("zip");
    const std::string zip = test::PeerPath("zip");
    tmp.write("in/plain.bin", std::string(100, 'q'));
    tmp.write("in/text.txt", std::string(4000, 't'));
    const std::string archive = (tmp.path() / "tool.zip").string();
    const std::string in = (tmp.path() / "in").string();
    ASSERT_EQ(
        test::RunCommand({zip, "-q", "-j", "-0", "-P", "pw", archive, in + "/plain.bin"}).exitCode,
        0);
    ASSERT_EQ(test::RunCommand({zip, "-q", "-j", "-9", archive, in + "/text.txt"}).exitCode, 0);
    Show("tool.zip");

    ASSERT_EQ(contents.Rows().size(), 2u);
    EXPECT_EQ(Cells(contents.Rows())[0], "plain.bin|112|");
    EXPECT_LT(std::stoul(contents.Rows()[1].Size), 4000u);
}

TEST_F(ArchiveContentsTest, EachArchiveReplacesTheRowsBefore) {
    tmp.write("ten.zip", Entries(10));
    tmp.write("three.zip", Entries(3));
    tmp.write("empty.zip", test::ArchiveBuilder().Build());
    tmp.write("text.zip", "a .zip file that holds no archive, long enough for the end record");

    Show("ten.zip");
    EXPECT_EQ(contents.Rows().size(), 10u);
    Show("three.zip");
    EXPECT_EQ(Cells(contents.Rows()),
              (std::vector<std::string>{"f0.txt|1|", "f1.txt|1|", "f2.txt|1|"}));
    EXPECT_EQ(contents.TotalText(), "(Total 3 files)");

    Show("empty.zip");
    EXPECT_TRUE(contents.Rows().empty());
    EXPECT_EQ(contents.TotalText(), "(Total 0 files)");

    Show("three.zip");
    EXPECT_NO_THROW(Show("text.zip"));
    EXPECT_TRUE(contents.Rows().empty());
    EXPECT_EQ(contents.TotalText(), "(Total 0 files)");
}

TEST_F(ArchiveContentsTest, UnreadableArchiveRaisesAndKeepsTheRows) {
    tmp.write("three.zip", Entries(3));
    test::ArchiveBuilder damaged;
    // Neither the central directory nor a local header can be found.
    damaged.Add("a.txt", "abc").localSignature = 0x01020304u;
    damaged.centralOffset = 0x7FFFFFF0u;
    tmp.write("damaged.zip", damaged.Build());
    Show("three.zip");

    EXPECT_THROW(Show("gone.zip"), EZipError);
    EXPECT_EQ(contents.Rows().size(), 3u);
    EXPECT_EQ(contents.TotalText(), "(Total 3 files)");
    EXPECT_THROW(Show("damaged.zip"), EZipError);
    EXPECT_EQ(contents.Rows().size(), 3u);
}

TEST_F(ArchiveContentsTest, SameArchiveAgainIsReadAgainOnlyWhenItsFileChanged) {
    const fs::path path = tmp.write("a.zip", Entries(2));
    Show("a.zip");
    const auto written = fs::last_write_time(path);

    // Same size and time: the directory in memory stands for the file.
    test::ArchiveBuilder renamed;
    renamed.Add("g0.txt", "x");
    renamed.Add("g1.txt", "x");
    tmp.write("a.zip", renamed.Build());
    fs::last_write_time(path, written);
    Show(" a.zip ");
    EXPECT_EQ(Cells(contents.Rows()), (std::vector<std::string>{"f0.txt|1|", "f1.txt|1|"}));
    EXPECT_EQ(reader.ZipName(), (tmp.path() / "a.zip").string());

    fs::last_write_time(path, written + std::chrono::seconds(10));
    Show("a.zip");
    EXPECT_EQ(Cells(contents.Rows()), (std::vector<std::string>{"g0.txt|1|", "g1.txt|1|"}));
}

TEST_F(ArchiveContentsTest, BlankNameLeavesEverythingAsItWas) {
    tmp.write("a.zip", Entries(2));
    Show("a.zip");
    Show("  ");
    EXPECT_EQ(contents.Rows().size(), 2u);
    EXPECT_EQ(reader.ZipName(), (tmp.path() / "a.zip").string());
}

TEST_F(ArchiveContentsTest, ArchiveListShowsItsFirstArchiveOrNothing) {
    TFindFile finder;
    ArchiveList list(finder, contents);
    tmp.write("b.zip", Entries(1));
    tmp.write("a.zip", Entries(4));
    list.Folder = tmp.path().string();
    list.RefreshArchiveList();
    EXPECT_EQ(contents.Rows().size(), 4u);
    EXPECT_EQ(reader.ZipName(), (tmp.path() / "a.zip").string());

    fs::remove(tmp.path() / "a.zip");
    fs::remove(tmp.path() / "b.zip");
    list.RefreshArchiveList();
    EXPECT_TRUE(contents.Rows().empty());
    EXPECT_EQ(contents.TotalText(), "(Total 0 files)");
}

} // namespace mzb
