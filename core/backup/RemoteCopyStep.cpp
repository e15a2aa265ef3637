#include "core/backup/RemoteCopyStep.h"

#include "core/backup/AfterArchive.h"
#include "core/backup/RemoteArchives.h"
#include "core/remote/RemoteCopy.h"
#include "core/remote/RemoteCopyRound.h"
#include "core/remote/RemoteSetting.h"
#include "platform/Blanks.h"
#include "zip/io/PathName.h"

#include <algorithm>

namespace mzb {

bool RunRemoteCopyStep(const ProjectRecord& project, bool complete, const std::string& archivePath,
                       const ProjectStore& store, BackupWriter& writer, RunHost& host,
                       Rclone& rclone) {
    const std::string& projectText = project.Name;
    const std::string remote(TrimBlanks(project.RemoteCopy));
    if (remote.empty()) {
        return true;
    }
    const std::vector<std::string> pending =
        WithArchive(store.ReadRemotePending(projectText), archivePath);
    store.WriteRemotePending(projectText, pending);

    RemoteCopyRound round;
    // Neither is worth a call to rclone: every archive simply stays pending.
    std::string refusal = RemoteSettingProblem(remote);
    if (refusal.empty() && !RcloneInstalled()) {
        refusal = kRcloneMissingText;
    }
    std::string pruned;
    if (!refusal.empty()) {
        round.Failed.push_back(refusal);
        round.Pending = pending;
    } else {
        host.SetProgress(0);
        host.ShowCurrentFile(RemotePathOf(remote, ""));
        const auto keepGoing = [&] { return writer.KeepGoing(); };
        round = CopyArchivesToRemote(
            rclone, remote, pending, [&](int percent) { host.SetProgress(percent); }, keepGoing);
        const std::string name = FileNamePart(archivePath);
        if (complete &&
            std::find(round.Copied.begin(), round.Copied.end(), name) != round.Copied.end()) {
            RcloneWatch watch;
            watch.KeepGoing = keepGoing;
            pruned = PruneReportText(PruneRemote(rclone, project,
                                                 store.ReadProjects(store.ReadProjectNames()),
                                                 host.Now(), name, watch),
                                     "Remote ");
        }
        host.ShowCurrentFile("");
    }
    store.WriteRemotePending(projectText, round.Pending);
    const bool copied = round.Pending.empty() && round.Failed.empty();
    host.ShowTimedMessage(RemoteCopyReportText(projectText, remote, round) + pruned,
                          copied ? MessageKind::Information : MessageKind::Warning,
                          copied ? kRunMessageSeconds : kRunMessageStays);
    return copied;
}

} // namespace mzb
