#pragma once
// A project's "Remote Copy": an rclone destination, either a remote of
// rclone's configuration with a folder ("nas:backups/docs") or an inline
// remote (":sftp,host=nas.local,user=me:backups/docs"); empty means no
// remote copy. Credentials belong in rclone's own configuration file: a
// setting that carries one (pass=, secret_access_key=, token=, ...) is
// refused, so that project.ini never holds it and no process listing shows
// it.

#include <optional>
#include <string>

namespace mzb {

// Why the setting cannot be used, or empty. An empty setting is fine (off).
std::string RemoteSettingProblem(const std::string& setting);

// The remote path of a file of the destination's folder.
std::string RemotePathOf(const std::string& setting, const std::string& name);

} // namespace mzb
