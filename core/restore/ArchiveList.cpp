#include "core/restore/ArchiveList.h"

#include "core/base/DateText.h"
#include "platform/Blanks.h"
#include "zip/io/FileSystem.h"
#include "zip/io/PathName.h"

#include <algorithm>
#include <deque>
#include <numeric>
#include <stdexcept>
#include <unistd.h>
#include <utility>

namespace mzb {

namespace {

constexpr const char* kArchiveMask = "*.zip";

LocalDateTime DateOf(const ArchiveRow& row) {
    const auto value = ParseDateTime(row.Date);
    if (!value) {
        throw std::invalid_argument("'" + row.Date + "' is not a valid date and time");
    }
    return *value;
}

// The rank of each row's key: equal keys share a rank and a greater key has
// a greater rank, so ranks compare as the keys do. Dates are parsed once here.
std::vector<size_t> KeyRanks(const std::vector<ArchiveRow>& rows, ArchiveSortField field) {
    std::vector<LocalDateTime> dates;
    if (field == ArchiveSortField::ByDate) {
        dates.reserve(rows.size());
        for (const auto& row : rows) {
            dates.push_back(DateOf(row));
        }
    }
    const auto less = [&](size_t a, size_t b) {
        switch (field) {
        case ArchiveSortField::BySize:
            return rows[a].Size < rows[b].Size;
        case ArchiveSortField::ByDate:
            return dates[a] < dates[b];
        case ArchiveSortField::ByName:
            break;
        }
        return rows[a].Name < rows[b].Name;
    };
    std::vector<size_t> order(rows.size());
    std::iota(order.begin(), order.end(), size_t{0});
    std::sort(order.begin(), order.end(), less);
    std::vector<size_t> ranks(rows.size());
    size_t rank = 0;
    for (size_t i = 0; i < order.size(); ++i) {
        if (i > 0 && less(order[i - 1], order[i])) {
            ++rank;
        }
        ranks[order[i]] = rank;
    }
    return ranks;
}

// The greatest rank over ranges of row positions, to find the next row a
// pass of the exchange sort exchanges without comparing the rows between.
// It reads the ranks it is given; after they change, Refresh brings it up
// to date. A pass only looks to the right of its last exchange, so the
// pass's own changes can wait until it ends.
class RankTree {
public:
    explicit RankTree(const std::vector<long>& ranks) : ranks_(ranks), size_(1), depth_(1) {
        while (size_ < ranks.size()) {
            size_ *= 2;
            ++depth_;
        }
        max_.assign(2 * size_, -1);
        Rebuild(ranks.size());
    }

    // The first row in [from, to) whose rank is at least `least`; `to` when
    // none is. Rows in a row are found without the tree.
    size_t FirstAtLeast(size_t from, size_t to, long least) const {
        if (from < to && ranks_[from] >= least) {
            return from;
        }
        const size_t found = Find(1, 0, size_, from, to, least);
        return found < to ? found : to;
    }

    // The ranks of these rows changed. Many changes are cheaper as one
    // rebuild of the rows up to the last of them than one by one, so a pass
    // with a long run of exchanges costs about what comparing its rows would.
    void Refresh(const std::vector<size_t>& changed) {
        if (changed.empty()) {
            return;
        }
        const size_t end = *std::max_element(changed.begin(), changed.end()) + 1;
        if (changed.size() * depth_ > end) {
            Rebuild(end);
            return;
        }
        for (const size_t row : changed) {
            size_t node = size_ + row;
            max_[node] = ranks_[row];
            for (node /= 2; node >= 1; node /= 2) {
                max_[node] = std::max(max_[2 * node], max_[2 * node + 1]);
            }
        }
    }

private:
    // The rows before `end` and every node above them.
    void Rebuild(size_t end) {
        std::copy(ranks_.begin(), ranks_.begin() + static_cast<long>(end),
                  max_.begin() + static_cast<long>(size_));
        for (size_t first = size_ / 2, last = (size_ + end - 1) / 2; first >= 1;
             first /= 2, last /= 2) {
            for (size_t node = first; node <= last; ++node) {
                max_[node] = std::max(max_[2 * node], max_[2 * node + 1]);
            }
        }
    }

