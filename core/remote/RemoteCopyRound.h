#pragma once
// The remote copy step of a backup: the new archive and every earlier one
// still waiting for its copy go to the project's remote, in the order
// given, and what did not arrive waits for the next backup. Its report
// names the remote, what was copied and why anything was not.

#include "core/remote/Rclone.h"

#include <string>
#include <vector>

namespace mzb {

struct RemoteCopyRound {
    std::vector<std::string> Copied;  // file names, checked on the remote
    std::vector<std::string> Failed;  // "name: reason"
    std::vector<std::string> Pending; // local paths still to copy at the next backup
    bool Canceled = false;
};

// Copies each local archive that still exists (one that is gone can no
// longer be copied and is dropped); after a cancel the rest stay pending
// untried. Progress goes from 0 to 100 over all the archives' bytes.
RemoteCopyRound CopyArchivesToRemote(Rclone& rclone, const std::string& destination,
                                     const std::vector<std::string>& archives,
                                     const std::function<void(int percent)>& onPercent,
                                     const std::function<bool()>& keepGoing);

// The pending list with the new archive added once, at the end.
std::vector<std::string> WithArchive(std::vector<std::string> pending, const std::string& path);

// "Remote Copy Succeeds!" or "Remote Copy Fails!" with the project, the
// destination and the archives; a failure ends saying the archives stay
// here and are copied at the next backup.
std::string RemoteCopyReportText(const std::string& projectText, const std::string& destination,
                                 const RemoteCopyRound& round);

} // namespace mzb
