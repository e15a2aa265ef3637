#include "tools/mzb/RemoteCommands.h"

#include "core/backup/ProjectArchives.h"
#include "core/backup/RemoteArchives.h"
#include "core/remote/RemoteCopy.h"
#include "core/remote/RemoteSetting.h"
#include "platform/Blanks.h"
#include "tools/mzb/Interrupt.h"
#include "tools/mzb/ProgressLine.h"
#include "tools/mzb/ProjectCommands.h"
#include "zip/base/PrintableName.h"
#include "zip/io/PathName.h"

#include <cstdio>
#include <cstdlib>
#include <map>
#include <sys/stat.h>

namespace mzb::cli {
namespace {

RcloneWatch InterruptibleWatch(TProgressLine& progress) {
    RcloneWatch watch;
    watch.OnProgress = [&progress](std::uint64_t done, std::uint64_t total) {
        progress.SetPercent(total == 0 ? 0 : int(done * 100 / total));
    };
    watch.KeepGoing = [] { return !Interrupted(); };
    return watch;
}

// What a row says of where the archive is.
struct Presence {
    std::uint64_t Size = 0;
    bool Local = false;
    bool Remote = false;
};

} // namespace

FetchedArchive::~FetchedArchive() {
    if (!folder_.empty()) {
        std::error_code ec;
        std::filesystem::remove_all(folder_, ec);
    }
}

std::string FetchedArchive::Fetch(const ProjectStore& store, const std::string& project,
                                  const std::string& name, bool quiet) {
    const ProjectRecord record = store.ReadProject(project);
    const std::string remote(TrimBlanks(record.RemoteCopy));
    if (remote.empty()) {
        return "project '" + project + "' has no remote copy";
    }
    if (const std::string problem = RemoteSettingProblem(remote); !problem.empty()) {
        return problem;
    }
    if (name.empty() || name.find('/') != std::string::npos || name.front() == '.') {
        return "not an archive name of the remote folder: " + name;
    }
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern =
        std::string(tmp != nullptr && *tmp != '\0' ? tmp : "/tmp") + "/mzb-remote-XXXXXX";
    // mkdtemp makes it 0700 under a name nobody else can have taken.
    if (::mkdtemp(pattern.data()) == nullptr) {
        return "cannot make a private temporary folder in " + pattern;
    }
    folder_ = pattern;
    path_ = (folder_ / name).string();
    TProgressLine progress(quiet);
    progress.SetName(RemotePathOf(remote, name));
    RcloneProgram rclone;
    const std::string problem =
        FetchFromRemote(rclone, remote, name, path_, InterruptibleWatch(progress));
    ::chmod(path_.c_str(), 0600);
    return problem;
}

int RunRemote(const GlobalOptions& options, const Args& args) {
    std::string given;
    if (const auto error = TakeProjectName(args, given); !error.empty()) {
        return UsageError(error);
    }
    const ProjectStore store = StoreFor(options);
    const auto project = FindListedProject(store, given);
    if (!project) {
        return NoSuchProject(given);
    }
    const ProjectRecord record = store.ReadProject(*project);
    const std::string remote(TrimBlanks(record.RemoteCopy));
    if (remote.empty()) {
        std::fprintf(stderr, "mzb: project '%s' has no remote copy\n", project->c_str());
        return kExitPartial;
    }
    if (const std::string problem = RemoteSettingProblem(remote); !problem.empty()) {
        std::fprintf(stderr, "mzb: %s\n", problem.c_str());
        return kExitPartial;
    }
    CatchInterrupts();
    TProgressLine progress(true);
    RcloneProgram rclone;
    const std::vector<ProjectRecord> projects = store.ReadProjects(store.ReadProjectNames());
    const RemoteArchiveList remoteArchives =
        FindRemoteArchives(rclone, record, projects, InterruptibleWatch(progress));
    if (!remoteArchives.Error.empty()) {
        std::fprintf(stderr, "mzb: %s: %s\n", remote.c_str(), remoteArchives.Error.c_str());
        return Interrupted() ? ReportInterrupted("the remote was not listed") : kExitFatal;
    }
    std::map<std::string, Presence> rows;
    for (const DatedArchive& archive : remoteArchives.Archives) {
        rows[FileNamePart(archive.Path)] = {archive.Size, false, true};
    }
    for (const DatedArchive& archive : FindProjectArchives(record, projects)) {
        Presence& row = rows[FileNamePart(archive.Path)];
        row.Local = true;
        row.Size = row.Remote ? row.Size : archive.Size;
    }
    int missingRemote = 0, missingLocal = 0;
    for (const auto& [name, row] : rows) {
        const char* where = row.Local && row.Remote ? "local and remote"
                            : row.Local             ? "missing remotely"
                                                    : "missing locally";
        missingRemote += row.Local && !row.Remote;
        missingLocal += row.Remote && !row.Local;
        std::printf("%s\t%llu\t%s\n", PrintableName(name).c_str(),
                    static_cast<unsigned long long>(row.Size / 1024), where);
    }
    std::printf("(Total %zu files, %d missing remotely, %d missing locally)\n", rows.size(),
                missingRemote, missingLocal);
    return kExitOk;
}

} // namespace mzb::cli
