#include "core/restore/ArchiveList.h"

#include "core/base/DateText.h"
#include "platform/Blanks.h"
#include "zip/io/FileSystem.h"
#include "zip/io/PathName.h"

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

bool Greater(const ArchiveRow& a, const ArchiveRow& b, ArchiveSortField field) {
    switch (field) {
    case ArchiveSortField::BySize:
        return a.Size > b.Size;
    case ArchiveSortField::ByDate:
        return DateOf(a) > DateOf(b);
    case ArchiveSortField::ByName:
        break;
    }
    return a.Name > b.Name;
}

} // namespace

std::string TotalFilesText(size_t count) {
    return "(Total " + std::to_string(count) + " files)";
}

std::string PathInFolder(const std::string& folder, const std::string& name) {
    // No folder is the current directory, as the finder lists it; never the root.
    return WithTrailingSeparator(folder) + name;
}

ArchiveRow MakeArchiveRow(const TSearchRec& record) {
    return {record.Name, std::to_string(record.Size / 1024),
            FormatDateTimeShort(LocalDateTime::FromDos(record.Time))};
}

void SortArchiveRows(std::vector<ArchiveRow>& rows, ArchiveSortField field, bool descending) {
    if (rows.empty() || rows[0].Name.empty()) {
        return;
    }
    for (size_t q = rows.size() - 1; q >= 1; --q) {
        for (size_t r = 0; r < q; ++r) {
            const bool greater = Greater(rows[r], rows[q], field);
            if (descending ? !greater : greater) {
                std::swap(rows[r], rows[q]);
            }
        }
    }
}

std::string DeleteArchivesQuestion(size_t count) {
    return "Do you want delete the " + std::to_string(count) + " files ";
}

ArchiveList::ArchiveList(TFindFile& finder, ArchiveContentsView& contents)
    : finder_(finder), contents_(contents) {
    finder_.SetFilename(kArchiveMask);
    finder_.Subfolders = false;
    finder_.Threaded = false;
    finder_.OnFound = [this](TFindFile&, const std::string& folder, const TSearchRec& record) {
        // A FIFO or a device named like an archive would stall whoever
        // opens it; only regular files (or links to them) are archives.
        const auto info = FileInfoOf(WithTrailingSeparator(folder) + record.Name);
        if (info && info->IsRegular()) {
            found_.push_back(MakeArchiveRow(record));
        }
    };
}

void ArchiveList::RefreshArchiveList() {
    found_.clear();
    // The folder is one location, never a pattern: as a full mask it may
    // hold '*', '?' or ';', which the finder's Location would refuse or
    // split.
    finder_.IncludeFiles = {PathInFolder(Folder, kArchiveMask)};
    finder_.Execute();
    rows_ = std::exchange(found_, {});
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
