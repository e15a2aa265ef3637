#include "zip/format/ZipHeaderInfo.h"

#include "support/TempDir.h"
#include "zip/base/ZipError.h"

#include <gtest/gtest.h>
#include <initializer_list>
#include <string>

namespace mzb {
namespace {

std::string Bytes(std::initializer_list<int> values) {
    std::string s;
    for (int v : values) {
        s += static_cast<char>(v);
    }
    return s;
}

// A stream over a temporary file holding the given bytes.
class StreamOver {
public:
    explicit StreamOver(const std::string& contents) {
        path_ = dir_.write("f", contents).string();
        EXPECT_TRUE(stream.Open(path_, TFileMode::ReadWrite));
    }
    std::string Contents() {
        EXPECT_TRUE(stream.Flush());
        return test::ReadFile(path_);
    }
    TFileStream stream;

private:
    test::TempDir dir_;
    std::string path_;
};

TZipHeaderInfo SampleEntry() {
    TZipHeaderInfo e;
    e.SetDirectory("dir");
    e.SetFileName("a.txt");
    e.Flags = 0x0002;
    e.CompressionMethod = 8;
    e.FileDateTime = 0x5A2B3C4D;
    e.Crc32 = 0x89ABCDEF;
    e.CompressedSize = 0x01020304;
    e.UncompressedSize = 0x05060708;
    e.InternalAttributes = 1;
    e.ExternalAttributes = 0x81A40020;
    return e;
}

// Expected layouts written out by hand from the application note's tables.
const std::string kLocalFixed = Bytes({
    0x50, 0x4B, 0x03, 0x04, // signature
    0x14, 0x00,             // version needed 2.0
    0x02, 0x00,             // flags
    0x08, 0x00,             // method
    0x4D, 0x3C, 0x2B, 0x5A, // time, date
    0xEF, 0xCD, 0xAB, 0x89, // CRC-32
    0x04, 0x03, 0x02, 0x01, // compressed size
    0x08, 0x07, 0x06, 0x05, // uncompressed size
    0x09, 0x00,             // name length
    0x00, 0x00,             // extra length
});

const std::string kCentralFixed = Bytes({
    0x50, 0x4B, 0x01, 0x02, // signature
    0x14, 0x03,             // made by: 2.0 on a Unix host
    0x14, 0x00,             // version needed
    0x02, 0x00,             // flags
    0x08, 0x00,             // method
    0x4D, 0x3C, 0x2B, 0x5A, // time, date
    0xEF, 0xCD, 0xAB, 0x89, // CRC-32
    0x04, 0x03, 0x02, 0x01, // compressed size
    0x08, 0x07, 0x06, 0x05, // uncompressed size
    0x09, 0x00,             // name length
    0x00, 0x00,             // extra length
    0x02, 0x00,             // comment length
    0x00, 0x00,             // disk number start
    0x01, 0x00,             // internal attributes
    0x20, 0x00, 0xA4, 0x81, // external attributes
    0x34, 0x12, 0x00, 0x00, // local header offset
});

TEST(ZipHeaderInfo, NewEntryDefaults) {
    TZipHeaderInfo e;
    e.SetFileName("x");
    e.Crc32 = 5;
    e.Clear();
    EXPECT_EQ(e.VersionMadeBy, 0x0314);
    EXPECT_EQ(e.VersionNeeded, 20);
    EXPECT_EQ(e.CompressionMethod, 8);
    EXPECT_EQ(e.Crc32, 0xFFFFFFFFu);
    EXPECT_EQ(e.InternalAttributes, 1);
    EXPECT_EQ(e.ExternalAttributes, 0x20u);
    EXPECT_EQ(e.FileNameLength(), 0u);
    EXPECT_FALSE(e.FileComment().has_value());
}

TEST(ZipHeaderInfo, NameAndCommentSettersKeepLengths) {
    TZipHeaderInfo e;
    e.SetDirectory("a/b");
    EXPECT_EQ(e.Directory(), "a/b/");
    e.SetDirectory("c/");
    EXPECT_EQ(e.Directory(), "c/");
    e.SetFileName("name.txt");
    EXPECT_EQ(e.FileNameLength(), 10u);
    EXPECT_EQ(e.LocalHeaderSize(), 40u);
    e.SetFileComment("note");
    EXPECT_EQ(e.FileCommentLength, 4);
    EXPECT_TRUE(e.HasComment());
    EXPECT_EQ(e.CentralHeaderSize(), 46u + 10 + 4);
    e.SetFileComment(std::nullopt);
    EXPECT_EQ(e.FileCommentLength, 0);
    EXPECT_FALSE(e.HasComment());

    TZipHeaderInfo copy;
    e.SetFileComment("kept");
    e.RewriteMark = 2;
    copy.Assign(e);
    e.SetFileComment("changed");
    EXPECT_EQ(copy.FileComment(), "kept");
    EXPECT_EQ(copy.RewriteMark, 2);
}

TEST(ZipHeaderInfo, LocalHeaderBytes) {
    StreamOver f("prefix");
    ASSERT_TRUE(f.stream.Seek(6));
    TZipHeaderInfo e = SampleEntry();
    ASSERT_TRUE(e.WriteLocalHeader(f.stream));
    EXPECT_EQ(e.RelativeOffset, 6u);
    EXPECT_EQ(f.Contents(), "prefix" + kLocalFixed + "dir/a.txt");
}

TEST(ZipHeaderInfo, CentralHeaderBytes) {
    StreamOver f("");
    TZipHeaderInfo e = SampleEntry();
    e.RelativeOffset = 0x1234;
    e.CentralExtraLength = 9; // read from elsewhere; not written
    e.SetFileComment("hi");
    ASSERT_TRUE(e.WriteCentralHeader(f.stream));
    EXPECT_EQ(f.Contents(), kCentralFixed + "dir/a.txt" + "hi");
}

// Names are stored as their bytes, '\' included; one that is UTF-8 with
// non-ASCII bytes is flagged in both headers, one that is not UTF-8 in
// neither.
TEST(ZipHeaderInfo, StoredNameForms) {
    const struct {
        const char* directory;
        const char* fileName;
        std::string flags;
    } cases[] = {
        {"Müll\\sub/", "ä.txt", Bytes({0x01, 0x08})},
        {"old/", "caf\xE9.txt", Bytes({0x01, 0x00})},
    };
    for (const auto& c : cases) {
        StreamOver f("");
        TZipHeaderInfo e;
        e.SetDirectory(c.directory);
        e.SetFileName(c.fileName);
        e.Flags = 0x0001;
        ASSERT_TRUE(e.WriteLocalHeader(f.stream));
        ASSERT_TRUE(e.WriteCentralHeader(f.stream));
        const std::string bytes = f.Contents();
        const std::string name = std::string(c.directory) + c.fileName;
        EXPECT_EQ(bytes.substr(6, 2), c.flags) << name;
        EXPECT_EQ(bytes.substr(30, name.size()), name);
        const std::size_t central = 30 + name.size();
        EXPECT_EQ(bytes.substr(central + 5, 1), "\x03") << "made on a Unix host";
        EXPECT_EQ(bytes.substr(central + 8, 2), c.flags) << name;
        EXPECT_EQ(bytes.substr(central + 46, name.size()), name);
    }
}

TEST(ZipHeaderInfo, NamesAndCommentsBeyondTheirFieldsAreRefused) {
    struct Case {
        const char* what;
        void (*set)(TZipHeaderInfo&);
    };
    const Case cases[] = {
        {"name", [](TZipHeaderInfo& e) { e.SetFileName(std::string(65536, 'n')); }},
        {"comment", [](TZipHeaderInfo& e) { e.SetFileComment(std::string(65536, 'c')); }},
    };
    for (const Case& c : cases) {
        StreamOver f("");
        TZipHeaderInfo e = SampleEntry();
        c.set(e);
        EXPECT_THROW(e.WriteCentralHeader(f.stream), EZipFormatError) << c.what;
        EXPECT_EQ(f.Contents(), "") << c.what;
    }
    // The longest name that fits is written.
    StreamOver f("");
    TZipHeaderInfo e = SampleEntry();
    e.SetFileName(std::string(65535 - 4, 'n'));
    EXPECT_TRUE(e.WriteCentralHeader(f.stream));
}

std::string LE64(std::uint64_t v) {
    std::string s;
    for (int i = 0; i < 8; ++i) {
        s += static_cast<char>(v >> (8 * i));
    }
    return s;
}

// The largest values of the classic fields stay there; one more moves into
// the ZIP64 block, whose fields come in the note's order and only for the
// values that need them.
TEST(ZipHeaderInfo, ValuesBeyondTheClassicFieldsGoIntoTheZip64Block) {
    TZipHeaderInfo largest = SampleEntry();
    largest.CompressedSize = largest.UncompressedSize = largest.RelativeOffset = 0xFFFFFFFEu;
    StreamOver classic("");
    ASSERT_TRUE(largest.WriteCentralHeader(classic.stream));
    EXPECT_EQ(classic.Contents().substr(4, 4), Bytes({0x14, 0x03, 0x14, 0x00}));
    EXPECT_EQ(classic.Contents().substr(30, 2), Bytes({0x00, 0x00}));

    // With limits lowered to 0x1000: the uncompressed size and the offset
    // are beyond them, the compressed size is not.
    const TClassicLimits lowered{.MaxField32 = 0x1000, .MaxField16 = kMaxField16};
    TZipHeaderInfo e = SampleEntry();
    e.CompressedSize = 0x0800;
    e.RelativeOffset = 0x1234;
    StreamOver f("");
    ASSERT_TRUE(e.WriteCentralHeader(f.stream, lowered));
    const std::string expected = Bytes({
                                     0x50, 0x4B, 0x01, 0x02, // signature
                                     0x2D, 0x03,             // made by: 4.5 on a Unix host
                                     0x2D, 0x00,             // version needed 4.5
                                     0x02, 0x00,             // flags
                                     0x08, 0x00,             // method
                                     0x4D, 0x3C, 0x2B, 0x5A, // time, date
                                     0xEF, 0xCD, 0xAB, 0x89, // CRC-32
                                     0x00, 0x08, 0x00, 0x00, // compressed size
                                     0xFF, 0xFF, 0xFF, 0xFF, // uncompressed size: in the block
                                     0x09, 0x00,             // name length
                                     0x14, 0x00,             // extra length
                                     0x00, 0x00,             // comment length
                                     0x00, 0x00,             // disk number start
                                     0x01, 0x00,             // internal attributes
                                     0x20, 0x00, 0xA4, 0x81, // external attributes
                                     0xFF, 0xFF, 0xFF, 0xFF, // local header offset: in the block
                                 }) +
                                 "dir/a.txt" + Bytes({0x01, 0x00, 0x10, 0x00}) + LE64(0x05060708) +
                                 LE64(0x1234);
    EXPECT_EQ(f.Contents(), expected);
    EXPECT_EQ(e.CentralExtraLength, 20);
    EXPECT_EQ(e.VersionNeeded, 45);

    StreamOver back(expected);
    TZipHeaderInfo read;
    ASSERT_TRUE(read.ReadCentralHeader(back.stream));
    EXPECT_EQ(back.stream.Position(), expected.size());
    EXPECT_EQ(read.UncompressedSize, 0x05060708u);
    EXPECT_EQ(read.CompressedSize, 0x0800u);
    EXPECT_EQ(read.RelativeOffset, 0x1234u);
    EXPECT_EQ(read.FileName(), "a.txt");
}

// A local header is written before its sizes are known, and again after in
// the same room: with LocalZip64 its block holds both sizes, even ones that
// turned out to fit, and the central header then keeps both there too.
TEST(ZipHeaderInfo, LocalHeaderWithZip64BlockHoldsBothSizes) {
    TZipHeaderInfo e = SampleEntry();
    e.LocalZip64 = true;
    e.UncompressedSize = 0x123456789Aull;
    StreamOver f("");
    const std::string other = Bytes({0x99, 0x99, 0x01, 0x00, 'Z'}); // some other block
    ASSERT_TRUE(e.WriteLocalHeader(f.stream, other));
    std::string fixed = kLocalFixed;
    fixed.replace(4, 2, Bytes({0x2D, 0x00}));
    fixed.replace(18, 8, Bytes({0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}));
    fixed.replace(28, 2, Bytes({0x19, 0x00})); // the block and the other 5 bytes
    const std::string expected = fixed + "dir/a.txt" + Bytes({0x01, 0x00, 0x10, 0x00}) +
                                 LE64(0x123456789Aull) + LE64(0x01020304) + other;
    EXPECT_EQ(f.Contents(), expected);
    EXPECT_EQ(e.LocalExtraLength, 25);
    EXPECT_EQ(e.LocalHeaderSize(), 30u + 9 + 25);

    StreamOver back(expected + "data");
    TZipHeaderInfo read;
    ASSERT_TRUE(read.ReadLocalHeader(back.stream));
    EXPECT_EQ(back.stream.Position(), 30u + 9); // before the extra field
    EXPECT_TRUE(read.LocalZip64);
    EXPECT_EQ(read.UncompressedSize, 0x123456789Aull);
    EXPECT_EQ(read.CompressedSize, 0x01020304u);
    EXPECT_EQ(read.LocalExtraLength, 25);

    StreamOver central("");
    ASSERT_TRUE(e.WriteCentralHeader(central.stream));
    const std::string c = central.Contents();
    EXPECT_EQ(c.substr(20, 8), Bytes({0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}));
    EXPECT_EQ(c.substr(46 + 9),
              Bytes({0x01, 0x00, 0x10, 0x00}) + LE64(0x123456789Aull) + LE64(0x01020304));

    // A size beyond the classic field asks for the block by itself.
    TZipHeaderInfo big = SampleEntry();
    big.CompressedSize = 1ull << 32;
    StreamOver g("");
    ASSERT_TRUE(big.WriteLocalHeader(g.stream));
    EXPECT_TRUE(big.LocalZip64);
    EXPECT_EQ(big.LocalExtraLength, 20);
}

// Only the offset is beyond the classic field: the local header has no
// block, but says 4.5 like the central header that carries the offset.
TEST(ZipHeaderInfo, AnOffsetBeyondTheClassicFieldMakesTheEntryZip64) {
    StreamOver f("");
    ASSERT_TRUE(f.stream.Seek(0xFFFFFFFFull));
    TZipHeaderInfo e = SampleEntry();
    ASSERT_TRUE(e.WriteLocalHeader(f.stream));
    EXPECT_FALSE(e.LocalZip64);
    EXPECT_EQ(e.LocalExtraLength, 0);
    EXPECT_EQ(e.VersionNeeded, 45);
    EXPECT_EQ(e.VersionMadeBy, 0x032D);
}

// A marked value the block does not hold is a damaged header; a marked
// value without any block is taken as it is, as tools that knew nothing of
// ZIP64 wrote it.
TEST(ZipHeaderInfo, Zip64BlocksThatLackAValue) {
    std::string h = kCentralFixed;
    h.replace(24, 4, Bytes({0xFF, 0xFF, 0xFF, 0xFF})); // uncompressed size marked
    h.replace(42, 4, Bytes({0xFF, 0xFF, 0xFF, 0xFF})); // offset marked
    h[32] = 0;                                         // no comment
    auto withExtra = [&](const std::string& extra) {
        std::string header = h;
        header[30] = static_cast<char>(extra.size());
        return header + "dir/a.txt" + extra;
    };
    const std::string shortBlock = Bytes({0x01, 0x00, 0x08, 0x00}) + LE64(7);
    const std::string cutBlock = Bytes({0x01, 0x00, 0x10, 0x00}) + LE64(7);
    for (const std::string& bad : {withExtra(shortBlock), withExtra(cutBlock)}) {
        StreamOver f("xy" + bad);
        ASSERT_TRUE(f.stream.Seek(2));
        TZipHeaderInfo e;
        EXPECT_FALSE(e.ReadCentralHeader(f.stream));
        EXPECT_EQ(f.stream.Position(), 2u);
    }
    StreamOver f(withExtra(Bytes({0x99, 0x99, 0x00, 0x00})));
    TZipHeaderInfo e;
    ASSERT_TRUE(e.ReadCentralHeader(f.stream));
    EXPECT_EQ(e.UncompressedSize, 0xFFFFFFFFu);
    EXPECT_EQ(e.RelativeOffset, 0xFFFFFFFFu);
}

// Two hand-written central headers, the first with an extra field and a
// comment: the reader must land exactly on the second.
TEST(ZipHeaderInfo, ReadsConsecutiveCentralHeaders) {
    std::string first = kCentralFixed;
    first[4] = 0x14; // made by 2.0 ...
    first[5] = 0x00; // ... on an MS-DOS host
    first[28] = 4;   // name length
    first[30] = 5;   // extra length
    first[32] = 2;   // comment length
    // 24:59:62 on 2107-00-13, read back as 23:59:58 on 2099-01-13.
    first[12] = 0x7F;
    first[13] = 0xC7;
    first[14] = 0x0D;
    first[15] = 0xFE;
    std::string second = kCentralFixed;
    second[28] = 4;
    second[32] = 0;
    second[8] = 0x00;
    second[9] = 0x08; // UTF-8 flag
    StreamOver f("junk" + first + "a\\\x84x" + "EXTRA" + "cc" + second + "\xC3\xA4/b");
    ASSERT_TRUE(f.stream.Seek(4));

    TZipHeaderInfo e;
    ASSERT_TRUE(e.ReadCentralHeader(f.stream));
    EXPECT_EQ(e.CentralHeaderPosition, 4u);
    EXPECT_EQ(e.VersionMadeBy, 0x0014);
    EXPECT_EQ(e.Directory(), "a/");
    EXPECT_EQ(e.FileName(), "äx"); // code page 437 from an MS-DOS host
    EXPECT_EQ(e.FileDateTime, 0xEE2DBF7Du);
    EXPECT_EQ(e.CentralExtraLength, 5);
    EXPECT_EQ(e.FileCommentLength, 2);
    EXPECT_FALSE(e.FileComment().has_value());
    EXPECT_EQ(e.Crc32, 0x89ABCDEFu);
    EXPECT_EQ(e.CompressedSize, 0x01020304u);
    EXPECT_EQ(e.UncompressedSize, 0x05060708u);
    EXPECT_EQ(e.ExternalAttributes, 0x81A40020u);
    EXPECT_EQ(e.RelativeOffset, 0x1234u);

    TZipHeaderInfo next;
    ASSERT_TRUE(next.ReadCentralHeader(f.stream));
    EXPECT_EQ(next.Directory(), "ä/");
    EXPECT_EQ(next.FileName(), "b");

    ASSERT_TRUE(e.LoadFileComment(f.stream));
    EXPECT_EQ(e.FileComment(), "cc");
}

// '\' separates directories only in names from MS-DOS and Windows hosts;
// from a Unix host it is part of the name, as are bytes that are not UTF-8.
TEST(ZipHeaderInfo, TheHostDecidesWhatANameMeans) {
    const struct {
        std::uint8_t host;
        std::string raw;
        const char* directory;
        const char* fileName;
    } cases[] = {
        {3, "a\\b.txt", "", "a\\b.txt"},           {3, "d\\e/\x84z", "d\\e/", "\x84z"},
        {3, "caf\xE9\n.txt", "", "caf\xE9\n.txt"}, {0, "a\\b.txt", "a/", "b.txt"},
        {11, "a\\b\\\x84.txt", "a/b/", "ä.txt"},   {14, "x\\y", "x/", "y"},
    };
    for (const auto& c : cases) {
        std::string h = kCentralFixed;
        h[5] = static_cast<char>(c.host);
        h[28] = static_cast<char>(c.raw.size());
        h[32] = 0; // no comment
        StreamOver f(h + c.raw);
        TZipHeaderInfo e;
        ASSERT_TRUE(e.ReadCentralHeader(f.stream)) << c.raw;
        EXPECT_EQ(e.Directory(), c.directory) << c.raw;
        EXPECT_EQ(e.FileName(), c.fileName) << c.raw;
    }
}

// A failed read leaves both the entry and the stream as they were, so the
// caller can try something else from the same place.
TEST(ZipHeaderInfo, FailedReadsChangeNothing) {
    const std::string good = kCentralFixed + "dir/a.txt";
    std::string badSignature = good;
    badSignature[2] = 0x03;
    const std::string cases[] = {
        "",
        good.substr(0, 45),
        good.substr(0, 50), // name cut short
        badSignature,
        kLocalFixed + "dir/a.txt", // a local header where a central one belongs
    };
    for (const std::string& bytes : cases) {
        StreamOver f("xy" + bytes);
        ASSERT_TRUE(f.stream.Seek(2));
        TZipHeaderInfo e;
        e.SetFileName("untouched");
        EXPECT_FALSE(e.ReadCentralHeader(f.stream));
        EXPECT_EQ(f.stream.Position(), 2u);
        EXPECT_EQ(e.FileName(), "untouched");
    }
    StreamOver f(good);
    TZipHeaderInfo e;
    EXPECT_FALSE(e.ReadLocalHeader(f.stream));
    EXPECT_EQ(f.stream.Position(), 0u);
}

TEST(ZipHeaderInfo, ReadsALocalHeader) {
    std::string h = kLocalFixed;
    h[26] = 3;
    h[28] = 4; // extra length
    StreamOver f("abcd" + h + "\\\x81y" + "XXXX");
    ASSERT_TRUE(f.stream.Seek(4));
    TZipHeaderInfo e;
    ASSERT_TRUE(e.ReadLocalHeader(f.stream));
    EXPECT_EQ(f.stream.Position(), 4u + 30 + 3); // before the extra field
    EXPECT_EQ(e.RelativeOffset, 4u);
    EXPECT_EQ(e.VersionMadeBy, 0);
    EXPECT_EQ(e.VersionNeeded, 20);
    EXPECT_EQ(e.Flags, 2);
    EXPECT_EQ(e.LocalExtraLength, 4);
    EXPECT_EQ(e.InternalAttributes, 0);
    EXPECT_EQ(e.ExternalAttributes, 0u);
    EXPECT_EQ(e.Directory(), "/");
    EXPECT_EQ(e.FileName(), "üy"); // always code page 437 without the flag
    EXPECT_EQ(e.CompressedSize, 0x01020304u);
}

} // namespace
} // namespace mzb
