#include "CRowSorter.h"

#include "CSortRow.h"

#include <algorithm>
#include <iterator>

namespace
{

using Rows = std::vector<CSortRow>;

// Runs and merges for one direction: "a" may stay before "b" when it is
// before-or-equal (ascending) or after-or-equal (descending). The rows
// themselves are moved, not indices to them: a merge then reads its rows
// one after the other instead of all over the memory.
template <bool Ascending>
class Merger
{
public:
    static bool InOrder(const CSortRow& a, const CSortRow& b)
    {
        return Ascending ? a.IsBeforeOrEqual(b) : a.IsAfterOrEqual(b);
    }

    // Cuts the rows into runs that are in order; a run strictly against the
    // order is turned round (which keeps equal rows in input order, since
    // it holds none). Returns the start of each run and the end.
    static std::vector<std::size_t> Runs(Rows& rows)
    {
        std::vector<std::size_t> bounds;
        const std::size_t count = rows.size();
        std::size_t start = 0;
        while (start < count) {
            bounds.push_back(start);
            std::size_t end = start + 1;
            if (end < count && !InOrder(rows[start], rows[end])) {
                while (end < count && !InOrder(rows[end - 1], rows[end]))
                    ++end;
                std::reverse(rows.begin() + std::ptrdiff_t(start), rows.begin() + std::ptrdiff_t(end));
            } else {
                while (end < count && InOrder(rows[end - 1], rows[end]))
                    ++end;
            }
            start = end;
        }
        bounds.push_back(count);
        return bounds;
    }

    // Merges [first, middle) and [middle, last) of "from" into the same
    // places of "to"; on equal rows the left one goes first.
    static void Merge(Rows& from, std::size_t first, std::size_t middle, std::size_t last, Rows& to)
    {
        auto move = [&](std::size_t begin, std::size_t end, std::size_t out) {
            std::move(from.begin() + std::ptrdiff_t(begin), from.begin() + std::ptrdiff_t(end),
                      to.begin() + std::ptrdiff_t(out));
        };
        // Already in order across the seam: nothing to interleave.
        if (InOrder(from[middle - 1], from[middle])) {
            move(first, last, first);
            return;
        }
        std::size_t left = first;
        std::size_t right = middle;
        std::size_t out = first;
        while (left < middle && right < last) {
            if (InOrder(from[left], from[right]))
                to[out++] = std::move(from[left++]);
            else
                to[out++] = std::move(from[right++]);
        }
        move(left, middle, out);
        out += middle - left;
        move(right, last, out);
    }
};

template <bool Ascending>
void Sort(Rows& items)
{
    using Merger = Merger<Ascending>;
    std::vector<std::size_t> bounds = Merger::Runs(items);
    Rows spare(items.size());
    // Each round merges neighbouring runs pairwise, halving their number.
    while (bounds.size() > 2) {
        std::vector<std::size_t> merged;
        merged.reserve(bounds.size() / 2 + 2);
        std::size_t run = 0;
        for (; run + 2 < bounds.size(); run += 2) {
            merged.push_back(bounds[run]);
            Merger::Merge(items, bounds[run], bounds[run + 1], bounds[run + 2], spare);
        }
        if (run + 1 < bounds.size()) {
            // An odd run out is carried over as it stands.
            merged.push_back(bounds[run]);
            std::move(items.begin() + std::ptrdiff_t(bounds[run]), items.end(),
                      spare.begin() + std::ptrdiff_t(bounds[run]));
        }
        merged.push_back(items.size());
        items.swap(spare);
        bounds.swap(merged);
    }
}

}  // namespace

int CRowSorter::SortRows(const std::vector<const QStringList*>* rows, std::vector<uint>* order, bool ascending)
{
    if (!rows || !order)
        return 0;
    order->clear();

    Rows items;
    items.reserve(rows->size());
    for (std::size_t i = 0; i < rows->size(); ++i)
        items.emplace_back((*rows)[i], uint(i));

    if (ascending)
        Sort<true>(items);
    else
        Sort<false>(items);

    order->reserve(items.size());
    for (const CSortRow& item : items)
        order->push_back(item.GetIndex());
    return 1;
}