    size_t Find(size_t node, size_t low, size_t high, size_t from, size_t to, long least) const {
        if (high <= from || low >= to || max_[node] < least) {
            return to;
        }
        if (high - low == 1) {
            return low;
        }
        const size_t middle = (low + high) / 2;
        const size_t left = Find(2 * node, low, middle, from, to, least);
        return left < to ? left : Find(2 * node + 1, middle, high, from, to, least);
    }

    const std::vector<long>& ranks_;
    size_t size_;
    size_t depth_;
    std::vector<long> max_;
};

// A pass of the exchange sort carries the row of position q through the
// rows before it, exchanging it for each row that beats it, and leaves the
// winner at q. Only the exchanges change anything, and a pass makes them
// at the rows that beat everything carried before them: the tree finds
// those directly, so the cost follows the exchanges, not the comparisons.

// Ascending: a row beats the carried one when its rank is greater. Each
// exchange moves one row, so the rows are followed one by one.
std::vector<size_t> AscendingExchangeOrder(const std::vector<size_t>& keys) {
    std::vector<long> ranks(keys.begin(), keys.end());
    std::vector<size_t> order(ranks.size());
    std::iota(order.begin(), order.end(), size_t{0});
    RankTree tree(ranks);
    std::vector<size_t> changed;
    for (size_t q = ranks.size() - 1; q >= 1; --q) {
        changed.clear();
        for (size_t r = tree.FirstAtLeast(0, q, ranks[q] + 1); r < q;
             r = tree.FirstAtLeast(r + 1, q, ranks[q] + 1)) {
            std::swap(ranks[r], ranks[q]);
            std::swap(order[r], order[q]);
            changed.push_back(r);
        }
        tree.Refresh(changed);
    }
    return order;
}

// Descending: a row beats the carried one unless its rank is greater, so
// equal rows are exchanged too. With ranks turned round ("beats" = "is at
// least"), a pass takes every row of the carried rank and of each greater
// rank it meets. Rows of one rank keep their order among themselves
// (ordered by position) through a pass, except the carried row, which
// becomes the first of its rank; the pass leaves the last row of the
// greatest rank at q. So each rank's rows are kept in order in a queue, and
// the ranks at the positions change only where the carried rank rises.
std::vector<size_t> DescendingExchangeOrder(const std::vector<size_t>& keys) {
    const long top = static_cast<long>(*std::max_element(keys.begin(), keys.end()));
    std::vector<long> ranks(keys.size());
    std::vector<std::deque<size_t>> rowsOf(static_cast<size_t>(top) + 1);
    for (size_t row = 0; row < keys.size(); ++row) {
        ranks[row] = top - static_cast<long>(keys[row]);
        rowsOf[static_cast<size_t>(ranks[row])].push_back(row);
    }
    std::vector<size_t> order(ranks.size());
    RankTree tree(ranks);
    std::vector<size_t> changed;
    for (size_t q = ranks.size() - 1; q >= 1; --q) {
        const long carried = ranks[q];
        long carry = carried;
        changed.clear();
        for (size_t r = tree.FirstAtLeast(0, q, carry); r < q;
             r = tree.FirstAtLeast(r + 1, q, carry + 1)) {
            std::swap(ranks[r], carry);
            changed.push_back(r);
        }
        ranks[q] = carry;
        tree.Refresh(changed);
        auto& same = rowsOf[static_cast<size_t>(carried)];
        same.push_front(same.back());
        same.pop_back();
        auto& winners = rowsOf[static_cast<size_t>(carry)];
        order[q] = winners.back();
        winners.pop_back();
    }
    order[0] = rowsOf[static_cast<size_t>(ranks[0])].back();
    return order;
}

// With every key distinct the exchange sort gives the plain sorted order.
std::vector<size_t> OrderOf(const std::vector<size_t>& ranks, bool descending) {
    std::vector<size_t> order(ranks.size());
    for (size_t row = 0; row < ranks.size(); ++row) {
        order[descending ? ranks.size() - 1 - ranks[row] : ranks[row]] = row;
    }
    return order;
}

} // namespace

std::string TotalFilesText(size_t count) {
    return "(Total " + std::to_string(count) + " files)";
}

std::string PathInFolder(const std::string& folder, const std::string& name) {
    // No folder is the current directory, as the finder lists it; never the root.
    return WithTrailingSeparator(folder) + name;
}

std::vector<TSearchRec> FindArchiveFiles(TFindFile& finder, const std::string& folder) {
    std::vector<TSearchRec> found;
    finder.SetFilename(kArchiveMask);
    finder.Subfolders = false;
    finder.Threaded = false;
    finder.OnFound = [&found](TFindFile&, const std::string& where, const TSearchRec& record) {
        // A FIFO or a device named like an archive would stall whoever
        // opens it; only regular files (or links to them) are archives.
        const auto info = FileInfoOf(WithTrailingSeparator(where) + record.Name);
        if (info && info->IsRegular()) {
            found.push_back(record);
        }
    };
    // As a full mask the folder may hold '*', '?' or ';', which the
    // finder's Location would refuse or split.
    finder.IncludeFiles = {PathInFolder(folder, kArchiveMask)};
    finder.Execute();
    finder.OnFound = nullptr;
    return found;
}

ArchiveRow MakeArchiveRow(const TSearchRec& record) {
    return {record.Name, std::to_string(record.Size / 1024),
            FormatDateTimeShort(LocalDateTime::FromDos(record.Time))};
}

void SortArchiveRows(std::vector<ArchiveRow>& rows, ArchiveSortField field, bool descending) {
    if (rows.empty() || rows[0].Name.empty()) {
        return;
    }
    const auto ranks = KeyRanks(rows, field);
    const bool keysRepeat =
        !ranks.empty() && *std::max_element(ranks.begin(), ranks.end()) + 1 < ranks.size();
    const auto order = !keysRepeat  ? OrderOf(ranks, descending)
                       : descending ? DescendingExchangeOrder(ranks)
                                    : AscendingExchangeOrder(ranks);
    std::vector<ArchiveRow> sorted;
    sorted.reserve(rows.size());
    for (const size_t row : order) {
        sorted.push_back(std::move(rows[row]));
    }
    rows = std::move(sorted);
}

std::string DeleteArchivesQuestion(size_t count) {
    return "Do you want delete the " + std::to_string(count) + " files ";
}

void ArchiveList::RefreshArchiveList() {
    rows_.clear();
    for (const TSearchRec& record : FindArchiveFiles(finder_, Folder)) {
        rows_.push_back(MakeArchiveRow(record));
    }
    totalText_ = TotalFilesText(rows_.size());
    if (rows_.empty()) {
        contents_.ClearContents();
        return;
    }
    SortArchiveList();
}

void ArchiveList::SortArchiveList() {
    if (rows_.empty() || rows_[0].Name.empty()) {
        return;
    }
    SortArchiveRows(rows_, SortField, Descending);
    contents_.ShowArchiveContents(std::string(TrimBlanks(Folder)), rows_[0].Name);
}

void ArchiveList::DeleteArchives(size_t top, size_t bottom,
                                 const std::function<bool(const std::string&)>& askYesNo) {
    Folder = std::string(TrimBlanks(Folder));
    if (top <= bottom && bottom < rows_.size() &&
        askYesNo(DeleteArchivesQuestion(bottom - top + 1))) {
        for (size_t row = top; row <= bottom; ++row) {
            unlink(PathInFolder(Folder, rows_[row].Name).c_str());
        }
    }
    RefreshArchiveList();
}

} // namespace mzb
