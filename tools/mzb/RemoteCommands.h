#pragma once
// mzb remote NAME: a project's archives on its remote destination beside
// those of its save folder; and fetching one of them for a restore.

#include "core/base/EntryText.h"
#include "core/project/ProjectStore.h"
#include "tools/mzb/Commands.h"

#include <optional>
#include <string>

namespace mzb::cli {

// remote NAME
int RunRemote(const GlobalOptions& options, const Args& args);

// A remote archive fetched into a private folder of its own (0700, the
// file 0600) under the temporary directory, removed with everything in it
// when this goes.
class FetchedArchive {
public:
    // Fetches the named archive of the project's remote destination; empty,
    // or why it could not (the project has no remote, the name is no plain
    // file name, rclone failed or the copy does not check).
    std::string Fetch(const ProjectStore& store, const std::string& project,
                      const std::string& name, bool quiet);
    const std::string& Path() const { return path_; }

private:
    std::optional<PrivateFolder> folder_;
    std::string path_;
};

} // namespace mzb::cli
