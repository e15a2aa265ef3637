#include "core/base/Manifest.h"

#include "zip/base/Utf8.h"

#include <charconv>
#include <stdexcept>

namespace mzb {

namespace {

constexpr std::string_view kMagic = "mzb-manifest";
constexpr std::string_view kVersion = "1";
constexpr char kHex[] = "0123456789abcdef";

void AppendEscaped(std::string& out, std::string_view name) {
    size_t at = 0;
    while (at < name.size()) {
        const auto byte = static_cast<unsigned char>(name[at]);
        if (byte >= 0x80) {
            const size_t length = Utf8SequenceLength(name.substr(at));
            if (length > 0) {
                out.append(name.substr(at, length));
                at += length;
                continue;
            }
        }
        ++at;
        switch (byte) {
        case '\\':
            out += "\\\\";
            break;
        case '\t':
            out += "\\t";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        default:
            if (byte < 0x20 || byte >= 0x7F) {
                out += "\\x";
                out += kHex[byte >> 4];
                out += kHex[byte & 0x0F];
            } else {
                out += static_cast<char>(byte);
            }
        }
    }
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
        case 'x': {
            const int high = at + 1 < field.size() ? HexDigit(field[at + 1]) : -1;
            const int low = at + 2 < field.size() ? HexDigit(field[at + 2]) : -1;
            if (high < 0 || low < 0)
                Malformed(line, "a \\x escape lacks its two hex digits");
            out += static_cast<char>(high * 16 + low);
            at += 2;
            break;
        }
        default:
            Malformed(line, std::string("unknown escape \\") + field[at]);
        }
    }
    return out;
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
            manifest.Archive = Unescaped(fields[1], line);
            hasArchive = true;
        } else if (kind == "full" && single) {
            manifest.FullArchive = Unescaped(fields[1], line);
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
            file.Holder = Unescaped(fields[7], line);
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
