#pragma once
// TZipReader: opens an archive, keeps its directory in memory, answers
// questions about its entries and extracts them into files.
//
//   TZipReader reader(host);
//   reader.SetZipName("/backups/daily.zip");
//   reader.SetDestDir("/home/u/restore");
//   reader.RecreateDirs = true;
//   reader.DoAll = true;
//   int extracted = reader.RunUnZip();
//
// The directory is read on first need and again whenever the archive's file
// time changes. Everything an archive says is untrusted: output paths stay
// below DestDir, entries whose data would overlap another's are refused,
// output never exceeds an entry's declared size and never goes through a
// link: folders are walked from the destination without following links
// (zip/io/OutputFolder.h). Entries that fail are reported through the
// events and the run goes on; errors that end a run are raised after
// OnUnZipComplete.

#include "zip/base/HostServices.h"
#include "zip/base/WorkerPool.h"
#include "zip/format/EndCentral.h"
#include "zip/format/SortedZip.h"
#include "zip/format/ZipHeaderInfo.h"
#include "zip/io/FileStream.h"
#include "zip/io/FileSystem.h"
#include "zip/io/OutputPath.h"

#include <cstdint>
#include <ctime>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace mzb {

enum class TUZOverwriteMode { Prompt = 0, Always = 1, Never = 2, ifNewer = 3, ifOlder = 4 };
enum class TIncompleteZipMode { izAssumeMulti = 0, izAssumeBad = 1, izAssumeNotAZip = 2 };
enum class TMultiMode { mmNone = 0, mmSpan = 1, mmBlocks = 2 };

// The Reason of OnSkippingFile.
inline constexpr int kSkipBadPassword = 0;
inline constexpr int kSkipNotOverwritten = 1;
inline constexpr int kSkipCannotCreate = 3;
// The entry's name would leave the destination, or its headers are
// inconsistent with the archive (bad local header, data overlapping another
// entry, an encryption header that cannot be there).
inline constexpr int kSkipUnsafe = 4;
// A link stood on the way to the output's folder; LinkInTheWay() names it.
inline constexpr int kSkipLinkInTheWay = 5;
// The entry's data is not what was written: its authentication code does
// not match (damaged, or changed on purpose). Nothing of it is written.
inline constexpr int kSkipNotAuthentic = 6;

class TEntryCipher;
class TEntryDecoder;
class TZipReader;
enum class TEntryVerdict;
struct TDecodeJob;
struct TExtractionRun;
struct TFolderReached;
struct TPartInFolder;

struct TZipReaderEvents {
    std::function<void(TZipReader&, int NumFiles, std::uint64_t TotalBytes, bool& StopNow)>
        OnStartUnZipInfo;
    std::function<void(TZipReader&, int FileIndex, std::string& FName, bool& Skip)> OnStartUnZip;
    std::function<void(TZipReader&, int FileIndex, const std::string& FName)> OnEndUnZip;
    std::function<void(TZipReader&, int Percent)> OnFilePercentDone;
    std::function<void(TZipReader&, int Percent)> OnTotalPercentDone;
    std::function<void(TZipReader&, bool& OverWriteIt, int FileIndex, const std::string& FName)>
        OnPromptForOverwrite;
    std::function<void(TZipReader&, int Reason, const std::string& FName, int FileIndex,
                       bool& Retry)>
        OnSkippingFile;
    std::function<void(TZipReader&, int FileIndex, std::string& NewPassword)> OnBadPassword;
    std::function<void(TZipReader&, std::uint32_t CalcCRC, std::uint32_t StoredCRC, int FileIndex)>
        OnBadCRC;
    std::function<void(TZipReader&, TIncompleteZipMode& IncompleteMode)> OnInCompleteZip;
    std::function<void(TZipReader&, int FileCount)> OnUnZipComplete;
};

class TZipReader : public TZipReaderEvents {
public:
    explicit TZipReader(THostServices& host);
    virtual ~TZipReader();
    TZipReader(const TZipReader&) = delete;
    TZipReader& operator=(const TZipReader&) = delete;

    // --- settings ---------------------------------------------------------
    const std::string& ZipName() const { return zipName_; }
    // A name ending in "?" asks the host's file dialog. Any other change
    // forgets the archive read so far, with a comment set and not yet
    // written; the same name keeps it.
    void SetZipName(const std::string& name);
    const std::string& DestDir() const { return destDir_; }
    // "?" asks the host's directory dialog.
    void SetDestDir(const std::string& dir);
    const std::string& RootDir() const { return rootDir_; }
    void SetRootDir(const std::string& dir);
    const std::vector<std::string>& FilesList() const { return filesList_; }
    void SetFilesList(const std::vector<std::string>& patterns) { filesList_ = patterns; }
    TZipSortMode SortMode() const { return sortMode_; }
    // Reorders the view of the directory in memory at once.
    void SetSortMode(TZipSortMode mode);
    static constexpr int ThisVersion() { return 100; }

