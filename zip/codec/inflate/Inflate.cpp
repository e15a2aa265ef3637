#include "zip/codec/inflate/Inflate.h"

#include "zip/base/ZipError.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>

namespace mzb {
namespace {

static_assert(std::endian::native == std::endian::little,
              "the bit reader loads input words little-endian");

// ===== Format constants (RFC 1951, 3.2.5 and 3.2.7) =====

constexpr unsigned kLitLenSymbols = 288;
constexpr unsigned kDistSymbols = 32;
constexpr unsigned kCodeLenSymbols = 19;
constexpr unsigned kEndOfBlock = 256;

constexpr std::array<std::uint16_t, 29> kLengthBase = {3,  4,  5,  6,   7,   8,   9,   10,  11, 13,
                                                       15, 17, 19, 23,  27,  31,  35,  43,  51, 59,
                                                       67, 83, 99, 115, 131, 163, 195, 227, 258};
constexpr std::array<std::uint8_t, 29> kLengthExtra = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2,
                                                       2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
constexpr std::array<std::uint16_t, 30> kDistBase = {
    1,   2,   3,   4,   5,   7,    9,    13,   17,   25,   33,   49,   65,    97,    129,
    193, 257, 385, 513, 769, 1025, 1537, 2049, 3073, 4097, 6145, 8193, 12289, 16385, 24577};
constexpr std::array<std::uint8_t, 30> kDistExtra = {0, 0, 0,  0,  1,  1,  2,  2,  3,  3,
                                                     4, 4, 5,  5,  6,  6,  7,  7,  8,  8,
                                                     9, 9, 10, 10, 11, 11, 12, 12, 13, 13};
constexpr std::array<std::uint8_t, kCodeLenSymbols> kCodeLenOrder = {
    16, 17, 18, 0, 8, 7, 9, 6, 10, 5, 11, 4, 12, 3, 13, 2, 14, 1, 15};

// First-level widths. 11 bits resolve nearly every literal/length code of
// real data at once and 8 bits nearly every distance code, while the
// tables stay small enough to rebuild for every dynamic block.
constexpr unsigned kLitLenBits = 11;
constexpr unsigned kDistBits = 8;
constexpr unsigned kCodeLenBits = 7;
constexpr unsigned kMaxCodeLength = 15;
constexpr std::size_t kLitLenCapacity =
    HuffmanTableCapacity(kLitLenSymbols, kLitLenBits, kMaxCodeLength);
constexpr std::size_t kDistCapacity = HuffmanTableCapacity(kDistSymbols, kDistBits, kMaxCodeLength);
// A table pair: the literal/length table, then the distance table.
constexpr std::size_t kDistOffset = kLitLenCapacity;
constexpr std::size_t kPairCapacity = kLitLenCapacity + kDistCapacity;

constexpr std::array<std::uint32_t, kLitLenSymbols> MakeLitLenTemplates() {
    std::array<std::uint32_t, kLitLenSymbols> t{};
    for (unsigned s = 0; s < 256; ++s) {
        t[s] = HuffEntry(kHuffLiteral, 0, s);
    }
    t[kEndOfBlock] = HuffEntry(kHuffEnd, 0, 0);
    for (unsigned s = 257; s < 286; ++s) {
        t[s] = HuffEntry(0, kLengthExtra[s - 257], kLengthBase[s - 257]);
    }
    t[286] = t[287] = kHuffInvalid;
    return t;
}
constexpr std::array<std::uint32_t, kDistSymbols> MakeDistTemplates() {
    std::array<std::uint32_t, kDistSymbols> t{};
    for (unsigned s = 0; s < 30; ++s) {
        t[s] = HuffEntry(0, kDistExtra[s], kDistBase[s]);
    }
    t[30] = t[31] = kHuffInvalid;
    return t;
}
constexpr std::array<std::uint32_t, kCodeLenSymbols> MakeCodeLenTemplates() {
    std::array<std::uint32_t, kCodeLenSymbols> t{};
    for (unsigned s = 0; s < kCodeLenSymbols; ++s) {
        t[s] = HuffEntry(0, 0, s);
    }
    return t;
}
constexpr auto kLitLenTemplates = MakeLitLenTemplates();
constexpr auto kDistTemplates = MakeDistTemplates();
constexpr auto kCodeLenTemplates = MakeCodeLenTemplates();

// For a match distance below 8: its smallest multiple of at least 8.
constexpr std::array<std::uint8_t, 8> kWordPeriod = {0, 0, 8, 9, 8, 10, 12, 14};

// A damaged or truncated stream; caught in Inflate and never seen outside.
struct TStreamError {};

// Input bytes kept buffered before the decoder asks the source again.
constexpr std::size_t kRefillWant = 64;

inline std::uint64_t Load64(const std::uint8_t* p) {
    std::uint64_t v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

inline std::uint64_t LowBits(std::uint64_t v, unsigned n) {
    return v & ((std::uint64_t{1} << n) - 1);
}

} // namespace

TInflater::TInflater()
    : entries_(new std::uint32_t[2 * kPairCapacity]), dynamicTables_(entries_.get()),
      fixedTables_(entries_.get() + kPairCapacity) {
    std::array<std::uint8_t, kLitLenSymbols> lengths;
    std::fill(lengths.begin(), lengths.begin() + 144, 8);
    std::fill(lengths.begin() + 144, lengths.begin() + 256, 9);
    std::fill(lengths.begin() + 256, lengths.begin() + 280, 7);
    std::fill(lengths.begin() + 280, lengths.end(), 8);
    THuffmanTable fixedLitLen{fixedTables_, 0};
    BuildHuffmanTable(fixedLitLen, kLitLenBits, lengths.data(), nullptr, kLitLenSymbols,
                      kLitLenTemplates.data());
    // 30 codes of 5 bits leave two codes unused: they decode as invalid.
    std::fill(lengths.begin(), lengths.begin() + 30, 5);
    THuffmanTable fixedDist{fixedTables_ + kDistOffset, 0};
    BuildHuffmanTable(fixedDist, kDistBits, lengths.data(), nullptr, 30, kDistTemplates.data());
}

// ===== Bit reader =====

// Called once in_ has passed inLimit_: buffers more input, or, with the
// source used up, rewinds in_ over the pad (all of it is zeros) and checks
// that no pad bit has been consumed yet.
void TInflater::TopUp() {
    if (!input_.AtEnd()) {
        in_ = input_.Refill(in_, kRefillWant);
        inLimit_ = input_.AtEnd() ? input_.End() : input_.End() - 16;
    }
    if (input_.AtEnd()) {
        if (in_ > input_.End()) {
            padLoaded_ += static_cast<std::size_t>(in_ - input_.End());
            in_ = input_.End();
        }
        if (ConsumedPastEnd()) {
            throw TStreamError{};
        }
    }
}

bool TInflater::ConsumedPastEnd() const {
    if (!input_.AtEnd()) {
        return false;
    }
    const std::size_t pad =
        padLoaded_ + (in_ > input_.End() ? static_cast<std::size_t>(in_ - input_.End()) : 0);
    // Pad bits are the most recently loaded ones, so they are the last to go.
    return pad * 8 > count_;
}

inline void TInflater::Fill() {
    if (in_ > inLimit_) {
        TopUp();
    }
    bits_ |= Load64(in_) << count_;
    in_ += (63 - count_) >> 3;
    count_ |= 56;
}

std::uint32_t TInflater::Take(unsigned n) {
    if (count_ < n) {
        Fill();
    }
    const auto v = static_cast<std::uint32_t>(LowBits(bits_, n));
    bits_ >>= n;
    count_ -= n;
    return v;
}

// ===== Blocks =====

TDecodeResult TInflater::Inflate(TDecoderInput& input, TDecoderOutput& output) {
    sink_ = &output;
    input_.Begin(input);
    pos_ = window_.Begin(false);
    bits_ = 0;
    count_ = 0;
    padLoaded_ = 0;
    in_ = input_.Begin();
    try {
        TopUp();
        DecodeBlocks();
    } catch (const TStreamError&) {
        return TDecodeResult::DataError;
    } catch (const EFatalUnzipError&) {
        return TDecodeResult::DataError;
    } catch (const EBiggerThanUncompressed&) {
        return TDecodeResult::DataError;
    } catch (const ECantWriteUCF&) {
        return TDecodeResult::DataError;
    }
    window_.Finish(pos_, output);
    return TDecodeResult::Complete;
}

void TInflater::DecodeBlocks() {
    bool last = false;
    while (!last) {
        last = Take(1) != 0;
        switch (Take(2)) {
        case 0:
            CopyStoredBlock();
            break;
        case 1:
            DecodeCodes(fixedTables_);
            break;
        case 2:
            ReadDynamicTables();
            DecodeCodes(dynamicTables_);
            break;
        default:
            throw TStreamError{};
        }
    }
    if (ConsumedPastEnd()) {
        throw TStreamError{};
    }
}

void TInflater::CopyStoredBlock() {
    Take(count_ & 7);
    const std::uint32_t len = Take(16);
    const std::uint32_t nlen = Take(16);
    if (len != (~nlen & 0xFFFFu)) {
        throw TStreamError{};
    }
    std::uint32_t left = len;
    std::uint8_t* const base = window_.Data();
    // Whole bytes still in the bit buffer come first.
    while (left > 0 && count_ >= 8) {
        if (pos_ >= TOutputWindow::FullAt()) {
            pos_ = window_.Drain(pos_, *sink_);
        }
        base[pos_++] = static_cast<std::uint8_t>(bits_);
        bits_ >>= 8;
        count_ -= 8;
        --left;
    }
    if (ConsumedPastEnd()) {
        throw TStreamError{};
    }
    if (left == 0) {
        return;
    }
    // The bit buffer is empty and in_ is the next byte: copy straight from
    // the input buffer.
    bits_ = 0;
    while (left > 0) {
        std::size_t avail = in_ < input_.End() ? static_cast<std::size_t>(input_.End() - in_) : 0;
        if (avail == 0) {
            if (input_.AtEnd()) {
                throw TStreamError{};
            }
            TopUp();
            continue;
        }
        if (pos_ >= TOutputWindow::FullAt()) {
            pos_ = window_.Drain(pos_, *sink_);
        }
        const std::size_t n =
            std::min({static_cast<std::size_t>(left), avail, TOutputWindow::FullAt() - pos_});
        std::memcpy(base + pos_, in_, n);
        pos_ += n;
        in_ += n;
        left -= static_cast<std::uint32_t>(n);
    }
}

void TInflater::ReadDynamicTables() {
    const unsigned nLitLen = Take(5) + 257;
    const unsigned nDist = Take(5) + 1;
    const unsigned nCodeLen = Take(4) + 4;
    if (nLitLen > 286 || nDist > 30) {
        throw TStreamError{};
    }

    std::array<std::uint8_t, kCodeLenSymbols> codeLenLengths{};
    for (unsigned i = 0; i < nCodeLen; ++i) {
        codeLenLengths[kCodeLenOrder[i]] = static_cast<std::uint8_t>(Take(3));
    }
    // The code-length code is decoded through the distance table's storage:
    // it is rebuilt below only after the last code length has been read.
    THuffmanTable codeLen{dynamicTables_ + kDistOffset, 0};
    if (BuildHuffmanTable(codeLen, kCodeLenBits, codeLenLengths.data(), nullptr, kCodeLenSymbols,
                          kCodeLenTemplates.data()) != THuffmanBuild::Complete) {
        throw TStreamError{};
    }

    // Literal/length and distance lengths form one sequence: a repeat may run
    // from one into the other.
    std::array<std::uint8_t, 286 + 30> lengths;
    const unsigned total = nLitLen + nDist;
    unsigned n = 0;
    while (n < total) {
        if (count_ < kCodeLenBits + 7) {
            Fill();
        }
        const std::uint32_t e = codeLen.Entries[LowBits(bits_, codeLen.Bits)];
        if (e & kHuffEnd) {
            throw TStreamError{};
        }
        const unsigned len = e & kHuffBitsMask;
        bits_ >>= len;
        count_ -= len;
        const unsigned symbol = e >> 16;
        if (symbol < 16) {
            lengths[n++] = static_cast<std::uint8_t>(symbol);
            continue;
        }
        std::uint8_t value = 0;
        unsigned repeat;
        if (symbol == 16) {
            if (n == 0) {
                throw TStreamError{};
            }
            value = lengths[n - 1];
            repeat = 3 + Take(2);
        } else if (symbol == 17) {
            repeat = 3 + Take(3);
        } else {
            repeat = 11 + Take(7);
        }
        if (repeat > total - n) {
            throw TStreamError{};
        }
        std::fill_n(lengths.begin() + n, repeat, value);
        n += repeat;
    }
    // Without an end-of-block code the block could never end.
    if (lengths[kEndOfBlock] == 0) {
        throw TStreamError{};
    }

    THuffmanTable litLen{dynamicTables_, 0};
    THuffmanTable dist{dynamicTables_ + kDistOffset, 0};
    if (BuildHuffmanTable(litLen, kLitLenBits, lengths.data(), nullptr, nLitLen,
                          kLitLenTemplates.data()) != THuffmanBuild::Complete ||
        BuildHuffmanTable(dist, kDistBits, lengths.data() + nLitLen, nullptr, nDist,
                          kDistTemplates.data()) != THuffmanBuild::Complete) {
        throw TStreamError{};
    }
}

// ===== The decoding loop =====
//
// Entry contract: the table pair at `tables` is built; pos_ < FullAt() + kSlack - 258.
// Each turn starts with at least 56 bits in the bit buffer, which covers a
// whole match: the longest length code with its extra bits (15 + 5) and the
// longest distance code with its extra bits (15 + 13). A turn is a run of
// literals, a match, or a run of literals and then a match: at most two
// refills, which the input limit allows for, and at most 63 + 258 bytes
// (plus a 16-byte copy overshoot) written past FullAt(), which the window's
// slack allows for, before the next turn checks both.
static_assert(TOutputWindow::kSlack >= 63 + 258 + 15, "a turn's writes past FullAt()");
static_assert(TInputBuffer::kPad >= 2 * 8 - 1, "two loads past the end of the input");

void TInflater::DecodeCodes(const std::uint32_t* tables) {
    // Both tables are built at their full widths, so the masks are constants
    // and the loop keeps no register for them.
    constexpr std::uint64_t kLitLenMask = (1u << kLitLenBits) - 1;
    constexpr std::uint64_t kDistMask = (1u << kDistBits) - 1;
    const std::uint32_t* const lt = tables;
    std::uint8_t* const base = window_.Data();
    std::uint8_t* const outFull = base + TOutputWindow::FullAt();
    if (in_ > inLimit_) {
        TopUp();
    }
    // Stores through out may alias any member, so the loop keeps its state in
    // locals and writes it back only around the calls that need it.
    std::uint8_t* out = base + pos_;
    std::uint64_t bb = bits_;
    const std::uint8_t* in = in_;
    const std::uint8_t* inLimit = inLimit_;
    // Only the low byte of bc counts the valid bits of bb: whole entries are
    // subtracted from it (their low byte is what they consume, see
    // HuffmanTable.h), and the borrows that leave in the bits above are never
    // read. The count itself stays within 0..63.
    std::uint32_t bc = count_;
    const auto count = [&] { return bc & 0xFF; };
    const auto consume = [&](std::uint32_t entry) {
        bb >>= entry & 63;
        bc -= entry;
    };
    const auto refill = [&] {
        bb |= Load64(in) << (bc & 63);
        in += 7 - ((bc >> 3) & 7);
        bc |= 56;
    };
    // The bits the entry consumes past its code: the extra value. `before`
    // is the bit buffer as it was before the entry was consumed.
    const auto extraOf = [](std::uint32_t entry, std::uint64_t before) {
        return static_cast<std::size_t>(LowBits(before, entry & kHuffBitsMask) >>
                                        HuffCodeLength(entry));
    };
    refill();
    // The next code's first-level entry is looked up as soon as its bits are
    // known, so the lookup overlaps the copy of the match before it.
    std::uint32_t e = lt[bb & kLitLenMask];

    for (;;) {
        if (in > inLimit) [[unlikely]] {
            // Leaves the bit buffer, and so e, as it was.
            in_ = in;
            count_ = count();
            TopUp();
            in = in_;
            inLimit = inLimit_;
        }
        if (out >= outFull) [[unlikely]] {
            out = base + window_.Drain(static_cast<std::size_t>(out - base), *sink_);
        }
        if (e & kHuffSubTable) [[unlikely]] {
            consume(e);
            e = lt[HuffSubTableIndex(e, bb)];
        }
        if (e & kHuffLiteral) {
            // Further literals are taken from what is left of the refill as
            // long as their codes lie wholly within the valid bits (at most
            // 63 of them, well inside the window's slack). A sub-table
            // pointer is not a literal, so it ends the run too.
            do {
                consume(e);
                *out++ = static_cast<std::uint8_t>(e >> 16);
                e = lt[bb & kLitLenMask];
            } while ((e & kHuffLiteral) && (e & kHuffBitsMask) <= count());
            // A refill leaves the low bits as they are, so the entry already
            // looked up stays right if its first level was covered.
            const bool stale = count() < kLitLenBits;
            refill();
            if (stale) {
                e = lt[bb & kLitLenMask];
            }
            // A length code goes on to its match in the same turn; anything
            // else (more literals, a sub-table, the end) takes a new turn.
            if (e & (kHuffLiteral | kHuffSubTable | kHuffEnd)) {
                continue;
            }
        } else if (e & kHuffEnd) [[unlikely]] {
            if ((e >> 16) != 0) {
                throw TStreamError{};
            }
            consume(e);
            break;
        }
        std::uint64_t before = bb;
        consume(e);
        const std::size_t length = (e >> 16) + extraOf(e, before);

        std::uint32_t d = lt[kDistOffset + (bb & kDistMask)];
        if (d & (kHuffSubTable | kHuffEnd)) [[unlikely]] {
            if (d & kHuffSubTable) {
                consume(d);
                d = lt[kDistOffset + HuffSubTableIndex(d, bb)];
            }
            if (d & kHuffEnd) {
                throw TStreamError{};
            }
        }
        before = bb;
        consume(d);
        const std::size_t distance = (d >> 16) + extraOf(d, before);
        // As after a run of literals: the lookup does not wait for the
        // refill unless the bits left were too few for it.
        e = lt[bb & kLitLenMask];
        const bool stale = count() < kLitLenBits;
        refill();
        if (stale) [[unlikely]] {
            e = lt[bb & kLitLenMask];
        }

        // Nothing before the entry's first byte may be copied: the window
        // may still hold the previous entry there.
        if (distance > static_cast<std::size_t>(out - base)) {
            throw TStreamError{};
        }
        const std::uint8_t* src = out - distance;
        std::uint8_t* const end = out + length;
        if (distance >= 16) {
            do {
                std::memcpy(out, src, 16);
                out += 16;
                src += 16;
            } while (out < end);
        } else if (distance >= 8) {
            do {
                std::memcpy(out, src, 8);
                out += 8;
                src += 8;
            } while (out < end);
        } else if (distance == 1) {
            // A run of one byte: whole words of it, no call for the short
            // runs that are the common case.
            const std::uint64_t run = *src * 0x0101010101010101u;
            do {
                std::memcpy(out, &run, 8);
                out += 8;
            } while (out < end);
        } else {
            // The match repeats with period distance, so it also repeats with
            // any multiple of it: once the first 8 bytes are written one at a
            // time, the smallest multiple of at least 8 lets whole words be
            // copied without overlap. That multiple is below distance + 8, so
            // its source lies within bytes already written or in the history.
            for (unsigned i = 0; i < 8; ++i) {
                out[i] = src[i];
            }
            const std::size_t period = kWordPeriod[distance];
            for (std::uint8_t* p = out + 8; p < end; p += 8) {
                std::memcpy(p, p - period, 8);
            }
        }
        out = end;
    }
    pos_ = static_cast<std::size_t>(out - base);
    in_ = in;
    bits_ = bb;
    count_ = count();
}

} // namespace mzb
