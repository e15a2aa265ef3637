#pragma once
// Where a command's password comes from. `-p PASSWORD` is visible to every
// user in the process list for the length of the run, so there are three
// ways to keep it off the command line: `-p -` asks on the terminal without
// echo, `--password-file FILE` takes the file's first line, and the
// environment variable MZB_PASSWORD is used when neither option is given.

#include "tools/mzb/Commands.h"

#include <optional>
#include <string>

namespace mzb::cli {

inline constexpr const char* kPasswordEnvironment = "MZB_PASSWORD";

class PasswordOption {
public:
    // Takes `-p VALUE` or `--password-file FILE` at args[i], moving i to the
    // value. False when args[i] is neither; `error` is set when it is one
    // without its value, or the second of them.
    bool Parse(const Args& args, std::size_t& i, std::string& error);

    // The password (empty when none was given). `confirm` asks a terminal
    // twice, as for a new archive, where a mistyped password would lock the
    // backup for good. nullopt with `error` set when it cannot be had.
    std::optional<std::string> Resolve(bool confirm, std::string& error) const;

private:
    std::optional<std::string> value_;
    std::optional<std::string> file_;
};

} // namespace mzb::cli
