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

bool IsArchiveNameOf(const std::string& prefix, const std::string& fileName) {
    const std::string_view start = TrimBlanks(prefix);
    const std::string_view name(fileName);
    constexpr std::string_view kExtension = ".zip";
    if (start.empty() || !name.starts_with(start) || !name.ends_with(kExtension) ||
        name.size() <= start.size() + kExtension.size()) {
        return false;
    }
    const std::string_view suffix =
        name.substr(start.size(), name.size() - start.size() - kExtension.size());
    constexpr std::string_view kDatePattern = "00-00_00-00-00";
    const auto digit = [](char c) { return c >= '0' && c <= '9'; };
    if (suffix.size() == kDatePattern.size()) {
        bool date = true;
        for (std::size_t i = 0; i < suffix.size(); ++i) {
            date =
                date && (kDatePattern[i] == '0' ? digit(suffix[i]) : suffix[i] == kDatePattern[i]);
        }
        if (date) {
            return true;
        }
    }
    return std::all_of(suffix.begin(), suffix.end(), digit);
}

} // namespace mzb
