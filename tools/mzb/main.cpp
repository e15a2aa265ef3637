// mzb: the command-line front end to the engine and the project store, for
// scripts, tests and machines without a desktop.
#include "platform/ProductVersion.h"
#include "tools/mzb/CommandTable.h"

#include <cstdio>
#include <string>

int main(int argc, char** argv) {
    using namespace mzb::cli;
    GlobalOptions options;
    int i = 1;
    for (; i < argc && argv[i][0] == '-'; ++i) {
        const std::string a = argv[i];
        if (a == "--ini") {
            if (++i == argc) {
                return UsageError("--ini needs a file");
            }
            options.iniPath = argv[i];
        } else if (a == "--help" || a == "-h") {
            PrintOverview(stdout);
            return kExitOk;
        } else if (a == "--version") {
            std::fputs(MZB_VERSION_LINE("mzb"), stdout);
            return kExitOk;
        } else {
            return UsageError("unknown option " + a);
        }
    }
    if (i == argc) {
        return UsageError("missing COMMAND (mzb --help lists them)");
    }
    const Command* command = FindCommand(argv[i]);
    if (command == nullptr) {
        return UsageError(std::string("unknown command ") + argv[i]);
    }
    const Args args(argv + i + 1, argv + argc);
    if (AsksForHelp(*command, args)) {
        PrintCommandHelp(*command, stdout);
        return kExitOk;
    }
    return RunCommand(*command, options, args);
}