    bool RecreateDirs = false;
    TUZOverwriteMode OverwriteMode = TUZOverwriteMode::Prompt;
    bool DoAll = false;
    TIncompleteZipMode IncompleteZipMode = TIncompleteZipMode::izAssumeMulti;
    bool KeepZipOpen = false;
    bool DoProcessMessages = true;
    bool RetainAttributes = true;
    bool ReplaceReadOnly = false;
    // Extracted files forced to the disk as each is closed. Archives the
    // writer finishes always are.
    bool FlushFilesOnClose = false;
    // Threads that decode (and, in the writer, compress), and make small
    // files without a name; the run itself, its events and every file put
    // in place (given its name) stay on the calling thread.
    // 1 does all the work there. A written archive is the same for any count.
    unsigned Threads = DefaultThreadCount();
    // Decode and check every chosen entry without creating any file.
    bool TestOnly = false;
    // Where an empty DestDir puts the files: their stored paths below the
    // root of the file system, where a backup took them from. Tests point
    // it at a folder of their own.
    std::string OriginalRoot = "/";
    // Whose links, besides root's, a restore to the original places
    // follows on the way to a folder; empty: the user running it. Tests
    // name another user to see their own links refused.
    std::optional<unsigned> TrustedUser;
    std::string ArchivePassword;

    // --- directory and entries --------------------------------------------
    // Reads the directory when it is not in memory or the archive changed.
    // Without an end record in izAssumeMulti mode it returns with no entries.
    void OpenArchive();
    int EntryCount() const;
    // Entries in SortMode order; an index out of range raises EListError.
    const TZipHeaderInfo& Entry(int index) const;
    std::string EntryFileName(int index) const { return Entry(index).FileName(); }
    std::string EntryDirectory(int index) const { return Entry(index).Directory(); }
    std::uint64_t EntryCompressedSize(int index) const { return Entry(index).CompressedSize; }
    // The current time when the stored value names no real moment.
    std::time_t EntryDateTime(int index) const;
    std::string EntryComment(int index);
    std::string ArchiveComment();
    const TEndCentral& EndCentral() const { return endCentral_; }
    bool Rebuilt() const { return rebuilt_; }
    bool MayHaveLeadingBytes() const { return leadingBytes_; }
    TMultiMode MultiMode() const { return multiMode_; }

    // --- extraction --------------------------------------------------------
    // Extracts the chosen entries into DestDir and returns how many were
    // extracted (directory entries included).
    int RunUnZip();
    // A run (RunUnZip, or the writer's RunZip) is under way.
    bool Busy() const { return busy_; }
    // Raises ERunUnderWay, naming the archive, while a run is under way: for
    // a caller about to change the settings a run works with.
    void RefuseWhileBusy() const;
    // Whether a run would choose the entry: DoAll, or a FilesList pattern
    // matching its stored name (directory entries only with RecreateDirs).
    bool IsChosen(const TZipHeaderInfo& entry) const;
    // How the run places entries: DestDir, RootDir, RecreateDirs, OriginalRoot.
    TOutputPathRules OutputRules() const;
    // Where the run would write the entry by those rules and its host's name
    // rules; nullopt for an unsafe name.
    std::optional<std::string> OutputPathOfEntry(const TZipHeaderInfo& entry) const;
    // While OnSkippingFile reports kSkipLinkInTheWay: the path of the link.
    const std::string& LinkInTheWay() const { return linkInTheWay_; }
    // While OnSkippingFile reports a file that could not be made (here
    // kSkipCannotCreate) or read (the writer's kSkipCannotOpen): the errno
    // of the failure (EISDIR for a folder at the output's name, EACCES for
    // a read-only file not to be replaced), 0 when none is known (to the
    // writer: the file changed while it was read).
    int SkipErrorCode() const { return skipError_; }
    // What the reader asks and lets run its events; a second reader doing a
    // step of this one's run (a check of what it wrote) takes the same.
    THostServices& Host() const { return host_; }
    // Asks the running operation to stop at its next check.
    void Cancel() { cancelRequested_ = true; }

    // For the decoding steps: lets the host run its events, then raises
    // EUserCanceled when a cancel request came in meanwhile.
    void CheckForCancel();

protected:
    // Marks a run under way for its length. One asked for meanwhile (from an
    // event of this run, or a window event handled between its chunks)
    // is refused by RefuseWhileBusy.
    class TRunUnderWay {
    public:
        explicit TRunUnderWay(TZipReader& component);
        ~TRunUnderWay() { component_.busy_ = false; }
        TRunUnderWay(const TRunUnderWay&) = delete;
        TRunUnderWay& operator=(const TRunUnderWay&) = delete;

    private:
        TZipReader& component_;
    };

