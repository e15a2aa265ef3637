#include "core/remote/Rclone.h"

#include "core/remote/RcloneJson.h"
#include "platform/ProgramRun.h"

#include <cctype>

namespace mzb {
namespace {

// "2026/12/09 21:22:36 " before a plain line.
std::string WithoutTimeStamp(const std::string& line) {
    constexpr std::size_t kStamp = 20;
    if (line.size() > kStamp && line[4] == '/' && line[7] == '/' && line[13] == ':' &&
        line[19] == ' ') {
        return line.substr(kStamp);
    }
    return line;
}

} // namespace

bool ReadRcloneStats(const std::string& line, std::uint64_t& done, std::uint64_t& total) {
    if (line.empty() || line.front() != '{') {
        return false;
    }
    const std::optional<JsonValue> value = ParseJson(line);
    const JsonValue* stats = value ? value->Find("stats") : nullptr;
    if (stats == nullptr) {
        return false;
    }
    const auto bytes = stats->CountOf("bytes");
    const auto totalBytes = stats->CountOf("totalBytes");
    if (!bytes || !totalBytes) {
        return false;
    }
    done = *bytes;
    total = *totalBytes;
    return true;
}

std::string ReadRcloneError(const std::string& line) {
    if (!line.empty() && line.front() == '{') {
        const std::optional<JsonValue> value = ParseJson(line);
        if (!value) {
            return {};
        }
        const std::string level = value->TextOf("level");
        if (level != "error" && level != "critical" && level != "fatal") {
            return {};
        }
        const std::string object = value->TextOf("object");
        const std::string msg = value->TextOf("msg");
        return object.empty() ? msg : object + ": " + msg;
    }
    const std::string text = WithoutTimeStamp(line);
    return text.rfind("Failed to ", 0) == 0 || text.rfind("Fatal error", 0) == 0 ? text
                                                                                 : std::string();
}

RcloneResult RcloneProgram::Run(const std::vector<std::string>& args, const RcloneWatch& watch) {
    ProgramCall call;
    call.Program = "rclone";
    // A command first, then its options; "--" ends them before the caller's
    // paths, so a path that begins with '-' is never read as an option.
    // Ten low-level retries (rclone's default) keep a refused connection
    // waiting for seconds; a copy that fails is sent again at the next
    // backup anyway.
    call.Args = {args.front(),
                 "--use-json-log",
                 "--stats",
                 "1s",
                 "--stats-log-level",
                 "NOTICE",
                 "--ask-password=false",
                 "--low-level-retries",
                 "3"};
    call.Args.insert(call.Args.end(), args.begin() + 1, args.end());
    std::string lastError;
    call.OnErrorLine = [&](const std::string& line) {
        std::uint64_t done = 0, total = 0;
        if (ReadRcloneStats(line, done, total)) {
            if (watch.OnProgress) {
                watch.OnProgress(done, total);
            }
        } else if (std::string error = ReadRcloneError(line); !error.empty()) {
            lastError = std::move(error);
        }
    };
    call.KeepGoing = watch.KeepGoing;
    const ProgramResult ran = RunProgram(call);
    RcloneResult result;
    result.Ran = ran.Started;
    result.Stopped = ran.Stopped;
    result.ExitCode = ran.ExitCode;
    result.Out = ran.Out;
    if (!ran.Started) {
        result.Reason = ran.Error;
    } else if (ran.Signal != 0 && !ran.Stopped) {
        result.Reason = "rclone ended by signal " + std::to_string(ran.Signal);
    } else if (ran.ExitCode != 0) {
        result.Reason = lastError.empty()
                            ? "rclone failed with exit status " + std::to_string(ran.ExitCode)
                            : lastError;
    }
    return result;
}

bool RcloneInstalled() {
    return FindOnPath("rclone").has_value();
}

} // namespace mzb
