#pragma once

#include "CCachedText.h"
#include "CRowBlocks.h"

#include <QHash>
#include <QString>
#include <QVariant>
#include <QtGlobal>

#include <QSet>

#include <algorithm>
#include <functional>
#include <limits>
#include <memory>
#include <stdexcept>
#include <utility>
#include <variant>
#include <vector>

// One column of a cached row: a member of the row record, in binding order.
// Numbers and flags are qint32 members, texts QString members (or
// CCachedText members in a table large enough to want them compact).
template <class Row>
using CRowField = std::variant<qint32 Row::*, QString Row::*, CCachedText Row::*>;

// Changes of cached rows named by column index (binding order); the bulk
// operations of the tables use them so database and cache follow one rule.
using CColumnValues = std::vector<std::pair<int, QVariant>>;

// The in-memory rows of one table. Rows are kept in blocks and never move,
// so a pointer handed out stays valid while other rows are removed. Every row carries its
// running number nNr: the position counted from 1, or in tables whose rows
// come in groups (time schemas: four rows a schema) the group's number.
//
// The first field is the row's key. Finding a row by its key uses an index
// that is built on first use and kept until rows are removed or inserted, so
// a walk that looks up many keys costs one pass, not one pass per key.
template <class Row>
class CRowCache
{
public:
    explicit CRowCache(std::vector<CRowField<Row>> fields, int groupSize = 1)
        : m_fields(std::move(fields))
        , m_group(groupSize)
    {
    }

    // Rows taken out of a cache, with the blocks that hold them.
    class Rows
    {
    public:
        Rows() = default;
        Rows(const Rows&) = delete;
        Rows& operator=(const Rows&) = delete;
        Rows(Rows&& other) noexcept
            : order(std::move(other.order))
            , blocks(std::move(other.blocks))
        {
            other.order.clear();
        }
        Rows& operator=(Rows&& other) noexcept
        {
            if (this != &other) {
                blocks.FreeAll(order);
                order = std::move(other.order);
                other.order.clear();
                blocks = std::move(other.blocks);
            }
            return *this;
        }
        ~Rows() { blocks.FreeAll(order); }

        std::vector<Row*> order;
        CRowBlocks<Row> blocks;
    };

    int Count() const { return static_cast<int>(m_rows.order.size()); }

    Row* Get(int index) const
    {
        if (index < 0 || index >= Count())
            throw std::out_of_range("row index out of range");
        return m_rows.order[static_cast<size_t>(index)];
    }

