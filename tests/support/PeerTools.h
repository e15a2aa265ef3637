#pragma once
// The one policy for tests that need a tool of the machine (the other ZIP
// tools zip, unzip, 7zz, bsdtar and python3; desktop-file-validate): on a
// developer's machine without the tool the test is skipped with the reason;
// when the CI environment variable is set it fails instead, so a CI run can
// never go green by skipping. scripts/setup.sh installs them all.
//
//     MZB_REQUIRE_PEERS("unzip", "7zz");
//
// The macro ends the calling function when a tool is missing, so it belongs
// in the test body itself (or in SetUp), never in a helper that the test
// would go on from.

#include <gtest/gtest.h>
#include <initializer_list>
#include <optional>
#include <string>

namespace mzb::test {

// The first of the tools that is not on PATH.
std::optional<std::string> MissingPeer(std::initializer_list<const char*> names);
// The tool's full path on PATH; empty when it is missing.
std::string PeerPath(const std::string& name);
// Whether a missing tool fails the test rather than skipping it.
bool PeersRequired();

} // namespace mzb::test

#define MZB_REQUIRE_PEERS(...)                                                                     \
    do {                                                                                           \
        if (const auto missing_peer_ = ::mzb::test::MissingPeer({__VA_ARGS__})) {                  \
            if (::mzb::test::PeersRequired()) {                                                    \
                FAIL() << *missing_peer_ << " is not installed, and CI runs every peer test";      \
            } else {                                                                               \
                GTEST_SKIP() << *missing_peer_ << " is not installed";                             \
            }                                                                                      \
        }                                                                                          \
    } while (false)
