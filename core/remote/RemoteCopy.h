#pragma once
// Copying an archive to a remote folder through rclone and back, and
// listing what the folder holds.
//
// A copy goes to a hidden part name in the destination folder
// (".NAME.part"), is renamed to NAME only once rclone has sent all of it,
// and is then checked: its size against the local file, and its content
// against the local file's MD5 or SHA-1 where the remote reports one. So the
// archive's own name never holds a partial upload (a rename on SFTP and
// WebDAV; on object stores, where a "rename" is a server-side copy, the
// object still appears only whole). A copy that fails its check is removed
// again, so that it counts as missing and is sent anew.

#include "core/remote/Rclone.h"

#include <cstdint>
#include <string>
#include <vector>

namespace mzb {

struct RemoteFile {
    std::string Name;
    std::uint64_t Size = 0;
    std::string ModTime; // as rclone gives it (RFC 3339)
};

struct RemoteListing {
    std::vector<RemoteFile> Files; // a folder that does not exist yet holds none
    std::string Error;             // why it could not be listed, or empty
};

// The part name a copy is sent to before it takes the archive's name.
std::string RemotePartName(const std::string& name);

// Sends the local file to the destination (a "Remote Copy" setting) under
// its own file name and checks it. Empty, or why the copy failed.
std::string CopyToRemote(Rclone& rclone, const std::string& destination,
                         const std::string& localPath, const RcloneWatch& watch);

// The files directly in the destination folder, part files left out.
RemoteListing ListRemote(Rclone& rclone, const std::string& destination, const RcloneWatch& watch);

// Fetches the named file of the destination folder to `localPath` (whose
// folder must exist) and checks its size. Empty, or why it failed.
std::string FetchFromRemote(Rclone& rclone, const std::string& destination, const std::string& name,
                            const std::string& localPath, const RcloneWatch& watch);

// Deletes the named file of the destination folder. Empty, or why not.
std::string DeleteFromRemote(Rclone& rclone, const std::string& destination,
                             const std::string& name, const RcloneWatch& watch);

} // namespace mzb
