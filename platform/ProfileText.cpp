#include "platform/ProfileText.h"

#include "platform/Blanks.h"
#include "platform/CaseInsensitive.h"

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <limits>
#include <stdexcept>

namespace mzb {
namespace {

constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

struct ParsedLine {
    enum Kind { Other, Section, Key } kind = Other;
    std::string_view name;
    std::string_view value; // raw, as it stands after the '='
};

ParsedLine ParseLine(std::string_view line) {
    const std::string_view body = TrimBlanks(line);
    if (body.empty() || body.front() == ';') {
        return {};
    }
    if (body.front() == '[') {
        const auto close = body.find(']');
        if (close == std::string_view::npos) {
            return {};
        }
        return {ParsedLine::Section, TrimBlanks(body.substr(1, close - 1)), {}};
    }
    const auto eq = body.find('=');
    if (eq == std::string_view::npos) {
        return {};
    }
    return {ParsedLine::Key, TrimBlanks(body.substr(0, eq)), body.substr(eq + 1)};
}

std::string Folded(std::string_view name) {
    std::string folded(name);
    for (char& c : folded) {
        c = FoldAsciiCase(c);
    }
    return folded;
}

bool IsQuote(char c) {
    return c == '"' || c == '\'';
}

bool HasMatchingQuotes(std::string_view v) {
    return v.size() >= 2 && IsQuote(v.front()) && v.front() == v.back();
}

bool IsUtf8Continuation(char c) {
    return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

bool HoldsLineBreakOrNul(std::string_view text) {
    return text.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos;
}

// A name that the line syntax cannot give back unchanged would silently
// address another section or key, so it is refused before anything moves.
void CheckName(std::string_view name, char forbidden, const char* what) {
    if (name.empty() || TrimBlanks(name).size() != name.size() || HoldsLineBreakOrNul(name) ||
        name.find(forbidden) != std::string_view::npos ||
        (forbidden == '=' && (name.front() == '[' || name.front() == ';'))) {
        throw std::invalid_argument(std::string("a profile file cannot hold the ") + what +
                                    " name \"" + std::string(name) + "\"");
    }
}

std::string EncodeValue(std::string_view value) {
    if (HoldsLineBreakOrNul(value)) {
        throw std::invalid_argument("a profile value cannot hold a line break or a NUL byte");
    }
    if (TrimBlanks(value).size() != value.size() || HasMatchingQuotes(value)) {
        std::string quoted;
        quoted.reserve(value.size() + 2);
        quoted.push_back('"');
        quoted.append(value);
        quoted.push_back('"');
        return quoted;
    }
    return std::string(value);
}

std::string SectionLine(std::string_view section) {
    std::string line;
    line.reserve(section.size() + 2);
    line.push_back('[');
    line.append(section);
    line.push_back(']');
    return line;
}

std::string KeyLine(std::string_view key, std::string_view encodedValue) {
    std::string line;
    line.reserve(key.size() + 1 + encodedValue.size());
    line.append(key);
    line.push_back('=');
    line.append(encodedValue);
    return line;
}

} // namespace

std::string ReadProfileValue(std::string_view raw) {
    std::string_view v = TrimBlanks(raw);
    if (HasMatchingQuotes(v)) {
        v = v.substr(1, v.size() - 2);
    }
    if (v.size() > kMaxValueLength) {
        std::size_t cut = kMaxValueLength;
        // Back off to the lead byte, but not past a run of stray
        // continuation bytes longer than any real sequence.
        for (std::size_t back = 0; back < 3 && cut > 0 && IsUtf8Continuation(v[cut]); ++back) {
            --cut;
        }
        if (IsUtf8Continuation(v[cut])) {
            cut = kMaxValueLength;
        }
        v = v.substr(0, cut);
    }
    return std::string(v);
}

int ParseProfileInteger(std::string_view text, int defaultValue) {
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        const std::string_view digits = text.substr(2);
        std::uint32_t bits = 0;
        if (digits.size() > 8) {
            return defaultValue;
        }
        const auto [end, ec] =
            std::from_chars(digits.data(), digits.data() + digits.size(), bits, 16);
        if (ec != std::errc() || end != digits.data() + digits.size()) {
            return defaultValue;
        }
        return static_cast<int>(bits);
    }
    std::string_view digits = text;
    if (!digits.empty() && digits.front() == '+') {
        digits.remove_prefix(1);
        if (!digits.empty() && digits.front() == '-') {
            return defaultValue;
        }
    }
    int value = 0;
    const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), value, 10);
    if (digits.empty() || ec != std::errc() || end != digits.data() + digits.size()) {
        return defaultValue;
    }
    return value;
}

