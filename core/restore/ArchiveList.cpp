#include "core/restore/ArchiveList.h"

#include "core/base/DateText.h"
#include "core/base/EntryText.h"
#include "core/base/Manifest.h"
#include "platform/Blanks.h"
#include "zip/base/HeadlessHost.h"
#include "zip/io/FileSystem.h"
#include "zip/io/PathName.h"

#include <algorithm>
#include <deque>
#include <numeric>
#include <optional>
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

// Row positions, counted and found by rank among themselves.
class PositionSet {
public:
    explicit PositionSet(size_t rows) : counts_(rows + 1, 0) {
        while (2 * step_ <= rows) {
            step_ *= 2;
        }
    }

    void Insert(size_t position) {
        for (size_t i = position + 1; i < counts_.size(); i += i & (~i + 1)) {
            ++counts_[i];
        }
        ++count_;
    }
    size_t Count() const { return count_; }
    size_t CountBelow(size_t position) const {
        size_t below = 0;
        for (size_t i = position; i > 0; i -= i & (~i + 1)) {
            below += counts_[i];
        }
        return below;
    }
    // The position with `index` positions of the set below it.
    size_t At(size_t index) const {
        size_t position = 0;
        size_t rest = index + 1;
        for (size_t step = step_; step > 0; step /= 2) {
            if (position + step < counts_.size() && counts_[position + step] < rest) {
                position += step;
                rest -= counts_[position];
            }
        }
        return position;
    }

private:
    std::vector<size_t> counts_;
    size_t count_ = 0;
    size_t step_ = 1;
};

// How the exchange sort of the rows by rank ends, found without making its
// exchanges. A pass carries the row at position q through the rows before
// it, exchanging it for each row that beats it, and leaves the winner at q.
// Seen from the rows of rank k and above (the others are all "low"), a pass
// does the same whatever the low rows are: it leaves at q the row at q when
// that is one of them, and otherwise one of theirs, their first position
// getting a low row. So the positions held by rows above k shrink from both
// ends, one a pass, and the positions of the rows of rank k, placed from the
// top rank down, change in a pass only
// - when q holds a row of rank k: they gain the first position held by a
//   row above k (and lose q);
// - when q holds a low row and one of them lies below that first position:
//   they gain it and lose their first.
// Once no row above k is left, each pass leaves a row of rank k at q: the
// one at q, or the one their first position gives up.
// Which row goes where: ascending ("beats" = "is greater") only the first
// row of rank k below that position moves, going behind the others there;
// the carried row goes behind them too; at the end q takes the row at q or
// else the first. Descending ("beats" = "is not greater"; with the ranks
// turned round, "is at least"), every row of rank k below it moves on by
// one, so their order stays; the carried row goes before them; and q takes
// the last, after the row at q has gone to the front. Each rank's rows are
// kept in position order beside their positions, the positions a run of
// passes gives out as one span of the positions above k; a run of passes
// without anything else happening goes in one step.
class RankExchange {
public:
    RankExchange(size_t rows, bool ascending) : rows_(rows), ascending_(ascending), above_(rows) {}

