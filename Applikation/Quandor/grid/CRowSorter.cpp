#include "CRowSorter.h"

#include "CSortRow.h"

#include <algorithm>

namespace
{

// Runs and merges over indices into the sort rows, for one direction: "a"
// may stay before "b" when it is before-or-equal (ascending) or
// after-or-equal (descending).
class Merger
{
public:
    Merger(const std::vector<CSortRow>& rows, bool ascending) : m_rows(rows), m_ascending(ascending) {}

    bool InOrder(uint a, uint b) const
    {
        return m_ascending ? m_rows[a].IsBeforeOrEqual(m_rows[b]) : m_rows[a].IsAfterOrEqual(m_rows[b]);
    }

    // Cuts "items" into runs that are in order; a run strictly against the
    // order is turned round (which keeps equal rows in input order, since
    // it holds none). Returns the start of each run and the end.
    std::vector<std::size_t> Runs(std::vector<uint>& items) const
    {
        std::vector<std::size_t> bounds;
        const std::size_t count = items.size();
        std::size_t start = 0;
        while (start < count) {
            bounds.push_back(start);
            std::size_t end = start + 1;
            if (end < count && !InOrder(items[start], items[end])) {
                while (end < count && !InOrder(items[end - 1], items[end]))
                    ++end;
                std::reverse(items.begin() + std::ptrdiff_t(start), items.begin() + std::ptrdiff_t(end));
            } else {
                while (end < count && InOrder(items[end - 1], items[end]))
                    ++end;
            }
            start = end;
        }
        bounds.push_back(count);
        return bounds;
    }

    // Merges [first, middle) and [middle, last) of "from" into "to"; on
    // equal rows the left one goes first.
    void Merge(const uint* from, std::size_t first, std::size_t middle, std::size_t last, uint* to) const
    {
        std::size_t left = first;
        std::size_t right = middle;
        std::size_t out = first;
        // Already in order across the seam: nothing to interleave.
        if (left < middle && right < last && InOrder(from[middle - 1], from[right])) {
            std::copy(from + first, from + last, to + first);
            return;
        }
        while (left < middle && right < last) {
            if (InOrder(from[left], from[right]))
                to[out++] = from[left++];
            else
                to[out++] = from[right++];
        }
        std::copy(from + left, from + middle, to + out);
        out += middle - left;
        std::copy(from + right, from + last, to + out);
    }

private:
    const std::vector<CSortRow>& m_rows;
    bool m_ascending;
};

}  // namespace

int CRowSorter::SortRows(const std::vector<const QStringList*>* rows, std::vector<uint>* order, bool ascending)
{
    if (!rows || !order)
        return 0;
    order->clear();

    std::vector<CSortRow> sortRows;
    sortRows.reserve(rows->size());
    std::vector<uint> items;
    items.reserve(rows->size());
    for (std::size_t i = 0; i < rows->size(); ++i) {
        sortRows.emplace_back((*rows)[i], uint(i));
        items.push_back(uint(i));
    }

    const Merger merger(sortRows, ascending);
    std::vector<std::size_t> bounds = merger.Runs(items);
    std::vector<uint> spare(items.size());
    // Each round merges neighbouring runs pairwise, halving their number.
    while (bounds.size() > 2) {
        std::vector<std::size_t> merged;
        merged.reserve(bounds.size() / 2 + 2);
        std::size_t run = 0;
        for (; run + 2 < bounds.size(); run += 2) {
            merged.push_back(bounds[run]);
            merger.Merge(items.data(), bounds[run], bounds[run + 1], bounds[run + 2], spare.data());
        }
        if (run + 1 < bounds.size()) {
            // An odd run out is carried over as it stands.
            merged.push_back(bounds[run]);
            std::copy(items.begin() + std::ptrdiff_t(bounds[run]), items.end(),
                      spare.begin() + std::ptrdiff_t(bounds[run]));
        }
        merged.push_back(items.size());
        items.swap(spare);
        bounds.swap(merged);
    }

    order->reserve(items.size());
    for (uint item : items)
        order->push_back(sortRows[item].GetIndex());
    return 1;
}
