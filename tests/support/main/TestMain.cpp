// The entry of every test program. The machine's time zone, locale and
// umask are set here to fixed values first, so that no result depends on
// where the suite runs: dates in a zone with daylight saving (where such
// faults show), non-ASCII names in a UTF-8 locale, new files with the
// permissions the tests expect.
#include "support/ScopedEnvironment.h"

#include <clocale>
#include <cstdlib>
#include <ctime>
#include <gtest/gtest.h>
#include <sys/stat.h>

int main(int argc, char** argv) {
    ::setenv("TZ", mzb::test::kZoneWithDaylightSaving, 1);
    ::tzset();
    ::setenv("LC_ALL", "C.UTF-8", 1);
    std::setlocale(LC_ALL, "");
    ::umask(022);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
