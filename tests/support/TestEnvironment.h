#pragma once
// The machine's time zone, locale and umask, fixed for every test program
// before its first test, so that no result depends on where the suite runs:
// dates in a zone with daylight saving (where such faults show), non-ASCII
// names in a UTF-8 locale, new files with the permissions the tests expect.
// Each program's entry calls it first (the GoogleTest programs through
// support/main/TestMain.cpp, the window tests through their own entry).

namespace mzb::test {

void FixTestEnvironment();

} // namespace mzb::test
