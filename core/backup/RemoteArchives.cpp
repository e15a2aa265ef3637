#include "core/backup/RemoteArchives.h"

#include "core/backup/ProjectArchives.h"
#include "core/project/ProjectName.h"
#include "core/remote/RemoteCopy.h"
#include "core/remote/RemoteSetting.h"
#include "platform/Blanks.h"

#include <chrono>
#include <cstdio>
#include <ctime>

namespace mzb {

std::optional<LocalDateTime> LocalTimeOfRfc3339(const std::string& text) {
    std::tm tm{};
    int consumed = 0;
    if (std::sscanf(text.c_str(), "%4d-%2d-%2dT%2d:%2d:%2d%n", &tm.tm_year, &tm.tm_mon, &tm.tm_mday,
                    &tm.tm_hour, &tm.tm_min, &tm.tm_sec, &consumed) != 6) {
        return std::nullopt;
    }
    std::size_t at = std::size_t(consumed);
    if (at < text.size() && text[at] == '.') {
        while (++at < text.size() && text[at] >= '0' && text[at] <= '9') {
        }
    }
    long offset = 0;
    if (at < text.size() && (text[at] == '+' || text[at] == '-')) {
        int hours = 0, minutes = 0;
        if (std::sscanf(text.c_str() + at + 1, "%2d:%2d", &hours, &minutes) != 2) {
            return std::nullopt;
        }
        offset = (text[at] == '+' ? 1 : -1) * (hours * 3600L + minutes * 60L);
    } else if (at >= text.size() || (text[at] != 'Z' && text[at] != 'z')) {
        return std::nullopt;
    }
    tm.tm_year -= 1900;
    tm.tm_mon -= 1;
    const std::time_t utc = ::timegm(&tm) - offset;
    return LocalDateTime::FromSystem(std::chrono::system_clock::from_time_t(utc));
}

RemoteArchiveList FindRemoteArchives(Rclone& rclone, const ProjectRecord& project,
                                     const std::vector<ProjectRecord>& projects,
                                     const RcloneWatch& watch) {
    RemoteArchiveList list;
    const std::string destination(TrimBlanks(project.RemoteCopy));
    const RemoteListing listing = ListRemote(rclone, destination, watch);
    if (!listing.Error.empty()) {
        list.Error = listing.Error;
        return list;
    }
    std::vector<FolderFile> files;
    for (const RemoteFile& file : listing.Files) {
        // A time the remote does not give leaves the file undated, and so
        // the oldest: the rule keeps the newest it can place.
        files.push_back(
            {file.Name, LocalTimeOfRfc3339(file.ModTime).value_or(LocalDateTime()), file.Size});
    }
    std::vector<ArchivePattern> others;
    for (const ProjectRecord& other : projects) {
        if (!SameProjectName(other.Name, project.Name) &&
            TrimBlanks(other.RemoteCopy) == destination) {
            others.push_back({other.FilenamePrefix, other.UseDate});
        }
    }
    list.Archives = OwnArchives(RemotePathOf(destination, ""),
                                {project.FilenamePrefix, project.UseDate}, others, files);
    return list;
}

PruneResult PruneRemote(Rclone& rclone, const ProjectRecord& project,
                        const std::vector<ProjectRecord>& projects, LocalDateTime now,
                        const std::string& justCopied, const RcloneWatch& watch) {
    PruneResult result;
    const RetentionRule rule = RetentionRuleOf(project);
    if (rule.Mode == KeepArchives::All) {
        return result;
    }
    RemoteArchiveList found = FindRemoteArchives(rclone, project, projects, watch);
    if (!found.Error.empty()) {
        result.Failed.push_back(RemotePathOf(project.RemoteCopy, "") + ": " + found.Error);
        return result;
    }
    // Every path found starts with the folder's.
    const std::string folder = RemotePathOf(project.RemoteCopy, "");
    const std::string copiedPath = folder + justCopied;
    bool present = false;
    for (DatedArchive& archive : found.Archives) {
        if (archive.Path == copiedPath) {
            archive.Date = now;
            present = true;
        }
    }
    if (!present) {
        return result;
    }
    for (const DatedArchive& archive : ArchivesToDelete(rule, std::move(found.Archives), now)) {
        if (archive.Path == copiedPath) {
            continue;
        }
        const std::string problem =
            DeleteFromRemote(rclone, std::string(TrimBlanks(project.RemoteCopy)),
                             archive.Path.substr(folder.size()), watch);
        if (problem.empty()) {
            result.Deleted.push_back(archive.Path);
        } else {
            result.Failed.push_back(archive.Path + ": " + problem);
        }
    }
    return result;
}

} // namespace mzb
