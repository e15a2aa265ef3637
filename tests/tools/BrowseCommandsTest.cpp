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

} // namespace mzb
