#include "platform/SingleCopyName.h"

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

std::string RuntimeDirectory() {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    struct stat st {};
    if (runtime != nullptr && runtime[0] == '/' && ::stat(runtime, &st) == 0 &&
        S_ISDIR(st.st_mode)) {
        std::string dir = runtime;
        return dir.back() == '/' ? dir : dir + "/";
    }
    return "/tmp/";
}

} // namespace

std::string SingleCopySocketPath(const std::string& programDirectory) {
    char name[64];
    std::snprintf(name, sizeof name, "morvaleen-zip-backup-%u-%016llx",
                  static_cast<unsigned>(::getuid()),
                  static_cast<unsigned long long>(Digest(programDirectory)));
    return RuntimeDirectory() + name;
}

} // namespace mzb
