#include "tools/mzb/BrowseCommands.h"

#include "core/base/DateText.h"
#include "core/restore/ArchiveContents.h"
#include "core/restore/ArchiveList.h"
#include "core/restore/ArchiveSearch.h"
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

// Each archive that cannot be read, on stderr; the search goes on.
struct ReportedSearch {
    std::string folder;
    bool unreadable = false;
    SearchEvents events;

    explicit ReportedSearch(std::string dir) : folder(std::move(dir)) {
        events.OnUnreadable = [this](const std::string& archive, const std::string& reason) {
            unreadable = true;
            std::fprintf(stderr, "mzb: %s: %s\n",
                         PrintableName(PathInFolder(folder, archive)).c_str(), reason.c_str());
        };
    }
    int ExitCode() const { return unreadable ? kExitPartial : kExitOk; }
};

// The operands of find and versions: no options, the folder first.
std::string SearchOperandError(const Args& args, size_t least, const char* names) {
    for (const std::string& a : args) {
        if (LooksLikeOption(a)) {
            return UnexpectedArgumentError(a);
        }
    }
    return args.size() < least ? std::string("missing ") + names : std::string();
}

} // namespace

int RunFind(const GlobalOptions&, const Args& args) {
    if (const auto error = SearchOperandError(args, 2, "DIR and PATTERN"); !error.empty()) {
        return UsageError(error);
    }
    ReportedSearch search(args[0]);
    search.events.OnFound = [](const SearchHit& hit) {
        std::printf("%s\t%s\t%s\t%llu\t%s\t%s\t%s\n", PrintableName(hit.Archive).c_str(),
                    FormatDateTime(hit.ArchiveDate).c_str(), PrintableName(hit.Path).c_str(),
                    static_cast<unsigned long long>(hit.Size), hit.Modified.c_str(),
                    CrcText(hit.Crc).c_str(), VersionChangeText(hit.Change).c_str());
    };
    TFindFile finder;
    const size_t found = SearchArchives(
        finder, search.folder, AnyOfSearchTexts({args.begin() + 1, args.end()}), search.events);
    std::printf("%s\n", TotalFilesText(found).c_str());
    return search.ExitCode();
}

int RunVersions(const GlobalOptions&, const Args& args) {
    if (const auto error = SearchOperandError(args, 2, "DIR and PATH"); !error.empty()) {
        return UsageError(error);
    }
    if (args.size() > 2) {
        return UsageError(UnexpectedArgumentError(args[2]));
    }
    ReportedSearch search(args[0]);
    TFindFile finder;
    const auto versions = FindVersions(finder, search.folder, args[1], search.events);
    for (size_t v = 0; v < versions.size(); ++v) {
        const FileVersion& version = versions[v];
        for (size_t a = 0; a < version.Archives.size(); ++a) {
            std::printf("%zu\t%llu\t%s\t%s\t%s\t%s\n", v + 1,
                        static_cast<unsigned long long>(version.Size), version.Modified.c_str(),
                        CrcText(version.Crc).c_str(), PrintableName(version.Archives[a]).c_str(),
                        FormatDateTime(version.ArchiveDates[a]).c_str());
        }
    }
    std::printf("(Total %zu versions)\n", versions.size());
    return search.ExitCode();
}

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
