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

// The project's remote destination, or empty with `problem` set when it has
// none or one that may not be used.
std::string RemoteOf(const ProjectRecord& record, const std::string& project,
                     std::string& problem) {
    std::string remote(TrimBlanks(record.RemoteCopy));
    problem = remote.empty() ? "project '" + project + "' has no remote copy"
                             : RemoteSettingProblem(remote);
    return problem.empty() ? remote : std::string();
}

} // namespace

std::string FetchedArchive::Fetch(const ProjectStore& store, const std::string& project,
                                  const std::string& name, bool quiet) {
    std::string problem;
    const std::string remote = RemoteOf(store.ReadProject(project), project, problem);
    if (!problem.empty()) {
        return problem;
    }
    if (name.empty() || name.find('/') != std::string::npos || name.front() == '.') {
        return "not an archive name of the remote folder: " + name;
    }
    try {
        folder_.emplace();
    } catch (const std::runtime_error& error) {
        return error.what();
    }
    path_ = folder_->File(name);
    TProgressLine progress(quiet);
    progress.SetName(RemotePathOf(remote, name));
    RcloneProgram rclone;
    problem = FetchFromRemote(rclone, remote, name, path_, InterruptibleWatch(progress));
    ::chmod(path_.c_str(), 0600);
    return problem;
}

int RunRemote(const GlobalOptions& options, const Args& args) {
    int status = kExitOk;
    const auto project = TakeListedProject(options, args, status);
    if (!project) {
        return status;
    }
    const ProjectStore& store = project->Store;
    const ProjectRecord record = store.ReadProject(project->Name);
    std::string problem;
    const std::string remote = RemoteOf(record, project->Name, problem);
    if (!problem.empty()) {
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