    void Append(Row row)
    {
        if (m_indexValid) {
            // The first row with a key stays the one found.
            const auto it = m_index.constFind(Key(row));
            if (it == m_index.constEnd())
                m_index.insert(Key(row), Count());
            else
                m_keysRepeat = true;
        }
        m_rows.order.push_back(m_rows.blocks.Make(std::move(row)));
    }

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
        Row* const row = m_rows.order[static_cast<size_t>(index)];
        const qint32 number = row->nNr;
        m_rows.order.erase(m_rows.order.begin() + index);
        m_rows.blocks.Free(row);
        m_indexValid = false;
        Renumber(index, number);
        return 1;
    }

    // Cache only, one pass: removes every row for which remove(row) holds and
    // numbers the rest as RemoveAt would have, row by row. Pointers to the
    // rows kept stay valid. Returns the number of rows removed.
    template <class Predicate>
    int RemoveIf(Predicate remove)
    {
        auto& order = m_rows.order;
        const size_t before = order.size();
        // The numbering removing the rows one at a time would leave: the rows
        // count on from the number the first row had.
        const qint32 first = order.empty() ? 1 : order.front()->nNr;
        size_t kept = 0;
        for (size_t i = 0; i < before; ++i) {
            Row* row = order[i];
            if (remove(static_cast<const Row&>(*row)))
                m_rows.blocks.Free(row);
            else
                order[kept++] = row;
        }
        order.resize(kept);
        const int removed = static_cast<int>(before - kept);
        if (removed > 0) {
            m_indexValid = false;
            Renumber(0, first);
        }
        return removed;
    }

    // Cache only. A row inserted before another takes that row's number and
    // the rows behind it count on from the next one; a row appended at the
    // end continues the numbering.
    int InsertAt(int index, Row row)
    {
        if (index < 0)
            throw std::out_of_range("negative row index");
        if (index > Count())
            return 0;
        m_indexValid = false;
        if (index == Count()) {
            row.nNr = NextNumber();
            m_rows.order.push_back(m_rows.blocks.Make(std::move(row)));
            return 1;
        }
        const qint32 number = m_rows.order[static_cast<size_t>(index)]->nNr;
        row.nNr = number;
        m_rows.order.insert(m_rows.order.begin() + index, m_rows.blocks.Make(std::move(row)));
        Renumber(index + 1, number + 1);
        return 1;
    }

    void RemoveAll()
    {
        m_rows = Rows();
        m_index.clear();
        m_indexValid = false;
    }

    // Takes every row out, and puts rows taken out back in place of the
    // current ones: a re-read that fails keeps the rows shown before, and
    // pointers handed out to them stay valid.
    Rows TakeAll()
    {
        Rows rows = std::move(m_rows);
        RemoveAll();
        return rows;
    }
    void PutBack(Rows rows)
    {
        RemoveAll();
        m_rows = std::move(rows);
    }

    // The index of the row with this key, or -1. Where keys repeat (a table
    // read without its key constraint), the first such row.
    int IndexOfKey(qint32 key) const
    {
        BuildIndex();
        const auto it = m_index.constFind(key);
        return it == m_index.constEnd() ? -1 : it.value();
    }

    Row* FindByKey(qint32 key) const
    {
        const int index = IndexOfKey(key);
        return index < 0 ? nullptr : m_rows.order[static_cast<size_t>(index)];
    }


    template <class IdOf>
    qint32 MajorID(IdOf idOf) const
    {
        if (m_rows.order.empty())
            throw std::out_of_range("no rows cached");
        qint32 major = idOf(*m_rows.order.front());
        for (const Row* row : m_rows.order)
            major = std::max(major, idOf(*row));
        return major;
    }

    // The value of a column (binding order) as the database would hold it.
    QVariant Value(const Row& row, int column) const
    {
        return std::visit(
            [&](auto member) -> QVariant {
                using Member = decltype(member);
                if constexpr (std::is_same_v<Member, qint32 Row::*>)
                    return QVariant(row.*member);
                else
                    return QVariant(QString(row.*member));
            },
            m_fields.at(static_cast<size_t>(column)));
    }

    void SetValue(Row& row, int column, const QVariant& value) const
    {
        std::visit(
            [&](auto member) {
                using Member = decltype(member);
                if constexpr (std::is_same_v<Member, qint32 Row::*>)
                    row.*member = value.isNull() ? 0 : static_cast<qint32>(value.toLongLong());
                else
                    row.*member = value.isNull() ? QString() : value.toString();
            },
            m_fields.at(static_cast<size_t>(column)));
    }

    // Whether a column of the row equals the value, compared as the column's
    // type (a number column compares numbers, a text column exact text).
    bool Matches(const Row& row, int column, const QVariant& value) const
    {
        return std::visit(
            [&](auto member) {
                using Member = decltype(member);
                if constexpr (std::is_same_v<Member, qint32 Row::*>)
                    return !value.isNull() && static_cast<qint64>(row.*member) == value.toLongLong();
                else
                    return row.*member == value.toString();
            },
            m_fields.at(static_cast<size_t>(column)));
    }

    // Cache side of the bulk writes: the rows whose column holds one of the
    // values are removed, or get the assignments. One pass each.
    int RemoveWhere(int column, const QList<QVariant>& values)
    {
        const auto matches = Matcher(column, values);
        return RemoveIf(matches);
    }

    int AssignWhere(int column, const QList<QVariant>& values, const CColumnValues& assignments)
    {
        bool assignsKey = false;
        for (const auto& assignment : assignments)
            assignsKey = assignsKey || assignment.first == 0;
        auto assign = [&](Row& row) {
            for (const auto& [c, v] : assignments)
                SetValue(row, c, v);
        };
        int changed = 0;
        // Keys are found by the index however many there are: a walk that
        // writes many small groups of keys (the lists stripped of a deleted
        // reader) must not cost a pass over every row per group. A new key
        // would stale the index under the walk, and repeated keys need every
        // row that holds them: both take the pass.
        if (column == 0 && !assignsKey && IndexIsUnique()) {
            QSet<qint64> seen;
            for (const QVariant& v : values) {
                const qint64 key = v.toLongLong();
                if (values.size() > 1) {
                    if (seen.contains(key))
                        continue;
                    seen.insert(key);
                }
                if (key < std::numeric_limits<qint32>::min() || key > std::numeric_limits<qint32>::max())
                    continue;
                if (Row* row = FindByKey(static_cast<qint32>(key))) {
                    assign(*row);
                    ++changed;
                }
            }
            return changed;
        }
        const auto matches = Matcher(column, values);
        for (Row* row : m_rows.order) {
            if (matches(*row)) {
                assign(*row);
                ++changed;
            }
        }
        if (assignsKey && changed > 0)
            m_indexValid = false;
        return changed;
    }

    int FieldCount() const { return static_cast<int>(m_fields.size()); }

