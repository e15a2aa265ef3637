#pragma once
// The registry of the window test classes: each test file registers its
// class with MZB_UI_TEST, and `ui_tests NAME [QtTest options]` runs one.

#include <QObject>
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
