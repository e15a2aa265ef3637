#include "zip/writer/DirSearch.h"

#include "zip/base/Wildcard.h"
#include "zip/base/ZipError.h"
#include "zip/io/PathName.h"

#include <algorithm>
#include <optional>
#include <utility>

namespace mzb {
namespace {

std::vector<std::string> SplitComponents(std::string_view path) {
    std::vector<std::string> components;
    while (!path.empty()) {
        const auto slash = path.find(kPathSeparator);
        const auto component = path.substr(0, slash);
        if (!component.empty()) {
            components.emplace_back(component);
        }
        if (slash == std::string_view::npos) {
            break;
        }
        path.remove_prefix(slash + 1);
    }
    return components;
}

// The explicit files and wildcard items apply the same final checks.
class Expander {
public:
    Expander(std::vector<std::string>& files, const TFileListExpansion& settings)
        : files_(files), settings_(settings) {
        if (!settings.ZipName.empty()) {
            archive_ = FileInfoOf(settings.ZipName);
        }
    }

    std::uint64_t Run() {
        std::vector<std::string> wildcards;
        std::vector<std::string> kept;
        kept.reserve(files_.size());
        for (auto& item : files_) {
            switch (KindOfItem(item)) {
            case TFileItemKind::Directory:
                kept.push_back(std::move(item));
                break;
            case TFileItemKind::Wildcard:
                wildcards.push_back(std::move(item));
                break;
            case TFileItemKind::File:
                if (auto path = CheckExplicitFile(std::move(item))) {
                    kept.push_back(std::move(*path));
                }
                break;
            }
        }
        files_ = std::move(kept);
        for (const auto& item : wildcards) {
            ExpandWildcard(item);
        }
        return totalBytes_;
    }

private:
    std::optional<std::string> CheckExplicitFile(std::string path) {
        if (DirectoryPart(path).empty()) {
            path = WithTrailingSeparator(settings_.RootDir) + path;
        }
        if (MatchesPatternList(settings_.ExcludeList, path)) {
            return std::nullopt;
        }
        const auto info = FileInfoOf(path);
        // A FIFO or a device has no contents to save and would stall the
        // writer, so it counts as missing like a dangling link.
        if (!info || !(info->IsRegular() || info->IsDirectory())) {
            if (settings_.OnNoSuchFile) {
                settings_.OnNoSuchFile(path);
            }
            return std::nullopt;
        }
        if (!PassesArchiveChecks(path, *info)) {
            return std::nullopt;
        }
        totalBytes_ += info->Size;
        return path;
    }

    void ExpandWildcard(std::string_view item) {
        bool recurse = settings_.Recurse;
        if (item.front() == '|' || item.front() == '>') {
            recurse = item.front() == '>';
            item.remove_prefix(1);
        }
        std::string dir = WithoutTrailingSeparator(DirectoryPart(item));
        if (dir.empty()) {
            dir = settings_.RootDir;
        }
        TDirSearch search(
            dir, recurse, FileNamePart(item), [this](const std::string& folder, int error) {
                if (settings_.OnFolderNotListed) {
                    settings_.OnFolderNotListed(WithoutTrailingSeparator(folder), error);
                }
            });
        std::string path;
        FileInfo info;
        while (search.Next(path, info)) {
            if (settings_.OnRecursingFile) {
                settings_.OnRecursingFile(path);
            }
            if (info.IsDirectory()) {
                if (recurse && settings_.AddDirEntriesOnRecurse) {
                    files_.push_back(path);
                }
                continue;
            }
            if (MatchesPatternList(settings_.ExcludeList, path)) {
                continue;
            }
            if (settings_.CancelRequested && settings_.CancelRequested()) {
                throw EUserCanceled("User Aborted Operation");
            }
            if (IsTheArchive(path, info) || !PassesArchiveChecks(path, info)) {
                continue;
            }
            files_.push_back(path);
            totalBytes_ += info.Size;
        }
    }

    // Linux names differing only in letter case are different files, so the
    // archive is recognised by its name or by being the same file (reached
    // through a link, for instance), never by a case-blind comparison.
    bool IsTheArchive(const std::string& path, const FileInfo& info) const {
        return path == settings_.ZipName || (archive_ && archive_->IsSameFile(info));
    }

