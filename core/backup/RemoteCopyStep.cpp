#include "core/backup/RemoteCopyStep.h"

#include "core/remote/RemoteCopy.h"
#include "core/remote/RemoteCopyRound.h"
#include "core/remote/RemoteSetting.h"
#include "platform/Blanks.h"

namespace mzb {

bool RunRemoteCopyStep(const std::string& projectText, const std::string& destination,
                       const std::string& archivePath, const ProjectStore& store,
                       BackupWriter& writer, RunHost& host, Rclone& rclone) {
    const std::string remote(TrimBlanks(destination));
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
    if (!refusal.empty()) {
        round.Failed.push_back(refusal);
        round.Pending = pending;
    } else {
        host.SetProgress(0);
        host.ShowCurrentFile(RemotePathOf(remote, ""));
        round = CopyArchivesToRemote(
            rclone, remote, pending, [&](int percent) { host.SetProgress(percent); },
            [&] { return writer.KeepGoing(); });
        host.ShowCurrentFile("");
    }
    store.WriteRemotePending(projectText, round.Pending);
    const bool copied = round.Pending.empty() && round.Failed.empty();
    host.ShowTimedMessage(RemoteCopyReportText(projectText, remote, round),
                          copied ? MessageKind::Information : MessageKind::Warning,
                          kRunMessageSeconds);
    return copied;
}

} // namespace mzb
