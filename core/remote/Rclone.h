#pragma once
// rclone, the external program every remote copy goes through, seen as one
// call: its arguments, what it printed, why it failed. The program is found
// on PATH at each call; it reads its own configuration (RCLONE_CONFIG and
// the rest of its environment), so no credential ever passes through this
// program's arguments or its project.ini. Tests stand a fake in its place
// where a real server cannot show the fault.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace mzb {

struct RcloneWatch {
    // Bytes moved so far of the total, from rclone's statistics.
    std::function<void(std::uint64_t done, std::uint64_t total)> OnProgress;
    // Asked while rclone runs; false stops it.
    std::function<bool()> KeepGoing;
};

struct RcloneResult {
    bool Ran = false;     // false: rclone could not be started (Reason says why)
    bool Stopped = false; // KeepGoing said no
    int ExitCode = -1;
    std::string Out;    // stdout
    std::string Reason; // rclone's own last error line, without its time stamp

    bool Succeeded() const { return Ran && !Stopped && ExitCode == 0; }
};

// rclone's exit statuses that mean "nothing there", not a failure.
inline constexpr int kRcloneDirectoryNotFound = 3;
inline constexpr int kRcloneFileNotFound = 4;

class Rclone {
public:
    virtual ~Rclone() = default;
    // One call; `args` are rclone's own, a command first.
    virtual RcloneResult Run(const std::vector<std::string>& args, const RcloneWatch& watch) = 0;
};

// The rclone on PATH. Each call adds the options that keep it from asking
// anything on a terminal and make its log machine-readable.
class RcloneProgram : public Rclone {
public:
    RcloneResult Run(const std::vector<std::string>& args, const RcloneWatch& watch) override;
};

// Whether rclone is on PATH, and the sentence that says it is not.
bool RcloneInstalled();
inline constexpr const char* kRcloneMissingText =
    "rclone is not installed (not found on PATH); install it (apt install rclone) for remote "
    "copies";

// From one line of rclone's stderr: the bytes done and the total of a
// statistics line, or false for any other line.
bool ReadRcloneStats(const std::string& line, std::uint64_t& done, std::uint64_t& total);
// From one line of rclone's stderr: the message of an error line (a JSON
// log line of level error or above, or a plain "Failed to ..." line without
// its time stamp), or empty.
std::string ReadRcloneError(const std::string& line);

} // namespace mzb
