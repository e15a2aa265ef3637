#include "zip/format/SortedZip.h"

#include "zip/base/DosDateTime.h"
#include "zip/base/Percent.h"
#include "zip/base/ZipError.h"

#include <algorithm>
#include <cassert>
#include <string_view>
#include <utility>

namespace mzb {

namespace {

unsigned char Fold(char c) {
    const auto b = static_cast<unsigned char>(c);
    return b >= 'A' && b <= 'Z' ? static_cast<unsigned char>(b + ('a' - 'A')) : b;
}

// Compares the concatenations a1+a2 and b1+b2 without building them.
int CompareFolded(std::string_view a1, std::string_view a2, std::string_view b1,
                  std::string_view b2) {
    const std::size_t na = a1.size() + a2.size();
    const std::size_t nb = b1.size() + b2.size();
    for (std::size_t i = 0; i < na && i < nb; ++i) {
        const unsigned char ca = Fold(i < a1.size() ? a1[i] : a2[i - a1.size()]);
        const unsigned char cb = Fold(i < b1.size() ? b1[i] : b2[i - b1.size()]);
        if (ca != cb) {
            return ca < cb ? -1 : 1;
        }
    }
    return na < nb ? -1 : na > nb ? 1 : 0;
}

template <typename T> int ThreeWay(T a, T b) {
    return a < b ? -1 : a > b ? 1 : 0;
}

// A time that names no real moment sorts as the oldest.
std::uint32_t DateKey(const TZipHeaderInfo& e) {
    return IsValidDosDateTime(e.FileDateTime) ? e.FileDateTime : 0;
}

bool NeverEqual(TZipSortMode mode) {
    return mode == TZipSortMode::ByDate || mode == TZipSortMode::ByCompressedSize ||
           mode == TZipSortMode::ByUnCompressedSize;
}

[[noreturn]] void IndexOutOfRange(std::size_t index) {
    throw EListError("Index " + std::to_string(static_cast<long long>(index)) + " is out of range");
}

} // namespace

int CompareEntries(TZipSortMode mode, const TZipHeaderInfo& a, const TZipHeaderInfo& b) {
    switch (mode) {
    case TZipSortMode::ByName:
        return CompareFolded(a.Directory(), a.FileName(), b.Directory(), b.FileName());
    case TZipSortMode::ByFileName:
        return CompareFolded(a.FileName(), {}, b.FileName(), {});
    case TZipSortMode::ByDirectoryName:
        return CompareFolded(a.Directory(), {}, b.Directory(), {});
    case TZipSortMode::ByDate:
        return ThreeWay(DateKey(b), DateKey(a));
    case TZipSortMode::ByCompressedSize:
        return ThreeWay(b.CompressedSize, a.CompressedSize);
    case TZipSortMode::ByUnCompressedSize:
        return ThreeWay(b.UncompressedSize, a.UncompressedSize);
    case TZipSortMode::ByRate:
        return ThreeWay(PercentOf(b.CompressedSize, b.UncompressedSize),
                        PercentOf(a.CompressedSize, a.UncompressedSize));
    case TZipSortMode::ByNone:
        if (a.DiskNumberStart != b.DiskNumberStart) {
            return ThreeWay(a.DiskNumberStart, b.DiskNumberStart);
        }
        return ThreeWay(a.RelativeOffset, b.RelativeOffset);
    }
    return 0;
}

TSortedZip::TSortedZip(TZipSortMode mode, TDuplicates duplicates, bool ownsEntries)
    : mode_(mode), duplicates_(duplicates), owns_(ownsEntries) {}

TSortedZip::~TSortedZip() {
    Clear();
}

TSortedZip::TSortedZip(TSortedZip&& other) noexcept
    : mode_(other.mode_), duplicates_(other.duplicates_), owns_(other.owns_),
      items_(std::exchange(other.items_, {})) {}

TSortedZip& TSortedZip::operator=(TSortedZip&& other) noexcept {
    if (this != &other) {
        Clear();
        mode_ = other.mode_;
        duplicates_ = other.duplicates_;
        owns_ = other.owns_;
        items_ = std::exchange(other.items_, {});
    }
    return *this;
}

void TSortedZip::SetSortMode(TZipSortMode mode) {
    if (mode == mode_) {
        return;
    }
    mode_ = mode;
    std::stable_sort(items_.begin(), items_.end(), [mode](const auto* a, const auto* b) {
        return CompareEntries(mode, *a, *b) < 0;
    });
}

TZipHeaderInfo& TSortedZip::Items(std::size_t index) const {
    if (index >= items_.size()) {
        IndexOutOfRange(index);
    }
    return *items_[index];
}

bool TSortedZip::Find(const TZipHeaderInfo& key, std::size_t& index) const {
    // Orders that never hold two entries equal place a new one after the
    // entries with the same key.
    const bool neverEqual = NeverEqual(mode_);
    bool found = false;
    std::size_t lo = 0;
    std::size_t hi = items_.size();
    while (lo < hi) {
        const std::size_t mid = lo + (hi - lo) / 2;
        int c = CompareEntries(mode_, *items_[mid], key);
        if (c == 0 && neverEqual) {
            c = -1;
        }
        if (c < 0) {
            lo = mid + 1;
        } else {
            if (c == 0) {
                found = true;
            }
            // Accepting duplicates inserts after the equal ones, keeping
            // insertion order; otherwise the first equal one is reported.
            if (c == 0 && duplicates_ == TDuplicates::Accept) {
                lo = mid + 1;
            } else {
                hi = mid;
            }
        }
    }
    index = lo;
    return found;
}

std::size_t TSortedZip::Insert(TZipHeaderInfo* entry) {
    // Entries that come in order, as a writer's do, go to the end without
    // a search.
    if (items_.empty() || CompareEntries(mode_, *items_.back(), *entry) < 0) {
        items_.push_back(entry);
        return items_.size() - 1;
    }
    std::size_t index = 0;
    if (Find(*entry, index)) {
        if (duplicates_ == TDuplicates::Ignore) {
            return npos;
        }
        if (duplicates_ == TDuplicates::Error) {
            throw EListError("Duplicate Object index");
        }
    }
    items_.insert(items_.begin() + static_cast<std::ptrdiff_t>(index), entry);
    return index;
}

std::size_t TSortedZip::Add(std::unique_ptr<TZipHeaderInfo> entry) {
    assert(owns_);
    const std::size_t index = Insert(entry.get());
    if (index != npos) {
        entry.release();
    }
    return index;
}

std::size_t TSortedZip::Add(TZipHeaderInfo* entry) {
    assert(!owns_);
    return Insert(entry);
}

void TSortedZip::Put(std::size_t, TZipHeaderInfo*) {
    throw EListError("Cannot <Put> an Object in a sorted list!");
}

void TSortedZip::Delete(std::size_t index) {
    if (index >= items_.size()) {
        IndexOutOfRange(index);
    }
    if (owns_) {
        delete items_[index];
    }
    items_.erase(items_.begin() + static_cast<std::ptrdiff_t>(index));
}

void TSortedZip::Clear() {
    if (owns_) {
        for (TZipHeaderInfo* e : items_) {
            delete e;
        }
    }
    items_.clear();
}

} // namespace mzb
