#pragma once
// Runs a program to its end and gives back what it printed and its exit
// status, for end-to-end tests of the command-line tool.

#include <optional>
#include <string>
#include <vector>

namespace mzb::test {

struct CommandResult {
    int exitCode = -1; // -1 when the program could not run or was killed
    int signal = 0;    // the signal that killed it
    std::string out;
    std::string err;
};

// argv[0] is the program's path; no shell is involved. `env` adds
// NAME=VALUE entries to the program's environment.
CommandResult RunCommand(const std::vector<std::string>& argv,
                         const std::vector<std::string>& env = {});

// The full path of an executable found on PATH, as the shell would find it.
std::optional<std::string> FindProgram(const std::string& name);

} // namespace mzb::test
