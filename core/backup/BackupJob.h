#pragma once
// What one backup asks of the long-lived archive writer, and what it hears
// back while the writer works.

#include "core/backup/Differential.h"
#include "core/editor/BackupEditor.h"
#include "zip/crypt/EntryCipher.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace mzb {

// The writer settings of one run. Every field is set on every run so that
// nothing of an earlier project leaks into this one.
struct BackupJob {
    std::string ZipName;
    bool Recurse = false;
    bool StorePaths = false;
    std::string ArchiveComment;
    std::vector<std::string> FilesList;
    std::vector<std::string> ExcludeList;
    std::string ArchivePassword;
    TEncryption Encryption = TEncryption::Traditional;
    int PackLevel = 5;
    bool AddDirEntriesOnRecurse = false;
    // The archive exists and overwriting is on: the new one takes its place
    // once complete, so a failed or canceled run keeps the last backup.
    bool ReplaceArchive = false;

    bool operator==(const BackupJob&) const = default;
};

BackupJob MakeBackupJob(const BackupEditor& editor);

// Asked once a new archive is complete and on the disk under a hidden part
// name (partPath), before it takes its own name: empty lets it; a path
// refuses it, the archive is moved there instead and the writer raises
// EArchiveRefused, leaving the file of the archive's name as it was.
using ArchiveReadyCheck = std::function<std::string(const std::string& partPath)>;

// A file entry of the archive being written.
struct WrittenEntry {
    std::string Name; // stored
    std::uint32_t Crc32 = 0;
};

// An entry written from memory as one of the archive's last, at its own
// compression level.
struct TextEntry {
    std::string StoredName;
    std::string Text;
    int PackLevel = 5;
};

// What the run hears from the writer while it works.
struct BackupWriterEvents {
    std::function<void(int percent)> OnTotalPercentDone;
    // A file or folder the archive will lack, with the reason, as
    // FileLeftOutText or FolderLeftOutText word it.
    std::function<void(const std::string& text)> OnFileLeftOut;
    // The writer starts packing this file.
    std::function<void(const std::string& path)> OnFileStarted;
    // Before a file is packed, with its stored name and what the file
    // system says of it: false leaves it out of the archive, unreported
    // (a differential backup's unchanged file). Unset adds every file.
    std::function<bool(const FileState& file)> OnChooseFile;
    // Once the listed files are written, before the archive ends: each
    // file entry it holds, by stored name with its CRC-32. The texts
    // returned are the archive's last entries, written in the same run with
    // the job's password and cipher.
    std::function<std::vector<TextEntry>(const std::vector<WrittenEntry>& written)> OnAddLast;
    // The archive is complete, holding fileCount files (directory entries
    // not counted); the writer returns only after this returns.
    std::function<void(int fileCount)> OnZipComplete;
    // Before OnZipComplete; unset lets every archive take its name.
    ArchiveReadyCheck OnArchiveReady;
};

// The long-lived archive writer, seen from the run. Failures are raised; a
// run that finds no file to add writes nothing and raises ENoFilesAdded.
class BackupWriter {
public:
    virtual ~BackupWriter() = default;
    // Sets the job's settings in the order of BackupJob's fields, then writes.
    virtual void RunZip(const BackupJob& job, const BackupWriterEvents& events) = 0;
    // Reads the archive at `path` back from the disk and decodes every
    // entry, checking its CRC, without writing anything: what is wrong with
    // it, one text per problem (the entry named), none when it reads whole.
    // It may be asked from an OnArchiveReady check, while the writer's run
    // is under way. A cancel is raised, as during the writing.
    virtual std::vector<std::string> ReadBack(const std::string& path,
                                              const std::string& password) = 0;
    // The text of the archive's entry of that stored name, decoded and
    // checked; none when the archive lacks the entry or cannot give it whole.
    virtual std::optional<std::string> ReadEntryText(const std::string& path,
                                                     const std::string& storedName,
                                                     const std::string& password) = 0;
    // Between the steps that follow the writer's run (the remote copy): lets
    // the host handle its events, and false when the user asked meanwhile
    // for the run to stop.
    virtual bool KeepGoing() { return true; }
};

} // namespace mzb
