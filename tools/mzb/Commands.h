#pragma once
// The commands of the mzb tool. Each group of commands lives in its own
// file; main.cpp only dispatches.

#include <optional>
#include <string>
#include <vector>

namespace mzb::cli {

// Exit statuses shared by every command.
inline constexpr int kExitOk = 0;
inline constexpr int kExitPartial = 1; // some entries or files failed, or a refusal
inline constexpr int kExitFatal = 2;   // usage errors and fatal errors

struct GlobalOptions {
    std::string iniPath; // --ini FILE; empty means project.ini of the program directory
};

using Args = std::vector<std::string>;
using CommandFn = int (*)(const GlobalOptions&, const Args&);

struct Command {
    const char* name;
    const char* usage;
    CommandFn run;
};

// The value of -t: a thread count from 1 to 256.
inline std::optional<unsigned> ParseThreadCount(const std::string& text) {
    if (text.empty() || text.size() > 3 || text.find_first_not_of("0123456789") != text.npos) {
        return std::nullopt;
    }
    const unsigned n = unsigned(std::stoul(text));
    return n >= 1 && n <= 256 ? std::optional<unsigned>(n) : std::nullopt;
}

// Prints "mzb: <message>" on stderr and returns kExitFatal.
int UsageError(const std::string& message);

} // namespace mzb::cli
