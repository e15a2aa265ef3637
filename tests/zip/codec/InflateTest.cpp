#include "zip/codec/inflate/Inflate.h"

#include "support/BitWriter.h"
#include "support/MemoryDecoderIO.h"
#include "zip/base/ZipError.h"

#include <array>
#include <functional>
#include <gtest/gtest.h>
#include <random>
#include <string>
#include <vector>
#include <zlib.h>

namespace mzb {
namespace {

using test::BitWriter;
using test::MemoryInput;
using test::MemoryOutput;
using Bytes = std::vector<std::uint8_t>;

Bytes ZlibDeflate(const Bytes& data, int level, int strategy = Z_DEFAULT_STRATEGY) {
    z_stream z{};
    EXPECT_EQ(deflateInit2(&z, level, Z_DEFLATED, -15, 8, strategy), Z_OK);
    Bytes out(deflateBound(&z, data.size()) + 16);
    z.next_in = const_cast<Bytef*>(data.data());
    z.avail_in = static_cast<uInt>(data.size());
    z.next_out = out.data();
    z.avail_out = static_cast<uInt>(out.size());
    EXPECT_EQ(deflate(&z, Z_FINISH), Z_STREAM_END);
    out.resize(z.total_out);
    deflateEnd(&z);
    return out;
}

// Text-like data with repeats near and far, some noise and long runs.
Bytes Sample(std::size_t size, unsigned seed) {
    std::mt19937 rng(seed);
    static const std::array<std::string, 8> words = {"backup ",   "archive ", "the ",   "zip ",
                                                     "restore\n", "of ",      "entry ", "window "};
    Bytes out;
    out.reserve(size);
    while (out.size() < size) {
        switch (rng() % 8) {
        case 0:
            out.push_back(static_cast<std::uint8_t>(rng()));
            break;
        case 1:
            out.insert(out.end(), rng() % 300, static_cast<std::uint8_t>(rng()));
            break;
        default: {
            const std::string& w = words[rng() % words.size()];
            out.insert(out.end(), w.begin(), w.end());
        }
        }
    }
    out.resize(size);
    return out;
}

struct Decoded {
    TDecodeResult Result;
    Bytes Output;
};

Decoded Decode(TInflater& inflater, const Bytes& stream, std::size_t piece = SIZE_MAX) {
    MemoryInput in(stream, piece);
    MemoryOutput out;
    const TDecodeResult r = inflater.Inflate(in, out);
    EXPECT_LE(out.LargestBlock, kMaxDecodedBlock);
    EXPECT_EQ(out.EmptyBlocks, 0u);
    return {r, std::move(out.Bytes)};
}

Decoded Decode(const Bytes& stream, std::size_t piece = SIZE_MAX) {
    TInflater inflater;
    return Decode(inflater, stream, piece);
}

// ===== Round trips against zlib's encoder =====

TEST(Inflate, RoundTripsZlibStreamsOfManySizesLevelsAndFeedPieces) {
    TInflater inflater; // one object for every entry, as in a run
    const std::size_t sizes[] = {0, 1, 258, 32767, 32768, 32769, 65536, 65537, 200000};
    const int levels[] = {0, 1, 6, 9};
    for (std::size_t size : sizes) {
        const Bytes data = Sample(size, static_cast<unsigned>(size));
        for (int level : levels) {
            const Bytes stream = ZlibDeflate(data, level);
            for (std::size_t piece :
                 {std::size_t{1}, std::size_t{31}, std::size_t{4096}, SIZE_MAX}) {
                if (piece == 1 && size > 70000) {
                    continue; // byte-wise feeding of large inputs only costs time
                }
                SCOPED_TRACE("size " + std::to_string(size) + " level " + std::to_string(level) +
                             " piece " + std::to_string(piece));
                const Decoded d = Decode(inflater, stream, piece);
                ASSERT_EQ(d.Result, TDecodeResult::Complete);
                ASSERT_EQ(d.Output, data);
            }
        }
    }
}

TEST(Inflate, RoundTripsEveryEncoderStrategy) {
    const Bytes data = Sample(150000, 7);
    for (int strategy : {Z_FILTERED, Z_HUFFMAN_ONLY, Z_RLE, Z_FIXED}) {
        SCOPED_TRACE(strategy);
        const Decoded d = Decode(ZlibDeflate(data, 6, strategy), 4096);
        ASSERT_EQ(d.Result, TDecodeResult::Complete);
        EXPECT_EQ(d.Output, data);
    }
}

TEST(Inflate, RoundTripsIncompressibleAndLongRunData) {
    std::mt19937 rng(3);
    Bytes noise(100000);
    for (auto& b : noise) {
        b = static_cast<std::uint8_t>(rng());
    }
    const Bytes zeros(1 << 20, 0);
    for (const Bytes* data : std::initializer_list<const Bytes*>{&noise, &zeros}) {
        const Decoded d = Decode(ZlibDeflate(*data, 9), 31);
        ASSERT_EQ(d.Result, TDecodeResult::Complete);
        EXPECT_EQ(d.Output, *data);
    }
}

TEST(Inflate, CopiesOverlappingMatchesOfEveryShortDistanceAndLength) {
    // Each run repeats fresh random bytes with one period, so the encoder's
    // matches have that distance and the run's length, short runs included.
    std::mt19937 rng(11);
    for (unsigned period = 1; period <= 17; ++period) {
        Bytes data;
        for (unsigned run = 3; run <= 258; run += run < 40 ? 1 : 31) {
            const std::size_t start = data.size();
            for (unsigned i = 0; i < period; ++i) {
                data.push_back(static_cast<std::uint8_t>(rng()));
            }
            for (unsigned i = 0; i < run; ++i) {
                data.push_back(data[start + i]);
            }
        }
        SCOPED_TRACE(period);
        const Decoded d = Decode(ZlibDeflate(data, 9));
        ASSERT_EQ(d.Result, TDecodeResult::Complete);
        EXPECT_EQ(d.Output, data);
    }
}

// ===== Hand-built streams =====

// Fixed-code writers (RFC 1951, 3.2.6).
void FixedLiteral(BitWriter& w, unsigned symbol) {
    if (symbol < 144) {
        w.Code(0x30 + symbol, 8);
    } else if (symbol < 256) {
        w.Code(0x190 + symbol - 144, 9);
    } else if (symbol < 280) {
        w.Code(symbol - 256, 7);
    } else {
        w.Code(0xC0 + symbol - 280, 8);
    }
}

std::vector<std::uint32_t> CanonicalCodes(const std::vector<std::uint8_t>& lengths) {
    std::array<unsigned, 17> count{};
    for (auto l : lengths) {
        ++count[l];
    }
    count[0] = 0;
    std::array<std::uint32_t, 17> next{};
    for (unsigned len = 1, code = 0; len <= 16; ++len) {
        code = (code + count[len - 1]) << 1;
        next[len] = code;
    }
    std::vector<std::uint32_t> codes(lengths.size());
    for (std::size_t s = 0; s < lengths.size(); ++s) {
        if (lengths[s] != 0) {
            codes[s] = next[lengths[s]]++;
        }
    }
    return codes;
}

// A dynamic block header. The code-length code gives symbols 0-13 four bits
// and 15-18 five bits (a complete code); the code lengths are then written as
// the symbols in `sequence` (each followed by its extra bits).
struct CodeLenSymbol {
    unsigned Symbol;
    std::uint32_t Extra = 0;
};

void DynamicHeader(BitWriter& w, bool last, unsigned nLitLen, unsigned nDist,
                   const std::vector<CodeLenSymbol>& sequence,
                   std::vector<std::uint8_t> codeLenLengths = {}) {
    static const unsigned order[19] = {16, 17, 18, 0, 8,  7, 9,  6, 10, 5,
                                       11, 4,  12, 3, 13, 2, 14, 1, 15};
    if (codeLenLengths.empty()) {
        codeLenLengths.assign(19, 4);
        codeLenLengths[14] = 0;
        for (unsigned s : {15, 16, 17, 18}) {
            codeLenLengths[s] = 5;
        }
    }
    w.Bits(last ? 1 : 0, 1).Bits(2, 2).Bits(nLitLen - 257, 5).Bits(nDist - 1, 5).Bits(19 - 4, 4);
    for (unsigned i = 0; i < 19; ++i) {
        w.Bits(codeLenLengths[order[i]], 3);
    }
    const auto codes = CanonicalCodes(codeLenLengths);
    for (const auto& s : sequence) {
        w.Code(codes[s.Symbol], codeLenLengths[s.Symbol]);
        if (s.Symbol == 16) {
            w.Bits(s.Extra, 2);
        } else if (s.Symbol == 17) {
            w.Bits(s.Extra, 3);
        } else if (s.Symbol == 18) {
            w.Bits(s.Extra, 7);
        }
    }
}

// Code lengths written one symbol each (none may be 14, which the header's
// code-length code leaves out).
std::vector<CodeLenSymbol> Literally(const std::vector<std::uint8_t>& lengths) {
    std::vector<CodeLenSymbol> seq;
    for (auto l : lengths) {
        seq.push_back({l});
    }
    return seq;
}

// Literal/length lengths with 'a' and 256 and 257 (length 3) at 1, 2, 2 bits.
std::vector<std::uint8_t> SmallLitLen() {
    std::vector<std::uint8_t> l(258, 0);
    l['a'] = 1;
    l[256] = 2;
    l[257] = 2;
    return l;
}

std::vector<std::uint8_t> Concat(std::vector<std::uint8_t> a, const std::vector<std::uint8_t>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// Writes "a", a match of 3 at distance 1 with distance code dsym, end of block.
void SmallBody(BitWriter& w, const std::vector<std::uint8_t>& dist, unsigned dsym) {
    const auto lit = CanonicalCodes(SmallLitLen());
    const auto dc = CanonicalCodes(dist);
    w.Code(lit['a'], 1).Code(lit[257], 2).Code(dc[dsym], dist[dsym]).Code(lit[256], 2);
}

struct StreamCase {
    const char* What;
    std::function<Bytes()> Make;
    TDecodeResult Expected;
    std::string Output; // checked when Expected is Complete
};

Bytes Stored(std::uint32_t len, std::uint32_t nlen, const std::string& payload, bool last = true) {
    BitWriter w;
    w.Bits(last ? 1 : 0, 1).Bits(0, 2).Align().Bits(len, 16).Bits(nlen, 16);
    for (char c : payload) {
        w.Byte(static_cast<std::uint8_t>(c));
    }
    return w.Bytes();
}

const StreamCase kStreamCases[] = {
    {"empty input", [] { return Bytes{}; }, TDecodeResult::DataError, ""},
    {"block type 3", [] { return BitWriter().Bits(1, 1).Bits(3, 2).Bytes(); },
     TDecodeResult::DataError, ""},
    {"stored block", [] { return Stored(3, 0xFFFC, "abc"); }, TDecodeResult::Complete, "abc"},
    {"empty stored block", [] { return Stored(0, 0xFFFF, ""); }, TDecodeResult::Complete, ""},
    {"stored length not the complement", [] { return Stored(3, 0xFFFD, "abc"); },
     TDecodeResult::DataError, ""},
    {"stored block cut short", [] { return Stored(10, 0xFFF5, "abc"); }, TDecodeResult::DataError,
     ""},
    {"stored length field cut short",
     [] {
         return Bytes{0x01, 0x03, 0x00, 0xFC};
     },
     TDecodeResult::DataError, ""},
    {"non-final block, then nothing", [] { return Stored(1, 0xFFFE, "x", false); },
     TDecodeResult::DataError, ""},
    {"fixed block: literal and end",
     [] {
         BitWriter w;
         w.Bits(1, 1).Bits(1, 2);
         FixedLiteral(w, 'h');
         FixedLiteral(w, 0xE9);
         FixedLiteral(w, 256);
         return w.Bytes();
     },
     TDecodeResult::Complete, "h\xE9"},
    {"fixed block: match before the entry's first byte",
     [] {
         BitWriter w;
         w.Bits(1, 1).Bits(1, 2);
         FixedLiteral(w, 'a');
         FixedLiteral(w, 257);
         w.Code(1, 5); // distance 2
         FixedLiteral(w, 256);
         return w.Bytes();
     },
     TDecodeResult::DataError, ""},
    {"fixed block: overlapping match",
     [] {
         BitWriter w;
         w.Bits(1, 1).Bits(1, 2);
         FixedLiteral(w, 'a');
         FixedLiteral(w, 'b');
         FixedLiteral(w, 258); // length 4
         w.Code(1, 5);         // distance 2
         FixedLiteral(w, 256);
         return w.Bytes();
     },
     TDecodeResult::Complete, "ababab"},
    {"fixed block: distance code 30",
     [] {
         BitWriter w;
         w.Bits(1, 1).Bits(1, 2);
         FixedLiteral(w, 'a');
         FixedLiteral(w, 257);
         w.Code(30, 5);
         FixedLiteral(w, 256);
         return w.Bytes();
     },
     TDecodeResult::DataError, ""},
    {"fixed block: length code 286",
     [] {
         BitWriter w;
         w.Bits(1, 1).Bits(1, 2);
         FixedLiteral(w, 'a');
         FixedLiteral(w, 286);
         return w.Bytes();
     },
     TDecodeResult::DataError, ""},
    {"fixed block without its end code",
     [] {
         BitWriter w;
         w.Bits(1, 1).Bits(1, 2);
         FixedLiteral(w, 'a');
         return w.Bytes();
     },
     TDecodeResult::DataError, ""},
    {"bytes after the final block are ignored",
     [] {
         return Concat(Stored(2, 0xFFFD, "ok"), {0xDE, 0xAD, 0xBE, 0xEF});
     },
     TDecodeResult::Complete, "ok"},
    {"dynamic block with a single distance code of length 1",
     [] {
         BitWriter w;
         const std::vector<std::uint8_t> dist = {1};
         DynamicHeader(w, true, 258, 1, Literally(Concat(SmallLitLen(), dist)));
         SmallBody(w, dist, 0);
         return w.Bytes();
     },
     TDecodeResult::Complete, "aaaa"},
    {"dynamic block with an incomplete distance code of 2-bit codes",
     [] {
         BitWriter w;
         const std::vector<std::uint8_t> dist = {2, 2};
         DynamicHeader(w, true, 258, 2, Literally(Concat(SmallLitLen(), dist)));
         SmallBody(w, dist, 0);
         return w.Bytes();
     },
     TDecodeResult::DataError, ""},
    {"dynamic block without distance codes, literals only",
     [] {
         BitWriter w;
         DynamicHeader(w, true, 258, 1, Literally(Concat(SmallLitLen(), {0})));
         const auto lit = CanonicalCodes(SmallLitLen());
         w.Code(lit['a'], 1).Code(lit['a'], 1).Code(lit[256], 2);
         return w.Bytes();
     },
     TDecodeResult::Complete, "aa"},
    {"dynamic block with 287 literal/length codes",
     [] {
         BitWriter w;
         auto lit = SmallLitLen();
         lit.resize(287, 0);
         DynamicHeader(w, true, 287, 1, Literally(Concat(lit, {1})));
         return w.Bytes();
     },
     TDecodeResult::DataError, ""},
    {"dynamic block with 31 distance codes",
     [] {
         BitWriter w;
         DynamicHeader(w, true, 258, 31,
                       Literally(Concat(SmallLitLen(), std::vector<std::uint8_t>(31, 5))));
         return w.Bytes();
     },
     TDecodeResult::DataError, ""},
    {"over-subscribed code-length code",
     [] {
         BitWriter w;
         DynamicHeader(w, true, 258, 1, {}, std::vector<std::uint8_t>(19, 1));
         return w.Bytes();
     },
     TDecodeResult::DataError, ""},
    {"incomplete code-length code",
     [] {
         BitWriter w;
         std::vector<std::uint8_t> cl(19, 0);
         cl[1] = cl[2] = 2;
         DynamicHeader(w, true, 258, 1, {}, cl);
         return w.Bytes();
     },
     TDecodeResult::DataError, ""},
    {"repeat code 16 with nothing to repeat",
     [] {
         BitWriter w;
         DynamicHeader(w, true, 258, 1, {{16, 0}});
         return w.Bytes();
     },
     TDecodeResult::DataError, ""},
    {"zero run past the end of the lengths",
     [] {
         BitWriter w;
         std::vector<CodeLenSymbol> seq = {{18, 127}, {18, 127}, {18, 127}};
         DynamicHeader(w, true, 258, 1, seq);
         return w.Bytes();
     },
     TDecodeResult::DataError, ""},
    {"repeat runs from literal/length into distance lengths",
     [] {
         BitWriter w;
         // 'a'=1 ... 256=2, 257=2, then 16 repeats the 2 into distance codes 0-2
         // (three 2-bit codes plus a fourth written literally: complete).
         std::vector<CodeLenSymbol> seq = {
             {18, 'a' - 11}, {1}, {18, 127}, {18, 256 - 'a' - 1 - 138 - 11}, {2}, {2},
             {16, 0},        {2}};
         DynamicHeader(w, true, 258, 4, seq);
         SmallBody(w, {2, 2, 2, 2}, 0);
         return w.Bytes();
     },
     TDecodeResult::Complete, "aaaa"},
    {"incomplete literal/length code",
     [] {
         BitWriter w;
         auto lit = SmallLitLen();
         lit[257] = 3;
         DynamicHeader(w, true, 258, 1, Literally(Concat(lit, {1})));
         return w.Bytes();
     },
     TDecodeResult::DataError, ""},
    {"over-subscribed literal/length code",
     [] {
         BitWriter w;
         auto lit = SmallLitLen();
         lit['b'] = 1;
         DynamicHeader(w, true, 258, 1, Literally(Concat(lit, {1})));
         return w.Bytes();
     },
     TDecodeResult::DataError, ""},
    {"literal/length code without an end-of-block code",
     [] {
         BitWriter w;
         auto lit = SmallLitLen();
         lit[256] = 0;
         lit['b'] = 2;
         DynamicHeader(w, true, 258, 1, Literally(Concat(lit, {1})));
         return w.Bytes();
     },
     TDecodeResult::DataError, ""},
    {"dynamic header cut short",
     [] {
         BitWriter w;
         DynamicHeader(w, true, 258, 1, Literally({0, 0, 0}));
         return w.Bytes();
     },
     TDecodeResult::DataError, ""},
};

TEST(Inflate, HandBuiltStreams) {
    for (const StreamCase& c : kStreamCases) {
        SCOPED_TRACE(c.What);
        const Bytes stream = c.Make();
        for (std::size_t piece : {std::size_t{1}, SIZE_MAX}) {
            const Decoded d = Decode(stream, piece);
            EXPECT_EQ(d.Result, c.Expected);
            if (c.Expected == TDecodeResult::Complete) {
                EXPECT_EQ(std::string(d.Output.begin(), d.Output.end()), c.Output);
            }
        }
    }
}

// ===== Ends of input, entries and output =====

TEST(Inflate, EveryTruncationEndsAsDataError) {
    const Bytes data = Sample(20000, 11);
    for (int level : {0, 6}) {
        const Bytes stream = ZlibDeflate(data, level);
        TInflater inflater;
        for (std::size_t cut = 0; cut < stream.size(); ++cut) {
            const Bytes prefix(stream.begin(), stream.begin() + cut);
            const Decoded d = Decode(inflater, prefix, 4096);
            ASSERT_EQ(d.Result, TDecodeResult::DataError) << "cut at " << cut;
            ASSERT_LE(d.Output.size(), data.size());
        }
    }
}

TEST(Inflate, LastBlockEndingOnAWindowBoundaryWritesEachByteOnce) {
    for (std::size_t size : {32768u, 65536u, 98304u, 262144u, 294912u, 327680u}) {
        const Bytes data = Sample(size, 5);
        const Bytes stream = ZlibDeflate(data, 6);
        MemoryInput in(stream);
        MemoryOutput out;
        TInflater inflater;
        ASSERT_EQ(inflater.Inflate(in, out), TDecodeResult::Complete);
        EXPECT_EQ(out.Bytes, data);
        EXPECT_EQ(out.EmptyBlocks, 0u);
    }
}

TEST(Inflate, NoBytesCrossFromOneEntryToTheNext) {
    TInflater inflater;
    const Bytes first = Sample(40000, 1);
    ASSERT_EQ(Decode(inflater, ZlibDeflate(first, 6)).Result, TDecodeResult::Complete);
    // A literal then a match reaching 100 bytes back: the previous entry's
    // bytes are still in the window, yet must not be reached.
    BitWriter w;
    w.Bits(1, 1).Bits(1, 2);
    FixedLiteral(w, 'z');
    FixedLiteral(w, 257);
    w.Code(13, 5).Bits(100 - 97, 5); // distance code 13: 97 + 5 extra bits
    FixedLiteral(w, 256);
    const Decoded d = Decode(inflater, w.Bytes());
    EXPECT_EQ(d.Result, TDecodeResult::DataError);
    EXPECT_TRUE(d.Output.empty());
}

TEST(Inflate, StopsAtTheSinksSizeLimitAndReportsADataError) {
    const Bytes data(1 << 20, 'x');
    const Bytes stream = ZlibDeflate(data, 9);
    MemoryInput in(stream);
    MemoryOutput out(100000);
    TInflater inflater;
    EXPECT_EQ(inflater.Inflate(in, out), TDecodeResult::DataError);
    EXPECT_LE(out.Bytes.size(), 100000u);
    // The object is fit for the next entry.
    EXPECT_EQ(Decode(inflater, stream).Output, data);
}

TEST(Inflate, InputErrorsBecomeDataErrorsButCancellationPassesThrough) {
    struct Failing : TDecoderInput {
        bool Cancel;
        explicit Failing(bool cancel) : Cancel(cancel) {}
        std::size_t Read(std::uint8_t*, std::size_t) override {
            if (Cancel) {
                throw EUserCanceled("User Aborted Operation");
            }
            throw EFatalUnzipError("Premature end of file reached");
        }
    };
    TInflater inflater;
    MemoryOutput out;
    Failing truncated(false);
    EXPECT_EQ(inflater.Inflate(truncated, out), TDecodeResult::DataError);
    Failing canceled(true);
    EXPECT_THROW(inflater.Inflate(canceled, out), EUserCanceled);
}

TEST(Inflate, AsksForNoMoreInputAfterTheSourceIsUsedUp) {
    // A source says "used up" once; asking again would mean the decoder
    // spins on an exhausted entry.
    const Bytes stream = ZlibDeflate(Sample(5000, 2), 6);
    MemoryInput in(stream, 100);
    MemoryOutput out;
    TInflater inflater;
    ASSERT_EQ(inflater.Inflate(in, out), TDecodeResult::Complete);
    EXPECT_LE(in.Calls(), stream.size() / 100 + 2);
}

} // namespace
} // namespace mzb
