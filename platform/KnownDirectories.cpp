#include "platform/KnownDirectories.h"

#include <cstdlib>
#include <pwd.h>
#include <unistd.h>
#include <vector>

namespace mzb {
namespace {

std::string WithSlash(std::string dir) {
    if (dir.empty() || dir.back() != '/') {
        dir.push_back('/');
    }
    return dir;
}

} // namespace

std::string ExecutablePath() {
    std::vector<char> buffer(4096);
    for (;;) {
        const ssize_t n = ::readlink("/proc/self/exe", buffer.data(), buffer.size());
        if (n < 0) {
            return {};
        }
        if (static_cast<std::size_t>(n) < buffer.size()) {
            return std::string(buffer.data(), static_cast<std::size_t>(n));
        }
        buffer.resize(buffer.size() * 2);
    }
}

std::string ProgramDirectory() {
    const std::string exe = ExecutablePath();
    return exe.empty() ? exe : exe.substr(0, exe.rfind('/') + 1);
}

std::string HomeDirectory() {
    if (const char* home = std::getenv("HOME"); home != nullptr && home[0] == '/') {
        return WithSlash(home);
    }
    if (const passwd* entry = ::getpwuid(::getuid());
        entry != nullptr && entry->pw_dir != nullptr && entry->pw_dir[0] == '/') {
        return WithSlash(entry->pw_dir);
    }
    return "/";
}

std::string ConfigHomeDirectory() {
    // A relative value is invalid by the base-directory rules and is ignored.
    if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg != nullptr && xdg[0] == '/') {
        return WithSlash(xdg);
    }
    return HomeDirectory() + ".config/";
}

} // namespace mzb
