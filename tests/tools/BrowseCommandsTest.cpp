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

TEST(MzbFindAndVersions, PrintTabSeparatedRowsAndReportUnreadableArchives) {
    test::TempDir tmp;
    test::ArchiveBuilder first, second;
    first.Add("d/a.txt", "one"); // the builder's time: 2025-01-11 13:33:58
    second.Add("d/a.txt", "two");
    second.Add("d/b.txt", "b");
    first.WriteTo((tmp.path() / "z.zip").string());
    second.WriteTo((tmp.path() / "a.zip").string());
    first.WriteTo((tmp.path() / "m.zip").string());
    tmp.write("broken.zip", "no archive in here");
    const std::string dir = tmp.path().string();
    // Archive times a day apart in UTC: z oldest, then a, broken, m.
    const std::vector<std::string> utc = {"TZ=UTC"};
    for (const auto& [name, stamp] : {std::pair{"z", "202501010000"},
                                      {"a", "202501020000"},
                                      {"broken", "202501030000"},
                                      {"m", "202501040000"}}) {
        ASSERT_EQ(test::RunCommand({"/usr/bin/touch", "-t", stamp, dir + "/" + name + ".zip"}, utc)
                      .exitCode,
                  0);
    }

    const auto found = RunCommand({MZB_EXE, "find", dir, "A.TXT"}, utc);
    EXPECT_EQ(found.exitCode, 1); // an archive could not be read
    EXPECT_EQ(found.out,
              "z.zip\t2025-01-01 00:00:00\td/a.txt\t3\t2025-01-11 13:33:58\t7a6c86f1\tnew\n"
              "a.zip\t2025-01-02 00:00:00\td/a.txt\t3\t2025-01-11 13:33:58\t11ca8a66\tchanged\n"
              "m.zip\t2025-01-04 00:00:00\td/a.txt\t3\t2025-01-11 13:33:58\t7a6c86f1\tchanged\n"
              "(Total 3 files)\n");
    EXPECT_NE(found.err.find("broken.zip"), std::string::npos) << found.err;

    const auto versions = RunCommand({MZB_EXE, "versions", dir, "d/a.txt"}, utc);
    EXPECT_EQ(versions.exitCode, 1);
    EXPECT_EQ(versions.out, "1\t3\t2025-01-11 13:33:58\t7a6c86f1\tm.zip\t2025-01-04 00:00:00\n"
                            "1\t3\t2025-01-11 13:33:58\t7a6c86f1\tz.zip\t2025-01-01 00:00:00\n"
                            "2\t3\t2025-01-11 13:33:58\t11ca8a66\ta.zip\t2025-01-02 00:00:00\n"
                            "(Total 2 versions)\n");

    EXPECT_EQ(RunCommand({MZB_EXE, "find", dir}).exitCode, 2);
    EXPECT_EQ(RunCommand({MZB_EXE, "versions", dir, "d/a.txt", "d/b.txt"}).exitCode, 2);
}

} // namespace mzb
