#include "platform/ProgramRun.h"

#include <csignal>
#include <gtest/gtest.h>

namespace mzb {
namespace {

TEST(ProgramRunTest, ArgumentsReachTheProgramUninterpretedAndStderrComesByLines) {
    ProgramCall call;
    call.Program = "sh";
    call.Args = {"-c",  "printf '%s|' \"$@\"; printf 'one\\ntwo' >&2; printf %s \"$EXTRA\"",
                 "sh",  "$(id) *",
                 "a b", "--",
                 ""};
    call.Extra = {"EXTRA=given"};
    std::vector<std::string> lines;
    call.OnErrorLine = [&](const std::string& line) { lines.push_back(line); };
    const ProgramResult r = RunProgram(call);
    ASSERT_TRUE(r.Started) << r.Error;
    EXPECT_EQ(r.ExitCode, 0);
    EXPECT_EQ(r.Out, "$(id) *|a b|--||given");
    EXPECT_EQ(lines, (std::vector<std::string>{"one", "two"}));
}

TEST(ProgramRunTest, AStopEndsTheChildAndAMissingProgramIsNamed) {
    ProgramCall call;
    call.Program = "sleep";
    call.Args = {"600"};
    call.PollMilliseconds = 10;
    int asked = 0;
    call.KeepGoing = [&] { return ++asked < 3; };
    const ProgramResult r = RunProgram(call);
    EXPECT_TRUE(r.Stopped);
    EXPECT_EQ(r.Signal, SIGTERM);

    call.Program = "no-such-program-here";
    const ProgramResult missing = RunProgram(call);
    EXPECT_FALSE(missing.Started);
    EXPECT_NE(missing.Error.find("no-such-program-here"), std::string::npos);
}

} // namespace
} // namespace mzb
