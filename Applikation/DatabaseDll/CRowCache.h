#pragma once

#include <QtGlobal>

#include <algorithm>
#include <memory>
#include <stdexcept>
#include <vector>

// The in-memory rows of one table. Rows are owned one by one, so a pointer
// handed out stays valid while other rows are removed. Every row carries its
// running number nNr: the position counted from 1, or in tables whose rows
// come in groups (time schemas: four rows a schema) the group's number.
template <class Row>
class CRowCache
{
public:
    explicit CRowCache(int groupSize = 1)
        : m_group(groupSize)
    {
    }

    int Count() const { return static_cast<int>(m_rows.size()); }

    Row* Get(int index) const
    {
        if (index < 0 || index >= Count())
            throw std::out_of_range("row index out of range");
        return m_rows[static_cast<size_t>(index)].get();
    }

    void Append(std::unique_ptr<Row> row) { m_rows.push_back(std::move(row)); }

    // The running number a row appended now gets.
    qint32 NextNumber() const { return static_cast<qint32>(Count() / m_group + 1); }

    // Cache only. The rows that followed the removed one take its number on,
    // one more for every next row (or group of rows).
    int RemoveAt(int index)
    {
        if (index < 0)
            throw std::out_of_range("negative row index");
        if (index >= Count())
            return 0;
        const qint32 number = m_rows[static_cast<size_t>(index)]->nNr;
        m_rows.erase(m_rows.begin() + index);
        Renumber(index, number);
        return 1;
    }

    // Cache only. A row inserted before another takes that row's number and
    // the rows behind it count on from the next one; a row appended at the
    // end continues the numbering.
    int InsertAt(int index, std::unique_ptr<Row> row)
    {
        if (index < 0)
            throw std::out_of_range("negative row index");
        if (index > Count())
            return 0;
        if (index == Count()) {
            row->nNr = NextNumber();
            m_rows.push_back(std::move(row));
            return 1;
        }
        const qint32 number = m_rows[static_cast<size_t>(index)]->nNr;
        row->nNr = number;
        m_rows.insert(m_rows.begin() + index, std::move(row));
        Renumber(index + 1, number + 1);
        return 1;
    }

    void RemoveAll() { m_rows.clear(); }

    // Exchanges the rows of two caches; handed-out row pointers stay valid.
    void Swap(CRowCache& other) { m_rows.swap(other.m_rows); }

    // Cache only. Removes every row the predicate picks in one pass and
    // numbers the rows that stay from 1 again (by group in grouped tables),
    // so many removals cost one walk instead of one walk each. Returns the
    // rows removed; pointers to the rows that stay remain valid.
    template <class Pred>
    int RemoveIf(Pred pick)
    {
        const auto firstRemoved = std::stable_partition(m_rows.begin(), m_rows.end(),
                                                        [&](const std::unique_ptr<Row>& row) { return !pick(*row); });
        const int removed = static_cast<int>(m_rows.end() - firstRemoved);
        m_rows.erase(firstRemoved, m_rows.end());
        if (removed > 0)
            Renumber(0, 1);
        return removed;
    }

    template <class IdOf>
    qint32 MajorID(IdOf idOf) const
    {
        if (m_rows.empty())
            throw std::out_of_range("no rows cached");
        qint32 major = idOf(*m_rows.front());
        for (const auto& row : m_rows)
            major = std::max(major, idOf(*row));
        return major;
    }

private:
    void Renumber(int from, qint32 firstNumber)
    {
        for (int i = from; i < Count(); ++i)
            m_rows[static_cast<size_t>(i)]->nNr = firstNumber + (i - from) / m_group;
    }

    std::vector<std::unique_ptr<Row>> m_rows;
    int m_group;
};
