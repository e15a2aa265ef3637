#pragma once
// TZipWriter: writes archives. It extends the reader, sharing its archive
// name, file list, root directory, directory in memory and end record, so
// that after a run the reader side knows the archive just written.
//
//   TZipWriter writer(host);
//   writer.SetZipName("/backups/daily.zip");
//   writer.SetStorePaths(true);
//   writer.SetFilesList({"/home/u/Documents/*.odt", "/home/u/notes.txt"});
//   writer.ArchivePassword = "secret";
//   writer.Encryption = TEncryption::Aes256;
//   int added = writer.RunZip();
//
// A run expands the file list, writes one entry per file (stored or
// deflated, encrypted when a password is set) and ends with the central
// directory and the end record. An archive that already exists is rewritten,
// its entries carried over, replaced or kept as ZipAction says. Every
// archive is written to a hidden part file beside its name (PartFile.h) and
// takes the name in one rename once it is complete and on the disk, so
// whatever stops a run, even a kill, no partial archive stands under the
// name and an old archive stays as it was. New archives are readable by
// the owner only; an update keeps the archive's mode.

#include "zip/crypt/EntryCipher.h"
#include "zip/crypt/ZipCrypt.h"
#include "zip/format/ZipFormat.h"
#include "zip/io/FileSystem.h"
#include "zip/reader/ZipReader.h"

#include <cstdint>
#include <ctime>
#include <functional>
#include <limits>
#include <memory>
#include <string>
#include <vector>

namespace mzb {

// What a run does with an entry of the existing archive that a listed file
// matches: zaUpdate and zaFreshen replace it when the file is newer,
// zaReplace always; zaFreshen also leaves out files the archive lacks.
enum class TZipAction { zaUpdate = 0, zaReplace = 1, zaFreshen = 2 };

// Settings for splitting an archive over disks or numbered files. They are
// kept, but a run that asks for splitting is refused.
struct TMultiZipInfo {
    TMultiMode MultiMode = TMultiMode::mmNone;
    std::uint64_t BlockSize = 1457600;
    std::uint64_t FirstBlockSize = 1457600;
    std::uint64_t SaveOnFirstDisk = 0;
    bool SaveZipInfoOnFirstDisk = false;
    bool CheckDiskLabels = true;
    bool WriteDiskLabels = true;
};

// The Reason of the writer's OnSkippingFile.
inline constexpr int kSkipDuplicateName = 1;
inline constexpr int kSkipCannotOpen = 2;
inline constexpr int kSkipTooLarge = 3;

// What the writer takes, and where the ZIP64 records take over. A file
// beyond MaxFileSize is left out (reason 3); by default that is the largest
// file there can be, as the ZIP64 records hold any size. A size, offset or
// count beyond Classic goes into the ZIP64 records; an archive within them
// has none. Tests lower both to reach them cheaply.
struct TZipLimits {
    std::uint64_t MaxFileSize = std::numeric_limits<std::int64_t>::max();
    TClassicLimits Classic;
};

// An entry the host adds from memory after the listed files (OnAddLast).
struct TLastEntry {
    std::string StoredName; // folders separated by '/', no leading '/'
    std::string Data;
    int PackLevel = 6; // 0 stores
    std::time_t ModificationTime = 0;
    std::uint32_t ExternalAttributes = 0;
};

struct TZipWriteRun;
struct TPreparedFile;
struct TPlannedFile;
class TPiecePipeline;
class TFileCommit;

class TZipWriter : public TZipReader {
public:
    explicit TZipWriter(THostServices& host, TZipLimits limits = {},
                        TFillerSource filler = SystemFiller);
    ~TZipWriter() override;

    // --- settings ---------------------------------------------------------
    // The comment of the next archive written; a different text marks the
    // end record's CommentChanged. Only a run writes it: a comment set and
    // then left by a change of ZipName is dropped with the archive's name,
    // so that no later call ever writes an archive as a side effect.
    void SetArchiveComment(const std::string& comment);

    // Off also turns off RelativePaths and StoreVolumes.
    bool StorePaths() const { return storePaths_; }
    void SetStorePaths(bool on);
    // On also turns on StorePaths and Recurse.
    bool RelativePaths() const { return relativePaths_; }
    void SetRelativePaths(bool on);
    // On also turns on StorePaths. Linux paths have no volume part, so it
    // changes no stored name: a leading '/' is never stored.
    bool StoreVolumes() const { return storeVolumes_; }
    void SetStoreVolumes(bool on);
    // 0 stores every file; 1..9 deflate. Values outside are brought in range.
    int PackLevel() const { return packLevel_; }
    void SetPackLevel(int level);

