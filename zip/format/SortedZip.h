#pragma once
// An ordered list of archive entries, kept in order by binary-search
// insertion under one of eight sort modes.

#include "zip/format/ZipHeaderInfo.h"

#include <cstddef>
#include <memory>
#include <vector>

namespace mzb {

enum class TZipSortMode {
    ByName = 0,             // directory + file name, letter case ignored
    ByFileName = 1,         // file name part, letter case ignored
    ByDirectoryName = 2,    // directory part, letter case ignored
    ByDate = 3,             // newest first
    ByCompressedSize = 4,   // largest first
    ByUnCompressedSize = 5, // largest first
    ByRate = 6,             // highest compressed/uncompressed percentage first
    ByNone = 7,             // physical order: disk, then local header offset
};

// What an insertion does with an entry equal to one already held.
enum class TDuplicates { Ignore, Accept, Error };

// Negative when a sorts before b, zero when the mode holds them equal.
// ByDate and the two size orders never hold two entries equal; equal keys
// are placed in insertion order.
int CompareEntries(TZipSortMode mode, const TZipHeaderInfo& a, const TZipHeaderInfo& b);

class TSortedZip {
public:
    // An owning list destroys its entries with itself; a list that does not
    // own them is a view of entries some other list owns.
    TSortedZip(TZipSortMode mode, TDuplicates duplicates, bool ownsEntries);
    ~TSortedZip();
    TSortedZip(TSortedZip&& other) noexcept;
    TSortedZip& operator=(TSortedZip&& other) noexcept;
    TSortedZip(const TSortedZip&) = delete;
    TSortedZip& operator=(const TSortedZip&) = delete;

    std::size_t Count() const { return items_.size(); }
    bool OwnsEntries() const { return owns_; }
    TZipSortMode SortMode() const { return mode_; }
    TDuplicates Duplicates() const { return duplicates_; }
    // Re-sorts the entries held (equal entries keep their order).
    void SetSortMode(TZipSortMode mode);

    // Throws EListError "Index %d is out of range" for a bad index.
    TZipHeaderInfo& Items(std::size_t index) const;

    // Binary search: true when an equal entry is held; index is then where
    // it stands (the first of them unless duplicates are accepted), else
    // where the key would be inserted.
    bool Find(const TZipHeaderInfo& key, std::size_t& index) const;

    // Insert at the place the order gives and return the index. When an
    // equal entry is held: Accept inserts all the same; Ignore leaves the
    // list as it is and returns npos (an owned entry is destroyed); Error
    // raises EListError "Duplicate Object index" (likewise destroying it).
    static constexpr std::size_t npos = static_cast<std::size_t>(-1);
    std::size_t Add(std::unique_ptr<TZipHeaderInfo> entry); // owning lists
    std::size_t Add(TZipHeaderInfo* entry);                 // lists that do not own

    // Replacing an item would break the order; always raises EListError
    // "Cannot <Put> an Object in a sorted list!".
    [[noreturn]] void Put(std::size_t index, TZipHeaderInfo* entry);

    // Removes the item, destroying it when the list owns it.
    void Delete(std::size_t index);
    void Clear();

private:
    std::size_t Insert(TZipHeaderInfo* entry);

    TZipSortMode mode_;
    TDuplicates duplicates_;
    bool owns_;
    std::vector<TZipHeaderInfo*> items_;
};

} // namespace mzb
