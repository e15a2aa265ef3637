#pragma once
// The contents grid as the archive list drives it: after every refresh and
// sort the list shows its first archive there, or empties it.

#include <string>

namespace mzb {

class ArchiveContentsView {
public:
    virtual ~ArchiveContentsView() = default;
    // `folder` is the trimmed archive folder, `name` the archive's file name.
    virtual void ShowArchiveContents(const std::string& folder, const std::string& name) = 0;
    // No archive to show: one empty row and "(Total 0 files)".
    virtual void ClearContents() = 0;
};

// "(Total N files)", the text of both total labels.
std::string TotalFilesText(size_t count);
// The folder and a file name in it, with one separator between them.
std::string PathInFolder(const std::string& folder, const std::string& name);

} // namespace mzb
