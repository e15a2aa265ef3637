#include "support/ArchiveBuilder.h"
#include "support/RunCommand.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

namespace mzb {

using test::RunCommand;

TEST(MzbArchives, PrintsTheSortedRowsAndTheTotal) {
    test::TempDir tmp;
    tmp.write("b.zip", std::string(9 * 1024, 'x'));
    tmp.write("a.zip", std::string(10 * 1024, 'x'));
    tmp.write("c.txt", "");
    const std::string dir = tmp.path().string();

    const auto bySize = RunCommand({MZB_EXE, "archives", dir, "--by", "size"});
    ASSERT_EQ(bySize.exitCode, 0);
    // Sizes compare as text: 10 before 9.
    EXPECT_EQ(bySize.out.substr(0, bySize.out.find('\t')), "a.zip");
    EXPECT_NE(bySize.out.find("\t10\t"), std::string::npos);
    EXPECT_NE(bySize.out.find("(Total 2 files)\n"), std::string::npos);

    const auto byNameDesc = RunCommand({MZB_EXE, "archives", dir, "--desc"});
    EXPECT_EQ(byNameDesc.out.substr(0, 5), "b.zip");

    const auto empty = RunCommand({MZB_EXE, "archives", dir + "/none"});
    EXPECT_EQ(empty.exitCode, 0);
    EXPECT_EQ(empty.out, "(Total 0 files)\n");

    EXPECT_EQ(RunCommand({MZB_EXE, "archives", dir, "--by", "colour"}).exitCode, 2);
    EXPECT_EQ(RunCommand({MZB_EXE, "archives"}).exitCode, 2);
}

TEST(MzbContents, PrintsTheEntryRowsAndTheTotal) {
    test::TempDir tmp;
    test::ArchiveBuilder b;
    b.Add("docs/", "");
    b.AddEncrypted("docs/a.txt", std::string(100, 'a'), "pw", false);
    b.Add("top.txt", "12345");
    b.WriteTo((tmp.path() / "x.zip").string());
    tmp.write("empty.zip", test::ArchiveBuilder().Build());
    tmp.write("text.zip", "no archive in here, only enough text for an end record");
    const std::string dir = tmp.path().string();

    const auto listed = RunCommand({MZB_EXE, "contents", dir + "/x.zip"});
    EXPECT_EQ(listed.exitCode, 0);
    EXPECT_EQ(listed.out, "\t0\tdocs/\na.txt\t112\tdocs/\ntop.txt\t5\t\n(Total 3 files)\n");

    const auto empty = RunCommand({MZB_EXE, "contents", dir + "/empty.zip"});
    EXPECT_EQ(empty.exitCode, 0);
    EXPECT_EQ(empty.out, "(Total 0 files)\n");

    for (const char* bad : {"/text.zip", "/missing.zip"}) {
        const auto refused = RunCommand({MZB_EXE, "contents", dir + bad});
        EXPECT_EQ(refused.exitCode, 2) << bad;
        EXPECT_EQ(refused.out, "") << bad;
        EXPECT_NE(refused.err.find(bad), std::string::npos) << refused.err;
    }
    // A folder is no empty archive.
    EXPECT_EQ(RunCommand({MZB_EXE, "contents", dir + "/"}).exitCode, 2);
    EXPECT_EQ(RunCommand({MZB_EXE, "contents", dir}).exitCode, 2);
    EXPECT_EQ(RunCommand({MZB_EXE, "contents"}).exitCode, 2);
    EXPECT_EQ(RunCommand({MZB_EXE, "contents", dir + "/x.zip", "extra"}).exitCode, 2);
}

} // namespace mzb
