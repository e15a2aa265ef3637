#pragma once
// The contents grid of the restore page: one row per entry of the archive
// chosen in the archive list. It reads through the window's long-lived
// archive reader, the one restores use, so choosing the same archive again
// costs only a look at the archive file's time. Nothing is extracted.

#include "core/restore/ArchiveContentsView.h"
#include "zip/reader/ZipReader.h"

#include <string>
#include <vector>

namespace mzb {

struct ContentsRow {
    std::string Name;      // file name without directory; empty for a directory entry
    std::string Size;      // compressed size in bytes, encryption header included
    std::string Directory; // stored directory: empty or ending in '/'
};

// The rows of the archive the reader holds, in the reader's entry order.
std::vector<ContentsRow> ContentsRowsOf(const TZipReader& reader);

class ArchiveContents : public ArchiveContentsView {
public:
    explicit ArchiveContents(TZipReader& reader) : reader_(reader) {}

    // A blank name does nothing. An archive that cannot be opened or whose
    // directory is beyond repair raises the reader's error and leaves the
    // rows as they were; a file without an end record shows as empty.
    void ShowArchiveContents(const std::string& folder, const std::string& name) override;
    void ClearContents() override;

    // Empty when there is nothing to show (the grid then shows one empty row).
    const std::vector<ContentsRow>& Rows() const { return rows_; }
    // LabelfileNumber.
    const std::string& TotalText() const { return totalText_; }

private:
    TZipReader& reader_;
    std::vector<ContentsRow> rows_;
    std::string totalText_ = TotalFilesText(0);
};

} // namespace mzb
