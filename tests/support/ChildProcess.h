#pragma once
// A forked child that runs one function and hands back the text it
// returned, for what a test must do in another process: hold a lock and be
// killed, write under a file-size limit, run as a user the file system
// refuses, race another writer. The child never returns into the test
// framework; it ends with _exit.

#include <functional>
#include <string>
#include <sys/types.h>

namespace mzb::test {

class ChildProcess {
public:
    explicit ChildProcess(const std::function<std::string()>& body);
    ~ChildProcess(); // kills a child still running
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // Waits until the child calls TellParentReady (true), or ends first (false).
    bool WaitReady();
    void Kill();
    // Waits for the end: what the body returned, or "killed by signal N" /
    // "exited with N" when it did not return.
    std::string Result();

private:
    pid_t pid_ = -1;
    int resultFd_ = -1;
    int readyFd_ = -1;
};

// Called in the child's body: WaitReady in the parent returns.
void TellParentReady();

// The body run in a child to its end: ChildProcess(body).Result().
std::string RunInChild(const std::function<std::string()>& body);

} // namespace mzb::test
