#include "core/project/ArchiveNaming.h"

#include "core/project/CommonSettings.h"
#include "platform/Blanks.h"
#include "zip/io/PathName.h"

#include <algorithm>
#include <cstdio>

namespace mzb {

int PullIntoNumberRange(long long value) {
    return static_cast<int>(std::clamp<long long>(value, kMinArchiveNumber, kMaxArchiveNumber));
}

int NextArchiveNumber(int value, int increase) {
    return PullIntoNumberRange(static_cast<long long>(value) + PullIntoNumberRange(increase));
}

std::string NextArchiveName(const ArchiveNameInput& in) {
    std::string name = WithTrailingSeparator(TrimBlanks(in.SaveDir));
    name += TrimBlanks(in.Prefix);
    if (in.UseDate) {
        const CivilDateTime now = in.Now.Civil();
        char suffix[32];
        std::snprintf(suffix, sizeof suffix, "%02d-%02d_%02d-%02d-%02d", now.Month, now.Day,
                      now.Hour, now.Minute, now.Second);
        name += suffix;
    } else {
        const std::string digits = std::to_string(PullIntoNumberRange(in.Number));
        // Capped at what a file name can hold, so that a damaged width can
        // never ask for a huge name.
        const int width = std::min(in.Width, kMaxPaddedWidth);
        if (in.IsAppend0 && width > static_cast<int>(digits.size())) {
            name.append(static_cast<std::size_t>(width) - digits.size(), '0');
        }
        name += digits;
    }
    return name + ".zip";
}

namespace {

constexpr std::string_view kExtension = ".zip";

// Two digits from `at`, or -1.
int TwoDigits(std::string_view text, std::size_t at) {
    const auto digit = [&](std::size_t i) {
        return text[i] >= '0' && text[i] <= '9' ? text[i] - '0' : -1;
    };
    const int high = digit(at);
    const int low = digit(at + 1);
    return high < 0 || low < 0 ? -1 : high * 10 + low;
}

// "mm-dd_hh-nn-ss" with every field in its range.
std::optional<CivilDateTime> DateSuffix(std::string_view suffix) {
    if (suffix.size() != 14 || suffix[2] != '-' || suffix[5] != '_' || suffix[8] != '-' ||
        suffix[11] != '-') {
        return std::nullopt;
    }
    CivilDateTime c;
    c.Month = TwoDigits(suffix, 0);
    c.Day = TwoDigits(suffix, 3);
    c.Hour = TwoDigits(suffix, 6);
    c.Minute = TwoDigits(suffix, 9);
    c.Second = TwoDigits(suffix, 12);
    if (c.Month < 1 || c.Month > 12 || c.Day < 1 || c.Day > 31 || c.Hour < 0 || c.Hour > 23 ||
        c.Minute < 0 || c.Minute > 59 || c.Second < 0 || c.Second > 59) {
        return std::nullopt;
    }
    return c;
}

// Decimal digits, padded with zeros to any width a name can hold, whose
// value is a number the suffix can have.
bool NumberSuffix(std::string_view suffix) {
    if (suffix.empty() || suffix.size() > std::size_t(kMaxPaddedWidth) ||
        suffix.find_first_not_of("0123456789") != std::string_view::npos) {
        return false;
    }
    const std::string_view digits =
        suffix.substr(std::min(suffix.find_first_not_of('0'), suffix.size()));
    return !digits.empty() && digits.size() <= 4 &&
           std::stoi(std::string(digits)) <= kMaxArchiveNumber;
}

} // namespace

std::optional<ArchiveNameParts> ParseArchiveName(std::string_view fileName, std::string_view prefix,
                                                 bool useDate) {
    prefix = TrimBlanks(prefix);
    if (fileName.size() < prefix.size() + kExtension.size() || !fileName.starts_with(prefix) ||
        !fileName.ends_with(kExtension)) {
        return std::nullopt;
    }
    const std::string_view suffix =
        fileName.substr(prefix.size(), fileName.size() - prefix.size() - kExtension.size());
    if (!useDate) {
        return NumberSuffix(suffix) ? std::optional<ArchiveNameParts>(ArchiveNameParts{})
                                    : std::nullopt;
    }
    if (const auto date = DateSuffix(suffix)) {
        return ArchiveNameParts{date};
    }
    return std::nullopt;
}

std::string ArchiveNameOnLoad(const ProjectRecord& project, const CommonSettings& settings,
                              LocalDateTime now) {
    ArchiveNameInput in;
    in.SaveDir = project.SavePath;
    in.Prefix = project.FilenamePrefix;
    in.UseDate = project.UseDate;
    in.Number = NextArchiveNumber(project.Value, project.IncreaseValue);
    in.IsAppend0 = settings.IsAppend0;
    in.Width = settings.Width;
    in.Now = now;
    return NextArchiveName(in);
}

} // namespace mzb
