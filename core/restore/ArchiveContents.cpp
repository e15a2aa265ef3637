#include "core/restore/ArchiveContents.h"

#include "platform/Blanks.h"

namespace mzb {

std::vector<ContentsRow> ContentsRowsOf(const TZipReader& reader) {
    std::vector<ContentsRow> rows;
    const int count = reader.EntryCount();
    rows.reserve(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) {
        const TZipHeaderInfo& entry = reader.Entry(i);
        rows.push_back({entry.FileName(), std::to_string(entry.CompressedSize), entry.Directory()});
    }
    return rows;
}

void ArchiveContents::ShowArchiveContents(const std::string& folder, const std::string& name) {
    const std::string_view trimmed = TrimBlanks(name);
    if (trimmed.empty()) {
        return;
    }
    // The reader keeps the directory in memory while the path stays the
    // same, so the path must be built the same way every time.
    reader_.SetZipName(PathInFolder(std::string(TrimBlanks(folder)), std::string(trimmed)));
    reader_.OpenArchive();
    // Only once the directory is read: a failure above keeps the old rows.
    rows_ = ContentsRowsOf(reader_);
    totalText_ = TotalFilesText(rows_.size());
}

void ArchiveContents::ClearContents() {
    rows_.clear();
    totalText_ = TotalFilesText(0);
}

} // namespace mzb
