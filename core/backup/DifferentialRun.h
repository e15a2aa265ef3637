#pragma once
// A differential project's part of one backup run: the chain the archive
// extends, read from the manifests of the project's archives alone; which
// files the writer adds; and the manifest that ends the archive, whether
// full or differential.

#include "core/backup/BackupJob.h"
#include "core/backup/Differential.h"
#include "core/base/Manifest.h"
#include "core/project/ProjectRecord.h"
#include "platform/LocalDateTime.h"

#include <cstdint>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

namespace mzb {

// The "Backup Type" of a differential project.
inline constexpr int kDifferentialBackupType = 1;

class DifferentialRun {
public:
    // Reads the manifests of the project's archives other than the one at
    // `path` (`projects` tells which archives are the project's), with the
    // project's password, and decides at `now` whether the archive at
    // `path` is full or differential.
    DifferentialRun(const ProjectRecord& project, const std::vector<ProjectRecord>& projects,
                    const std::string& path, BackupWriter& writer, LocalDateTime now);

    // Why the archive is a full one; None for a differential.
    FullReason Full() const { return reason_; }
    // The chain's full archive, without folder.
    const std::string& FullArchive() const { return fullArchive_; }
    // Hooks the writer's events that choose the files and end the archive
    // with its manifest. A run that met no file of the sources, added or
    // unchanged, gets no manifest, so the writer writes no archive.
    void Attach(BackupWriterEvents& events);
    // Files the archive's own entries hold.
    std::size_t AddedFiles() const { return crcs_.size(); }

private:
    // The manifest of the archive whose files the writer has written.
    Manifest Finish() const;

    std::string archive_;
    std::int64_t madeSeconds_;
    FullReason reason_ = FullReason::NoFull;
    std::string fullArchive_;
    std::optional<Manifest> full_;
    std::optional<DifferentialPlanner> planner_;
    bool met_ = false;
    std::unordered_map<std::string, FileState> added_;
    std::vector<std::pair<std::string, std::uint32_t>> crcs_;
};

} // namespace mzb
