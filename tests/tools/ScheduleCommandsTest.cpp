#include "support/RunCommand.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

namespace mzb {

using test::RunCommand;

TEST(MzbSchedule, PrintsTheTableARebuildMakesAtTheGivenMoment) {
    test::TempDir tmp;
    const auto ini = tmp.write("project.ini", "[Common]\n"
                                              "Project Count=5\n"
                                              "Count0=weekly\n"
                                              "Count1=Daily\n"
                                              "Count2=Every\n"
                                              "Count3=Off\n"
                                              "Count4=Odd\n"
                                              "[Daily]\n"
                                              "IsEnabledAutoBack=1\n"
                                              "BackupMode=0\n"
                                              "StartTime_or_Increase=08:00:00\n"
                                              "[Every]\n"
                                              "IsEnabledAutoBack=1\n"
                                              "BackupMode=1\n"
                                              "StartTime_or_Increase=15\n"
                                              "[Off]\n"
                                              "BackupMode=1\n"
                                              "StartTime_or_Increase=5\n"
                                              "[weekly]\n"
                                              "IsEnabledAutoBack=1\n"
                                              "BackupMode=2\n"
                                              "StartTime_or_Increase=Friday\n"
                                              "[Odd]\n"
                                              "IsEnabledAutoBack=1\n"
                                              "BackupMode=9\n");
    const auto result =
        RunCommand({MZB_EXE, "--ini", ini.string(), "schedule", "--now", "2024-03-10 09:30:00"});
    ASSERT_EQ(result.exitCode, 0);
    // In the project list's order: by name, letter case ignored.
    EXPECT_EQ(result.out, "Daily\t2024-03-10 08:00:00\t1440\n"
                          "Every\t2024-03-10 09:45:00\t15\n"
                          "Odd\tnever\t0\n"
                          "weekly\t2024-03-15 12:00:00\t10080\n");
    EXPECT_EQ(RunCommand({MZB_EXE, "--ini", ini.string(), "schedule", "--now", "noon"}).exitCode,
              2);
}

} // namespace mzb
