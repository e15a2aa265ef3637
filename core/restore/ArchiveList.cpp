#include "core/restore/ArchiveList.h"

#include "core/base/DateText.h"
#include "core/base/EntryText.h"
#include "core/base/Manifest.h"
#include "platform/Blanks.h"
#include "zip/base/HeadlessHost.h"
#include "zip/io/FileSystem.h"
#include "zip/io/PathName.h"

#include <algorithm>
#include <numeric>
#include <optional>
#include <stdexcept>
#include <unistd.h>
#include <utility>

namespace mzb {

namespace {

constexpr const char* kArchiveMask = "*.zip";

LocalDateTime DateOf(const ArchiveRow& row) {
    const auto value = ParseDateTime(row.Date);
    if (!value) {
        throw std::invalid_argument("'" + row.Date + "' is not a valid date and time");
    }
    return *value;
}

// The rank of each row's key: equal keys share a rank and a greater key has
// a greater rank, so ranks compare as the keys do. Dates are parsed once here.
std::vector<size_t> KeyRanks(const std::vector<ArchiveRow>& rows, ArchiveSortField field) {
    std::vector<LocalDateTime> dates;
    if (field == ArchiveSortField::ByDate) {
        dates.reserve(rows.size());
        for (const auto& row : rows) {
            dates.push_back(DateOf(row));
        }
    }
    const auto less = [&](size_t a, size_t b) {
        switch (field) {
        case ArchiveSortField::BySize:
            return rows[a].Size < rows[b].Size;
        case ArchiveSortField::ByDate:
            return dates[a] < dates[b];
        case ArchiveSortField::ByName:
            break;
        }
        return rows[a].Name < rows[b].Name;
    };
    std::vector<size_t> order(rows.size());
    std::iota(order.begin(), order.end(), size_t{0});
    std::sort(order.begin(), order.end(), less);
    std::vector<size_t> ranks(rows.size());
    size_t rank = 0;
    for (size_t i = 0; i < order.size(); ++i) {
        if (i > 0 && less(order[i - 1], order[i])) {
            ++rank;
        }
        ranks[order[i]] = rank;
    }
    return ranks;
}

// The list's own exchange sort, on ranks. Its order of equal keys depends on
// the rows around them, so it runs only when keys repeat; its comparisons are
// integer ones.
std::vector<size_t> ExchangeOrder(std::vector<size_t> ranks, bool descending) {
    std::vector<size_t> order(ranks.size());
    std::iota(order.begin(), order.end(), size_t{0});
    for (size_t q = ranks.size() - 1; q >= 1; --q) {
        for (size_t r = 0; r < q; ++r) {
            const bool greater = ranks[r] > ranks[q];
            if (descending ? !greater : greater) {
                std::swap(ranks[r], ranks[q]);
                std::swap(order[r], order[q]);
            }
        }
    }
    return order;
}

// With every key distinct the exchange sort gives the plain sorted order.
std::vector<size_t> OrderOf(const std::vector<size_t>& ranks, bool descending) {
    std::vector<size_t> order(ranks.size());
    for (size_t row = 0; row < ranks.size(); ++row) {
        order[descending ? ranks.size() - 1 - ranks[row] : ranks[row]] = row;
    }
    return order;
}

} // namespace

std::string TotalFilesText(size_t count) {
    return "(Total " + std::to_string(count) + " files)";
}

std::string PathInFolder(const std::string& folder, const std::string& name) {
    // No folder is the current directory, as the finder lists it; never the root.
    return WithTrailingSeparator(folder) + name;
}

std::vector<TSearchRec> FindArchiveFiles(TFindFile& finder, const std::string& folder) {
    std::vector<TSearchRec> found;
    finder.SetFilename(kArchiveMask);
    finder.Subfolders = false;
    finder.Threaded = false;
    finder.OnFound = [&found](TFindFile&, const std::string& where, const TSearchRec& record) {
        // A FIFO or a device named like an archive would stall whoever
        // opens it; only regular files (or links to them) are archives.
        const auto info = FileInfoOf(WithTrailingSeparator(where) + record.Name);
        if (info && info->IsRegular()) {
            found.push_back(record);
        }
    };
    // As a full mask the folder may hold '*', '?' or ';', which the
    // finder's Location would refuse or split.
    finder.IncludeFiles = {PathInFolder(folder, kArchiveMask)};
    finder.Execute();
    finder.OnFound = nullptr;
    return found;
}

ArchiveRow MakeArchiveRow(const TSearchRec& record) {
    return {record.Name, std::to_string(record.Size / 1024),
            FormatDateTimeShort(LocalDateTime::FromDos(record.Time))};
}

std::string ArchiveKindText(const std::string& path) {
    HeadlessHost host;
    TZipReader reader(host);
    const std::optional<std::string> text =
        ReadEntryText(reader, path, std::string(kManifestEntryName), {});
    if (!text) {
        return {};
    }
    try {
        const Manifest recorded = ReadManifest(*text);
        return recorded.IsFull() ? "full" : "differential of " + recorded.FullArchive;
    } catch (const std::invalid_argument&) {
        return {};
    }
}

void SortArchiveRows(std::vector<ArchiveRow>& rows, ArchiveSortField field, bool descending) {
    if (rows.empty() || rows[0].Name.empty()) {
        return;
    }
    const auto ranks = KeyRanks(rows, field);
    const bool keysRepeat =
        !ranks.empty() && *std::max_element(ranks.begin(), ranks.end()) + 1 < ranks.size();
    const auto order = keysRepeat ? ExchangeOrder(ranks, descending) : OrderOf(ranks, descending);
    std::vector<ArchiveRow> sorted;
    sorted.reserve(rows.size());
    for (const size_t row : order) {
        sorted.push_back(std::move(rows[row]));
    }
    rows = std::move(sorted);
}

std::string DeleteArchivesQuestion(size_t count) {
    return "Do you want delete the " + std::to_string(count) + " files ";
}

void ArchiveList::RefreshArchiveList() {
    rows_.clear();
    for (const TSearchRec& record : FindArchiveFiles(finder_, Folder)) {
        rows_.push_back(MakeArchiveRow(record));
        rows_.back().Kind = ArchiveKindText(PathInFolder(Folder, record.Name));
    }
    totalText_ = TotalFilesText(rows_.size());
    if (rows_.empty()) {
        contents_.ClearContents();
        return;
    }
    SortArchiveList();
}

void ArchiveList::SortArchiveList() {
    if (rows_.empty() || rows_[0].Name.empty()) {
        return;
    }
    SortArchiveRows(rows_, SortField, Descending);
    contents_.ShowArchiveContents(std::string(TrimBlanks(Folder)), rows_[0].Name);
}

void ArchiveList::DeleteArchives(size_t top, size_t bottom,
                                 const std::function<bool(const std::string&)>& askYesNo) {
    Folder = std::string(TrimBlanks(Folder));
    if (top <= bottom && bottom < rows_.size() &&
        askYesNo(DeleteArchivesQuestion(bottom - top + 1))) {
        for (size_t row = top; row <= bottom; ++row) {
            unlink(PathInFolder(Folder, rows_[row].Name).c_str());
        }
    }
    RefreshArchiveList();
}

} // namespace mzb