    std::vector<std::string> ExcludeList;
    std::vector<std::string> NoCompressList; // file-name patterns stored as they are
    bool Recurse = false;
    bool AddDirEntriesOnRecurse = false;
    TZipAction ZipAction = TZipAction::zaUpdate;
    // An existing archive of the name is replaced whole instead of updated.
    // It stays as it was until the new one stands complete in its place.
    // Only a regular file of the running user's own at the name (not a link
    // to one) is updated or lends its mode; anything else there is no
    // archive of the user's and a new one, 0600, takes its place.
    bool ReplaceExisting = false;
    // Kept, without effect: an archive is always rewritten beside itself.
    std::string TempPath;
    // Linux has no short names and no archive bit: kept, without effect.
    bool Store83Names = false;
    bool SkipIfArchiveBitNotSet = false;
    bool ResetArchiveBitOnZip = false;
    bool Dispose = false; // delete the files added, after a run that succeeded
    // The cipher of every file entry when ArchivePassword is set. The
    // traditional one is what every tool reads, and what a known-plaintext
    // attack breaks; AES is what an archive that must stay private needs.
    TEncryption Encryption = TEncryption::Traditional;
    TMultiZipInfo MultiZipInfo;
    // Off: a run whose archive would hold no file (nothing, or folders
    // only) writes nothing and raises ENoFilesAdded, leaving whatever stood
    // at the name as it was.
    bool AllowEmptyArchive = true;

    // --- events (Sender first; unset events are not called) ---------------
    std::function<void(TZipWriter&, int NumFiles, std::uint64_t TotalBytes,
                       TEndCentral& EndCentralRecord, bool& StopNow)>
        OnStartZipInfo;
    std::function<void(TZipWriter&, const std::string& FName, TZipHeaderInfo& ZipHeader,
                       bool& Skip)>
        OnStartZip;
    std::function<void(TZipWriter&, const std::string& FName, std::uint64_t UncompressedSize,
                       std::uint64_t CompressedSize, std::uint64_t CurrentZipSize)>
        OnEndZip;
    std::function<void(TZipWriter&, int Reason, const std::string& FName, int FileIndex,
                       bool& Retry)>
        OnSkippingFile;
    // SkipErrorCode() says why a file could not be read.
    std::function<void(TZipWriter&, const std::string& FName)> OnNoSuchFile;
    // Asked of each file while the list is expanded, before anything opens
    // or reads it, with its stored name and what the expansion's stat of it
    // found: Skip leaves it out of the run, unreported and uncounted. This
    // is where a host that adds only some files chooses, at the cost of
    // the stat the expansion takes anyway; OnStartZip comes after the file
    // has been opened and perhaps read ahead.
    std::function<void(TZipWriter&, const std::string& FName, const std::string& StoredName,
                       const FileInfo& Info, bool& Skip)>
        OnChooseFile;
    std::function<void(TZipWriter&, const std::string& FName)> OnRecursingFile;
    // A wildcard item's folder that does not exist (ErrorCode ENOENT or
    // ENOTDIR), or a folder the walk could not list, with the errno; FName
    // has no trailing '/'. What it holds is missing from the archive.
    std::function<void(TZipWriter&, const std::string& FName, int ErrorCode)> OnFolderNotListed;
    std::function<void(TZipWriter&, const std::string& FName, bool& Skip)> OnDeleteEntry;
    // UDAction 0: the entry is being replaced; 1: it is kept.
    std::function<void(TZipWriter&, int UDAction, int FileIndex)> OnUpdate;
    std::function<void(TZipWriter&, const std::string& FName, bool& Skip)> OnDisposeFile;
    std::function<void(TZipWriter&, int Percent)> OnFilePercentDone;
    std::function<void(TZipWriter&, int Percent)> OnTotalPercentDone;
    std::function<void(TZipWriter&, int FileCount)> OnZipComplete;
    // Asked once the listed files are written, before the central
    // directory, with the entries the new archive holds so far (carried-over
    // ones included): the entries put in AddLast follow them in that order,
    // written from memory with the archive's password and cipher, neither
    // announced by OnStartZip and OnEndZip nor counted among the files
    // added. An entry that describes the others (their CRCs) is so written
    // in the same run as they are. A name the archive holds already raises
    // EZipFormatError.
    std::function<void(TZipWriter&, const TSortedZip& Written, std::vector<TLastEntry>& AddLast)>
        OnAddLast;
    // The new archive is complete and on the disk under its hidden part
    // name PartName (readable meanwhile), and is about to take its own name.
    // A name set in KeepAs refuses it: the part file moves there (replacing
    // whatever stood at KeepAs) and the run raises EArchiveRefused, leaving
    // the file at ZipName as it was. A check that cannot wait for the rename
    // (reading the archive back) belongs here: after it, an old archive of
    // the name is gone.
    std::function<void(TZipWriter&, const std::string& PartName, std::string& KeepAs)>
        OnArchiveReady;
    // Splitting only, which runs refuse; never fired.
    std::function<void(TZipWriter&, int DiskNumber)> OnPrepareNextDisk;
    std::function<void(TZipWriter&, std::string& FileName)> OnGetNextDisk;

