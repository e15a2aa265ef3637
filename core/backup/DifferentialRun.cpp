#include "core/backup/DifferentialRun.h"

#include "core/backup/ProjectArchives.h"
#include "zip/io/PathName.h"

#include <chrono>
#include <stdexcept>

namespace mzb {

DifferentialRun::DifferentialRun(const ProjectRecord& project,
                                 const std::vector<ProjectRecord>& projects,
                                 const std::string& path, BackupWriter& writer, LocalDateTime now)
    : archive_(FileNamePart(path)),
      madeSeconds_(std::chrono::system_clock::to_time_t(now.ToSystem())), fullArchive_(archive_) {
    std::vector<ArchiveOnDisk> archives;
    for (const DatedArchive& found : FindProjectArchives(project, projects)) {
        if (FileNamePart(found.Path) == archive_) {
            continue; // replaced by this run
        }
        const std::optional<std::string> text =
            writer.ReadEntryText(found.Path, std::string(kManifestEntryName), project.Password);
        if (!text) {
            continue;
        }
        try {
            archives.push_back({FileNamePart(found.Path), found.Size, ReadManifest(*text)});
        } catch (const std::invalid_argument&) {
            // A damaged manifest records no point in time to build on.
        }
    }
    ChainFacts chain;
    const std::ptrdiff_t start = FindChain(archives, chain);
    reason_ = FullBackupDue(chain, madeSeconds_, project.FullEvery);
    if (reason_ == FullReason::None) {
        full_ = std::move(archives[static_cast<std::size_t>(start)].Recorded);
        fullArchive_ = full_->Archive;
        planner_.emplace(*full_);
    }
}

void DifferentialRun::Attach(BackupWriterEvents& events) {
    events.OnChooseFile = [this](const FileState& file) {
        met_ = true;
        if (planner_ && !planner_->Add(file)) {
            return false;
        }
        added_.try_emplace(file.Name, file); // the first of a name is the one added
        return true;
    };
    events.OnAddLast = [this](const std::vector<WrittenEntry>& written) {
        std::vector<TextEntry> last;
        if (!met_) {
            return last;
        }
        for (const WrittenEntry& entry : written) {
            crcs_.emplace_back(entry.Name, entry.Crc32);
        }
        // Every backup writes a manifest naming every file, and an
        // unchanged differential is little else: the fastest level keeps
        // most of what a slower one would save on such text.
        last.push_back({std::string(kManifestEntryName), WriteManifest(Finish()), 1});
        return last;
    };
}

Manifest DifferentialRun::Finish() const {
    Manifest manifest;
    manifest.Archive = archive_;
    manifest.FullArchive = fullArchive_;
    manifest.MadeSeconds = madeSeconds_;
    if (planner_) {
        manifest.Files = planner_->Plan().Unchanged;
    }
    for (const auto& [name, crc] : crcs_) {
        ManifestFile file;
        file.Name = name;
        // An entry the writer added without asking keeps no facts, so the
        // next backup counts it as changed.
        if (const auto state = added_.find(name); state != added_.end()) {
            file.Size = state->second.Size;
            file.ModifiedNs = state->second.ModifiedNs;
            file.Mode = state->second.Mode;
            file.ChangedNs = state->second.ChangedNs;
        }
        file.Crc32 = crc;
        file.Holder = archive_;
        manifest.Files.push_back(std::move(file));
    }
    return manifest;
}

} // namespace mzb
