#include "CCellSet.h"

#include <QtAlgorithms>

#include <algorithm>

namespace
{

// Bits first..last (0..63) of one word.
quint64 Mask(int first, int last)
{
    const quint64 upper = last >= 63 ? ~quint64(0) : (quint64(1) << (last + 1)) - 1;
    return upper & ~((quint64(1) << first) - 1);
}

}  // namespace

// ---------------------------------------------------------------------------
// Columns

const quint64* CCellSet::Columns::Word(int index) const
{
    if (index == 0)
        return &m_first;
    const std::size_t more = std::size_t(index - 1);
    return more < m_more.size() ? &m_more[more] : nullptr;
}

quint64* CCellSet::Columns::Word(int index, bool grow)
{
    if (index == 0)
        return &m_first;
    const std::size_t more = std::size_t(index - 1);
    if (more >= m_more.size()) {
        if (!grow)
            return nullptr;
        m_more.resize(more + 1, 0);
    }
    return &m_more[more];
}

bool CCellSet::Columns::Test(int col) const
{
    const quint64* word = Word(col / 64);
    return word && (*word & (quint64(1) << (col % 64))) != 0;
}

int CCellSet::Columns::Set(int firstCol, int lastCol)
{
    int changed = 0;
    for (int index = firstCol / 64; index <= lastCol / 64; ++index) {
        const int from = index == firstCol / 64 ? firstCol % 64 : 0;
        const int to = index == lastCol / 64 ? lastCol % 64 : 63;
        quint64* word = Word(index, true);
        const quint64 added = Mask(from, to) & ~*word;
        *word |= added;
        changed += qPopulationCount(added);
    }
    m_count += changed;
    return changed;
}

int CCellSet::Columns::Reset(int firstCol, int lastCol)
{
    int changed = 0;
    for (int index = firstCol / 64; index <= lastCol / 64; ++index) {
        quint64* word = Word(index, false);
        if (!word)
            break;
        const int from = index == firstCol / 64 ? firstCol % 64 : 0;
        const int to = index == lastCol / 64 ? lastCol % 64 : 63;
        const quint64 removed = Mask(from, to) & *word;
        *word &= ~removed;
        changed += qPopulationCount(removed);
    }
    m_count -= changed;
    return changed;
}

int CCellSet::Columns::Unite(const Columns& other)
{
    int changed = 0;
    for (int index = 0; index <= int(other.m_more.size()); ++index) {
        const quint64 bits = *other.Word(index);
        if (!bits)
            continue;
        quint64* word = Word(index, true);
        const quint64 added = bits & ~*word;
        *word |= added;
        changed += qPopulationCount(added);
    }
    m_count += changed;
    return changed;
}

int CCellSet::Columns::Last() const
{
    for (std::size_t more = m_more.size(); more > 0; --more) {
        if (m_more[more - 1])
            return int(more) * 64 + 63 - qCountLeadingZeroBits(m_more[more - 1]);
    }
    return m_first ? 63 - qCountLeadingZeroBits(m_first) : -1;
}

void CCellSet::Columns::AppendTo(std::vector<int>& cols) const
{
    for (int index = 0; index <= int(m_more.size()); ++index) {
        quint64 bits = *Word(index);
        while (bits) {
            cols.push_back(index * 64 + qCountTrailingZeroBits(bits));
            bits &= bits - 1;
        }
    }
}

// ---------------------------------------------------------------------------
// The set

bool CCellSet::Contains(int row, int col) const
{
    if (row < 0 || col < 0)
        return false;
    const auto it = m_rows.find(row);
    return it != m_rows.end() && it->second.Test(col);
}

bool CCellSet::Insert(int row, int col)
{
    return InsertColumns(row, col, col);
}

bool CCellSet::Remove(int row, int col)
{
    return RemoveColumns(row, col, col);
}

bool CCellSet::InsertColumns(int row, int firstCol, int lastCol)
{
    firstCol = std::max(firstCol, 0);
    if (row < 0 || lastCol < firstCol)
        return false;
    const int added = m_rows[row].Set(firstCol, lastCol);
    m_count += added;
    m_maxRow = std::max(m_maxRow, row);
    m_maxCol = std::max(m_maxCol, lastCol);
    return added > 0;
}

bool CCellSet::RemoveColumns(int row, int firstCol, int lastCol)
{
    firstCol = std::max(firstCol, 0);
    if (row < 0 || lastCol < firstCol)
        return false;
    const auto it = m_rows.find(row);
    if (it == m_rows.end())
        return false;
    const int removed = it->second.Reset(firstCol, lastCol);
    m_count -= removed;
    if (it->second.Count() == 0)
        m_rows.erase(it);
    return removed > 0;
}

void CCellSet::InsertAll(const CCellSet& other)
{
    if (&other == this)
        return;
    for (const auto& entry : other.m_rows)
        m_count += m_rows[entry.first].Unite(entry.second);
    m_maxRow = std::max(m_maxRow, other.m_maxRow);
    m_maxCol = std::max(m_maxCol, other.m_maxCol);
}

void CCellSet::Clear()
{
    m_rows.clear();
    m_count = 0;
    m_maxRow = -1;
    m_maxCol = -1;
}

void CCellSet::RemoveOutside(int rows, int cols)
{
    if (m_maxRow < rows && m_maxCol < cols)
        return;
    for (auto it = m_rows.begin(); it != m_rows.end();) {
        Columns& columns = it->second;
        if (it->first >= rows) {
            m_count -= columns.Count();
            it = m_rows.erase(it);
            continue;
        }
        const int last = columns.Last();
        if (last >= cols)
            m_count -= columns.Reset(std::max(cols, 0), last);
        if (columns.Count() == 0)
            it = m_rows.erase(it);
        else
            ++it;
    }
    m_maxRow = std::min(m_maxRow, rows - 1);
    m_maxCol = std::min(m_maxCol, cols - 1);
}

bool CCellSet::HasRowIn(int firstRow, int lastRow) const
{
    if (m_rows.empty() || lastRow < firstRow)
        return false;
    // Whichever is shorter: the rows asked about or the rows held.
    if (qint64(lastRow) - firstRow + 1 < qint64(m_rows.size())) {
        for (int row = firstRow; row <= lastRow; ++row) {
            if (m_rows.count(row))
                return true;
        }
        return false;
    }
    for (const auto& entry : m_rows) {
        if (entry.first >= firstRow && entry.first <= lastRow)
            return true;
    }
    return false;
}

std::vector<int> CCellSet::Rows() const
{
    std::vector<int> rows;
    rows.reserve(m_rows.size());
    for (const auto& entry : m_rows)
        rows.push_back(entry.first);
    std::sort(rows.begin(), rows.end());
    return rows;
}

std::vector<CCellID> CCellSet::Cells() const
{
    std::vector<CCellID> cells;
    cells.reserve(std::size_t(m_count));
    std::vector<int> cols;
    for (int row : Rows()) {
        cols.clear();
        m_rows.at(row).AppendTo(cols);
        for (int col : cols)
            cells.emplace_back(row, col);
    }
    return cells;
}

std::vector<int> CCellSet::ColumnsOf(int row) const
{
    std::vector<int> cols;
    const auto it = m_rows.find(row);
    if (it != m_rows.end())
        it->second.AppendTo(cols);
    return cols;
}