    // The rows of the next rank down, by position; their final places are
    // written into order.
    void Place(const std::vector<size_t>& rank, std::vector<size_t>& order) {
        const size_t top = rows_ - above_.Count();
        const size_t passes = above_.CountBelow(top);
        const size_t low =
            static_cast<size_t>(std::lower_bound(rank.begin(), rank.end(), top) - rank.begin());
        size_t joined = 0;
        size_t carried = rank.size();
        const auto joinPass = [&] { return above_.CountBelow(rank[joined]); };
        // A row of rank k at q, above top, meets its pass after the passes
        // of the free positions above it.
        const auto carriedPass = [&] {
            const size_t p = rank[carried - 1];
            return rows_ - 1 - p - (above_.Count() - above_.CountBelow(p));
        };
        for (size_t pass = 0;;) {
            while (joined < low && joinPass() <= pass) {
                held_.push_back(rank[joined]);
                PushPosition({rank[joined], rank[joined] + 1, false});
                ++joined;
            }
            if (pass >= passes) {
                break;
            }
            if (carried > low && carriedPass() == pass) {
                --carried;
                if (ascending_) {
                    held_.push_back(rank[carried]);
                } else {
                    held_.push_front(rank[carried]);
                }
                PushPosition({pass, pass + 1, true});
                ++pass;
                continue;
            }
            size_t end = passes;
            if (joined < low) {
                end = std::min(end, joinPass());
            }
            if (carried > low) {
                end = std::min(end, carriedPass());
            }
            MoveOn(pass, end);
            pass = end;
        }
        for (size_t q = top; q-- > top - rank.size();) {
            if (PositionOf(heldAt_.back(), heldAt_.back().End - 1) == q) {
                PopBack();
                if (!ascending_ && held_.size() > 1) {
                    held_.push_front(held_.back());
                    held_.pop_back();
                }
                order[q] = held_.back();
                held_.pop_back();
            } else {
                PopFront(1);
                if (ascending_) {
                    order[q] = held_.front();
                    held_.pop_front();
                } else {
                    order[q] = held_.back();
                    held_.pop_back();
                }
            }
        }
        for (const size_t p : rank) {
            above_.Insert(p);
        }
    }

private:
    // Positions [Begin, End): of the rows, or the Begin-th to the End-th
    // position above the rank.
    struct Span {
        size_t Begin;
        size_t End;
        bool Above;
    };

    size_t PositionOf(const Span& span, size_t at) const { return span.Above ? above_.At(at) : at; }

    void PushPosition(Span span) {
        if (!heldAt_.empty() && span.Above && heldAt_.back().Above &&
            heldAt_.back().End == span.Begin) {
            heldAt_.back().End = span.End;
            return;
        }
        heldAt_.push_back(span);
    }
    void PopFront(size_t count) {
        while (count > 0) {
            Span& first = heldAt_.front();
            const size_t length = first.End - first.Begin;
            if (length > count) {
                first.Begin += count;
                return;
            }
            count -= length;
            heldAt_.pop_front();
        }
    }
    void PopBack() {
        if (--heldAt_.back().End == heldAt_.back().Begin) {
            heldAt_.pop_back();
        }
    }

    // Passes [first, end), each of a low row at q: the rows below the first
    // position above move on by one.
    void MoveOn(size_t first, size_t end) {
        const size_t held = held_.size();
        if (held == 0 || first == end) {
            return;
        }
        const size_t count = end - first;
        if (count >= held) {
            heldAt_.clear();
            heldAt_.push_back({end - held, end, true});
        } else {
            PopFront(count);
            PushPosition({first, end, true});
        }
        if (!ascending_) {
            return;
        }
        // A turn of the queue, the shorter way round: over all ranks this
        // stays far below one step per pass.
        const size_t turn = count % held;
        if (turn <= held / 2) {
            for (size_t i = 0; i < turn; ++i) {
                held_.push_back(held_.front());
                held_.pop_front();
            }
        } else {
            for (size_t i = turn; i < held; ++i) {
                held_.push_front(held_.back());
                held_.pop_back();
            }
        }
    }

    const size_t rows_;
    const bool ascending_;
    // Positions of the rows of the ranks done so far.
    PositionSet above_;
    // The rows of the rank at hand that hold positions below top, in
    // position order, and those positions.
    std::deque<size_t> held_;
    std::deque<Span> heldAt_;
};

