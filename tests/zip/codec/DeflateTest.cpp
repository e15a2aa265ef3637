#include "zip/codec/deflate/Deflate.h"

#include "support/DeflateStreams.h"
#include "support/MemoryDecoderIO.h"
#include "support/SampleData.h"
#include "support/ZlibOracle.h"
#include "zip/codec/inflate/Inflate.h"

#include <functional>
#include <gtest/gtest.h>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace mzb {
namespace {

using test::MemorySink;
using test::MemorySource;
using Bytes = std::vector<std::uint8_t>;

struct Compressed {
    TDeflateResult result;
    Bytes bytes;
};

Compressed Compress(TDeflater& deflater, const Bytes& input, int level,
                    std::size_t piece = SIZE_MAX) {
    MemorySource source(input, piece);
    MemorySink sink;
    Compressed c;
    c.result = deflater.Deflate(source, sink, level);
    c.bytes = std::move(sink.bytes);
    return c;
}

// What a reader would get back: the bytes themselves for a stored entry,
// the inflation of the stream otherwise, by zlib and by our own decoder.
void ExpectRoundTrip(const Compressed& c, const Bytes& input, const std::string& what) {
    ASSERT_EQ(c.result.compressedSize, c.bytes.size()) << what;
    if (c.result.method == 0) {
        EXPECT_EQ(c.bytes, input) << what;
        return;
    }
    ASSERT_EQ(c.result.method, 8) << what;
    const auto inflated = test::ZlibInflateRaw(c.bytes.data(), c.bytes.size());
    ASSERT_TRUE(inflated.has_value()) << what << ": zlib rejects the stream";
    EXPECT_TRUE(*inflated == input) << what << ": inflated " << inflated->size() << " of "
                                    << input.size() << " bytes, content differs";

    static TInflater inflater;
    test::MemoryInput in(c.bytes);
    test::MemoryOutput out;
    EXPECT_EQ(inflater.Inflate(in, out), TDecodeResult::Complete) << what;
    EXPECT_TRUE(out.Bytes == input) << what << ": our inflate differs";
}

Bytes Repeat(std::uint8_t value, std::size_t n) {
    return Bytes(n, value);
}

Bytes Concat(Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

struct Sample {
    const char* name;
    std::function<Bytes()> make;
};

const std::vector<Sample>& Samples() {
    static const std::vector<Sample> samples = {
        {"empty", [] { return Bytes{}; }},
        {"one byte", [] { return Bytes{'x'}; }},
        {"two bytes",
         [] {
             return Bytes{0, 0};
         }},
        {"incompressible 200 KiB", [] { return test::MakeRandomBytes(200 * 1024, 1); }},
        {"zeros 300 KiB", [] { return Repeat(0, 300 * 1024); }},
        {"period 2",
         [] {
             Bytes b(100000);
             for (std::size_t i = 0; i < b.size(); ++i) {
                 b[i] = std::uint8_t(i & 1 ? 'b' : 'a');
             }
             return b;
         }},
        {"text 300 KiB", [] { return test::MakeText(300 * 1024, 2); }},
        {"binary 300 KiB", [] { return test::MakeBinary(300 * 1024, 3); }},
        {"runs then random then text",
         [] {
             return Concat(Concat(Repeat(7, 70000), test::MakeRandomBytes(40000, 4)),
                           test::MakeText(90000, 5));
         }},
        // Long matches far back: the same random block repeated at distances
        // near the farthest a match may reach.
        {"repeats near max distance",
         [] {
             const Bytes block = test::MakeRandomBytes(32400, 6);
             return Concat(Concat(block, block), Concat(block, block));
         }},
    };
    return samples;
}

class DeflateLevelTest : public ::testing::TestWithParam<int> {};

TEST_P(DeflateLevelTest, RoundTripsEverySample) {
    TDeflater deflater;
    for (const Sample& sample : Samples()) {
        const Bytes input = sample.make();
        ExpectRoundTrip(Compress(deflater, input, GetParam()), input, sample.name);
    }
}

INSTANTIATE_TEST_SUITE_P(Levels, DeflateLevelTest, ::testing::Range(1, 10));

// Sizes around the window (32 KiB), the window buffer (64 KiB), the point
// where the window slides (65 274), the stored-block limit (65 535), a block
// of incompressible bytes (16 383 records) and the first read (32 768 bytes).
TEST(DeflateBoundaries, RoundTripsAroundWindowAndBlockSizes) {
    const std::size_t centres[] = {16383, 32767, 32768, 65274, 65535, 65536, 98304, 131072};
    const Bytes text = test::MakeText(140000, 7);
    const Bytes random = test::MakeRandomBytes(140000, 8);
    TDeflater deflater;
    for (std::size_t centre : centres) {
        for (int delta = -2; delta <= 2; ++delta) {
            const std::size_t size = centre + std::size_t(std::ptrdiff_t(delta));
            for (const Bytes* source : {&text, &random}) {
                const Bytes input(source->begin(), source->begin() + std::ptrdiff_t(size));
                for (int level : {1, 3, 4, 6, 9}) {
                    ExpectRoundTrip(Compress(deflater, input, level), input,
                                    "size " + std::to_string(size) + " level " +
                                        std::to_string(level) +
                                        (source == &text ? " text" : " random"));
                }
            }
        }
    }
}

// A source may return fewer bytes than asked for; the window must still fill
// correctly, slides included.
TEST(DeflateBoundaries, RoundTripsWhenInputArrivesInOddPieces) {
    const Bytes input =
        Concat(Concat(test::MakeText(70000, 9), test::MakeBinary(70000, 10)), Repeat('z', 5000));
    TDeflater deflater;
    for (std::size_t piece : {std::size_t{1}, std::size_t{31}, std::size_t{4096}}) {
        for (int level : {1, 5, 9}) {
            const std::string what =
                "piece " + std::to_string(piece) + " level " + std::to_string(level);
            const Compressed c = Compress(deflater, input, level, piece);
            ExpectRoundTrip(c, input, what);
            // The result must not depend on how the input was cut.
            EXPECT_EQ(c.bytes, Compress(deflater, input, level).bytes) << what;
        }
    }
}

TEST(DeflateBoundaries, BlockOfManyShortMatchesAndLiteralsRoundTrips) {
    // Three-byte matches and literals alternate, so blocks fill their record
    // buffer long before the window slides.
    test::SampleRandom random(11);
    Bytes input;
    while (input.size() < 400000) {
        input.push_back(std::uint8_t('a' + random.below(4)));
    }
    TDeflater deflater;
    for (int level = 1; level <= 9; ++level) {
        ExpectRoundTrip(Compress(deflater, input, level), input, "level " + std::to_string(level));
    }
}

TEST(DeflateEntry, EmptyInputBecomesStoredTextEntryOfSizeZero) {
    TDeflater deflater;
    for (int level = 1; level <= 9; ++level) {
        const Compressed c = Compress(deflater, {}, level);
        EXPECT_EQ(c.result.method, 0);
        EXPECT_EQ(c.result.compressedSize, 0u);
        EXPECT_TRUE(c.bytes.empty());
        EXPECT_EQ(c.result.internalAttributes, 1);
    }
}

TEST(DeflateEntry, SmallIncompressibleInputIsStoredAndKeepsLevelFlags) {
    const Bytes input = test::MakeRandomBytes(1000, 12);
    const std::uint16_t expectedFlags[10] = {0, 4, 4, 0, 0, 0, 0, 0, 2, 2};
    TDeflater deflater;
    for (int level = 1; level <= 9; ++level) {
        const Compressed c = Compress(deflater, input, level);
        EXPECT_EQ(c.result.method, 0) << level;
        EXPECT_EQ(c.result.compressedSize, input.size()) << level;
        EXPECT_EQ(c.bytes, input) << level;
        EXPECT_EQ(c.result.flagBits, expectedFlags[level]) << level;
        EXPECT_EQ(c.result.internalAttributes, 0) << level;
    }
}

TEST(DeflateEntry, LargeIncompressibleInputStaysDeflatedInStoredBlocks) {
    // Too big for one block, so it cannot become a stored entry; the stream
    // must still cost only a few bytes per block over the input.
    const Bytes input = test::MakeRandomBytes(500000, 13);
    TDeflater deflater;
    const Compressed c = Compress(deflater, input, 6);
    EXPECT_EQ(c.result.method, 8);
    EXPECT_LE(c.bytes.size(), input.size() + input.size() / 1000);
    ExpectRoundTrip(c, input, "random 500000");
}

TEST(DeflateEntry, OnlyTheFirstBlockDecidesTextOrBinary) {
    TDeflater deflater;
    const Bytes text = test::MakeText(200000, 14);
    const Bytes binary = test::MakeBinary(200000, 15);
    EXPECT_EQ(Compress(deflater, Concat(text, binary), 5).result.internalAttributes, 1);
    EXPECT_EQ(Compress(deflater, Concat(binary, text), 5).result.internalAttributes, 0);
}

TEST(DeflateEntry, OutputGoesOutInPiecesOfAtMostOneKiB) {
    const Bytes input = test::MakeText(300000, 16);
    MemorySource source(input);
    MemorySink sink;
    TDeflater().Deflate(source, sink, 5);
    EXPECT_LE(sink.largestWrite, 1024u);
    EXPECT_GT(sink.writes, sink.bytes.size() / 1024);
}

TEST(DeflateEntry, RejectsLevelsOutsideOneToNine) {
    TDeflater deflater;
    for (int level : {-1, 0, 10}) {
        MemorySource source(Bytes{1, 2, 3});
        MemorySink sink;
        EXPECT_THROW(deflater.Deflate(source, sink, level), std::invalid_argument) << level;
    }
}

// One object compresses entry after entry; nothing of one entry may leak
// into the next, not even after an entry was abandoned halfway. Small
// entries, which share their text here, have their chains cleared one by
// one, large ones all at once.
TEST(DeflateReuse, LaterEntriesDoNotDependOnEarlierOnes) {
    const std::vector<std::pair<Bytes, Bytes>> runs = {
        {test::MakeText(150000, 17),
         Concat(test::MakeBinary(90000, 18), test::MakeText(20000, 17))},
        {test::MakeText(4000, 17), test::MakeText(2500, 17)},
        {test::MakeText(300, 17), test::MakeText(2500, 17)},
    };
    for (const auto& [first, second] : runs) {
        for (int level : {1, 5, 9}) {
            TDeflater fresh;
            const Bytes expected = Compress(fresh, second, level).bytes;

            TDeflater reused;
            Compress(reused, first, level);
            EXPECT_EQ(Compress(reused, second, level).bytes, expected) << level;

            class FailingSink : public TDeflateSink {
            public:
                void Write(const std::uint8_t*, std::size_t) override {
                    throw std::runtime_error("disk full");
                }
            } failing;
            MemorySource source(first);
            EXPECT_THROW(reused.Deflate(source, failing, level), std::runtime_error);
            EXPECT_EQ(Compress(reused, second, level).bytes, expected) << level;
        }
    }
}

// Same algorithm family and parameters as zlib at the same level: the output
// should be about as small.
TEST(DeflateRatio, SizesStayCloseToZlibAtTheSameLevel) {
    const Bytes text = test::MakeText(2 << 20, 19);
    const Bytes binary = test::MakeBinary(2 << 20, 20);
    TDeflater deflater;
    for (int level : {1, 3, 5, 6, 9}) {
        for (const Bytes* input : {&text, &binary}) {
            const double ours = double(Compress(deflater, *input, level).bytes.size());
            const double zlib = double(test::ZlibDeflateRaw(*input, level).size());
            EXPECT_LT(ours, zlib * 1.02)
                << "level " << level << (input == &text ? " text" : " binary");
        }
    }
}

// The match finder keeps links several steps on and hashes strings ahead of
// the parse only to find the same matches sooner: at every level the streams
// must stay those of a plain walk along each hash chain, which these
// fingerprints (FNV-1a over the streams of all samples and of one piece
// with history) were taken from. A change meant to alter the output updates
// them.
TEST(DeflateRatio, StreamsStayThoseOfAPlainChainWalk) {
    // Level 0 is the writer's (stored), never the compressor's.
    const std::uint64_t expected[kMaxDeflateLevel + 1] = {0,
                                                          0x7FAC11CDE6C32277,
                                                          0xD4CA32B5A2CF4BDC,
                                                          0x7BE65BC3A6F5194E,
                                                          0x5A33170250DB830F,
                                                          0x15CD5B1052DE8443,
                                                          0xD827D4E02A963F54,
                                                          0x528F22D9CFC35C46,
                                                          0xB01A97C91D7E6052,
                                                          0x88F8519D08EA2655};
    // A piece after the first starts with its history already hashed.
    const Bytes text = test::MakeText(150000, 11);
    const Bytes rest(text.begin() + long(kDeflateHistory), text.end());
    TDeflater deflater;
    for (int level = kMinDeflateLevel; level <= kMaxDeflateLevel; ++level) {
        std::uint64_t fingerprint = 0xCBF29CE484222325ull;
        const auto add = [&](const Bytes& stream) {
            for (const std::uint8_t byte : stream) {
                fingerprint = (fingerprint ^ byte) * 0x100000001B3ull;
            }
        };
        for (const Sample& sample : Samples()) {
            add(Compress(deflater, sample.make(), level).bytes);
        }
        TDeflatePiece piece;
        piece.history = text.data();
        piece.historySize = kDeflateHistory;
        MemorySource source(rest, SIZE_MAX);
        MemorySink sink;
        deflater.Deflate(source, sink, level, piece);
        add(sink.bytes);
        EXPECT_EQ(fingerprint, expected[level]) << "level " << level;
    }
}

// Pieces deflated apart, each after the first with the 32 KiB before it as
// history, concatenate into one stream that zlib and our inflate read back
// whole; one piece with no history comes out exactly as the whole input.
TEST(DeflatePieces, ConcatenatedPiecesInflateToTheWhole) {
    const Bytes input = Concat(Concat(test::MakeText(700000, 7), test::MakeBinary(500000, 8)),
                               test::MakeRandomBytes(90000, 9));
    TDeflater deflater;
    for (const std::size_t pieceSize : {std::size_t(1), std::size_t(40000), std::size_t(262144)}) {
        for (const int level : {1, 5, 9}) {
            const std::size_t size = pieceSize == 1 ? 5000 : input.size();
            Compressed joined;
            for (std::size_t pos = 0; pos < size; pos += pieceSize) {
                const std::size_t n = std::min(pieceSize, size - pos);
                const std::size_t history = std::min<std::size_t>(pos, kDeflateHistory);
                TDeflatePiece piece;
                piece.history = input.data() + pos - history;
                piece.historySize = history;
                piece.last = pos + n == size;
                const Bytes part(input.begin() + long(pos), input.begin() + long(pos + n));
                MemorySource source(part, SIZE_MAX);
                MemorySink sink;
                const auto result = deflater.Deflate(source, sink, level, piece);
                EXPECT_EQ(result.method, 8) << "a piece is never stored without framing";
                if (!piece.last) {
                    ASSERT_GE(sink.bytes.size(), 5u);
                    EXPECT_TRUE(Bytes(sink.bytes.end() - 4, sink.bytes.end()) ==
                                (Bytes{0, 0, 0xFF, 0xFF}))
                        << "a piece ends with an empty stored block";
                }
                joined.bytes.insert(joined.bytes.end(), sink.bytes.begin(), sink.bytes.end());
            }
            joined.result.compressedSize = joined.bytes.size();
            ExpectRoundTrip(joined, Bytes(input.begin(), input.begin() + long(size)),
                            "pieces of " + std::to_string(pieceSize) + " at level " +
                                std::to_string(level));
        }
    }
    const Bytes small = test::MakeText(50000, 10);
    MemorySource source(small, SIZE_MAX);
    MemorySink sink;
    deflater.Deflate(source, sink, 5, TDeflatePiece{});
    EXPECT_TRUE(sink.bytes == Compress(deflater, small, 5).bytes);
}

// The history is what makes later pieces as small as the whole: with it,
// 1 MiB pieces cost well under half a percent.
TEST(DeflatePieces, MegabytePiecesCostUnderHalfAPercent) {
    const Bytes input = Concat(test::MakeText(3u << 20, 11), test::MakeBinary(3u << 20, 12));
    TDeflater deflater;
    const std::size_t whole = Compress(deflater, input, 5).bytes.size();
    std::size_t pieces = 0;
    constexpr std::size_t kPiece = 1 << 20;
    for (std::size_t pos = 0; pos < input.size(); pos += kPiece) {
        const std::size_t history = std::min<std::size_t>(pos, kDeflateHistory);
        TDeflatePiece piece{input.data() + pos - history, history, pos + kPiece >= input.size()};
        const Bytes part(input.begin() + long(pos),
                         input.begin() + long(std::min(pos + kPiece, input.size())));
        MemorySource source(part, SIZE_MAX);
        MemorySink sink;
        deflater.Deflate(source, sink, 5, piece);
        pieces += sink.bytes.size();
    }
    EXPECT_LT(double(pieces), double(whole) * 1.005) << pieces << " against " << whole;
}

} // namespace
} // namespace mzb
