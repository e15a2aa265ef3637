#include "UiTest.h"
#include "support/TestEnvironment.h"

#include <QApplication>
#include <QIcon>
#include <QTest>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace mzb::test {

std::map<std::string, UiTestFactory>& UiTests() {
    static std::map<std::string, UiTestFactory> tests;
    return tests;
}

} // namespace mzb::test

// Without a name every class runs; the rest of the arguments go to QtTest.
int main(int argc, char** argv) {
    mzb::test::FixTestEnvironment();
    if (std::getenv("QT_QPA_PLATFORM") == nullptr) {
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    }
    QApplication app(argc, argv);
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
