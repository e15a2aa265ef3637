// mzb's own arguments as a script or a person at a shell meets them: the
// version, each command's help in every spelling, and usage errors that
// exit 2 and say in one line what was wrong and how the command is used.
#include "support/RunCommand.h"
#include "support/TempDir.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <regex>
#include <sstream>

namespace mzb {
namespace {

using test::CommandResult;
using test::RunCommand;
using test::TempDir;

const char* const kCommandNames[] = {
    "projects", "show",    "next-name", "archives",     "contents", "schedule", "create",  "list",
    "test",     "extract", "backup",    "run-schedule", "prune",    "status",   "restore", "help"};

// A project.ini with two projects, one whose name starts with a dash.
class CommandLineTest : public ::testing::Test {
protected:
    CommandResult Mzb(std::vector<std::string> args) {
        const std::string ini = tmp_.dir() + "project.ini";
        if (!std::filesystem::exists(ini)) {
            tmp_.write("project.ini", "[Common]\r\nProject Count=2\r\nCount0=Docs\r\n"
                                      "Count1=-dash\r\n\r\n[-dash]\r\nFilename prefix=dash\r\n"
                                      "\r\n[Docs]\r\nFilename prefix=docs\r\nSave Path=" +
                                          tmp_.dir() + "out\r\n");
        }
        args.insert(args.begin(), {MZB_EXE, "--ini", ini});
        return RunCommand(args);
    }

    TempDir tmp_;
};

// The options a command's help lists, as they are typed ("-p", "--now").
std::vector<std::string> ListedOptions(const std::string& help) {
    std::vector<std::string> options;
    std::istringstream lines(help);
    const std::regex row(R"(^  (--?[a-z]+)[ ,].*)");
    std::smatch m;
    for (std::string line; std::getline(lines, line);) {
        if (std::regex_match(line, m, row) && m[1] != "-h") {
            options.push_back(m[1]);
        }
    }
    return options;
}

TEST_F(CommandLineTest, VersionAndEveryCommandsHelpAnswerOnStdoutWithZero) {
    const CommandResult version = Mzb({"--version"});
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_TRUE(std::regex_match(version.out,
                                 std::regex(R"(mzb \(Morvaleen ZIP Backup\) [0-9]+\.[0-9]+\n)")))
        << version.out;

    const CommandResult overview = Mzb({"--help"});
    EXPECT_EQ(overview.exitCode, 0);
    EXPECT_EQ(Mzb({"-h"}).out, overview.out);
    EXPECT_EQ(Mzb({"help"}).out, overview.out);
    for (const std::string name : kCommandNames) {
        EXPECT_NE(overview.out.find("\n  mzb " + name), std::string::npos) << name;
        const CommandResult help = Mzb({"help", name});
        EXPECT_EQ(help.exitCode, 0) << name << help.err;
        EXPECT_EQ(help.out.rfind("usage: mzb " + name, 0), 0u) << help.out;
        EXPECT_EQ(help.err, "");
        // Wherever an option may stand, and also after operands.
        for (const std::vector<std::string>& asked :
             {std::vector<std::string>{name, "--help"}, {name, "-h"}, {name, "x", "--help"}}) {
            const CommandResult r = Mzb(asked);
            EXPECT_EQ(r.exitCode, 0) << name;
            EXPECT_EQ(r.out, help.out) << name;
        }
        // Every option the help shows is one the command takes.
        for (const std::string& option : ListedOptions(help.out)) {
            const CommandResult r = Mzb({name, option});
            EXPECT_EQ(r.err.find("unknown option"), std::string::npos) << r.err;
        }
    }
}

TEST_F(CommandLineTest, UnknownOptionsAndMisfitArgumentsAreOneLineUsageErrorsOfTwo) {
    const std::string zip = tmp_.write("a.zip", "").string();
    struct Case {
        std::vector<std::string> args;
        std::string problem;
    };
    const Case cases[] = {
        {{"--bogus"}, "unknown option --bogus"},
        {{}, "missing COMMAND"},
        {{"bogus"}, "unknown command bogus"},
        {{"help", "bogus"}, "unknown command bogus"},
        {{"projects", "-Z"}, "unknown option -Z"},
        // Not taken as the names of projects, folders or archives.
        {{"show", "-Z"}, "unknown option -Z"},
        {{"next-name", "--bogus", "Docs"}, "unknown option --bogus"},
        {{"backup", "--bogus"}, "unknown option --bogus"},
        {{"archives", "-Z"}, "unknown option -Z"},
        {{"contents", zip, "-Z"}, "unknown option -Z"},
        {{"schedule", "--bogus"}, "unknown option --bogus"},
        {{"run-schedule", "--bogus"}, "unknown option --bogus"},
        {{"create", zip, "-Z", "x"}, "unknown option -Z"},
        {{"list", zip, "-Z"}, "unknown option -Z"},
        {{"test", zip, "-o", "always"}, "unknown option -o"},
        {{"extract", zip, "out", "--bogus"}, "unknown option --bogus"},
        {{"restore", zip, "out", "-Z"}, "unknown option -Z"},
        // A value missing at the end is named, not taken from nowhere.
        {{"backup", "Docs", "-t"}, "-t needs"},
        {{"restore", zip, "out", "-p"}, "-p needs"},
        {{"archives", tmp_.dir(), "--by"}, "--by needs"},
        {{"schedule", "--now"}, "--now needs"},
        {{"show"}, "missing NAME"},
        {{"show", "Docs", "Mail"}, "unexpected argument Mail"},
    };
    for (const Case& c : cases) {
        const CommandResult r = Mzb(c.args);
        // Before a command is known, mzb's own usage.
        const bool global = c.args.empty() || c.args[0].starts_with("-") || c.args[0] == "bogus";
        const std::string usage = global ? "[--ini FILE] COMMAND" : c.args[0];
        EXPECT_EQ(r.exitCode, 2) << r.err;
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(r.err.rfind("mzb: " + c.problem, 0), 0u) << r.err;
        EXPECT_NE(r.err.find("; usage: mzb " + usage), std::string::npos) << r.err;
        EXPECT_EQ(r.err.find('\n'), r.err.size() - 1) << r.err;
    }
    EXPECT_FALSE(std::filesystem::exists(tmp_.dir() + "out"));
}

TEST_F(CommandLineTest, DoubleDashLetsAProjectNameStartWithADash) {
    const CommandResult shown = Mzb({"show", "--", "-dash"});
    EXPECT_EQ(shown.exitCode, 0) << shown.err;
    EXPECT_EQ(shown.out.rfind("Filename prefix=dash\n", 0), 0u) << shown.out;
    // Help is not asked for after the options end.
    EXPECT_EQ(Mzb({"show", "--", "--help"}).exitCode, 1);
}

} // namespace
} // namespace mzb