private:
    qint32 Key(const Row& row) const { return row.*std::get<qint32 Row::*>(m_fields.front()); }

    void BuildIndex() const
    {
        if (m_indexValid)
            return;
        m_index.clear();
        m_index.reserve(Count());
        m_keysRepeat = false;
        for (int i = Count() - 1; i >= 0; --i) {
            const qint32 key = Key(*m_rows.order[static_cast<size_t>(i)]);
            const auto it = m_index.find(key);
            if (it != m_index.end()) {
                m_keysRepeat = true;
                it.value() = i;
            } else {
                m_index.insert(key, i);
            }
        }
        m_indexValid = true;
    }

    // Whether every key is held by one row only.
    bool IndexIsUnique() const
    {
        BuildIndex();
        return !m_keysRepeat;
    }

    // A test for "column holds one of the values"; many keys are looked up
    // in a set rather than walked as a list.
    std::function<bool(const Row&)> Matcher(int column, const QList<QVariant>& values) const
    {
        if (column == 0 && values.size() > 8) {
            auto keys = std::make_shared<QSet<qint64>>();
            for (const QVariant& v : values)
                keys->insert(v.toLongLong());
            return [this, keys](const Row& row) { return keys->contains(static_cast<qint64>(Key(row))); };
        }
        if (values.size() > 8) {
            // Many values of another column (5,000 person ids): a set of them
            // in the column's type, so the pass stays one pass.
            return std::visit(
                [&](auto member) -> std::function<bool(const Row&)> {
                    using Member = decltype(member);
                    if constexpr (std::is_same_v<Member, qint32 Row::*>) {
                        auto numbers = std::make_shared<QSet<qint64>>();
                        for (const QVariant& v : values) {
                            if (!v.isNull())
                                numbers->insert(v.toLongLong());
                        }
                        return [member, numbers](const Row& row) { return numbers->contains(row.*member); };
                    } else {
                        auto texts = std::make_shared<QSet<QString>>();
                        for (const QVariant& v : values)
                            texts->insert(v.toString());
                        return [member, texts](const Row& row) { return texts->contains(QString(row.*member)); };
                    }
                },
                m_fields.at(static_cast<size_t>(column)));
        }
        return [this, column, &values](const Row& row) {
            for (const QVariant& v : values) {
                if (Matches(row, column, v))
                    return true;
            }
            return false;
        };
    }

    void Renumber(int from, qint32 firstNumber)
    {
        for (int i = from; i < Count(); ++i)
            m_rows.order[static_cast<size_t>(i)]->nNr = firstNumber + (i - from) / m_group;
    }

    Rows m_rows;
    std::vector<CRowField<Row>> m_fields;
    int m_group;
    mutable QHash<qint32, int> m_index;
    mutable bool m_indexValid = false;
    mutable bool m_keysRepeat = false;
};
