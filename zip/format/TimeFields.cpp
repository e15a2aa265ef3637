#include "zip/format/TimeFields.h"

#include "zip/base/ByteOrder.h"
#include "zip/format/ExtraField.h"

#include <bit>

namespace mzb {
namespace {

constexpr std::uint8_t kModifiedFlag = 0x01;
constexpr std::uint8_t kTimeFlags = 0x07; // modification, access, creation
constexpr std::size_t kExtendedValueSize = 4;

constexpr std::uint16_t kNtfsTimesTag = 0x0001;
constexpr std::size_t kNtfsReservedSize = 4;
constexpr std::size_t kNtfsTimesSize = 24;
constexpr std::uint64_t kNtfsTicksPerSecond = 1'000'000'000 / kNtfsTickNanoseconds;
// 100-nanosecond ticks from 1601-01-01 to 1970-01-01.
constexpr std::uint64_t kNtfsTicksTo1970 = 116'444'736'000'000'000ull;

constexpr int kDosBaseYear = 1980;
constexpr int kFirstYearPast32Bits = 2038;

const std::uint8_t* Bytes(std::string_view s) {
    return reinterpret_cast<const std::uint8_t*>(s.data());
}

// The value is 32 bits wide and the application note leaves its sign open:
// writers put times before 1970 in as negative numbers and times from 2038
// on as unsigned ones, and readers take a value with the top bit set as
// whichever of the two the entry's MS-DOS date agrees with. The MS-DOS
// date starts in 1980, so for a time before 1970 it holds its first value.
std::int64_t ExtendedSeconds(std::uint32_t value, std::uint32_t dosDateTime) {
    const int dosYear = static_cast<int>(dosDateTime >> 25) + kDosBaseYear;
    if (value < 0x80000000u || dosYear >= kFirstYearPast32Bits) {
        return value;
    }
    return static_cast<std::int64_t>(value) - (std::int64_t(1) << 32);
}

// A local header's block has a value for each time its flags name, a
// central header's for the modification time alone; any other length is
// not one of this block's.
std::optional<TFileTime> ExtendedModificationTime(std::string_view block,
                                                  std::uint32_t dosDateTime) {
    if (block.empty()) {
        return std::nullopt;
    }
    const auto flags = static_cast<std::uint8_t>(block[0]);
    const std::size_t values = (block.size() - 1) / kExtendedValueSize;
    const bool sound =
        (block.size() - 1) % kExtendedValueSize == 0 &&
        (values == 1 ||
         values == std::size_t(std::popcount(static_cast<std::uint8_t>(flags & kTimeFlags))));
    if (!sound || (flags & kModifiedFlag) == 0) {
        return std::nullopt;
    }
    return TFileTime{ExtendedSeconds(GetLE32(Bytes(block) + 1), dosDateTime), 0};
}

TFileTime FromNtfsTicks(std::uint64_t ticks) {
    if (ticks >= kNtfsTicksTo1970) {
        const std::uint64_t since1970 = ticks - kNtfsTicksTo1970;
        return {static_cast<std::int64_t>(since1970 / kNtfsTicksPerSecond),
                static_cast<std::uint32_t>(since1970 % kNtfsTicksPerSecond) * kNtfsTickNanoseconds};
    }
    // Before 1970: whole seconds down, the rest counted up from there.
    const std::uint64_t before1970 = kNtfsTicksTo1970 - ticks;
    const std::uint64_t rest = before1970 % kNtfsTicksPerSecond;
    const auto seconds = -static_cast<std::int64_t>(before1970 / kNtfsTicksPerSecond);
    if (rest == 0) {
        return {seconds, 0};
    }
    return {seconds - 1,
            static_cast<std::uint32_t>(kNtfsTicksPerSecond - rest) * kNtfsTickNanoseconds};
}

// A time of 0 is one the writer did not set.
std::optional<TFileTime> NtfsModificationTime(std::string_view block) {
    if (block.size() < kNtfsReservedSize) {
        return std::nullopt;
    }
    std::size_t at = kNtfsReservedSize;
    while (block.size() - at >= 4) {
        const std::uint16_t tag = GetLE16(Bytes(block) + at);
        const std::size_t size = GetLE16(Bytes(block) + at + 2);
        at += 4;
        if (size > block.size() - at) {
            return std::nullopt;
        }
        if (tag == kNtfsTimesTag) {
            const std::uint64_t modified = size == kNtfsTimesSize ? GetLE64(Bytes(block) + at) : 0;
            return modified == 0 ? std::nullopt : std::optional(FromNtfsTicks(modified));
        }
        at += size;
    }
    return std::nullopt;
}

} // namespace

std::optional<TStoredTime> ModificationTimeFromExtra(std::string_view extra,
                                                     std::uint32_t dosDateTime) {
    if (const auto block = FindExtraBlock(extra, kExtraNtfsTimes)) {
        if (const auto time = NtfsModificationTime(*block)) {
            return TStoredTime{*time, TTimeSource::NtfsTimes};
        }
    }
    if (const auto block = FindExtraBlock(extra, kExtraExtendedTime)) {
        if (const auto time = ExtendedModificationTime(*block, dosDateTime)) {
            return TStoredTime{*time, TTimeSource::ExtendedTime};
        }
    }
    return std::nullopt;
}

bool FitsExtendedTime(std::int64_t seconds) {
    return seconds >= 0 && seconds <= std::int64_t(0xFFFFFFFFu);
}

std::string ExtendedTimeBlock(std::int64_t seconds) {
    std::uint8_t data[1 + kExtendedValueSize] = {kModifiedFlag};
    PutLE32(data + 1, static_cast<std::uint32_t>(seconds));
    return ExtraBlock(kExtraExtendedTime,
                      std::string_view(reinterpret_cast<const char*>(data), sizeof data));
}

} // namespace mzb
