#include "core/project/ProjectName.h"

#include "platform/Blanks.h"
#include "platform/CaseInsensitive.h"
#include "platform/ProfileText.h"

#include <algorithm>

namespace mzb {

bool SameProjectName(std::string_view a, std::string_view b) {
    return SameIgnoringCase(a, b);
}

std::optional<std::size_t> FindProjectName(const std::vector<std::string>& names,
                                           std::string_view name) {
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (SameProjectName(names[i], name)) {
            return i;
        }
    }
    return std::nullopt;
}

void SortProjectNames(std::vector<std::string>& names) {
    std::stable_sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
        return CompareIgnoringCase(a, b) < 0;
    });
}

std::optional<std::string> ProjectNameProblem(std::string_view name) {
    name = TrimBlanks(name);
    if (name.empty()) {
        return "The project name is empty.";
    }
    if (name.size() > kMaxValueLength) {
        return "The project name is too long.";
    }
    if (SameProjectName(name, kCommonSection)) {
        return "The name \"Common\" is reserved for the program's settings.";
    }
    for (const char c : name) {
        if (c == ']') {
            return "A project name cannot contain \"]\".";
        }
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) {
            return "A project name cannot contain line breaks or control characters.";
        }
    }
    return std::nullopt;
}

} // namespace mzb