ProfileText::ProfileText(std::string_view bytes) {
    if (bytes.substr(0, kUtf8Bom.size()) == kUtf8Bom) {
        bom_ = kUtf8Bom;
        bytes.remove_prefix(kUtf8Bom.size());
    }
    while (!bytes.empty()) {
        const auto lf = bytes.find('\n');
        if (lf == std::string_view::npos) {
            lines_.push_back({std::string(bytes), ""});
            break;
        }
        const bool crlf = lf > 0 && bytes[lf - 1] == '\r';
        const std::size_t textEnd = crlf ? lf - 1 : lf;
        lines_.push_back({std::string(bytes.substr(0, textEnd)), crlf ? "\r\n" : "\n"});
        bytes.remove_prefix(lf + 1);
    }
}

std::string ProfileText::Bytes() const {
    std::string out = bom_;
    for (const auto& line : lines_) {
        out += line.text;
        out += line.end;
    }
    return out;
}

std::string ProfileText::LineEnding() const {
    for (const auto& line : lines_) {
        if (!line.end.empty()) {
            return line.end;
        }
    }
    return "\n";
}

std::optional<std::size_t> ProfileText::FindSectionLine(std::string_view section) const {
    if (!sectionLines_) {
        sectionLines_.emplace();
        for (std::size_t i = 0; i < lines_.size(); ++i) {
            const ParsedLine p = ParseLine(lines_[i].text);
            if (p.kind == ParsedLine::Section) {
                sectionLines_->try_emplace(Folded(p.name), i);
            }
        }
    }
    const auto found = sectionLines_->find(Folded(section));
    return found == sectionLines_->end() ? std::nullopt : std::optional(found->second);
}

std::size_t ProfileText::SectionEnd(std::size_t sectionLine) const {
    std::size_t i = sectionLine + 1;
    while (i < lines_.size() && ParseLine(lines_[i].text).kind != ParsedLine::Section) {
        ++i;
    }
    return i;
}

std::optional<std::size_t> ProfileText::FindKeyLine(std::size_t sectionLine,
                                                    std::string_view key) const {
    const std::size_t end = SectionEnd(sectionLine);
    for (std::size_t i = sectionLine + 1; i < end; ++i) {
        const ParsedLine p = ParseLine(lines_[i].text);
        if (p.kind == ParsedLine::Key && SameIgnoringCase(p.name, key)) {
            return i;
        }
    }
    return std::nullopt;
}

bool ProfileText::HasSection(std::string_view section) const {
    return FindSectionLine(section).has_value();
}

std::optional<std::string> ProfileText::Find(std::string_view section, std::string_view key) const {
    const auto s = FindSectionLine(section);
    if (!s) {
        return std::nullopt;
    }
    const auto k = FindKeyLine(*s, key);
    if (!k) {
        return std::nullopt;
    }
    return ReadProfileValue(ParseLine(lines_[*k].text).value);
}

std::string ProfileText::ReadString(std::string_view section, std::string_view key,
                                    std::string_view defaultValue) const {
    auto value = Find(section, key);
    return value ? std::move(*value) : std::string(defaultValue);
}

int ProfileText::ReadInteger(std::string_view section, std::string_view key,
                             int defaultValue) const {
    const auto value = Find(section, key);
    return value ? ParseProfileInteger(*value, defaultValue) : defaultValue;
}

