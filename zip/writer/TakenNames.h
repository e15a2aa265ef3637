#pragma once
// The stored names a run has written, so that a second file that would take
// one again is found. No name is copied: each is read from the entry that
// holds it, so the index costs about 20 bytes per entry rather than a
// string and a map node, which for a tree of tiny files was a large part of
// the memory a run takes.

#include "zip/format/SortedZip.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace mzb {

class TTakenNames {
public:
    // `entries`: the run's new directory, which only grows while this
    // lives; `items`: the paths files are added from, unchanged meanwhile.
    TTakenNames(const TSortedZip& entries, const std::vector<std::string>& items);

    // For an entry no listed path gave: carried over from the old archive,
    // or made from memory.
    static constexpr std::uint32_t kNoItem = UINT32_MAX;
    // Takes the name of the entry just added last to `entries`, from
    // items[item] (or kNoItem).
    void TakeLast(std::uint32_t item);
    // Whether `name` (directory and file name) is taken, and by what: the
    // path it was added from, empty for an entry no listed path gave.
    std::optional<std::string_view> Find(std::string_view name) const;

private:
    struct TTaken {
        std::uint32_t entry; // kFree: the slot is free
        // The low half of the name's hash: a probe passes over another name
        // without reading its entry, which in a large run is a cache miss,
        // and a growing table places the names without hashing them again.
        std::uint32_t hash;
    };
    static constexpr std::uint32_t kFree = UINT32_MAX;

    void Put(TTaken taken);

    const TSortedZip& entries_;
    const std::vector<std::string>& items_;
    // Open addressing with linear probing, at most three quarters full: a
    // slot costs 8 bytes, where a node of a standard set costs 40.
    std::vector<TTaken> slots_;
    // By entry, the item it was added from: kept once per entry rather than
    // once per slot.
    std::vector<std::uint32_t> itemOfEntry_;
    std::size_t count_ = 0;
};

} // namespace mzb
