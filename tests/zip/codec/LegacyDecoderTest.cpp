// Shrunk, reduced and imploded data made by other tools, decoded through the
// per-method dispatcher the reader uses.
#include "support/MemoryDecoderIO.h"
#include "support/TempDir.h"
#include "zip/base/ZipError.h"
#include "zip/format/Crc32.h"
#include "zip/reader/EntryDecoder.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace mzb {
namespace {

using test::MemoryInput;
using test::MemoryOutput;
using Bytes = std::vector<std::uint8_t>;

const std::string kDir = std::string(MZB_TEST_DATA_DIR) + "/legacy/";

Bytes Load(const std::string& name) {
    const std::string s = test::ReadFile(kDir + name);
    return Bytes(s.begin(), s.end());
}

std::uint32_t Le(const Bytes& b, std::size_t at, int n) {
    std::uint32_t v = 0;
    for (int i = n; i-- > 0;) {
        v = (v << 8) | b.at(at + i);
    }
    return v;
}

struct LocalEntry {
    std::string Name;
    TEntryCoding Coding;
    std::uint32_t Crc = 0;
    Bytes Data;
};

// Just enough of the local headers to reach each entry's data; these
// archives carry their sizes there.
std::vector<LocalEntry> LocalEntries(const Bytes& zip) {
    std::vector<LocalEntry> entries;
    std::size_t at = 0;
    while (at + 30 <= zip.size() && Le(zip, at, 4) == 0x04034B50) {
        LocalEntry e;
        e.Coding.Flags = static_cast<std::uint16_t>(Le(zip, at + 6, 2));
        e.Coding.Method = static_cast<std::uint16_t>(Le(zip, at + 8, 2));
        e.Crc = Le(zip, at + 14, 4);
        e.Coding.CompressedSize = Le(zip, at + 18, 4);
        e.Coding.UncompressedSize = Le(zip, at + 22, 4);
        const std::size_t nameLen = Le(zip, at + 26, 2);
        const std::size_t extraLen = Le(zip, at + 28, 2);
        const std::size_t data = at + 30 + nameLen + extraLen;
        if (data > zip.size()) {
            break;
        }
        e.Name.assign(zip.begin() + at + 30, zip.begin() + at + 30 + nameLen);
        const std::size_t end = std::min<std::size_t>(zip.size(), data + e.Coding.CompressedSize);
        e.Data.assign(zip.begin() + data, zip.begin() + end);
        entries.push_back(std::move(e));
        at = end;
    }
    return entries;
}

Bytes Decode(TEntryDecoder& decoder, const TEntryCoding& coding, const Bytes& data,
             TDecodeResult expected, std::size_t piece = SIZE_MAX) {
    MemoryInput in(data, piece);
    MemoryOutput out(coding.UncompressedSize);
    EXPECT_EQ(decoder.Decode(coding, in, out), expected);
    EXPECT_LE(out.LargestBlock, kMaxDecodedBlock);
    return out.Bytes;
}

TEST(LegacyDecoders, EveryLegacyEntryOfOtherToolsDecodesWithItsCrc) {
    struct Archive {
        const char* File;
        int Entries; // legacy entries expected in it
    };
    const Archive archives[] = {
        {"shrink.zip", 1},
        {"reduce.zip", 1},
        {"implode.zip", 1},
        {"Zip.shrink.zip", 2},
        {"Zip.reduce1.zip", 3},
        {"Zip.reduce2.zip", 3},
        {"Zip.reduce3.zip", 3},
        {"Zip.implode.zip", 2},
        {"SHRUNK.ZIP", 2},
        {"imploding-4Kdict-2trees.zip", 1},
        {"imploding-8Kdict-3trees.zip", 1},
        {"lorem-ipsum-implode.zip", 1},
        {"example-i.zip", 1},
        {"example-r.zip", 1},
        {"example-s.zip", 1},
    };
    TEntryDecoder decoder;
    for (const Archive& a : archives) {
        int legacy = 0;
        for (const LocalEntry& e : LocalEntries(Load(a.File))) {
            if (e.Coding.Method < 1 || e.Coding.Method > 6) {
                continue;
            }
            ++legacy;
            for (std::size_t piece : {std::size_t{7}, SIZE_MAX}) {
                SCOPED_TRACE(std::string(a.File) + " " + e.Name + " method " +
                             std::to_string(e.Coding.Method) + " piece " + std::to_string(piece));
                const Bytes out = Decode(decoder, e.Coding, e.Data, TDecodeResult::Complete, piece);
                EXPECT_EQ(out.size(), e.Coding.UncompressedSize);
                EXPECT_EQ(Crc32(out.data(), out.size()), e.Crc);
            }
        }
        EXPECT_EQ(legacy, a.Entries) << a.File;
    }
}

TEST(LegacyDecoders, RawStreamsGiveTheirKnownOutput) {
    struct Raw {
        const char* Stream;
        std::uint16_t Method;
        std::uint16_t Flags;
        Bytes Expected;
    };
    const Bytes hamlet = Load("implode_hamlet_2048.out");
    Bytes zeroTail(hamlet.begin(), hamlet.begin() + 2048);
    zeroTail.resize(3072, 0);
    const Raw raws[] = {
        {"implode_hamlet_256.bin", 6, 0, Load("implode_hamlet_256.out")},
        {"reduce_hamlet_2048.bin", 5, 0, hamlet},
        {"reduce_zero_reduced.bin", 5, 0, zeroTail},
    };
    TEntryDecoder decoder;
    for (const Raw& r : raws) {
        SCOPED_TRACE(r.Stream);
        const Bytes data = Load(r.Stream);
        const TEntryCoding coding{r.Method, r.Flags, data.size(), r.Expected.size()};
        EXPECT_EQ(Decode(decoder, coding, data, TDecodeResult::Complete), r.Expected);
    }
}

TEST(LegacyDecoders, HostileEntriesEndWithoutRunningAway) {
    TEntryDecoder decoder;
    for (const char* file :
         {"ExplodeStream_IndexOutOfRange.zip", "Reduce_DecompressionBomb_Method2.zip",
          "Zip_ShrinkOOM_CraftedCompressedSize.zip"}) {
        for (const LocalEntry& e : LocalEntries(Load(file))) {
            SCOPED_TRACE(file);
            MemoryInput in(e.Data);
            MemoryOutput out(e.Coding.UncompressedSize);
            try {
                EXPECT_NE(decoder.Decode(e.Coding, in, out), TDecodeResult::Complete);
            } catch (const EBiggerThanUncompressed&) {
            }
            EXPECT_LE(out.Bytes.size(), 64 * e.Data.size() + 1024);
        }
    }
}

TEST(LegacyDecoders, TruncatedLegacyEntriesEndAsDataErrors) {
    TEntryDecoder decoder;
    for (const char* file : {"shrink.zip", "reduce.zip", "implode.zip", "example-s.zip"}) {
        const LocalEntry e = LocalEntries(Load(file)).at(0);
        for (std::size_t cut = 0; cut < e.Data.size(); ++cut) {
            SCOPED_TRACE(std::string(file) + " cut at " + std::to_string(cut));
            const Bytes prefix(e.Data.begin(), e.Data.begin() + cut);
            MemoryInput in(prefix);
            MemoryOutput out(e.Coding.UncompressedSize);
            const TDecodeResult r = decoder.Decode(e.Coding, in, out);
            // Shrink has no end marker: a cut stream ends short, quietly.
            if (e.Coding.Method == 1) {
                EXPECT_LT(out.Bytes.size(), e.Coding.UncompressedSize);
            } else {
                EXPECT_EQ(r, TDecodeResult::DataError);
            }
        }
    }
}

TEST(EntryDecoder, CopiesStoredEntriesAndRefusesUnknownMethods) {
    TEntryDecoder decoder;
    Bytes data(100000);
    for (std::size_t i = 0; i < data.size(); ++i) {
        data[i] = static_cast<std::uint8_t>(i * 7);
    }
    const TEntryCoding stored{0, 0, data.size(), data.size()};
    EXPECT_EQ(Decode(decoder, stored, data, TDecodeResult::Complete, 5000), data);

    for (std::uint16_t method : {7, 9, 12, 14, 99}) {
        EXPECT_FALSE(TEntryDecoder::IsKnownMethod(method));
        MemoryInput in(data);
        MemoryOutput out;
        EXPECT_EQ(decoder.Decode({method, 0, data.size(), data.size()}, in, out),
                  TDecodeResult::UnknownMethod);
        EXPECT_EQ(in.Calls(), 0u);
        EXPECT_TRUE(out.Bytes.empty());
    }
}

} // namespace
} // namespace mzb
