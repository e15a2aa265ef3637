#include "platform/ProgramLayout.h"

#include "platform/KnownDirectories.h"

#include <filesystem>
#include <system_error>

namespace mzb {
namespace {

constexpr const char* kDataFolder = "morvaleen-zip-backup";
constexpr const char* kHelpFile = "help.html";

bool EndsWith(const std::string& text, const std::string& tail) {
    return text.size() >= tail.size() &&
           text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

} // namespace

ProgramLayout LayoutFor(const std::string& programDirectory) {
    ProgramLayout layout;
    layout.ProgramDirectory = programDirectory;
    layout.IniDirectory = programDirectory;
    layout.HelpFile = programDirectory + kHelpFile;
    if (!EndsWith(programDirectory, "/bin/")) {
        return layout;
    }
    const std::string prefix = programDirectory.substr(0, programDirectory.size() - 4);
    const std::string shared = prefix + "share/" + kDataFolder + "/";
    std::error_code ec;
    if (!std::filesystem::is_directory(shared, ec)) {
        return layout;
    }
    layout.Installed = true;
    layout.IniDirectory = ConfigHomeDirectory() + kDataFolder + "/";
    layout.HelpFile = shared + kHelpFile;
    return layout;
}

void EnsureIniDirectory(const ProgramLayout& layout) {
    if (!layout.Installed) {
        return;
    }
    namespace fs = std::filesystem;
    std::error_code ec;
    const fs::path dir(layout.IniDirectory);
    if (fs::is_directory(dir, ec)) {
        return;
    }
    fs::create_directories(dir.parent_path().parent_path(), ec);
    if (fs::create_directory(dir, ec)) {
        fs::permissions(dir, fs::perms::owner_all, fs::perm_options::replace, ec);
    }
}

} // namespace mzb
