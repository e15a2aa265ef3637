#pragma once
// The texts a restore shows the user: what came back, what was kept by the
// overwrite mode, and each entry that was lost, with its reason.

#include <string>
#include <vector>

namespace mzb {

// What one run did with the files it set out to restore. Every chosen
// file is restored, kept, lost or, after an error ended the run, not tried.
struct RestoreTally {
    int Chosen = 0;      // files the run set out to restore
    int Restored = 0;    // files put in place
    int NotReplaced = 0; // existing files the overwrite mode (or the user) kept
    // One "name: reason" each, in the order they were lost.
    std::vector<std::string> Lost;
    bool Stopped = false; // an error ended the run before its last entry

    int NotTried() const;
};

inline constexpr const char* kRestoreFailedText = "Restore files fails!";
inline constexpr const char* kWrongPasswordReason = "wrong password";
inline constexpr const char* kBadCrcReason = "damaged data (bad CRC)";
// An AES entry whose authentication code does not match its data.
inline constexpr const char* kNotAuthenticReason = "damaged data (authentication failed)";
inline constexpr const char* kUnsafeNameReason = "name refused as unsafe, or a damaged entry";

// "a link is in the way: PATH".
std::string LinkInTheWayReason(const std::string& link);
// "cannot be created (Permission denied)"; errno 0 gives no detail.
std::string CannotCreateReason(int errorCode);
// "not written: No space left on device".
std::string NotWrittenReason(int errorCode);

// The reports below name the archives a restore read by their file names:
// one archive as "Filename:", several (files chosen from search results) as
// "Filenames:", the first kItemsNamed of them.

// "Restore Files Succeeds!" with the project and the archives.
std::string RestoreSuccessText(const std::string& projectText,
                               const std::vector<std::string>& archivePaths);
// Nothing lost, but existing files were kept: counts of both.
std::string RestoreKeptText(const std::string& projectText,
                            const std::vector<std::string>& archivePaths,
                            const RestoreTally& tally);
// "Restore files fails!", the counts, and the lost entries (ItemLines).
std::string RestoreFailureText(const std::string& projectText,
                               const std::vector<std::string>& archivePaths,
                               const RestoreTally& tally);
std::string RestoreCanceledText(const std::vector<std::string>& archivePaths,
                                const RestoreTally& tally);
// The archive held nothing to restore: a failure, never a success.
std::string RestoreNothingText(const std::string& archivePath);
// The question for an existing file while the overwrite mode is Prompt.
std::string OverwriteQuestionText(const std::string& path);

} // namespace mzb
