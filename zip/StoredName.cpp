#include "zip/StoredName.h"

#include "zip/Cp437.h"

#include <algorithm>

namespace mzb {

std::string EncodeStoredName(std::string_view directory, std::string_view fileName) {
    std::string name;
    name.reserve(directory.size() + fileName.size());
    name.append(directory).append(fileName);
    std::replace(name.begin(), name.end(), '\\', '/');
    return name;
}

bool HasNonAsciiBytes(std::string_view name) {
    return std::any_of(name.begin(), name.end(),
                       [](char c) { return static_cast<unsigned char>(c) >= 0x80; });
}

std::string DecodeStoredName(std::string_view raw, bool utf8Flag, bool legacyOem) {
    std::string name =
        !utf8Flag && legacyOem && HasNonAsciiBytes(raw) ? Cp437ToUtf8(raw) : std::string(raw);
    std::replace(name.begin(), name.end(), '\\', '/');
    return name;
}

void SplitStoredName(std::string_view name, std::string& directory, std::string& fileName) {
    const std::size_t slash = name.rfind('/');
    const std::size_t split = slash == std::string_view::npos ? 0 : slash + 1;
    directory.assign(name.substr(0, split));
    fileName.assign(name.substr(split));
}

} // namespace mzb
