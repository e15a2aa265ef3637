#include "zip/writer/TakenNames.h"

#include <algorithm>

namespace mzb {
namespace {

// FNV-1a, fed part after part, so that a directory and a file name hash as
// their concatenation does.
constexpr std::size_t kHashStart = 14695981039346656037ull;

std::size_t HashOn(std::size_t hash, std::string_view bytes) {
    for (const char c : bytes) {
        hash = (hash ^ static_cast<unsigned char>(c)) * 1099511628211ull;
    }
    return hash;
}

bool NameIs(const TZipHeaderInfo& entry, std::string_view name) {
    const std::string& dir = entry.Directory();
    return name.size() == dir.size() + entry.FileName().size() && name.starts_with(dir) &&
           name.substr(dir.size()) == entry.FileName();
}

} // namespace

TTakenNames::TTakenNames(const TSortedZip& entries, const std::vector<std::string>& items)
    : entries_(entries), items_(items) {}

void TTakenNames::Put(TTaken taken) {
    const std::size_t mask = slots_.size() - 1;
    std::size_t at = taken.hash & mask;
    while (slots_[at].entry != kFree) {
        at = (at + 1) & mask;
    }
    slots_[at] = taken;
}

void TTakenNames::TakeLast(std::uint32_t item) {
    if (4 * (count_ + 1) > 3 * slots_.size()) {
        std::vector<TTaken> old(std::max<std::size_t>(64, 2 * slots_.size()), {kFree, 0});
        old.swap(slots_);
        for (const TTaken& taken : old) {
            if (taken.entry != kFree) {
                Put(taken);
            }
        }
    }
    const std::size_t last = entries_.Count() - 1;
    const TZipHeaderInfo& entry = entries_.Items(last);
    Put({static_cast<std::uint32_t>(last),
         static_cast<std::uint32_t>(
             HashOn(HashOn(kHashStart, entry.Directory()), entry.FileName()))});
    itemOfEntry_.resize(last + 1, kNoItem);
    itemOfEntry_[last] = item;
    ++count_;
}

std::optional<std::string_view> TTakenNames::Find(std::string_view name) const {
    if (slots_.empty()) {
        return std::nullopt;
    }
    const std::size_t mask = slots_.size() - 1;
    const auto hash = static_cast<std::uint32_t>(HashOn(kHashStart, name));
    for (std::size_t at = hash & mask; slots_[at].entry != kFree; at = (at + 1) & mask) {
        if (slots_[at].hash == hash && NameIs(entries_.Items(slots_[at].entry), name)) {
            const std::uint32_t item = itemOfEntry_[slots_[at].entry];
            return item == kNoItem ? std::string_view() : std::string_view(items_[item]);
        }
    }
    return std::nullopt;
}

} // namespace mzb
