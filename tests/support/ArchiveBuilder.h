#pragma once
// Writes archives byte by byte for tests, with every header field open to
// any value: sound archives by default, hostile ones by overriding fields.
//
//   ArchiveBuilder b;
//   b.Add("a.txt", "hello");                  // stored, right CRC and sizes
//   auto& e = b.Add("../evil", "x");
//   e.relativeOffset = 0;                      // lie in the central header
//   std::string bytes = b.Build();

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace mzb::test {

struct BuiltEntry {
    std::string name;  // stored name in both headers
    std::string plain; // what the entry should extract to
    std::string data;  // bytes written after the local header
    std::uint16_t method = 0;
    std::uint16_t flags = 0;
    std::uint16_t versionMadeBy = 0x031E; // Unix host
    std::uint16_t versionNeeded = 20;
    std::uint32_t dosDateTime = 0x5A2B6C3D;         // 2025-01-11 13:33:58
    std::uint32_t externalAttributes = 0x81A40020u; // -rw-r--r--, archive
    // Overrides of the values the builder computes.
    std::optional<std::uint32_t> crc;
    std::optional<std::uint32_t> compressedSize;
    std::optional<std::uint32_t> uncompressedSize;
    std::optional<std::uint32_t> relativeOffset; // in the central header
    std::optional<std::uint32_t> localSignature;
    std::optional<std::string> localName;
    std::uint16_t diskNumberStart = 0;
    std::string localExtra;
    std::string centralExtra;
    std::string comment;
    bool inCentralDirectory = true;
    std::string dataDescriptor; // written after the data when not empty
};

class ArchiveBuilder {
public:
    // A stored entry holding the text; change the fields of the result.
    BuiltEntry& Add(const std::string& name, const std::string& plain);
    // A deflated entry (raw deflate of zlib).
    BuiltEntry& AddDeflated(const std::string& name, const std::string& plain);
    // An encrypted entry of the traditional scheme, stored or deflated.
    BuiltEntry& AddEncrypted(const std::string& name, const std::string& plain,
                             const std::string& password, bool deflate);

    std::string comment;
    std::optional<std::uint32_t> centralOffset;
    std::optional<std::uint16_t> totalEntries;
    std::uint16_t thisDisk = 0;
    std::uint16_t centralStartDisk = 0;
    std::string prefix; // bytes before the first entry
    bool writeEndRecord = true;

    std::string Build() const;
    // Build() written to a file.
    void WriteTo(const std::string& path) const;

private:
    std::vector<BuiltEntry> entries_;
};

// Little-endian fields and an extra-field block (id, length, data), for
// extra fields built by hand.
std::string LE16(std::uint16_t v);
std::string LE32(std::uint32_t v);
std::string LE64(std::uint64_t v);
std::string ExtraBlockOf(std::uint16_t id, const std::string& data);
// An extended timestamp block (0x5455): the flags byte, then the times.
std::string ExtendedTimestampOf(std::uint8_t flags, const std::string& times);

// Raw deflate of the data (zlib, as a reference encoder).
std::string RawDeflate(const std::string& data, int level = 6);
std::uint32_t Crc32Of(const std::string& data);

} // namespace mzb::test
