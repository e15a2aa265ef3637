#include "platform/AutostartEntry.h"

#include "platform/KnownDirectories.h"

#include <filesystem>
#include <fstream>
#include <string_view>
#include <system_error>

namespace mzb {
namespace {

constexpr std::string_view kReserved = " \t\"'\\><~|&;$*?#()`";

// One argument of an Exec value. Quoting escapes '"', '`', '$' and '\';
// the value is then a string of the file format, whose own escaping
// doubles every backslash again.
std::string ExecArgument(const std::string& path) {
    std::string arg;
    const bool quote = path.find_first_of(kReserved) != std::string::npos;
    if (quote) {
        arg += '"';
    }
    for (const char c : path) {
        if (quote && (c == '"' || c == '`' || c == '$')) {
            arg += "\\\\";
        } else if (c == '\\') {
            arg += "\\\\\\\\";
            continue;
        } else if (c == '%') {
            arg += '%';
        }
        arg += c;
    }
    if (quote) {
        arg += '"';
    }
    return arg;
}

} // namespace

std::string AutostartEntryPath() {
    return ConfigHomeDirectory() + "autostart/" + kAutostartName + ".desktop";
}

std::string AutostartEntryText(const std::string& executable) {
    if (executable.empty() || executable.front() != '/' ||
        executable.find_first_of("\r\n") != std::string::npos) {
        return {};
    }
    return "[Desktop Entry]\n"
           "Type=Application\n"
           "Name=Morvaleen ZIP Backup\n"
           "Comment=Scheduled backups of your projects into ZIP archives\n"
           "Exec=" +
           ExecArgument(executable) +
           "\n"
           "Icon=morvaleen-zip-backup\n"
           "Terminal=false\n";
}

bool WriteAutostartEntry(const std::string& executable) {
    const std::string text = AutostartEntryText(executable);
    if (text.empty()) {
        return false;
    }
    const std::filesystem::path target = AutostartEntryPath();
    std::error_code ec;
    std::filesystem::create_directories(target.parent_path(), ec);
    // Written beside and renamed, so the session never starts a half entry.
    const std::filesystem::path temp = target.string() + ".tmp";
    {
        std::ofstream out(temp, std::ios::binary | std::ios::trunc);
        out << text;
        out.close();
        if (!out) {
            std::filesystem::remove(temp, ec);
            return false;
        }
    }
    std::filesystem::rename(temp, target, ec);
    if (ec) {
        std::filesystem::remove(temp, ec);
        return false;
    }
    return true;
}

bool RemoveAutostartEntry() {
    std::error_code ec;
    std::filesystem::remove(AutostartEntryPath(), ec);
    return !ec;
}

} // namespace mzb
