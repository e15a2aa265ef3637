#pragma once
// Runs the built mzb tool, for end-to-end tests of its commands.

#include <string>

namespace mzb::test {

struct MzbResult {
    int ExitCode = -1;
    std::string Out; // standard output; standard error goes to the test's log
};

// `arguments` are appended to the tool's path and passed through the shell,
// so quote what needs quoting (ShellQuote).
MzbResult RunMzb(const std::string& arguments);
std::string ShellQuote(const std::string& text);

} // namespace mzb::test
