#include "core/restore/ArchiveSearch.h"

#include "core/base/Manifest.h"
#include "core/restore/ArchiveList.h"
#include "zip/base/DosDateTime.h"
#include "zip/base/HeadlessHost.h"
#include "zip/base/Wildcard.h"
#include "zip/reader/ZipReader.h"

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <exception>
#include <map>
#include <tuple>
#include <unordered_map>
#include <utility>

namespace mzb {

namespace {

struct FoundArchive {
    std::string Name;
    LocalDateTime Date;
};

std::vector<FoundArchive> ArchivesOldestFirst(TFindFile& finder, const std::string& folder) {
    std::vector<FoundArchive> archives;
    for (const TSearchRec& record : FindArchiveFiles(finder, folder)) {
        archives.push_back({record.Name, LocalDateTime::FromDos(record.Time)});
    }
    std::sort(archives.begin(), archives.end(), [](const auto& a, const auto& b) {
        return std::tie(a.Date, a.Name) < std::tie(b.Date, b.Name);
    });
    return archives;
}

char AsciiLower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool ContainsIgnoringCase(std::string_view text, std::string_view part) {
    return std::search(text.begin(), text.end(), part.begin(), part.end(),
                       [](char a, char b) { return AsciiLower(a) == AsciiLower(b); }) != text.end();
}

std::string_view FileNameOf(std::string_view path) {
    const size_t slash = path.rfind('/');
    return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

struct SizeAndCrc {
    std::uint64_t Size;
    std::uint32_t Crc;
    bool operator==(const SizeAndCrc&) const = default;
    auto operator<=>(const SizeAndCrc&) const = default;
};

} // namespace

std::string VersionChangeText(VersionChange change) {
    switch (change) {
    case VersionChange::Changed:
        return "changed";
    case VersionChange::Same:
        return "same";
    case VersionChange::New:
        break;
    }
    return "new";
}

std::string CrcText(std::uint32_t crc) {
    char text[9];
    std::snprintf(text, sizeof text, "%08x", crc);
    return text;
}

std::string EntryModifiedText(const TZipHeaderInfo& entry) {
    TDosDateTimeParts t = UnpackDosDateTime(entry.FileDateTime);
    const auto utc = static_cast<std::time_t>(entry.ModifiedUtc.Seconds);
    std::tm tm{};
    if (entry.ModifiedSource != TTimeSource::DosTime && localtime_r(&utc, &tm) != nullptr) {
        t = {tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec};
    }
    char text[64];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", t.year, t.month, t.day,
                  t.hour, t.minute, t.second);
    return text;
}

bool PathMatchesSearch(std::string_view search, std::string_view path) {
    if (IsWildcard(search)) {
        return MatchesListPattern(search, path, FileNameOf(path));
    }
    return ContainsIgnoringCase(path, search);
}

PathFilter AnyOfSearchTexts(std::vector<std::string> texts) {
    return [texts = std::move(texts)](std::string_view path) {
        return std::any_of(texts.begin(), texts.end(), [path](const std::string& text) {
            return PathMatchesSearch(text, path);
        });
    };
}

size_t SearchArchives(TFindFile& finder, const std::string& folder, const PathFilter& matches,
                      const SearchEvents& events, std::stop_token stop) {
    const auto archives = ArchivesOldestFirst(finder, folder);
    // The last version seen of each matched path, for "changed" and "same".
    std::unordered_map<std::string, SizeAndCrc> previous;
    HeadlessHost host;
    size_t found = 0;
    for (const FoundArchive& archive : archives) {
        if (stop.stop_requested()) {
            break;
        }
        // A reader per archive: nothing of one archive's directory is kept
        // once the next is read.
        TZipReader reader(host);
        // The search may run off the window's thread, which only the window
        // may serve; and a file without an end record is not an archive to
        // be shown as empty here, but one to report.
        reader.DoProcessMessages = false;
        reader.IncompleteZipMode = TIncompleteZipMode::izAssumeBad;
        try {
            reader.SetZipName(PathInFolder(folder, archive.Name));
            reader.OpenArchive();
        } catch (const std::exception& e) {
            if (events.OnUnreadable) {
                events.OnUnreadable(archive.Name, e.what());
            }
            continue;
        }
        for (int i = 0; i < reader.EntryCount(); ++i) {
            const TZipHeaderInfo& entry = reader.Entry(i);
            if (entry.FileName().empty()) {
                continue;
            }
            std::string path = entry.Directory() + entry.FileName();
            // A differential archive's record of its point in time is no
            // file of the user's.
            if (path == kManifestEntryName || !matches(path)) {
                continue;
            }
            const SizeAndCrc version{entry.UncompressedSize, entry.Crc32};
            auto [before, first] = previous.try_emplace(path, version);
            const VersionChange change = first                       ? VersionChange::New
                                         : before->second == version ? VersionChange::Same
                                                                     : VersionChange::Changed;
            before->second = version;
            ++found;
            if (events.OnFound) {
                events.OnFound({archive.Name, archive.Date, std::move(path), version.Size,
                                EntryModifiedText(entry), version.Crc, change});
            }
        }
    }
    return found;
}

std::vector<FileVersion> FindVersions(TFindFile& finder, const std::string& folder,
                                      const std::string& path, const SearchEvents& events,
                                      std::stop_token stop) {
    std::vector<SearchHit> hits;
    SearchEvents collect = events;
    collect.OnFound = [&hits](const SearchHit& hit) { hits.push_back(hit); };
    SearchArchives(
        finder, folder, [&path](std::string_view stored) { return stored == path; }, collect, stop);
    // Hits come oldest first; the newest archive of a version makes its place.
    std::map<SizeAndCrc, size_t> indexOf;
    std::vector<FileVersion> versions;
    for (auto hit = hits.rbegin(); hit != hits.rend(); ++hit) {
        const auto [at, first] = indexOf.try_emplace({hit->Size, hit->Crc}, versions.size());
        if (first) {
            versions.push_back({hit->Size, hit->Crc, hit->Modified, {}, {}});
        }
        versions[at->second].Archives.push_back(hit->Archive);
        versions[at->second].ArchiveDates.push_back(hit->ArchiveDate);
    }
    return versions;
}

} // namespace mzb