std::vector<size_t> ExchangeOrder(const std::vector<size_t>& ranks, bool descending) {
    const size_t top = *std::max_element(ranks.begin(), ranks.end());
    // Descending turns the ranks round: the winner of a pass is the smallest.
    std::vector<std::vector<size_t>> rowsOf(top + 1);
    for (size_t row = 0; row < ranks.size(); ++row) {
        rowsOf[descending ? top - ranks[row] : ranks[row]].push_back(row);
    }
    std::vector<size_t> order(ranks.size());
    RankExchange exchange(ranks.size(), !descending);
    for (size_t rank = top + 1; rank-- > 0;) {
        if (!rowsOf[rank].empty()) {
            exchange.Place(rowsOf[rank], order);
        }
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

std::string ArchiveKindText(const std::string& path, const std::string& password) {
    HeadlessHost host;
    TZipReader reader(host);
    // One small entry: workers would cost more to start than they save.
    reader.Threads = 1;
    try {
        const std::optional<std::string> text =
            ReadEntryText(reader, path, std::string(kManifestEntryName), password);
        if (!text) {
            return {};
        }
        const Manifest recorded = ReadManifest(*text);
        return recorded.IsFull() ? "full" : "differential of " + recorded.FullArchive;
    } catch (const std::exception&) {
        // A manifest that does not read, or no private folder to read it
        // into: the column stays empty, as for an archive without one.
        return {};
    }
}

void SortArchiveRows(std::vector<ArchiveRow>& rows, ArchiveSortField field, bool descending) {
    if (rows.empty() || rows[0].Name.empty()) {
        return;
    }
    const auto ranks = KeyRanks(rows, field);
    const auto order = ExchangeOrder(ranks, descending);
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

bool ArchiveList::Holds(const KnownKind& known, const ArchiveStamp& stamp,
                        const std::string& password) {
    // A kind found does not depend on the password it was read with; none
    // found may be for want of the right one.
    return known.Stamp == stamp && (!known.Kind.empty() || known.Password == password);
}

void ArchiveList::IndexRows() {
    rowOf_.clear();
    for (size_t row = 0; row < rows_.size(); ++row) {
        rowOf_[rows_[row].Name] = row;
    }
}

void ArchiveList::RefreshArchiveList() {
    rows_.clear();
    std::unordered_map<std::string, KnownKind> stillKnown;
    for (const TSearchRec& record : FindArchiveFiles(finder_, Folder)) {
        ArchiveRow& row = rows_.emplace_back(MakeArchiveRow(record));
        if (const auto info = FileInfoOf(PathInFolder(Folder, record.Name))) {
            row.Stamp = {info->Size, info->ModifiedTime(), info->Device, info->Inode};
        }
        const auto known = kinds_.find(row.Name);
        if (known != kinds_.end() && Holds(known->second, row.Stamp, Password)) {
            row.Kind = known->second.Kind;
            stillKnown.insert(std::move(*known));
        }
    }
    // Only the listed archives are kept: the list never grows with
    // archives long deleted.
    kinds_ = std::move(stillKnown);
    IndexRows();
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
    IndexRows();
    contents_.ShowArchiveContents(std::string(TrimBlanks(Folder)), rows_[0].Name);
}

std::vector<KindToRead> ArchiveList::KindsToRead() const {
    std::vector<KindToRead> toRead;
    for (const ArchiveRow& row : rows_) {
        const auto known = kinds_.find(row.Name);
        if (known == kinds_.end() || !Holds(known->second, row.Stamp, Password)) {
            toRead.push_back({row.Name, PathInFolder(Folder, row.Name), row.Stamp, Password});
        }
    }
    return toRead;
}

std::optional<size_t> ArchiveList::SetKind(const KindToRead& archive, std::string kind) {
    // A kind read for a file the list no longer shows says nothing of the
    // row that took its name.
    const auto row = rowOf_.find(archive.Name);
    if (row == rowOf_.end() || rows_[row->second].Stamp != archive.Stamp) {
        return std::nullopt;
    }
    rows_[row->second].Kind = kind;
    kinds_[archive.Name] = {archive.Stamp, archive.Password, std::move(kind)};
    return row->second;
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
