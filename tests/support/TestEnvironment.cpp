#include "support/TestEnvironment.h"

#include "support/ScopedEnvironment.h"

#include <clocale>
#include <cstdlib>
#include <ctime>
#include <sys/stat.h>

namespace mzb::test {

void FixTestEnvironment() {
    ::setenv("TZ", kZoneWithDaylightSaving, 1);
    ::tzset();
    ::setenv("LC_ALL", "C.UTF-8", 1);
    std::setlocale(LC_ALL, "");
    ::umask(022);
}

} // namespace mzb::test
