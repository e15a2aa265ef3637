#pragma once
// Other ZIP tools' own tests of an archive: unzip -t, 7zz t, bsdtar -tf and
// Python's zipfile testzip, each as a black box.

#include <optional>
#include <string>
#include <vector>

namespace mzb::test {

// The first of the four tools that is not installed; nullopt when all are.
std::optional<std::string> MissingPeer();

// One line for each installed tool that finds fault with the archive, with
// what it said; empty when every one tests it clean.
std::vector<std::string> PeerTestFailures(const std::string& archive,
                                          const std::string& password = {});

} // namespace mzb::test
