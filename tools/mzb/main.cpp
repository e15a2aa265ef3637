// mzb: the command-line front end to the engine and the project store, for
// scripts, tests and machines without a desktop.
#include "tools/mzb/ArchiveCommands.h"
#include "tools/mzb/BrowseCommands.h"
#include "tools/mzb/Commands.h"
#include "tools/mzb/CreateCommand.h"
#include "tools/mzb/ProjectCommands.h"
#include "tools/mzb/RunCommands.h"
#include "tools/mzb/ScheduleCommands.h"

#include <cstdio>
#include <cstring>
#include <exception>
#include <string>

namespace mzb::cli {

int UsageError(const std::string& message) {
    std::fprintf(stderr, "mzb: %s\n", message.c_str());
    return kExitFatal;
}

namespace {

// Kept in the order the help lists them.
const Command kCommands[] = {
    {"projects", "projects", RunProjects},
    {"show", "show NAME", RunShow},
    {"next-name", "next-name NAME [--now \"YYYY-MM-DD HH:MM:SS\"]", RunNextName},
    {"archives", "archives DIR [--by name|size|date] [--desc]", RunArchives},
    {"contents", "contents ARCHIVE", RunContents},
    {"schedule", "schedule [--now \"YYYY-MM-DD HH:MM:SS\"]", RunScheduleTable},
    {"create",
     "create ARCHIVE [-l LEVEL] [-p PASSWORD] [-e aes256|aes192|aes128|zipcrypto] [-r] [-j] "
     "[-c COMMENT] [-x PATTERN]... ITEM...",
     RunCreate},
    {"list", "list ARCHIVE [PATTERN...]", RunList},
    {"test", "test ARCHIVE [-p PASSWORD]", RunTest},
    {"extract",
     "extract ARCHIVE DEST [-p PASSWORD] [-o prompt|always|never|newer|older] [-j] [PATTERN...]",
     RunExtract},
    {"backup", "backup NAME [--now \"YYYY-MM-DD HH:MM:SS\"]", RunBackupProject},
    {"run-schedule", "run-schedule [--minutes N]", RunRunSchedule},
    {"restore", "restore ARCHIVE DEST [-p PASSWORD] [-o prompt|always|never|newer|older] [-j]",
     RunRestore},
    {"help", "help", nullptr},
};

void PrintHelp(std::FILE* out) {
    std::fprintf(out, "usage: mzb [--ini FILE] COMMAND [ARGS...]\ncommands:\n");
    for (const auto& c : kCommands) {
        std::fprintf(out, "  mzb %s\n", c.usage);
    }
    std::fprintf(out, "a password (-p PASSWORD) may also be asked on the terminal (-p -), read "
                      "from the first line of a file (--password-file FILE) or taken from "
                      "MZB_PASSWORD\n");
}

} // namespace
} // namespace mzb::cli

int main(int argc, char** argv) {
    using namespace mzb::cli;
    GlobalOptions options;
    int i = 1;
    while (i < argc && std::strncmp(argv[i], "--", 2) == 0) {
        if (std::strcmp(argv[i], "--ini") == 0 && i + 1 < argc) {
            options.iniPath = argv[i + 1];
            i += 2;
        } else if (std::strcmp(argv[i], "--help") == 0) {
            PrintHelp(stdout);
            return kExitOk;
        } else {
            return UsageError(std::string("unknown option ") + argv[i]);
        }
    }
    if (i >= argc) {
        PrintHelp(stderr);
        return kExitFatal;
    }
    const std::string name = argv[i];
    const Args args(argv + i + 1, argv + argc);
    for (const auto& c : kCommands) {
        if (name == c.name) {
            if (c.run == nullptr) {
                PrintHelp(stdout);
                return kExitOk;
            }
            try {
                return c.run(options, args);
            } catch (const std::exception& e) {
                std::fprintf(stderr, "mzb: %s\n", e.what());
                return kExitFatal;
            }
        }
    }
    return UsageError("unknown command " + name);
}
