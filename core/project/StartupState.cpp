#include "core/project/StartupState.h"

#include "core/project/ProjectName.h"

namespace mzb {

int StartupProjectIndex(const std::vector<std::string>& names, const std::string& lastProject) {
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (SameProjectName(names[i], lastProject)) {
            return static_cast<int>(i);
        }
    }
    return names.empty() ? -1 : 0;
}

bool StartsMinimized(const CommonSettings& settings) {
    return settings.AutoRun && settings.IsMinimized;
}

} // namespace mzb