    bool PassesArchiveChecks(const std::string& path, const FileInfo& info) const {
        if (settings_.SkipIfArchiveBitNotSet && (info.Attributes & kAttrArchive) == 0) {
            return false;
        }
        if (settings_.HasArchiveEntry && !settings_.HasArchiveEntry(path)) {
            return false;
        }
        return info.IsDirectory() || !settings_.ChooseFile || settings_.ChooseFile(path, info);
    }

    std::vector<std::string>& files_;
    const TFileListExpansion& settings_;
    std::optional<FileInfo> archive_;
    std::uint64_t totalBytes_ = 0;
};

} // namespace

TFileItemKind KindOfItem(std::string_view item) {
    if (!item.empty() && item.back() == kPathSeparator) {
        return TFileItemKind::Directory;
    }
    return IsWildcard(item) ? TFileItemKind::Wildcard : TFileItemKind::File;
}

bool MatchesPatternList(std::span<const std::string> patterns, std::string_view path) {
    const auto slash = path.rfind(kPathSeparator);
    const auto name = slash == std::string_view::npos ? path : path.substr(slash + 1);
    return std::any_of(patterns.begin(), patterns.end(), [&](const std::string& pattern) {
        return MatchesListPattern(pattern, path, name);
    });
}

TDirSearch::TDirSearch(std::string_view startDir, bool recurse, std::string mask,
                       TUnlistable onUnlistable)
    : recurse_(recurse), mask_(std::move(mask)), onUnlistable_(std::move(onUnlistable)) {
    if (!startDir.empty() && startDir.front() == kPathSeparator) {
        startDir_ += kPathSeparator;
    }
    for (auto& component : SplitComponents(startDir)) {
        if (dirPatterns_.empty() && !IsWildcard(component)) {
            startDir_ += component + kPathSeparator;
        } else {
            dirPatterns_.push_back(std::move(component));
        }
    }
    if (startDir_.empty()) {
        startDir_ = "./";
    }
    Open(startDir_);
}

void TDirSearch::Open(std::string dir) {
    const std::size_t depth = stack_.size();
    std::string pattern = depth < dirPatterns_.size() ? dirPatterns_[depth] : std::string();
    // The start directory is taken as named; below it a directory the walk
    // found must not have become a link by the time it is listed.
    DirListing listing(dir, depth == 0);
    stack_.push_back({std::move(dir), std::move(pattern), std::move(listing), {}});
}

// Told when done rather than when opened: a directory that can be listed
// but not entered fails only at its entries.
void TDirSearch::Close() {
    const TSearchData& top = stack_.back();
    if (top.Listing.Error() != 0 && onUnlistable_) {
        onUnlistable_(top.Dir, top.Listing.Error());
    }
    stack_.pop_back();
}

bool TDirSearch::IsOnCurrentPath(const FileInfo& dir) const {
    return std::any_of(stack_.begin(), stack_.end(), [&](const TSearchData& level) {
        return level.Listing.Device() == dir.Device && level.Listing.Inode() == dir.Inode;
    });
}

bool TDirSearch::Next(std::string& fullPath, FileInfo& info) {
    while (!stack_.empty()) {
        TSearchData& top = stack_.back();
        if (!top.Listing.Next(top.Current)) {
            Close();
            continue;
        }
        const std::size_t depth = stack_.size() - 1;
        const bool withinPatterns = depth < dirPatterns_.size();
        const FileInfo& entry = top.Current;
        if (entry.IsDirectory()) {
            if (entry.IsLink || IsOnCurrentPath(entry)) {
                continue;
            }
            if (withinPatterns ? !MatchesMask(top.DirPattern, entry.Name) : !recurse_) {
                continue;
            }
            fullPath = top.Dir + entry.Name + kPathSeparator;
            info = entry;
            Open(fullPath); // invalidates top and entry
            if (recurse_) {
                return true;
            }
            continue;
        }
        // Files above the wildcard components are not asked for, and only
        // regular files have contents to save.
        if (withinPatterns || !entry.IsRegular() || !MatchesWalkMask(mask_, entry.Name)) {
            continue;
        }
        // Into the caller's string, whose room a walk reuses for every file.
        fullPath.assign(top.Dir).append(entry.Name);
        info = entry;
        return true;
    }
    return false;
}

std::uint64_t ExpandFilesList(std::vector<std::string>& filesList,
                              const TFileListExpansion& settings) {
    return Expander(filesList, settings).Run();
}

} // namespace mzb
