#include "support/ArchiveBuilder.h"

#include <fstream>
#include <stdexcept>
#include <zlib.h>

namespace mzb::test {
namespace {

void Put16(std::string& out, std::uint32_t v) {
    out += static_cast<char>(v & 0xFF);
    out += static_cast<char>((v >> 8) & 0xFF);
}

void Put32(std::string& out, std::uint32_t v) {
    Put16(out, v & 0xFFFF);
    Put16(out, v >> 16);
}

// The traditional scheme's keys, written out here so that the tests do not
// check the engine against itself.
struct Keys {
    std::uint32_t k0 = 0x12345678u, k1 = 0x23456789u, k2 = 0x34567890u;

    static std::uint32_t CrcByte(std::uint32_t reg, std::uint8_t b) {
        reg ^= b;
        for (int i = 0; i < 8; ++i) {
            reg = (reg >> 1) ^ (0xEDB88320u & (0u - (reg & 1u)));
        }
        return reg;
    }
    void Update(std::uint8_t p) {
        k0 = CrcByte(k0, p);
        k1 = (k1 + (k0 & 0xFF)) * 134775813u + 1;
        k2 = CrcByte(k2, static_cast<std::uint8_t>(k1 >> 24));
    }
    std::uint8_t Encrypt(std::uint8_t p) {
        const std::uint32_t t = (k2 & 0xFFFF) | 2;
        const auto c = static_cast<std::uint8_t>(p ^ ((t * (t ^ 1)) >> 8));
        Update(p);
        return c;
    }
};

} // namespace

std::string LE16(std::uint16_t v) {
    std::string out;
    Put16(out, v);
    return out;
}

std::string LE32(std::uint32_t v) {
    std::string out;
    Put32(out, v);
    return out;
}

std::string LE64(std::uint64_t v) {
    return LE32(static_cast<std::uint32_t>(v)) + LE32(static_cast<std::uint32_t>(v >> 32));
}

std::string ExtraBlockOf(std::uint16_t id, const std::string& data) {
    return LE16(id) + LE16(static_cast<std::uint16_t>(data.size())) + data;
}

std::string ExtendedTimestampOf(std::uint8_t flags, const std::string& times) {
    std::string data(1, static_cast<char>(flags));
    data += times;
    return ExtraBlockOf(0x5455, data);
}

std::uint32_t Crc32Of(const std::string& data) {
    return static_cast<std::uint32_t>(
        crc32(0, reinterpret_cast<const Bytef*>(data.data()), static_cast<uInt>(data.size())));
}

// The fields from "version needed" to the uncompressed size, which the local
// and the central header hold alike.
void PutSharedFields(std::string& out, const BuiltEntry& e) {
    Put16(out, e.versionNeeded);
    Put16(out, e.flags);
    Put16(out, e.method);
    Put32(out, e.dosDateTime);
    Put32(out, e.crc ? *e.crc : Crc32Of(e.plain));
    Put32(out, e.compressedSize ? *e.compressedSize : static_cast<std::uint32_t>(e.data.size()));
    Put32(out,
          e.uncompressedSize ? *e.uncompressedSize : static_cast<std::uint32_t>(e.plain.size()));
}

std::string RawDeflate(const std::string& data, int level) {
    z_stream z{};
    if (deflateInit2(&z, level, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY) != Z_OK) {
        throw std::runtime_error("deflateInit2");
    }
    std::string out(deflateBound(&z, data.size()), '\0');
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
    z.avail_in = static_cast<uInt>(data.size());
    z.next_out = reinterpret_cast<Bytef*>(out.data());
    z.avail_out = static_cast<uInt>(out.size());
    deflate(&z, Z_FINISH);
    out.resize(z.total_out);
    deflateEnd(&z);
    return out;
}

BuiltEntry& ArchiveBuilder::Add(const std::string& name, const std::string& plain) {
    BuiltEntry e;
    e.name = name;
    e.plain = plain;
    e.data = plain;
    entries_.push_back(e);
    return entries_.back();
}

BuiltEntry& ArchiveBuilder::AddDeflated(const std::string& name, const std::string& plain) {
    auto& e = Add(name, plain);
    e.method = 8;
    e.data = RawDeflate(plain);
    return e;
}

BuiltEntry& ArchiveBuilder::AddEncrypted(const std::string& name, const std::string& plain,
                                         const std::string& password, bool deflate) {
    auto& e = deflate ? AddDeflated(name, plain) : Add(name, plain);
    e.flags |= 1;
    Keys keys;
    for (char c : password) {
        keys.Update(static_cast<std::uint8_t>(c));
    }
    std::string header(12, '\0');
    for (int i = 0; i < 11; ++i) {
        header[i] = static_cast<char>(0x5A + 17 * i);
    }
    header[11] = static_cast<char>(Crc32Of(plain) >> 24);
    std::string data;
    for (char c : header + e.data) {
        data += static_cast<char>(keys.Encrypt(static_cast<std::uint8_t>(c)));
    }
    e.data = data;
    return e;
}

std::string ArchiveBuilder::Build() const {
    std::string out = prefix;
    std::vector<std::uint32_t> offsets;
    for (const auto& e : entries_) {
        offsets.push_back(static_cast<std::uint32_t>(out.size()));
        const std::string& localName = e.localName ? *e.localName : e.name;
        Put32(out, e.localSignature ? *e.localSignature : 0x04034B50u);
        PutSharedFields(out, e);
        Put16(out, static_cast<std::uint32_t>(localName.size()));
        Put16(out, static_cast<std::uint32_t>(e.localExtra.size()));
        out += localName;
        out += e.localExtra;
        out += e.data;
        out += e.dataDescriptor;
    }
    const auto central = static_cast<std::uint32_t>(out.size());
    std::uint16_t count = 0;
    for (std::size_t i = 0; i < entries_.size(); ++i) {
        const auto& e = entries_[i];
        if (!e.inCentralDirectory) {
            continue;
        }
        ++count;
        Put32(out, 0x02014B50u);
        Put16(out, e.versionMadeBy);
        PutSharedFields(out, e);
        Put16(out, static_cast<std::uint32_t>(e.name.size()));
        Put16(out, static_cast<std::uint32_t>(e.centralExtra.size()));
        Put16(out, static_cast<std::uint32_t>(e.comment.size()));
        Put16(out, e.diskNumberStart);
        Put16(out, 0);
        Put32(out, e.externalAttributes);
        Put32(out, e.relativeOffset ? *e.relativeOffset : offsets[i]);
        out += e.name;
        out += e.centralExtra;
        out += e.comment;
    }
    if (writeEndRecord) {
        const auto size = static_cast<std::uint32_t>(out.size()) - central;
        Put32(out, 0x06054B50u);
        Put16(out, thisDisk);
        Put16(out, centralStartDisk);
        Put16(out, totalEntries ? *totalEntries : count);
        Put16(out, totalEntries ? *totalEntries : count);
        Put32(out, size);
        Put32(out, centralOffset ? *centralOffset : central);
        Put16(out, static_cast<std::uint32_t>(comment.size()));
        out += comment;
    }
    return out;
}

void ArchiveBuilder::WriteTo(const std::string& path) const {
    std::ofstream f(path, std::ios::binary | std::ios::trunc);
    const std::string bytes = Build();
    f.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!f) {
        throw std::runtime_error("cannot write " + path);
    }
}

} // namespace mzb::test
