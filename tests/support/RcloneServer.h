#pragma once
// An rclone server on the loopback address for the remote-copy tests:
// `rclone serve sftp` or `rclone serve webdav` over a folder, with a user
// and password, started on a free port and stopped when the object goes.
// Host keys and caches go to the given work folder, never the user's.

#include <string>
#include <sys/types.h>

namespace mzb::test {

class RcloneServer {
public:
    enum class Kind { Sftp, Webdav };
    static constexpr const char* kUser = "backup";
    static constexpr const char* kPassword = "Test-Secret-7f3a";

    // Starts the server and waits until it listens; Port() is 0 when it
    // could not start (the reason is in Log()).
    RcloneServer(Kind kind, const std::string& servedFolder, const std::string& workFolder);
    ~RcloneServer();
    RcloneServer(const RcloneServer&) = delete;
    RcloneServer& operator=(const RcloneServer&) = delete;

    int Port() const { return port_; }
    void Stop();
    std::string Log() const;

    // A section of rclone.conf for a remote of that name that reaches this
    // server, its password obscured as `rclone config` stores it.
    std::string ConfigSection(const std::string& remoteName) const;

private:
    Kind kind_;
    std::string log_;
    pid_t pid_ = -1;
    int port_ = 0;
};

} // namespace mzb::test
