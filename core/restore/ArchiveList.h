#pragma once
// The archive list of the restore page: the ZIP archives of one folder, one
// row each (name, size in KiB, last-write date, full or differential),
// sorted as the user chose, with the delete of selected rows. The window
// only displays these rows.

#include "core/restore/ArchiveContentsView.h"
#include "finder/FindFile.h"
#include "zip/base/FileTime.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

namespace mzb {

// The archive file a kind was read from: another file under the name, or
// the same one rewritten, differs in one of these.
struct ArchiveStamp {
    std::uint64_t Size = 0;
    TFileTime Modified;
    std::uint64_t Device = 0;
    std::uint64_t Inode = 0;

    bool operator==(const ArchiveStamp&) const = default;
};

struct ArchiveRow {
    std::string Name; // file name without folder
    std::string Size; // bytes / 1024, rounded toward zero
    std::string Date; // FormatDateTimeShort of the local last-write time
    // What its manifest says it is (ArchiveKindText); empty until read, and
    // for an archive without one or whose password the list was not given.
    std::string Kind = {};
    ArchiveStamp Stamp = {}; // the file the row was listed from
};

// An archive of the list whose kind is still to be read.
struct KindToRead {
    std::string Name;
    std::string Path;
    ArchiveStamp Stamp;
    std::string Password;
};

enum class ArchiveSortField { ByName = 0, BySize = 1, ByDate = 2 };

// The folder's archives as the finder reports them: "*.zip", no subfolders,
// regular files (or links to them) only, in the finder's order. The folder
// is one location, never a pattern.
std::vector<TSearchRec> FindArchiveFiles(TFindFile& finder, const std::string& folder);

// The row of one archive as the finder reports it.
ArchiveRow MakeArchiveRow(const TSearchRec& record);

// "full", or "differential of " and the full archive it needs, as the
// manifest of the archive at `path` says; empty when it has none that reads
// (with that password, where the manifest is encrypted). Uses no state of
// the caller's, so it may run off the window's thread.
std::string ArchiveKindText(const std::string& path, const std::string& password);

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
    // The Restore Setup's password, for encrypted manifests.
    std::string Password;
    ArchiveSortField SortField = ArchiveSortField::ByName;
    bool Descending = false;

    const std::vector<ArchiveRow>& Rows() const { return rows_; }
    // LabelZipNumber.
    const std::string& TotalText() const { return totalText_; }

    // Lists the folder's archives, sorts them and shows the first one's
    // contents. Opens no archive for the Backup column: kinds read before
    // for the same archive file are shown, the others are KindsToRead.
    void RefreshArchiveList();
    // The listed archives whose kind is not known, in the rows' order:
    // for ArchiveKindText, and SetKind with what it gives.
    std::vector<KindToRead> KindsToRead() const;
    // Keeps a kind read, and shows it in the row of that archive while the
    // row is of that very file; returns the row that shows it.
    std::optional<size_t> SetKind(const KindToRead& archive, std::string kind);
    void SortArchiveList();
    // menuDeleteClick for rows top..bottom (0-based, inclusive): asks, deletes
    // on yes (failures are not reported), and refreshes whatever the answer.
    void DeleteArchives(size_t top, size_t bottom,
                        const std::function<bool(const std::string& question)>& askYesNo);

private:
    struct KnownKind {
        ArchiveStamp Stamp;
        std::string Password;
        std::string Kind;
    };
    // Whether a kind read before still holds for the archive at hand.
    static bool Holds(const KnownKind& known, const ArchiveStamp& stamp,
                      const std::string& password);
    void IndexRows();

    TFindFile& finder_;
    ArchiveContentsView& contents_;
    std::vector<ArchiveRow> rows_;
    std::unordered_map<std::string, size_t> rowOf_;
    // Reading a kind opens the archive and inflates its manifest: each
    // archive file is read once, not on every refresh.
    std::unordered_map<std::string, KnownKind> kinds_;
    std::string totalText_ = TotalFilesText(0);
};

} // namespace mzb
