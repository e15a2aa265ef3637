// The finder's text rules over arbitrary input: the listing mask, the
// exclusion pattern and the date texts that stored values are read with.
// Input: a name or path, a line feed, a pattern.
#include "core/base/DateText.h"
#include "finder/ExcludePattern.h"
#include "finder/ListingMask.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace mzb;
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const size_t cut = input.find('\n');
    const std::string_view subject = input.substr(0, cut);
    const std::string_view pattern = cut == std::string_view::npos ? "" : input.substr(cut + 1);

    MatchesListingMask(subject, pattern);
    if (!MatchesListingMask(subject, "*") || !MatchesListingMask(subject, subject)) {
        std::abort(); // "*" and the name itself always match
    }
    MatchExcludePattern(subject, pattern);
    if (!MatchExcludePattern(subject, "")) {
        std::abort(); // an empty pattern has an empty name part, which matches any name
    }
    if (const auto when = ParseDateTime(subject)) {
        if (ParseDateTime(FormatDateTime(*when)) != when) {
            std::abort(); // every text written parses back to what it shows
        }
    }
    if (const auto time = ParseTimeOfDay(subject)) {
        if (ParseTimeOfDay(FormatLongTime(*time)) != time) {
            std::abort();
        }
    }
    return 0;
}
