#pragma once
// Runs another program as a child process: found on PATH, started with
// posix_spawn and its arguments as a vector (no shell, so nothing in them is
// interpreted), stdin from /dev/null, stdout collected, stderr handed over
// line by line while it runs. A caller that must stay responsive (repaint,
// cancel) is asked between reads whether to go on; when it says no, the
// child is ended with SIGTERM (SIGKILL if it lingers) and waited for.

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace mzb {

struct ProgramCall {
    std::string Program;            // a name looked up on PATH, or a path with a '/'
    std::vector<std::string> Args;  // after argv[0]
    std::vector<std::string> Extra; // NAME=VALUE added to the inherited environment
    // Each line of stderr, without its line break, as it comes.
    std::function<void(const std::string& line)> OnErrorLine;
    // Asked at least every `PollMilliseconds`; false ends the child.
    std::function<bool()> KeepGoing;
    int PollMilliseconds = 100;
};

struct ProgramResult {
    bool Started = false;  // false: not found or not executable (Error says why)
    bool Stopped = false;  // KeepGoing said no
    int ExitCode = -1;     // -1 when it did not exit by itself
    int Signal = 0;        // the signal that ended it
    std::string Out;       // all of stdout
    std::string ErrorTail; // the last lines of stderr, at most a few KiB
    std::string Error;     // why it could not start
};

ProgramResult RunProgram(const ProgramCall& call);

// The full path of an executable file found on PATH.
std::optional<std::string> FindOnPath(const std::string& name);

} // namespace mzb
