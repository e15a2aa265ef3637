#include "support/Unprivileged.h"

#include <filesystem>
#include <grp.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace mzb::test {

bool RunUnprivileged(const std::function<bool()>& check) {
    if (::geteuid() != 0) {
        return check();
    }
    const pid_t pid = ::fork();
    if (pid < 0) {
        return false;
    }
    if (pid == 0) {
        constexpr uid_t kNobody = 65534;
        bool passed = false;
        if (::setgroups(0, nullptr) == 0 && ::setgid(kNobody) == 0 && ::setuid(kNobody) == 0) {
            try {
                passed = check();
            } catch (...) {
            }
        }
        ::_exit(passed ? 0 : 1);
    }
    int status = 0;
    if (::waitpid(pid, &status, 0) != pid) {
        return false;
    }
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

void OpenPathToOthers(const std::string& path) {
    for (std::filesystem::path p = path; !p.empty() && p != p.root_path(); p = p.parent_path()) {
        struct stat st {};
        if (::stat(p.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) {
            ::chmod(p.c_str(), (st.st_mode & 07777) | 0755);
        }
    }
}

} // namespace mzb::test
