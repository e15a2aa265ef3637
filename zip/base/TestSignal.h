#pragma once
// Test-only: named points of long runs at which a test can kill or
// interrupt the process at an exact moment, instead of guessing one with a
// timer. The environment variable MZB_TEST_SIGNAL_AT holds
// "POINT:SIGNAL", for instance "writer-mid-entry:9"; the first time the
// process passes that point it raises the signal on itself. Without the
// variable (every run but a test's) a point costs one comparison.
//
// Points: writer-first-entry (output created, no entry written yet),
// writer-mid-entry (half of a file
// of more than 32 KiB read), writer-central-directory
// (the first central header written), writer-before-rename (the archive
// complete and on disk, not yet under its name), extract-mid-entry (half
// of an entry decoded).

namespace mzb {

void TestSignalPoint(const char* point);

} // namespace mzb
