#include "core/restore/RestoreReport.h"

#include "core/base/ItemList.h"

#include <cstring>

namespace mzb {

namespace {

std::string FileNameOf(const std::string& path) {
    const auto slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// 'a.zip', 'b.zip' and 3 more
std::string QuotedArchiveNames(const std::vector<std::string>& archivePaths) {
    std::string text;
    for (std::size_t i = 0; i < archivePaths.size() && i < kItemsNamed; ++i) {
        text += (i > 0 ? ", '" : "'") + FileNameOf(archivePaths[i]) + "'";
    }
    if (archivePaths.size() > kItemsNamed) {
        text += " and " + std::to_string(archivePaths.size() - kItemsNamed) + " more";
    }
    return text;
}

std::string ProjectAndArchiveLines(const std::string& projectText,
                                   const std::vector<std::string>& archivePaths) {
    return "\rProject Name: '" + projectText +
           (archivePaths.size() > 1 ? "'\rFilenames:    " : "'\rFilename:     ") +
           QuotedArchiveNames(archivePaths);
}

std::string RestoredLine(const RestoreTally& tally) {
    return "\rFiles Restored: " + std::to_string(tally.Restored) + " of " +
           std::to_string(tally.Chosen);
}

std::string NotReplacedLine(const RestoreTally& tally) {
    if (tally.NotReplaced == 0) {
        return {};
    }
    return "\rNot Replaced: " + std::to_string(tally.NotReplaced) +
           " (existing files kept by the overwrite mode)";
}

} // namespace

int RestoreTally::NotTried() const {
    const int rest = Chosen - Restored - NotReplaced - static_cast<int>(Lost.size());
    return Stopped && rest > 0 ? rest : 0;
}

std::string LinkInTheWayReason(const std::string& link) {
    return "a link is in the way: " + link;
}

std::string CannotCreateReason(int errorCode) {
    if (errorCode == 0) {
        return "cannot be created";
    }
    return std::string("cannot be created (") + std::strerror(errorCode) + ")";
}

std::string NotWrittenReason(int errorCode) {
    return std::string("not written: ") + std::strerror(errorCode);
}

std::string RestoreSuccessText(const std::string& projectText,
                               const std::vector<std::string>& archivePaths) {
    return "Restore Files Succeeds!" + ProjectAndArchiveLines(projectText, archivePaths);
}

std::string RestoreKeptText(const std::string& projectText,
                            const std::vector<std::string>& archivePaths,
                            const RestoreTally& tally) {
    return "Restore finished: nothing was lost, existing files were kept." +
           ProjectAndArchiveLines(projectText, archivePaths) + RestoredLine(tally) +
           NotReplacedLine(tally);
}

std::string RestoreFailureText(const std::string& projectText,
                               const std::vector<std::string>& archivePaths,
                               const RestoreTally& tally) {
    std::string text = kRestoreFailedText + ProjectAndArchiveLines(projectText, archivePaths) +
                       RestoredLine(tally);
    if (!tally.Lost.empty()) {
        text +=
            "\rFiles Not Restored: " + std::to_string(tally.Lost.size()) + ItemLines(tally.Lost);
    }
    if (const int notTried = tally.NotTried(); notTried > 0) {
        text += "\rFiles Not Tried: " + std::to_string(notTried) + " (the restore stopped there)";
    }
    return text + NotReplacedLine(tally);
}

std::string RestoreCanceledText(const std::vector<std::string>& archivePaths,
                                const RestoreTally& tally) {
    return "Restore canceled! " + std::to_string(tally.Restored) + " of " +
           std::to_string(tally.Chosen) + " files of " + QuotedArchiveNames(archivePaths) +
           " were restored; no partial file was left.";
}

std::string RestoreNothingText(const std::string& archivePath) {
    return std::string(kRestoreFailedText) + "\rThe archive '" + FileNameOf(archivePath) +
           "' holds no files: nothing was restored.";
}

std::string OverwriteQuestionText(const std::string& path) {
    return "Replace existing file '" + path + "'?";
}

} // namespace mzb
