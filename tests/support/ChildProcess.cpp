#include "support/ChildProcess.h"

#include <cerrno>
#include <csignal>
#include <stdexcept>
#include <sys/wait.h>
#include <unistd.h>

namespace mzb::test {
namespace {

int readyFdInChild = -1;

void WriteAll(int fd, const std::string& text) {
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n <= 0) {
            return;
        }
        done += static_cast<std::size_t>(n);
    }
}

} // namespace

ChildProcess::ChildProcess(const std::function<std::string()>& body) {
    int result[2];
    int ready[2];
    if (::pipe(result) != 0 || ::pipe(ready) != 0) {
        throw std::runtime_error("cannot make pipes for a child process");
    }
    pid_ = ::fork();
    if (pid_ == 0) {
        ::close(result[0]);
        ::close(ready[0]);
        readyFdInChild = ready[1];
        std::string text;
        try {
            text = body();
        } catch (const std::exception& e) {
            text = std::string("exception: ") + e.what();
        }
        WriteAll(result[1], text);
        ::_exit(0);
    }
    ::close(result[1]);
    ::close(ready[1]);
    resultFd_ = result[0];
    readyFd_ = ready[0];
    if (pid_ < 0) {
        throw std::runtime_error("cannot fork a child process");
    }
}

ChildProcess::~ChildProcess() {
    if (pid_ > 0) {
        Kill();
        Result();
    }
    ::close(resultFd_);
    ::close(readyFd_);
}

bool ChildProcess::WaitReady() {
    char byte = 0;
    ssize_t n = 0;
    while ((n = ::read(readyFd_, &byte, 1)) < 0 && errno == EINTR) {
    }
    return n == 1;
}

void ChildProcess::Kill() {
    if (pid_ > 0) {
        ::kill(pid_, SIGKILL);
    }
}

std::string ChildProcess::Result() {
    std::string text;
    char buffer[4096];
    for (;;) {
        const ssize_t n = ::read(resultFd_, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            break;
        }
        text.append(buffer, static_cast<std::size_t>(n));
    }
    int status = 0;
    while (pid_ > 0 && ::waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
    }
    pid_ = -1;
    if (WIFSIGNALED(status)) {
        return "killed by signal " + std::to_string(WTERMSIG(status));
    }
    if (WIFEXITED(status) && WEXITSTATUS(status) != 0) {
        return "exited with " + std::to_string(WEXITSTATUS(status));
    }
    return text;
}

void TellParentReady() {
    WriteAll(readyFdInChild, "r");
}

std::string RunInChild(const std::function<std::string()>& body) {
    return ChildProcess(body).Result();
}

} // namespace mzb::test
