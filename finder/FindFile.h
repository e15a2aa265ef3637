#pragma once
// TFindFile: a non-visual search component. Given a name mask and folders, it
// walks them (and optionally their subfolders, depth first), filters the
// entries by attributes, size, dates, exclusion patterns and content, and
// reports each accepted entry through OnFound.
//
// A search runs on the caller's thread, or with Threaded on a worker whose
// events are carried to the owner's thread through PostToOwner, so that
// handlers never need a lock.

#include "finder/DirectoryListing.h"
#include "platform/LocalDateTime.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace mzb {

class TContentSearch;
class TSearchThread;
class TFindFile;

enum class TFileAttribute { ffArchive, ffReadonly, ffHidden, ffSystem, ffDirectory };

// A set of TFileAttribute, one bit per value in declaration order.
class TFileAttributes {
public:
    constexpr TFileAttributes() = default;
    constexpr TFileAttributes(std::initializer_list<TFileAttribute> members) {
        for (auto a : members) {
            bits_ |= Bit(a);
        }
    }
    // The members that stand for the fa* bits of a listing record.
    static TFileAttributes FromAttr(int attr);

    constexpr bool Contains(TFileAttribute a) const { return (bits_ & Bit(a)) != 0; }
    constexpr bool Empty() const { return bits_ == 0; }
    constexpr bool Intersects(TFileAttributes other) const { return (bits_ & other.bits_) != 0; }
    friend constexpr bool operator==(TFileAttributes, TFileAttributes) = default;

private:
    static constexpr unsigned Bit(TFileAttribute a) { return 1u << static_cast<unsigned>(a); }
    unsigned bits_ = 0;
};

enum class TThreadPriority {
    tpIdle,
    tpLowest,
    tpLower,
    tpNormal,
    tpHigher,
    tpHighest,
    tpTimeCritical
};

using TFoundEvent =
    std::function<void(TFindFile& Sender, const std::string& Folder, const TSearchRec& FileInfo)>;
using TNewFolderEvent =
    std::function<void(TFindFile& Sender, const std::string& Folder, bool& IgnoreFolder)>;
using TFinderNotifyEvent = std::function<void(TFindFile& Sender)>;
// Carries work from the worker to the owner's thread: it must arrange for
// `deliver` to run soon on the owner's thread (a queued call of its event
// loop) and return at once. The finder itself makes the worker wait.
using TPostToOwner = std::function<void(std::function<void()> deliver)>;

class TFindFile {
public:
    TFindFile();
    // During a threaded search: asks the worker to stop and waits for it. No
    // event fires from then on.
    virtual ~TFindFile();
    TFindFile(const TFindFile&) = delete;
    TFindFile& operator=(const TFindFile&) = delete;

    // --- Properties ---------------------------------------------------------
    const std::string& Filename() const { return filename_; }
    // Throws EFindFileError, keeping the old value, for a value with a folder part.
    void SetFilename(const std::string& value);
    const std::string& Location() const { return location_; }
    // Throws EFindFileError, keeping the old value, for a value with "*" or "?".
    void SetLocation(const std::string& value);
    // Full masks (folder and name mask); when not empty they replace
    // Location and Filename.
    std::vector<std::string> IncludeFiles;
    std::vector<std::string> ExcludeFiles;
    bool Subfolders = true;
    TFileAttributes Attributes{TFileAttribute::ffArchive, TFileAttribute::ffReadonly,
                               TFileAttribute::ffHidden, TFileAttribute::ffSystem};
    bool ExactAttribute = false;
    // Bounds, 0 = no limit. A bound without a time of day compares dates
    // only; one without a date (day 0) compares times of day only.
    LocalDateTime ModifiedBefore, ModifiedAfter;
    LocalDateTime CreatedBefore, CreatedAfter;
    LocalDateTime AccessedBefore, AccessedAfter;
    int64_t SizeMin = 0; // bytes, 0 = no limit
    int64_t SizeMax = 0;
    std::string Containing;
    bool IgnoreCase = true;
    bool Threaded = false;
    TThreadPriority ThreadPriority() const { return priority_; }
    // Also changes the priority of a running worker.
    void SetThreadPriority(TThreadPriority value);
    // Needed by threaded searches; without it a threaded search runs on the
    // caller's thread.
    TPostToOwner PostToOwner;

    TFoundEvent OnFound;
    TNewFolderEvent OnNewFolder;
    TFinderNotifyEvent OnComplete;

    // --- Operations ---------------------------------------------------------
    // Starts a search; does nothing while a search of this finder runs.
    // Synchronous unless Threaded: then returns at once, and OnComplete marks
    // the end.
    void Execute();
    bool Busy() const { return busy_; }

protected:
    virtual void DoFound(const std::string& folder, const TSearchRec& record);
    // Whether the folder is to be searched.
    virtual bool DoNewFolder(const std::string& folder);
    virtual void DoComplete();
    virtual void StartWorker();
    virtual void SearchNow();

private:
    friend class TSearchThread;

    struct Target {
        std::string Folder; // absolute, with a trailing '/'
        std::string Mask;
    };
    // What a search works with, taken when it starts, so that property
    // changes during a threaded search do not reach it.
    struct WorkingState {
        std::vector<Target> Targets;
        std::vector<std::string> Excludes;
        TFileAttributes Attributes;
        bool ExactAttribute = false;
        bool Subfolders = false;
        LocalDateTime CreatedBefore, CreatedAfter;
        LocalDateTime ModifiedBefore, ModifiedAfter;
        LocalDateTime AccessedBefore, AccessedAfter;
        int64_t SizeMin = 0;
        int64_t SizeMax = 0;
        std::unique_ptr<TContentSearch> Content; // null when nothing is searched for
    };

    std::vector<Target> BuildTargets() const;
    void RunTargets();
    void SearchFolder(const std::string& folder, const std::string& mask);
    bool AcceptFile(const std::string& folder, const TSearchRec& record);
    bool Stopped() const;
    bool ReportNewFolder(const std::string& folderText);
    void ReportFound(const std::string& folderText, const TSearchRec& record);
    void Finish();
    void WorkerEnded();

    std::string filename_ = "*.*";
    std::string location_;
    TThreadPriority priority_ = TThreadPriority::tpNormal;
    bool busy_ = false;
    bool destroying_ = false;
    std::atomic<bool> stop_{false};
    std::unique_ptr<WorkingState> state_;
    std::unique_ptr<TSearchThread> worker_;
};

// The folder text that events receive: the folder without its trailing
// separator, except that a root keeps it.
std::string FolderText(const std::string& folder);

} // namespace mzb
