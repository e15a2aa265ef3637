#include "core/base/EntryText.h"

#include "zip/base/ZipError.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <stdexcept>

namespace mzb {

ReaderSettingsKept::ReaderSettingsKept(TZipReader& reader)
    : reader_(reader), zipName_(reader.ZipName()), destDir_(reader.DestDir()),
      filesList_(reader.FilesList()), testOnly_(reader.TestOnly), doAll_(reader.DoAll),
      recreateDirs_(reader.RecreateDirs), overwrite_(reader.OverwriteMode),
      incomplete_(reader.IncompleteZipMode), password_(reader.ArchivePassword) {}

ReaderSettingsKept::~ReaderSettingsKept() {
    static_cast<TZipReaderEvents&>(reader_) = TZipReaderEvents{};
    reader_.TestOnly = testOnly_;
    reader_.DoAll = doAll_;
    reader_.RecreateDirs = recreateDirs_;
    reader_.OverwriteMode = overwrite_;
    reader_.IncompleteZipMode = incomplete_;
    reader_.ArchivePassword = password_;
    reader_.SetFilesList(filesList_);
    reader_.SetDestDir(destDir_);
    reader_.SetZipName(zipName_);
}

PrivateFolder::PrivateFolder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "mzb-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) {
        throw std::runtime_error("Cannot create a temporary folder in " +
                                 std::filesystem::temp_directory_path().string() + ": " +
                                 std::strerror(errno));
    }
    path_ = pattern;
}

PrivateFolder::~PrivateFolder() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
}

namespace {

bool HasChosenEntry(const TZipReader& reader) {
    for (int index = 0; index < reader.EntryCount(); ++index) {
        if (reader.IsChosen(reader.Entry(index))) {
            return true;
        }
    }
    return false;
}

} // namespace

std::optional<std::string> ReadEntryText(TZipReader& reader, const std::string& path,
                                         const std::string& storedName,
                                         const std::string& password) {
    reader.RefuseWhileBusy();
    const ReaderSettingsKept kept(reader);
    std::optional<PrivateFolder> folder;
    bool whole = true;
    reader.OnSkippingFile = [&](TZipReader&, int, const std::string&, int, bool&) {
        whole = false;
    };
    reader.OnBadCRC = [&](TZipReader&, std::uint32_t, std::uint32_t, int) { whole = false; };
    // Nobody is asked: the password given must do.
    reader.OnBadPassword = [](TZipReader&, int, std::string& newPassword) { newPassword.clear(); };
    // Never rebuilt from its local headers: that salvage would stay as the
    // reader's view of the archive for the run that follows.
    reader.IncompleteZipMode = TIncompleteZipMode::izAssumeNotAZip;
    reader.TestOnly = false;
    reader.DoAll = false;
    reader.RecreateDirs = false;
    reader.OverwriteMode = TUZOverwriteMode::Always;
    reader.ArchivePassword = password;
    reader.SetFilesList({storedName});
    try {
        reader.SetZipName(path);
        reader.OpenArchive();
        // Most archives lack the entry: they cost their directory alone,
        // no folder made and removed and no run.
        if (!HasChosenEntry(reader)) {
            return std::nullopt;
        }
        folder.emplace();
        reader.SetDestDir(folder->Path());
        if (reader.RunUnZip() != 1 || !whole) {
            return std::nullopt;
        }
    } catch (const EUserCanceled&) {
        throw;
    } catch (const EZipError&) {
        return std::nullopt;
    }
    std::ifstream in(folder->File(storedName), std::ios::binary);
    if (!in) {
        return std::nullopt;
    }
    return std::string(std::istreambuf_iterator<char>(in), {});
}

} // namespace mzb
