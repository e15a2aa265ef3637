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

// An argument written as an option ("-x", "--name"); a lone "-" is not one.
inline bool LooksLikeOption(const std::string& arg) {
    return arg.size() > 1 && arg[0] == '-';
}

// The error for operands that are not `wanted` in number: the first missing
// one is named by `names` ("NAME", "ARCHIVE and DEST"), a surplus one by
// itself. Empty when the count is right.
std::string OperandCountError(const Args& operands, std::size_t wanted, const char* names);

// "unknown option -x" or "unexpected argument x".
std::string UnexpectedArgumentError(const std::string& arg);

// The error for the value of --now at args[i], or for its absence when i is
// past the end.
std::string NowValueError(const Args& args, std::size_t i);

// The value of -t: a thread count from 1 to 256.
inline std::optional<unsigned> ParseThreadCount(const std::string& text) {
    if (text.empty() || text.size() > 3 || text.find_first_not_of("0123456789") != text.npos) {
        return std::nullopt;
    }
    const unsigned n = unsigned(std::stoul(text));
    return n >= 1 && n <= 256 ? std::optional<unsigned>(n) : std::nullopt;
}

// Prints "mzb: <problem>; usage: <the running command's usage line>" on
// stderr and returns kExitFatal.
int UsageError(const std::string& problem);

} // namespace mzb::cli
