#pragma once
// The registry of the window test classes: each test file registers its
// class with MZB_UI_TEST, and `ui_tests NAME [QtTest options]` runs one.

#include "support/PeerTools.h"

#include <QObject>
#include <QTest>
#include <functional>
#include <map>
#include <memory>
#include <string>

namespace mzb::test {

using UiTestFactory = std::function<std::unique_ptr<QObject>()>;
std::map<std::string, UiTestFactory>& UiTests();

struct UiTestRegistration {
    UiTestRegistration(const char* name, UiTestFactory factory) {
        UiTests().emplace(name, std::move(factory));
    }
};

} // namespace mzb::test

#define MZB_UI_TEST(Class)                                                                         \
    static const ::mzb::test::UiTestRegistration Class##Registration(                              \
        #Class, [] { return std::unique_ptr<QObject>(new Class); })

// The peer policy of PeerTools.h for a window test: a missing tool skips
// the test on a developer's machine and fails it under CI.
#define MZB_UI_REQUIRE_PEERS(...)                                                                  \
    do {                                                                                           \
        if (const auto missing_peer_ = ::mzb::test::MissingPeer({__VA_ARGS__})) {                  \
            const std::string why_ = *missing_peer_ + " is not installed";                         \
            if (::mzb::test::PeersRequired()) {                                                    \
                QFAIL((why_ + ", and CI runs every peer test").c_str());                           \
            } else {                                                                               \
                QSKIP(why_.c_str());                                                               \
            }                                                                                      \
        }                                                                                          \
    } while (false)
