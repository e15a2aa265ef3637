#pragma once
// Runs a check as a user without privileges, so that permissions hold: the
// tests run as root, for whom no folder is unreadable. As root the check
// runs in a child process with the user and group "nobody" (65534); as
// anyone else it runs in place.

#include <functional>
#include <string>

namespace mzb::test {

// Whatever the check returns is the result; in a child, a check that
// throws or dies counts as false. The check's complaints go to stderr.
bool RunUnprivileged(const std::function<bool()>& check);

// Makes every folder from the path up to the root enterable by others, so
// that the unprivileged user reaches what a test prepared below it.
void OpenPathToOthers(const std::string& path);

} // namespace mzb::test
