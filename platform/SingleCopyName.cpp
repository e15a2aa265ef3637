#include "platform/SingleCopyName.h"

#include "platform/KnownDirectories.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <sys/stat.h>
#include <unistd.h>

namespace mzb {
namespace {

// FNV-1a: a program directory can be longer than a socket path may be, so
// the name carries a digest of it instead.
std::uint64_t Digest(const std::string& text) {
    std::uint64_t hash = 0xcbf29ce484222325ULL;
    for (const unsigned char c : text) {
        hash = (hash ^ c) * 0x100000001b3ULL;
    }
    return hash;
}

// A folder of the user's own that nobody else may enter or change, looked
// at without following a link.
bool IsPrivateFolder(const std::string& dir) {
    struct stat st {};
    return ::lstat(dir.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::geteuid() &&
           (st.st_mode & 077) == 0;
}

std::string WithSlash(std::string dir) {
    return dir.back() == '/' ? dir : dir + "/";
}

std::string PrivateFolder() {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (runtime != nullptr && runtime[0] == '/' && IsPrivateFolder(runtime)) {
        return WithSlash(runtime);
    }
    const char* cache = std::getenv("XDG_CACHE_HOME");
    const std::string cacheHome =
        cache != nullptr && cache[0] == '/' ? WithSlash(cache) : HomeDirectory() + ".cache/";
    const std::string own = cacheHome + "morvaleen-zip-backup/";
    // Made private from the start; one found is used only as it was made.
    ::mkdir(cacheHome.c_str(), 0700);
    ::mkdir(own.c_str(), 0700);
    return IsPrivateFolder(own) ? own : std::string();
}

} // namespace

std::string SingleCopySocketPath(const std::string& programDirectory) {
    const std::string folder = PrivateFolder();
    if (folder.empty()) {
        return {};
    }
    char name[64];
    std::snprintf(name, sizeof name, "morvaleen-zip-backup-%u-%016llx",
                  static_cast<unsigned>(::geteuid()),
                  static_cast<unsigned long long>(Digest(programDirectory)));
    return folder + name;
}

} // namespace mzb
