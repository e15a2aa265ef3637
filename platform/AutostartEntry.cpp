#include "platform/AutostartEntry.h"

#include "platform/KnownDirectories.h"
#include "platform/OwnFile.h"

#include <algorithm>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <string_view>
#include <system_error>
#include <unistd.h>

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
    // A control character has no form an Exec line may hold: the format's
    // own escapes would turn into the character again before the quoting
    // is read, and the entry would be invalid.
    const bool hasControl = std::any_of(executable.begin(), executable.end(), [](char c) {
        return static_cast<unsigned char>(c) < 0x20 || c == 0x7F;
    });
    if (executable.empty() || executable.front() != '/' || hasControl) {
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
    // Written beside under a new name of its own and renamed, so the session
    // never starts a half entry and nothing standing at a name is written
    // through.
    std::string temp = target.string() + ".tmp-XXXXXX";
    const int fd = ::mkostemp(temp.data(), O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    const bool written = WriteAll(fd, text);
    if (::close(fd) != 0 || !written || ::rename(temp.c_str(), target.c_str()) != 0) {
        ::unlink(temp.c_str());
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
