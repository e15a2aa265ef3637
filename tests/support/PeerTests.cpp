#include "support/PeerTests.h"

#include "support/PeerTools.h"
#include "support/RunCommand.h"

namespace mzb::test {

std::vector<std::string> PeerTestFailures(const std::string& archive, const std::string& password) {
    std::vector<std::string> failures;
    auto check = [&](const char* tool, std::vector<std::string> args, const char* expected) {
        const auto program = FindProgram(tool);
        if (!program) {
            if (PeersRequired()) {
                failures.push_back(std::string(tool) + " is not installed");
            }
            return;
        }
        args.insert(args.begin(), *program);
        const CommandResult r = RunCommand(args);
        if (r.exitCode != 0 || (expected != nullptr && r.out != expected)) {
            failures.push_back(std::string(tool) + " (exit " + std::to_string(r.exitCode) +
                               "): " + r.out + r.err);
        }
    };
    std::vector<std::string> unzip = {"-tq"};
    std::vector<std::string> seven = {"t"};
    if (!password.empty()) {
        unzip.insert(unzip.end(), {"-P", password});
        seven.push_back("-p" + password);
    }
    unzip.push_back(archive);
    seven.push_back(archive);
    check("unzip", unzip, nullptr);
    check("7zz", seven, nullptr);
    check("bsdtar", {"-tf", archive}, nullptr);
    check("python3",
          {"-c",
           "import sys, zipfile\n"
           "z = zipfile.ZipFile(sys.argv[1])\n"
           "z.setpassword(sys.argv[2].encode())\n"
           "print(z.testzip())\n",
           archive, password},
          "None\n");
    return failures;
}

} // namespace mzb::test
