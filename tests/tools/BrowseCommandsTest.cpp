#include "support/RunMzb.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

namespace mzb {

using test::RunMzb;
using test::ShellQuote;

TEST(MzbArchives, PrintsTheSortedRowsAndTheTotal) {
    test::TempDir tmp;
    tmp.write("b.zip", std::string(9 * 1024, 'x'));
    tmp.write("a.zip", std::string(10 * 1024, 'x'));
    tmp.write("c.txt", "");
    const std::string dir = ShellQuote(tmp.path().string());

    const auto bySize = RunMzb("archives " + dir + " --by size");
    ASSERT_EQ(bySize.ExitCode, 0);
    // Sizes compare as text: 10 before 9.
    EXPECT_EQ(bySize.Out.substr(0, bySize.Out.find('\t')), "a.zip");
    EXPECT_NE(bySize.Out.find("\t10\t"), std::string::npos);
    EXPECT_NE(bySize.Out.find("(Total 2 files)\n"), std::string::npos);

    const auto byNameDesc = RunMzb("archives " + dir + " --desc");
    EXPECT_EQ(byNameDesc.Out.substr(0, 5), "b.zip");

    const auto empty = RunMzb("archives " + ShellQuote(tmp.path().string() + "/none"));
    EXPECT_EQ(empty.ExitCode, 0);
    EXPECT_EQ(empty.Out, "(Total 0 files)\n");

    EXPECT_EQ(RunMzb("archives " + dir + " --by colour 2>/dev/null").ExitCode, 2);
    EXPECT_EQ(RunMzb("archives 2>/dev/null").ExitCode, 2);
}

} // namespace mzb
