#include "core/project/ContentEntry.h"

#include "platform/Blanks.h"
#include "platform/CaseInsensitive.h"
#include "zip/io/PathName.h"

namespace mzb {

std::string WildcardEntry(const std::string& directory, const std::string& pattern) {
    return WithTrailingSeparator(directory) + std::string(TrimBlanks(pattern));
}

int FirstEqualEntry(const std::vector<std::string>& entries, const std::string& entry) {
    for (std::size_t i = 0; i < entries.size(); ++i) {
        if (SameIgnoringCase(entries[i], entry)) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

} // namespace mzb
