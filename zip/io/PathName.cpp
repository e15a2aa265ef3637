#include "zip/io/PathName.h"

namespace mzb {

std::string DirectoryPart(std::string_view path) {
    const auto slash = path.rfind(kPathSeparator);
    return slash == std::string_view::npos ? std::string() : std::string(path.substr(0, slash + 1));
}

std::string FileNamePart(std::string_view path) {
    const auto slash = path.rfind(kPathSeparator);
    return std::string(slash == std::string_view::npos ? path : path.substr(slash + 1));
}

std::string WithTrailingSeparator(std::string_view dir) {
    std::string result(dir);
    if (!result.empty() && result.back() != kPathSeparator) {
        result += kPathSeparator;
    }
    return result;
}

std::string WithoutTrailingSeparator(std::string_view dir) {
    while (dir.size() > 1 && dir.back() == kPathSeparator) {
        dir.remove_suffix(1);
    }
    return std::string(dir);
}

} // namespace mzb
