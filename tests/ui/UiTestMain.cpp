#include "UiTest.h"
#include "support/TestEnvironment.h"

#include <QApplication>
#include <QIcon>
#include <QTest>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <unistd.h>
#include <vector>

namespace mzb::test {

std::map<std::string, UiTestFactory>& UiTests() {
    static std::map<std::string, UiTestFactory> tests;
    return tests;
}

} // namespace mzb::test

namespace {

// The offscreen platform's screen as the window tests see it: one 1280 by
// 720 screen at 96 dots per inch, a small laptop's, rather than whatever
// size the platform picks by default. Returns the file to remove once the
// platform has read it.
std::string UseFixedOffscreenScreen() {
    const char* platform = std::getenv("QT_QPA_PLATFORM");
    if (platform != nullptr && std::string_view(platform) != "offscreen") {
        return {};
    }
    char path[] = "/tmp/mzb-ui-screen-XXXXXX";
    const int fd = ::mkstemp(path);
    if (fd < 0) {
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
        return {};
    }
    const std::string config = R"({"screens": [{"name": "Screen1", "x": 0, "y": 0,)"
                               R"( "width": 1280, "height": 720, "logicalDpi": 96}]})";
    const bool written =
        ::write(fd, config.data(), config.size()) == static_cast<ssize_t>(config.size());
    ::close(fd);
    setenv("QT_QPA_PLATFORM",
           written ? (std::string("offscreen:configfile=") + path).c_str() : "offscreen", 1);
    return path;
}

} // namespace

// Without a name every class runs; the rest of the arguments go to QtTest.
int main(int argc, char** argv) {
    mzb::test::FixTestEnvironment();
    const std::string screenConfig = UseFixedOffscreenScreen();
    QApplication app(argc, argv);
    if (!screenConfig.empty()) {
        std::remove(screenConfig.c_str());
    }
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/desktop/morvaleen-zip-backup.svg")));
    auto& tests = mzb::test::UiTests();
    std::vector<std::string> chosen;
    std::vector<char*> rest{argv[0]};
    for (int i = 1; i < argc; ++i) {
        if (tests.count(argv[i]) != 0) {
            chosen.push_back(argv[i]);
        } else {
            rest.push_back(argv[i]);
        }
    }
    if (chosen.empty()) {
        for (const auto& [name, factory] : tests) {
            chosen.push_back(name);
        }
    }
    int failures = 0;
    for (const std::string& name : chosen) {
        const std::unique_ptr<QObject> test = tests[name]();
        failures += QTest::qExec(test.get(), static_cast<int>(rest.size()), rest.data());
    }
    return failures == 0 ? 0 : 1;
}
