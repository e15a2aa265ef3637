#pragma once
// The archive list of the restore page: the ZIP archives of one folder, one
// row each (name, size in KiB, last-write date, full or differential),
// sorted as the user chose, with the delete of selected rows. The window
// only displays these rows.

#include "core/restore/ArchiveContentsView.h"
#include "finder/FindFile.h"

#include <functional>
#include <string>
#include <vector>

namespace mzb {

struct ArchiveRow {
    std::string Name; // file name without folder
    std::string Size; // bytes / 1024, rounded toward zero
    std::string Date; // FormatDateTimeShort of the local last-write time
    // What its manifest says it is (ArchiveKindText); empty for an archive
    // without one, or one that cannot be read without a password.
    std::string Kind = {};
};

enum class ArchiveSortField { ByName = 0, BySize = 1, ByDate = 2 };

// The folder's archives as the finder reports them: "*.zip", no subfolders,
// regular files (or links to them) only, in the finder's order. The folder
// is one location, never a pattern.
std::vector<TSearchRec> FindArchiveFiles(TFindFile& finder, const std::string& folder);

// The row of one archive as the finder reports it.
ArchiveRow MakeArchiveRow(const TSearchRec& record);

// "full", or "differential of " and the full archive it needs, as the
// manifest of the archive at `path` says; empty when it has none that reads.
std::string ArchiveKindText(const std::string& path);

// The list's order: that of an exchange sort over the rows. Names and sizes
// compare as texts (byte order, so "10" comes before "9"); dates by the
// date-time their text shows, each parsed once. Descending exchanges equal
// rows too, so the order of equal rows depends on the rows around them.
// Throws std::invalid_argument, leaving the rows as they were, for a date
// text that does not parse.
void SortArchiveRows(std::vector<ArchiveRow>& rows, ArchiveSortField field, bool descending);

// "Do you want delete the N files " (the trailing blank is part of it).
std::string DeleteArchivesQuestion(size_t count);

class ArchiveList {
public:
    ArchiveList(TFindFile& finder, ArchiveContentsView& contents)
        : finder_(finder), contents_(contents) {}

    // The folder field, DirectoryView.
    std::string Folder;
    ArchiveSortField SortField = ArchiveSortField::ByName;
    bool Descending = false;

    const std::vector<ArchiveRow>& Rows() const { return rows_; }
    // LabelZipNumber.
    const std::string& TotalText() const { return totalText_; }

    // Lists the folder's archives, sorts them and shows the first one's contents.
    void RefreshArchiveList();
    void SortArchiveList();
    // menuDeleteClick for rows top..bottom (0-based, inclusive): asks, deletes
    // on yes (failures are not reported), and refreshes whatever the answer.
    void DeleteArchives(size_t top, size_t bottom,
                        const std::function<bool(const std::string& question)>& askYesNo);

private:
    TFindFile& finder_;
    ArchiveContentsView& contents_;
    std::vector<ArchiveRow> rows_;
    std::string totalText_ = TotalFilesText(0);
};

} // namespace mzb
