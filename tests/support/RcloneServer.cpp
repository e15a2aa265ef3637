#include "support/RcloneServer.h"

#include "support/RunCommand.h"
#include "support/TempDir.h"

#include <csignal>
#include <fcntl.h>
#include <regex>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace mzb::test {

RcloneServer::RcloneServer(Kind kind, const std::string& servedFolder,
                           const std::string& workFolder)
    : kind_(kind), log_(workFolder + (kind == Kind::Sftp ? "sftp.log" : "webdav.log")) {
    const std::optional<std::string> rclone = FindProgram("rclone");
    if (!rclone) {
        return;
    }
    // Without a directory cache the server sees what a test puts into or
    // takes out of the served folder at once.
    std::vector<std::string> argv = {*rclone,
                                     "serve",
                                     kind == Kind::Sftp ? "sftp" : "webdav",
                                     servedFolder,
                                     "--addr",
                                     "127.0.0.1:0",
                                     "--user",
                                     kUser,
                                     "--pass",
                                     kPassword,
                                     "--dir-cache-time",
                                     "0s",
                                     "--cache-dir",
                                     workFolder + "cache",
                                     "--config",
                                     workFolder + "server.conf"};
    // Gone before the child starts, so that the port read below is never an
    // earlier server's.
    ::unlink(log_.c_str());
    std::vector<char*> args;
    for (auto& a : argv) {
        args.push_back(a.data());
    }
    args.push_back(nullptr);
    pid_ = ::fork();
    if (pid_ == 0) {
        const int log = ::open(log_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        const int null = ::open("/dev/null", O_RDWR);
        if (log < 0 || null < 0 || ::dup2(null, 0) < 0 || ::dup2(null, 1) < 0 ||
            ::dup2(log, 2) < 0) {
            ::_exit(127);
        }
        ::execv(args[0], args.data());
        ::_exit(127);
    }
    // The port is in the line that says the server listens; a server that
    // ends first has failed.
    const std::regex listening(R"(127\.0\.0\.1:(\d+))");
    for (;;) {
        std::smatch match;
        const std::string text = ReadFile(log_);
        if (std::regex_search(text, match, listening)) {
            port_ = std::stoi(match[1]);
            return;
        }
        int status = 0;
        if (pid_ < 0 || ::waitpid(pid_, &status, WNOHANG) == pid_) {
            pid_ = -1;
            return;
        }
        ::usleep(20000);
    }
}

RcloneServer::~RcloneServer() {
    Stop();
}

void RcloneServer::Stop() {
    if (pid_ > 0) {
        ::kill(pid_, SIGTERM);
        int status = 0;
        ::waitpid(pid_, &status, 0);
        pid_ = -1;
    }
}

std::string RcloneServer::Log() const {
    return ReadFile(log_);
}

std::string RcloneServer::ConfigSection(const std::string& remoteName) const {
    const std::optional<std::string> rclone = FindProgram("rclone");
    std::string obscured = rclone ? RunCommand({*rclone, "obscure", kPassword}).out : "";
    while (!obscured.empty() && (obscured.back() == '\n' || obscured.back() == '\r')) {
        obscured.pop_back();
    }
    const std::string address = "127.0.0.1:" + std::to_string(port_);
    if (kind_ == Kind::Sftp) {
        return "[" + remoteName +
               "]\ntype = sftp\nhost = 127.0.0.1\nport = " + std::to_string(port_) +
               "\nuser = " + kUser + "\npass = " + obscured + "\n\n";
    }
    return "[" + remoteName + "]\ntype = webdav\nurl = http://" + address +
           "/\nvendor = other\nuser = " + kUser + "\npass = " + obscured + "\n\n";
}

} // namespace mzb::test
