#include "finder/ExcludePattern.h"

#include <string>

namespace mzb {

namespace {

std::string Upper(std::string_view s) {
    std::string out(s);
    for (char& c : out) {
        if (c >= 'a' && c <= 'z') {
            c = static_cast<char>(c - 'a' + 'A');
        }
    }
    return out;
}

// The folder part keeps its trailing separator; the name part is the rest.
std::string_view FolderPart(std::string_view s) {
    const size_t slash = s.rfind('/');
    return slash == std::string_view::npos ? std::string_view{} : s.substr(0, slash + 1);
}

bool HasDrive(std::string_view s) {
    return s.size() >= 2 && s[1] == ':';
}

bool FolderMatches(std::string_view pathFolder, std::string_view patternFolder) {
    if (HasDrive(patternFolder)) {
        const char d = patternFolder[0];
        if (d != '*' && d != '?' && (pathFolder.empty() || d != pathFolder[0])) {
            return false;
        }
        patternFolder.remove_prefix(2);
    }
    // The pattern's folder may be at most the path's folder without its drive
    // (none on local Linux paths), and must be its tail.
    const size_t pathDrive = HasDrive(pathFolder) ? 2 : 0;
    if (patternFolder.size() + pathDrive > pathFolder.size()) {
        return false;
    }
    return pathFolder.substr(pathFolder.size() - patternFolder.size()) == patternFolder;
}

bool NameMatches(std::string_view name, std::string_view pattern) {
    size_t i = 0;
    size_t j = 0;
    while (i < name.size() && j < pattern.size()) {
        const char c = name[i];
        const char p = pattern[j];
        if (c == p) {
            ++i;
            ++j;
        } else if (c != '.' && p == '?') {
            ++i;
            ++j;
        } else if (c == '.') {
            if (p == '?') {
                ++j;
            } else if (p == '*') {
                const size_t dot = pattern.find('.', j);
                j = dot == std::string_view::npos ? pattern.size() : dot;
            } else {
                return false;
            }
        } else if (p == '*') {
            ++i;
        } else {
            return false;
        }
    }
    while (j < pattern.size() && (pattern[j] == '*' || pattern[j] == '?')) {
        ++j;
    }
    return i == name.size() && j == pattern.size();
}

} // namespace

bool MatchExcludePattern(std::string_view path, std::string_view pattern) {
    const std::string upperPath = Upper(path);
    const std::string upperPattern = Upper(pattern);
    const std::string_view pathFolder = FolderPart(upperPath);
    const std::string_view patternFolder = FolderPart(upperPattern);
    if (!patternFolder.empty() && !FolderMatches(pathFolder, patternFolder)) {
        return false;
    }
    const std::string_view patternName =
        std::string_view(upperPattern).substr(patternFolder.size());
    if (patternName.empty()) {
        return true;
    }
    return NameMatches(std::string_view(upperPath).substr(pathFolder.size()), patternName);
}

} // namespace mzb
