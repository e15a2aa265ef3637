#pragma once
// Other ZIP tools' own tests of an archive: unzip -t, 7zz t, bsdtar -tf and
// Python's zipfile testzip, each as a black box.

#include <string>
#include <vector>

namespace mzb::test {

// One line for each tool that finds fault with the archive, with what it
// said; empty when every one tests it clean. A missing tool is passed over
// on a developer's machine and is a fault of its own where peers are
// required (PeerTools.h).
std::vector<std::string> PeerTestFailures(const std::string& archive,
                                          const std::string& password = {});

} // namespace mzb::test
