#pragma once
// The text of a profile (INI) file held in memory: lookups by section and
// key, and edits that leave every byte they do not touch as it was.
//
// The rules are those of the classic profile functions, so that a file
// written by the older program and one written by us read the same:
// - A line whose first non-blank character is '[' and that holds a ']'
//   opens a section; its name is the text between them, trimmed.
// - Inside a section, a line with '=' is a key: the trimmed text before the
//   first '=' is its name, the text after it its value. A line starting
//   with ';' is a comment. Anything else is kept and ignored.
// - Section and key names compare without regard to ASCII case; when a
//   section or a key occurs twice, the first occurrence counts.
// - On reading, blanks around a value are dropped, matching quotes around
//   it removed, and the result cut at kMaxValueLength bytes (never inside a
//   UTF-8 sequence).
// - Lines end in LF or CRLF; each line keeps its own ending, and lines that
//   an edit adds take the ending of the file's first line.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace mzb {

inline constexpr std::size_t kMaxValueLength = 2047;

class ProfileText {
public:
    ProfileText() = default;
    // Any bytes are accepted; what is not a section or a key is kept as is.
    explicit ProfileText(std::string_view bytes);

    // The file's bytes, with the edits applied.
    std::string Bytes() const;

    bool HasSection(std::string_view section) const;

    // The value as read (trimmed, unquoted, cut), or nothing when the
    // section or the key is missing.
    std::optional<std::string> Find(std::string_view section, std::string_view key) const;

    std::string ReadString(std::string_view section, std::string_view key,
                           std::string_view defaultValue) const;
    // Decimal, or hexadecimal after "0x"; the default when the value is
    // missing or is not such a number (see ParseProfileInteger).
    int ReadInteger(std::string_view section, std::string_view key, int defaultValue) const;
    // An integer whose default is 1 or 0, true when not 0.
    bool ReadBool(std::string_view section, std::string_view key, bool defaultValue) const;

    // The non-empty values of the keys prefix + "0" up to prefix + (count-1),
    // in index order. Cost follows the section's size, not the count, so a
    // huge count in a damaged file costs nothing.
    std::vector<std::string> ReadNumberedList(std::string_view section, std::string_view prefix,
                                              int count) const;

    // Replaces the value of the first such key in place, or adds the key at
    // the end of its section, or adds the section at the end of the text.
    // A value that reading would change (blanks at its ends, matching quotes
    // around it) is written inside quotes, so it reads back exactly.
    // Throws std::invalid_argument for a name or value that a profile line
    // cannot hold (see the .cpp); the text is then unchanged.
    void WriteString(std::string_view section, std::string_view key, std::string_view value);
    void WriteInteger(std::string_view section, std::string_view key, int value);
    void WriteBool(std::string_view section, std::string_view key, bool value);

    // Removes every section of that name with all the lines below it up to
    // the next section, so no earlier copy can resurface afterwards.
    void EraseSection(std::string_view section);

private:
    struct Line {
        std::string text; // without its ending
        std::string end;  // "\n", "\r\n", or "" for a last line without one
    };

    std::optional<std::size_t> FindSectionLine(std::string_view section) const;
    std::size_t SectionEnd(std::size_t sectionLine) const;
    std::optional<std::size_t> FindKeyLine(std::size_t sectionLine, std::string_view key) const;
    void InsertLine(std::size_t at, std::string text);
    std::string LineEnding() const;

    std::string bom_; // a UTF-8 byte-order mark, kept but never parsed
    std::vector<Line> lines_;
    // The first line of each section by its case-folded name, so that reading
    // every project of a large file costs one pass, not one per project.
    // Built by the first lookup after lines were added or removed.
    mutable std::optional<std::unordered_map<std::string, std::size_t>> sectionLines_;
};

// The profile rule for integers: an optional sign and decimal digits, or,
// when longer than two characters, "0x"/"0X" and up to eight hexadecimal
// digits taken as a 32-bit pattern ("0xFFFFFFFF" is -1). Anything else,
// a number out of range included, gives the default.
int ParseProfileInteger(std::string_view text, int defaultValue);

// The value as reading gives it back: trimmed, quotes removed, cut.
std::string ReadProfileValue(std::string_view raw);

} // namespace mzb