    // --- running ------------------------------------------------------------
    // One run over FilesList, which is empty afterwards. Returns the number
    // of files added and then fires OnZipComplete with it; a failure raises
    // instead (EUserCanceled, ENotEnoughRoom, EZipFormatError for a name or
    // comment the format cannot hold, reader errors for a damaged existing
    // archive).
    int RunZip();
    // The bytes the current or last run set out to read.
    std::uint64_t TotalBytes() const { return totalBytes_; }
    const TZipLimits& Limits() const { return limits_; }
    // The layer that forces a finished archive to the disk and names it;
    // tests record its calls. It must outlive the writer's runs.
    void SetFileCommit(TFileCommit& commit) { commit_ = &commit; }

private:
    int Run();
    std::string HeldComment();
    void OpenOwnArchive();
    void ExpandList(TZipWriteRun& run);
    void OpenOutput(TZipWriteRun& run);
    void PrepareEndRecord(TZipWriteRun& run);
    void AddListedFiles(TZipWriteRun& run);
    void AddLastEntries(TZipWriteRun& run);
    void AddFromMemory(TZipWriteRun& run, const TLastEntry& added);
    void WriteCentralDirectory(TZipWriteRun& run);
    void FinishOutput(TZipWriteRun& run);
    void PutInPlace(TZipWriteRun& run);
    [[noreturn]] void KeepRefused(TZipWriteRun& run, const std::string& keepAs);
    void AdoptNewDirectory(TZipWriteRun& run);
    void DisposeFiles(const TZipWriteRun& run);
    void Abandon(TZipWriteRun& run) noexcept;

    // Adding one file (ZipWriterAdd.cpp).
    bool AddItem(TZipWriteRun& run, std::size_t itemIndex);
    bool AddFile(TZipWriteRun& run, const std::string& item, TZipHeaderInfo& entry,
                 const TPreparedFile& prepared);
    // Opens the file into run.input, asking the host to retry or skip when
    // it cannot; `status` receives the open file's.
    bool OpenInput(TZipWriteRun& run, const std::string& item, struct stat& status);
    TPlannedFile Planned(const std::string& item) const;
    TPiecePipeline& Pipeline(TZipWriteRun& run);
    bool CompressesFile(const std::string& fileName) const;
    void WriteEntryData(TZipWriteRun& run, TZipHeaderInfo& entry, const TPreparedFile& prepared);
    void EndEntryData(TZipWriteRun& run, TZipHeaderInfo& entry);
    void StoreData(TZipWriteRun& run, TZipHeaderInfo& entry);
    void DeflateData(TZipWriteRun& run, TZipHeaderInfo& entry, const TPreparedFile& prepared,
                     bool readAhead);
    std::uint32_t CrcPass(TZipWriteRun& run);
    void StartCipher(TZipWriteRun& run, std::uint32_t crc, const TPreparedFile& prepared);
    void Commit(TZipWriteRun& run, std::unique_ptr<TZipHeaderInfo> entry, std::uint32_t item);
    bool IsStoredNameTaken(const TZipWriteRun& run, const std::string& name) const;
    std::string StoredDirectoryOf(const std::string& item) const;
    std::string StoredNameOf(const std::string& item) const;
    void SkipFile(TZipWriteRun& run, int reason, const std::string& item, std::uint64_t size,
                  int error = 0);

    // The two ends of every entry's data, and the checks on what is written.
    std::size_t ReadStep(TZipWriteRun& run, std::uint8_t* buffer, std::size_t capacity);
    void CountRead(TZipWriteRun& run, std::size_t bytes);
    void CountFirstPass(TZipWriteRun& run, std::size_t bytes);
    void CountUpTo(TZipWriteRun& run, std::uint64_t& counted, std::uint64_t done, bool all,
                   bool firstPass);
    void Progress(TZipWriteRun& run, std::uint64_t halves);
    void WriteStep(TZipWriteRun& run, const std::uint8_t* data, std::size_t size);
    void WriteHeader(TZipWriteRun& run, TZipHeaderInfo& entry, std::string_view extra = {});
    void WriteRaw(TZipWriteRun& run, const void* data, std::size_t size);

    // Carrying over an existing archive (ZipWriterUpdate.cpp).
    void CarryOver(TZipWriteRun& run);
    bool ReplacesEntry(TZipWriteRun& run, const TZipHeaderInfo& old, std::size_t item, int index);
    void CopyEntry(TZipWriteRun& run, const TZipHeaderInfo& old);
    void CopyBytes(TZipWriteRun& run, std::uint64_t from, std::uint64_t size);

    TZipLimits limits_;
    TFillerSource filler_;
    TFileCommit* commit_;
    bool storePaths_ = false;
    bool relativePaths_ = false;
    bool storeVolumes_ = false;
    int packLevel_ = 6;
    std::uint64_t totalBytes_ = 0;
};

} // namespace mzb
