#pragma once
// A main window over a prepared project.ini in a temporary program folder.

#include "support/TempDir.h"
#include "ui/TFormMain.h"
#include "ui_TFormMain.h"

#include <memory>
#include <string>

namespace mzb::test {

struct MainWindowFixture {
    TempDir dir;

    std::string IniPath() const { return dir.dir() + "project.ini"; }
    std::string IniText() const { return ReadFile(IniPath()); }

    void WriteIni(const std::string& text) const { dir.write("project.ini", text); }

    std::unique_ptr<TFormMain> Open(bool trayAvailable = false) const {
        ProgramSetup setup;
        setup.Layout = LayoutFor(dir.dir());
        setup.TrayAvailable = [trayAvailable] { return trayAvailable; };
        return std::make_unique<TFormMain>(setup);
    }
};

// "[Common]" with the projects listed in the given order, then `extra`.
inline std::string CommonWith(const std::vector<std::string>& projects, const std::string& extra) {
    std::string text = "[Common]\nProject Count=" + std::to_string(projects.size()) + "\n";
    for (std::size_t i = 0; i < projects.size(); ++i) {
        text += "Count" + std::to_string(i) + "=" + projects[i] + "\n";
    }
    return text + extra;
}

} // namespace mzb::test
