#include "zip/io/OutputPath.h"

#include "zip/io/PathName.h"

#include <algorithm>
#include <cctype>
#include <vector>

namespace mzb {
namespace {

// Every other byte is legal in a Linux name; a NUL would cut the path
// short where the system reads it.
bool HasNul(std::string_view text) {
    return text.find('\0') != std::string_view::npos;
}

bool StartsWithIgnoringCase(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() &&
           std::equal(prefix.begin(), prefix.end(), text.begin(), [](char a, char b) {
               return std::tolower(static_cast<unsigned char>(a)) ==
                      std::tolower(static_cast<unsigned char>(b));
           });
}

bool HasDriveLetter(std::string_view path) {
    return path.size() >= 2 && path[1] == ':' && std::isalpha(static_cast<unsigned char>(path[0]));
}

// Drops the first n components of a path that begins with separators.
std::string_view DropComponents(std::string_view path, int n) {
    for (int i = 0; i < n; ++i) {
        while (!path.empty() && path.front() == '/') {
            path.remove_prefix(1);
        }
        const auto end = path.find('/');
        path.remove_prefix(end == std::string_view::npos ? path.size() : end);
    }
    return path;
}

struct SplitPath {
    bool Absolute = false;
    bool NamesAnotherMachine = false; // a share or device prefix
    std::vector<std::string_view> Components;
    bool Unsafe = false;
};

SplitPath Split(std::string_view path, bool dosHost) {
    SplitPath result;
    if (path.starts_with("//?/") || path.starts_with("//./")) {
        result.NamesAnotherMachine = true;
        path.remove_prefix(4);
        if (StartsWithIgnoringCase(path, "UNC/")) {
            path = DropComponents(path.substr(4), 2);
        }
    } else if (path.size() > 2 && path.starts_with("//") && path[2] != '/') {
        result.NamesAnotherMachine = true;
        path = DropComponents(path, 2);
    }
    if (dosHost && HasDriveLetter(path)) {
        path.remove_prefix(2);
    }
    result.Absolute = path.starts_with("/");
    std::size_t start = 0;
    while (start <= path.size()) {
        auto end = path.find('/', start);
        if (end == std::string_view::npos) {
            end = path.size();
        }
        const auto part = path.substr(start, end - start);
        if (part == "..") {
            result.Unsafe = true;
        } else if (!part.empty() && part != ".") {
            result.Components.push_back(part);
        }
        start = end + 1;
    }
    return result;
}

std::string Below(const std::string& base, const std::vector<std::string_view>& parts,
                  bool endsInDirectory) {
    std::string path = base;
    for (std::size_t i = 0; i < parts.size(); ++i) {
        if (!path.empty() && path.back() != '/') {
            path += '/';
        }
        path += parts[i];
    }
    if (endsInDirectory && !path.empty() && path.back() != '/') {
        path += '/';
    }
    return path;
}

} // namespace

std::optional<std::string> OutputPathOf(const TOutputPathRules& rules, std::string_view directory,
                                        std::string_view fileName, bool dosHost) {
    if (HasNul(directory) || HasNul(fileName) || fileName == "." || fileName == ".." ||
        fileName.find('/') != std::string_view::npos) {
        return std::nullopt;
    }
    const bool isDirectoryEntry = fileName.empty();
    const std::string base = WithTrailingSeparator(rules.DestDir);

    if (!rules.RecreateDirs || directory.empty()) {
        // A stored name without a directory may still carry a drive ("C:x").
        if (rules.RecreateDirs && dosHost && HasDriveLetter(fileName)) {
            fileName.remove_prefix(2);
            if (fileName.empty() && !isDirectoryEntry) {
                return std::nullopt;
            }
        }
        if (base.empty()) {
            return std::string(fileName);
        }
        if (isDirectoryEntry) {
            return base;
        }
        return Below(rules.DestDir, {fileName}, false);
    }

    std::string stored(directory);
    if (!rules.RootDir.empty() && StartsWithIgnoringCase(stored, rules.RootDir)) {
        stored.erase(0, rules.RootDir.size());
    }
    stored.append(fileName);
    SplitPath split = Split(stored, dosHost);
    if (split.Unsafe || (rules.DestDir.empty() && split.NamesAnotherMachine)) {
        return std::nullopt;
    }
    if (!isDirectoryEntry && split.Components.empty()) {
        return std::nullopt;
    }
    if (rules.DestDir.empty()) {
        return Below(split.Absolute ? "/" : "", split.Components, isDirectoryEntry);
    }
    return Below(rules.DestDir, split.Components, isDirectoryEntry);
}

} // namespace mzb
