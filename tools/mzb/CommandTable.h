#pragma once
// The table of mzb's commands: each row holds what the dispatcher, the help,
// the usage errors and the shell completion need to know about a command.
// Adding a command or an option is adding to its row.

#include "tools/mzb/Commands.h"

#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

namespace mzb::cli {

// One option as the help shows it: its form, where a blank separates the
// option from the value it takes ("-p PASSWORD"), and what it does.
struct OptionHelp {
    const char* form;
    const char* text;
    bool repeats = false; // may be given more than once
};

struct Command {
    const char* name;
    const char* operands; // before the options in the usage line
    std::vector<OptionHelp> options;
    const char* trailing; // after the options ("ITEM...", "[PATTERN...]")
    const char* summary;
    CommandFn run;
};

// Every command, in the order the overview lists them.
const std::vector<Command>& Commands();

// The row of `name`, or null.
const Command* FindCommand(std::string_view name);

// "mzb extract ARCHIVE DEST [-p PASSWORD] ... [PATTERN...]".
std::string UsageLine(const Command& command);

// True when the arguments ask for the command's help (--help or -h where an
// option may stand, not as the value of another option nor after "--").
bool AsksForHelp(const Command& command, const Args& args);

void PrintCommandHelp(const Command& command, std::FILE* out);
void PrintOverview(std::FILE* out);

// The usage line of mzb itself, for errors before a command is known.
inline constexpr const char* kGlobalUsage = "mzb [--ini FILE] COMMAND [ARGS...]";

// Runs the command's row; usage errors raised meanwhile name its usage.
int RunCommand(const Command& command, const GlobalOptions& options, const Args& args);

} // namespace mzb::cli
