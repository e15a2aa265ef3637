#pragma once
// The name of the next archive: the save directory, the prefix, and a
// suffix that is either the local date and time ("mm-dd_hh-nn-ss") or a
// number, optionally padded with zeros; then ".zip".

#include "core/project/CommonSettings.h"
#include "core/project/ProjectRecord.h"
#include "platform/LocalDateTime.h"

#include <optional>
#include <string>
#include <string_view>

namespace mzb {

// The range of the number suffix and of its step, as the editor's spin
// fields hold them.
inline constexpr int kMinArchiveNumber = 1;
inline constexpr int kMaxArchiveNumber = 1000;

// A value pulled to the nearer bound of 1 to 1000.
int PullIntoNumberRange(long long value);

// The number that follows value with the given step, both pulled into
// range: the number a loaded project shows, and the one after a backup.
// At 1000 it stays 1000.
int NextArchiveNumber(int value, int increase);

// No file name is longer.
inline constexpr int kMaxPaddedWidth = 255;

struct ArchiveNameInput {
    std::string SaveDir; // trimmed; gets a '/' when it lacks one
    std::string Prefix;  // trimmed
    bool UseDate = true;
    int Number = 1; // pulled into 1 to 1000
    bool IsAppend0 = false;
    int Width = 2;     // as stored; padding stops at kMaxPaddedWidth digits
    LocalDateTime Now; // only month to second are used
};

// An empty save directory gives the bare file name rather than one in the
// root; the store never hands out an empty one.
std::string NextArchiveName(const ArchiveNameInput& input);

// What a file name says when it is one that NextArchiveName gives for the
// prefix (trimmed) and the suffix rule, whatever the folder, the number's
// padding and the clock: a date name's month to second (the year is not
// part of the name and is left at its default), or for a number name
// nothing. None for any other name, so for a hidden part file too.
struct ArchiveNameParts {
    std::optional<CivilDateTime> Date;
};
std::optional<ArchiveNameParts> ParseArchiveName(std::string_view fileName, std::string_view prefix,
                                                 bool useDate);

// The name that loading the project into the editor shows: a numbered
// project shows the number after its "Value" (see NextArchiveNumber).
std::string ArchiveNameOnLoad(const ProjectRecord& project, const CommonSettings& settings,
                              LocalDateTime now);

} // namespace mzb
