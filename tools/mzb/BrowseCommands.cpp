#include "tools/mzb/BrowseCommands.h"

#include "core/restore/ArchiveContents.h"
#include "core/restore/ArchiveList.h"
#include "platform/Blanks.h"
#include "zip/base/HeadlessHost.h"
#include "zip/base/PrintableName.h"
#include "zip/base/ZipError.h"
#include "zip/io/PathName.h"

#include <cstdio>

namespace mzb::cli {

namespace {

// The archive list shows its first archive's entries; the command prints
// only the list.
struct NoContents : ArchiveContentsView {
    void ShowArchiveContents(const std::string&, const std::string&) override {}
    void ClearContents() override {}
};

} // namespace

int RunArchives(const GlobalOptions&, const Args& args) {
    Args folders;
    ArchiveSortField field = ArchiveSortField::ByName;
    bool descending = false;
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--by") {
            if (++i == args.size()) {
                return UsageError("--by needs name, size or date");
            }
            const std::string& by = args[i];
            if (by == "name") {
                field = ArchiveSortField::ByName;
            } else if (by == "size") {
                field = ArchiveSortField::BySize;
            } else if (by == "date") {
                field = ArchiveSortField::ByDate;
            } else {
                return UsageError("--by takes name, size or date, not " + by);
            }
        } else if (args[i] == "--desc") {
            descending = true;
        } else if (LooksLikeOption(args[i])) {
            return UsageError("unknown option " + args[i]);
        } else {
            folders.push_back(args[i]);
        }
    }
    if (const auto error = OperandCountError(folders, 1, "DIR"); !error.empty()) {
        return UsageError(error);
    }
    const std::string& folder = folders[0];
    TFindFile finder;
    NoContents contents;
    ArchiveList list(finder, contents);
    list.Folder = folder;
    list.SortField = field;
    list.Descending = descending;
    list.RefreshArchiveList();
    for (const ArchiveRow& row : list.Rows()) {
        std::printf("%s\t%s\t%s\n", PrintableName(row.Name).c_str(), row.Size.c_str(),
                    row.Date.c_str());
    }
    std::printf("%s\n", list.TotalText().c_str());
    return kExitOk;
}

int RunContents(const GlobalOptions&, const Args& args) {
    for (const std::string& a : args) {
        if (LooksLikeOption(a)) {
            return UsageError(UnexpectedArgumentError(a));
        }
    }
    if (const auto error = OperandCountError(args, 1, "ARCHIVE"); !error.empty()) {
        return UsageError(error);
    }
    const std::string& archive = args[0];
    // The contents view does nothing for a blank name; here that would print
    // an empty listing for a folder as if it were an empty archive.
    if (TrimBlanks(FileNamePart(archive)).empty()) {
        return UsageError(archive + " names a folder, not an archive");
    }
    HeadlessHost host;
    TZipReader reader(host);
    // The window shows a file without an end record as an empty archive; a
    // script asking for one file's contents is better told it is none.
    reader.IncompleteZipMode = TIncompleteZipMode::izAssumeBad;
    reader.DoProcessMessages = false;
    ArchiveContents contents(reader);
    try {
        contents.ShowArchiveContents(DirectoryPart(archive), FileNamePart(archive));
    } catch (const EZipError& e) {
        std::fprintf(stderr, "mzb: %s: %s\n", archive.c_str(), e.what());
        return kExitFatal;
    }
    for (const ContentsRow& row : contents.Rows()) {
        std::printf("%s\t%s\t%s\n", PrintableName(row.Name).c_str(), row.Size.c_str(),
                    PrintableName(row.Directory).c_str());
    }
    std::printf("%s\n", contents.TotalText().c_str());
    return kExitOk;
}

} // namespace mzb::cli
