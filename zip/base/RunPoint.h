#pragma once
// Named moments of long runs, where a test stops the process at an exact
// point (kills or interrupts it there) instead of guessing one with a timer.
// Only a test build installs an observer; the shipped programs install none,
// and then passing a point costs one test of a pointer.
//
// Points: writer-first-entry (output created, no entry written yet),
// writer-mid-entry (half of a file of more than 32 KiB read),
// writer-central-directory (the first central header written),
// writer-before-rename (the archive complete and on disk, not yet under its
// name), extract-mid-entry (half of an entry decoded).

namespace mzb {

using RunPointObserver = void (*)(const char* point);

// Set once, before any run starts.
void SetRunPointObserver(RunPointObserver observer);
void PassRunPoint(const char* point);

} // namespace mzb
