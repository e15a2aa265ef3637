#pragma once
// The program-wide settings of the section "Common", with the project list.

#include <string>
#include <vector>

namespace mzb {

// Sort key and order of the restore page's archive list.
inline constexpr int kSortByName = 0;
inline constexpr int kSortBySize = 1;
inline constexpr int kSortByDate = 2;
inline constexpr int kSortAscending = 0;
inline constexpr int kSortDescending = 1;

// The range of the preferences field for the digit count a number suffix is
// padded to; a stored "Width" outside it is used as it stands.
inline constexpr int kMinWidth = 2;
inline constexpr int kMaxWidth = 30;

struct CommonSettings {
    std::vector<std::string> ProjectNames; // ordered by name without regard to case
    std::string LastProject;
    int ByField = kSortByDate;
    int Sort = kSortAscending;
    bool AutoRun = false;
    bool IsMinimized = false; // only takes effect together with AutoRun
    bool IsAppend0 = false;   // pad a number suffix with leading zeros
    int Width = kMinWidth;
    bool IsOverWrite = false; // replace an existing archive of the same name
    bool PromptBeforeBackup = false;
    // A scheduled backup due while the program was not running, or the
    // computer slept, is made once when the program sees it.
    bool RunMissedBackups = false;

    bool operator==(const CommonSettings&) const = default;
};

} // namespace mzb