bool ProfileText::ReadBool(std::string_view section, std::string_view key,
                           bool defaultValue) const {
    return ReadInteger(section, key, defaultValue ? 1 : 0) != 0;
}

std::vector<std::string> ProfileText::ReadNumberedList(std::string_view section,
                                                       std::string_view prefix, int count) const {
    std::vector<std::pair<int, std::string>> found;
    const auto s = FindSectionLine(section);
    if (!s || count <= 0) {
        return {};
    }
    const std::size_t end = SectionEnd(*s);
    for (std::size_t i = *s + 1; i < end; ++i) {
        const ParsedLine p = ParseLine(lines_[i].text);
        if (p.kind != ParsedLine::Key || p.name.size() <= prefix.size() ||
            !SameIgnoringCase(p.name.substr(0, prefix.size()), prefix)) {
            continue;
        }
        const std::string_view digits = p.name.substr(prefix.size());
        // "Backup01" is a different key from "Backup1": no leading zeros.
        if (digits.size() > 1 && digits.front() == '0') {
            continue;
        }
        int index = -1;
        const auto [ptr, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), index);
        if (ec != std::errc() || ptr != digits.data() + digits.size() || index < 0 ||
            index >= count) {
            continue;
        }
        found.emplace_back(index, ReadProfileValue(p.value));
    }
    // Stable, so that of two keys with one index the first in the file wins.
    std::stable_sort(found.begin(), found.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    std::vector<std::string> values;
    int previous = -1;
    for (auto& [index, value] : found) {
        if (index != previous && !value.empty()) {
            values.push_back(std::move(value));
        }
        previous = index;
    }
    return values;
}

void ProfileText::InsertLine(std::size_t at, std::string text) {
    const std::string ending = LineEnding();
    if (at > 0 && lines_[at - 1].end.empty()) {
        lines_[at - 1].end = ending;
    }
    lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(at), Line{std::move(text), ending});
    sectionLines_.reset();
}

void ProfileText::WriteString(std::string_view section, std::string_view key,
                              std::string_view value) {
    CheckName(section, ']', "section");
    CheckName(key, '=', "key");
    const std::string encoded = EncodeValue(value);

    const auto s = FindSectionLine(section);
    if (!s) {
        if (!lines_.empty() && !TrimBlanks(lines_.back().text).empty()) {
            InsertLine(lines_.size(), "");
        }
        InsertLine(lines_.size(), SectionLine(section));
        InsertLine(lines_.size(), KeyLine(key, encoded));
        return;
    }
    if (const auto k = FindKeyLine(*s, key)) {
        // Keep the line's own spelling and spacing up to the value.
        std::string& text = lines_[*k].text;
        std::size_t valueStart = text.find('=') + 1;
        while (valueStart < text.size() && IsBlank(text[valueStart])) {
            ++valueStart;
        }
        text.replace(valueStart, std::string::npos, encoded);
        return;
    }
    // At the end of the section, but before the blank lines that set it
    // apart from the next one.
    std::size_t at = SectionEnd(*s);
    while (at > *s + 1 && TrimBlanks(lines_[at - 1].text).empty()) {
        --at;
    }
    InsertLine(at, KeyLine(key, encoded));
}

void ProfileText::WriteInteger(std::string_view section, std::string_view key, int value) {
    WriteString(section, key, std::to_string(value));
}

void ProfileText::WriteBool(std::string_view section, std::string_view key, bool value) {
    WriteString(section, key, value ? "1" : "0");
}

void ProfileText::EraseSection(std::string_view section) {
    while (const auto s = FindSectionLine(section)) {
        const std::size_t end = SectionEnd(*s);
        lines_.erase(lines_.begin() + static_cast<std::ptrdiff_t>(*s),
                     lines_.begin() + static_cast<std::ptrdiff_t>(end));
        sectionLines_.reset();
    }
}

} // namespace mzb
