#include "platform/ProgramRun.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sstream>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace mzb {
namespace {

// How much of stderr a result keeps: enough for rclone's last errors.
constexpr std::size_t kErrorTailBytes = 4096;

class Fd {
public:
    Fd() = default;
    explicit Fd(int fd) : fd_(fd) {}
    ~Fd() { Close(); }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int Get() const { return fd_; }
    void Close() {
        if (fd_ >= 0) {
            ::close(fd_);
            fd_ = -1;
        }
    }
    int* Out() { return &fd_; }

private:
    int fd_ = -1;
};

bool MakePipe(Fd& readEnd, Fd& writeEnd) {
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) {
        return false;
    }
    *readEnd.Out() = fds[0];
    *writeEnd.Out() = fds[1];
    return true;
}

std::string NameOf(const std::string& entry) {
    return entry.substr(0, entry.find('='));
}

// The inherited environment with the extra entries in place of any of the
// same name.
std::vector<std::string> Environment(const std::vector<std::string>& extra) {
    std::vector<std::string> env;
    for (char** e = environ; e != nullptr && *e != nullptr; ++e) {
        const std::string entry(*e);
        bool replaced = false;
        for (const std::string& x : extra) {
            replaced = replaced || NameOf(x) == NameOf(entry);
        }
        if (!replaced) {
            env.push_back(entry);
        }
    }
    env.insert(env.end(), extra.begin(), extra.end());
    return env;
}

std::vector<char*> Pointers(std::vector<std::string>& strings) {
    std::vector<char*> out;
    for (std::string& s : strings) {
        out.push_back(s.data());
    }
    out.push_back(nullptr);
    return out;
}

// Waits for the child; after a stop, SIGTERM first, then SIGKILL when it
// has not gone within a couple of seconds.
int Reap(pid_t pid, bool stop) {
    int status = 0;
    if (stop) {
        ::kill(pid, SIGTERM);
        for (int i = 0; i < 200; ++i) {
            const pid_t done = ::waitpid(pid, &status, WNOHANG);
            if (done == pid) {
                return status;
            }
            ::usleep(10000);
        }
        ::kill(pid, SIGKILL);
    }
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    return status;
}

// Hands over complete lines and keeps the rest for the next read.
void TakeLines(std::string& pending, const std::function<void(const std::string&)>& onLine) {
    std::size_t start = 0;
    for (std::size_t nl; (nl = pending.find('\n', start)) != std::string::npos; start = nl + 1) {
        if (onLine) {
            onLine(pending.substr(start, nl - start));
        }
    }
    pending.erase(0, start);
}

} // namespace

std::optional<std::string> FindOnPath(const std::string& name) {
    if (name.find('/') != std::string::npos) {
        return ::access(name.c_str(), X_OK) == 0 ? std::optional(name) : std::nullopt;
    }
    const char* path = std::getenv("PATH");
    std::stringstream dirs(path != nullptr ? path : "/usr/bin:/bin");
    for (std::string dir; std::getline(dirs, dir, ':');) {
        if (dir.empty()) {
            continue;
        }
        const std::string candidate = dir + "/" + name;
        if (::access(candidate.c_str(), X_OK) == 0) {
            return candidate;
        }
    }
    return std::nullopt;
}

ProgramResult RunProgram(const ProgramCall& call) {
    ProgramResult result;
    const std::optional<std::string> program = FindOnPath(call.Program);
    if (!program) {
        result.Error = call.Program + " is not installed (not found on PATH)";
        return result;
    }
    Fd outRead, outWrite, errRead, errWrite;
    if (!MakePipe(outRead, outWrite) || !MakePipe(errRead, errWrite)) {
        result.Error = std::string("cannot make a pipe: ") + std::strerror(errno);
        return result;
    }
    std::vector<std::string> argv{*program};
    argv.insert(argv.end(), call.Args.begin(), call.Args.end());
    std::vector<std::string> env = Environment(call.Extra);
    std::vector<char*> argp = Pointers(argv);
    std::vector<char*> envp = Pointers(env);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, outWrite.Get(), 1);
    posix_spawn_file_actions_adddup2(&actions, errWrite.Get(), 2);
    posix_spawnattr_t attr;
    posix_spawnattr_init(&attr);
    // A group of its own: a terminal's Ctrl-C reaches the caller, which
    // then ends the child itself and says what was left undone.
    sigset_t defaults, none;
    sigemptyset(&none);
    sigemptyset(&defaults);
    for (const int s : {SIGPIPE, SIGINT, SIGTERM, SIGHUP}) {
        sigaddset(&defaults, s);
    }
    posix_spawnattr_setsigmask(&attr, &none);
    posix_spawnattr_setsigdefault(&attr, &defaults);
    posix_spawnattr_setpgroup(&attr, 0);
    posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGMASK |
                                        POSIX_SPAWN_SETSIGDEF);
    pid_t pid = -1;
    const int spawned =
        ::posix_spawn(&pid, program->c_str(), &actions, &attr, argp.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attr);
    if (spawned != 0) {
        result.Error = "cannot start " + *program + ": " + std::strerror(spawned);
        return result;
    }
    result.Started = true;
    outWrite.Close();
    errWrite.Close();

    std::string errPending;
    char buffer[8192];
    bool outOpen = true, errOpen = true;
    while ((outOpen || errOpen) && !result.Stopped) {
        pollfd fds[2] = {{outOpen ? outRead.Get() : -1, POLLIN, 0},
                         {errOpen ? errRead.Get() : -1, POLLIN, 0}};
        const int ready = ::poll(fds, 2, call.PollMilliseconds);
        if (ready < 0 && errno != EINTR) {
            break;
        }
        for (int i = 0; i < 2 && ready > 0; ++i) {
            if ((fds[i].revents & (POLLIN | POLLHUP | POLLERR)) == 0) {
                continue;
            }
            const ssize_t n = ::read(fds[i].fd, buffer, sizeof buffer);
            if (n <= 0) {
                (i == 0 ? outOpen : errOpen) = n < 0 && (errno == EINTR || errno == EAGAIN);
                continue;
            }
            if (i == 0) {
                result.Out.append(buffer, std::size_t(n));
            } else {
                errPending.append(buffer, std::size_t(n));
                result.ErrorTail.append(buffer, std::size_t(n));
                TakeLines(errPending, call.OnErrorLine);
            }
        }
        if (result.ErrorTail.size() > 2 * kErrorTailBytes) {
            result.ErrorTail.erase(0, result.ErrorTail.size() - kErrorTailBytes);
        }
        if (call.KeepGoing && !call.KeepGoing()) {
            result.Stopped = true;
        }
    }
    if (!errPending.empty() && call.OnErrorLine && !result.Stopped) {
        call.OnErrorLine(errPending);
    }
    if (result.ErrorTail.size() > kErrorTailBytes) {
        result.ErrorTail.erase(0, result.ErrorTail.size() - kErrorTailBytes);
    }
    const int status = Reap(pid, result.Stopped);
    if (WIFEXITED(status)) {
        result.ExitCode = WEXITSTATUS(status);
    } else if (WIFSIGNALED(status)) {
        result.Signal = WTERMSIG(status);
    }
    return result;
}

} // namespace mzb
