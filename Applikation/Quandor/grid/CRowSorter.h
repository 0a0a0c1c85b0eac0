#pragma once

#include <QStringList>

#include <vector>

// Orders the rows of a grid by their texts and gives back the new order as
// the rows' original indices. It moves none of the caller's rows and
// changes none of their texts, independent of any window.
//
// A natural merge sort: the runs the rows already form are found first and
// then merged pairwise, so rows that are already in order take a single
// pass. Equal rows keep their input order in both directions, and the work
// is O(n log n) whatever the texts.
class CRowSorter
{
public:
    // "rows" holds one text list per row (a null entry is a row without
    // texts); "order" is emptied and receives one index per row. Returns 1
    // after sorting, 0 at once (order untouched) when rows or order is null.
    static int SortRows(const std::vector<const QStringList*>* rows, std::vector<uint>* order, bool ascending);
};
