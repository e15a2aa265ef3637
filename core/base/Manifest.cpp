#include "core/base/Manifest.h"

#include "zip/base/PrintableName.h"

#include <charconv>
#include <stdexcept>

namespace mzb {

namespace {

constexpr std::string_view kMagic = "mzb-manifest";
constexpr std::string_view kVersion = "1";
constexpr char kHex[] = "0123456789abcdef";

// The printable form of the name, made reversible by doubling its
// backslashes first: every escape the printable form adds then starts with
// a single backslash.
void AppendEscaped(std::string& out, std::string_view name) {
    std::string doubled;
    doubled.reserve(name.size());
    for (const char c : name) {
        doubled += c;
        if (c == '\\')
            doubled += c;
    }
    out += PrintableName(doubled);
}

[[noreturn]] void Malformed(size_t line, const std::string& why) {
    throw std::invalid_argument("manifest line " + std::to_string(line) + ": " + why);
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// The value of the hex digits after field[at]; at moves to the last of them.
unsigned HexEscape(std::string_view field, size_t& at, size_t digits, size_t line) {
    unsigned value = 0;
    for (size_t i = 1; i <= digits; ++i) {
        const int digit = at + i < field.size() ? HexDigit(field[at + i]) : -1;
        if (digit < 0)
            Malformed(line, "an escape lacks its hex digits");
        value = value * 16 + static_cast<unsigned>(digit);
    }
    at += digits;
    return value;
}

std::string Unescaped(std::string_view field, size_t line) {
    std::string out;
    out.reserve(field.size());
    for (size_t at = 0; at < field.size(); ++at) {
        if (field[at] != '\\') {
            out += field[at];
            continue;
        }
        if (++at == field.size())
            Malformed(line, "a name ends in a lone backslash");
        switch (field[at]) {
        case '\\':
            out += '\\';
            break;
        case 't':
            out += '\t';
            break;
        case 'n':
            out += '\n';
            break;
        case 'r':
            out += '\r';
            break;
        case 'x':
            out += static_cast<char>(HexEscape(field, at, 2, line));
            break;
        case 'u': {
            // Only C1 controls are written so; the rest of Unicode stays UTF-8.
            const unsigned value = HexEscape(field, at, 4, line);
            if (value < 0x80 || value > 0x9F)
                Malformed(line, "a \\u escape outside the C1 controls");
            out += static_cast<char>(0xC2);
            out += static_cast<char>(value);
            break;
        }
        default:
            Malformed(line, std::string("unknown escape \\") + field[at]);
        }
    }
    return out;
}

// Archive names are opened in the folder of the archive being restored: a
// name with a folder part would let a hostile manifest reach any archive.
std::string ArchiveName(std::string_view field, size_t line) {
    std::string name = Unescaped(field, line);
    if (name.empty() || name == "." || name == ".." ||
        name.find_first_of(std::string_view("/\0", 2)) != std::string::npos)
        Malformed(line, "an archive name is not a plain file name");
    return name;
}

template <typename T> T Number(std::string_view field, int base, size_t line, const char* what) {
    T value{};
    const char* end = field.data() + field.size();
    const auto [stop, error] = std::from_chars(field.data(), end, value, base);
    if (field.empty() || error != std::errc() || stop != end)
        Malformed(line, std::string("bad ") + what + " '" + std::string(field) + "'");
    return value;
}

std::vector<std::string_view> Fields(std::string_view text) {
    std::vector<std::string_view> fields;
    size_t start = 0;
    for (;;) {
        const size_t tab = text.find('\t', start);
        fields.push_back(text.substr(start, tab - start));
        if (tab == std::string_view::npos)
            return fields;
        start = tab + 1;
    }
}

} // namespace

std::string WriteManifest(const Manifest& manifest) {
    std::string out;
    out.reserve(64 + manifest.Files.size() * 96);
    out.append(kMagic).append("\t").append(kVersion).append("\n");
    out += "archive\t";
    AppendEscaped(out, manifest.Archive);
    out += "\nfull\t";
    AppendEscaped(out, manifest.FullArchive);
    out += "\nmade\t" + std::to_string(manifest.MadeSeconds) + "\n";
    char octal[16];
    char crc[9] = {};
    for (const ManifestFile& file : manifest.Files) {
        out += "file\t";
        AppendEscaped(out, file.Name);
        out += '\t' + std::to_string(file.Size) + '\t' + std::to_string(file.ModifiedNs) + '\t';
        out.append(octal, std::to_chars(octal, octal + sizeof octal, file.Mode, 8).ptr);
        out += '\t' + std::to_string(file.ChangedNs) + '\t';
        for (int i = 0; i < 8; ++i)
            crc[i] = kHex[(file.Crc32 >> (28 - 4 * i)) & 0x0F];
        out += crc;
        out += '\t';
        AppendEscaped(out, file.Holder);
        out += '\n';
    }
    return out;
}

Manifest ReadManifest(std::string_view text) {
    Manifest manifest;
    bool hasArchive = false, hasFull = false, hasMade = false;
    size_t line = 0;
    while (!text.empty()) {
        ++line;
        const size_t newline = text.find('\n');
        if (newline == std::string_view::npos)
            Malformed(line, "the last line lacks its line feed");
        const std::vector<std::string_view> fields = Fields(text.substr(0, newline));
        text.remove_prefix(newline + 1);
        const std::string_view kind = fields[0];
        if (line == 1) {
            if (kind != kMagic || fields.size() != 2 || fields[1] != kVersion)
                Malformed(line, "not a manifest of version 1");
            continue;
        }
        const bool single = fields.size() == 2;
        if (kind == "archive" && single) {
            manifest.Archive = ArchiveName(fields[1], line);
            hasArchive = true;
        } else if (kind == "full" && single) {
            manifest.FullArchive = ArchiveName(fields[1], line);
            hasFull = true;
        } else if (kind == "made" && single) {
            manifest.MadeSeconds = Number<std::int64_t>(fields[1], 10, line, "time");
            hasMade = true;
        } else if (kind == "file" && fields.size() == 8) {
            ManifestFile& file = manifest.Files.emplace_back();
            file.Name = Unescaped(fields[1], line);
            file.Size = Number<std::uint64_t>(fields[2], 10, line, "size");
            file.ModifiedNs = Number<std::int64_t>(fields[3], 10, line, "modification time");
            file.Mode = Number<std::uint32_t>(fields[4], 8, line, "mode");
            file.ChangedNs = Number<std::int64_t>(fields[5], 10, line, "change time");
            if (fields[6].size() != 8)
                Malformed(line, "a CRC-32 is not eight hex digits");
            file.Crc32 = Number<std::uint32_t>(fields[6], 16, line, "CRC-32");
            file.Holder = ArchiveName(fields[7], line);
        } else {
            Malformed(line, "unknown record '" + std::string(kind) + "'");
        }
    }
    if (line == 0)
        Malformed(1, "the manifest is empty");
    if (!hasArchive || !hasFull || !hasMade)
        Malformed(line, "the archive, full or made record is missing");
    return manifest;
}

} // namespace mzb