    // For the writer, which rewrites the archive this reader describes.
    void ForgetArchive();
    void OpenArchiveFile();
    void CloseArchiveFileUnlessKept();
    // Reads the directory when it is not in memory or the archive changed,
    // through a descriptor of the file that now has the name.
    void EnsureDirectory();
    // Takes the directory of an archive just written as the one in memory.
    void AdoptDirectory(std::unique_ptr<TSortedZip> entries, const TEndCentral& endCentral);
    std::uint64_t DataLimitOf(const TZipHeaderInfo& entry) const;

    THostServices& host_;
    std::string zipName_;
    std::string rootDir_;
    std::vector<std::string> filesList_;
    TZipSortMode sortMode_ = TZipSortMode::ByNone;
    TFileStream archive_;
    std::unique_ptr<TSortedZip> entries_; // ByNone order, owning
    TEndCentral endCentral_;
    bool leadingBytes_ = false;
    bool cancelRequested_ = false;
    int skipError_ = 0;

private:
    void ReadDirectory();
    void RememberArchiveFile();
    bool ArchiveFileUnchanged() const;
    void RefuseMultiPart() const;
    bool WalkCentralDirectory();
    bool RebuildFromLocalHeaders();
    void MergeCentralHeader(std::unique_ptr<TZipHeaderInfo> header);
    void BuildSortedView();
    bool TryOpenArchive();
    void IndexLocalOffsets();

    // Where an entry's data begins (encryption header included), once its
    // local header is where the directory says; cut off when the data runs
    // past the end of the file with nothing after it. An encrypted entry
    // needs `cipher`, made for it, and room for what it adds to the data.
    struct TDataPlace {
        std::uint64_t start = 0;
        bool cutOff = false;
    };
    // nullopt when the headers are inconsistent with the archive or the
    // data would overlap what follows it.
    std::optional<TDataPlace> PlaceOfData(const TZipHeaderInfo& work, const TEntryCipher* cipher);

    int ExtractAll();
    int SelectEntries(std::uint64_t& totalBytes);
    void DecodeAhead(TExtractionRun& run, int from);
    bool MayMakeAhead(const TZipHeaderInfo& entry, TExtractionRun& run) const;
    bool ExtractEntry(int index, TExtractionRun& run, bool& retry);
    bool TestEntry(int index, const TZipHeaderInfo& work, std::uint64_t dataStart,
                   std::uint64_t dataSize, TExtractionRun& run, bool& retry);
    unsigned OutputMode(const TZipHeaderInfo& work, const TExtractionRun& run) const;
    TEntryVerdict DecodeEntry(const TZipHeaderInfo& work, std::uint64_t dataStart,
                              std::uint64_t dataSize, TExtractionRun& run, TFileStream* out);
    std::string TreeBase() const;
    TFolderReached ReachFolder(const std::string& path, TExtractionRun& run, bool create) const;
    void ApplyFolderTimes(TExtractionRun& run) const;
    bool SkipUnreached(const TFolderReached& reached, int index, const std::string& fname,
                       TExtractionRun& run, std::uint64_t size, bool& retry);
    TEntryVerdict WriteDecoded(TDecodeJob& job, TExtractionRun& run, TFileStream& out);
    bool FinishEntry(int index, const TZipHeaderInfo& work, const std::string& fname,
                     TPartInFolder& part, TFileStream& out, std::uint32_t crc,
                     TEntryVerdict verdict, bool written, TExtractionRun& run, bool& retry);
    void ReportBadEntry(int index, const TZipHeaderInfo& work, TEntryVerdict verdict,
                        std::uint32_t crc, bool& retry);
    bool OpensWith(TEntryCipher& cipher, std::uint64_t headerStart);
    bool CheckPassword(int index, const TZipHeaderInfo& work, std::uint64_t headerStart,
                       TExtractionRun& run, bool& retry);
    bool NewPasswordAfterBadCheck(int index, const TZipHeaderInfo& work, TExtractionRun& run,
                                  bool& retry);
    bool MayOverwrite(int index, const TZipHeaderInfo& work, const std::string& path,
                      const std::optional<FileInfo>& existing);
    bool MayReplace(int index, const TZipHeaderInfo& work, const std::string& fname,
                    const TPartInFolder& part, TExtractionRun& run, std::uint64_t size,
                    bool& retry);
    void Skip(int reason, const std::string& name, int index, TExtractionRun& run,
              std::uint64_t size, bool& retry, int error = 0);

    std::string destDir_;
    std::unique_ptr<TSortedZip> view_;        // SortMode order, not owning; null for ByNone
    std::vector<std::uint64_t> localOffsets_; // sorted, for the overlap check
    bool haveDirectory_ = false;
    // The archive file as it was when its directory was read: a different
    // time, size or file under the name means it changed or was replaced.
    std::time_t archiveTime_ = 0;
    std::uint64_t archiveSize_ = 0;
    std::uint64_t archiveDevice_ = 0;
    std::uint64_t archiveInode_ = 0;
    TMultiMode multiMode_ = TMultiMode::mmNone;
    bool rebuilt_ = false;
    bool busy_ = false;
    std::string linkInTheWay_;
};

} // namespace mzb
