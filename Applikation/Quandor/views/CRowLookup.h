#pragma once

#include <QHash>

#include <functional>

// The first row of a cache with a given key, found without walking the cache
// at every paint: the views look a record up for each cell they show, and a
// walk per cell makes a paint cost a whole table. The index is built from
// the cache when first asked and again whenever the cache is no longer the
// one it was built from (another row count, or other first and last rows:
// a re-read makes new rows). A view calls Reset after it changed a key in a
// cached row.
template <typename Row, typename Key>
class CRowLookup
{
public:
    using RowAt = std::function<const Row*(int index)>;
    using KeyOf = std::function<Key(const Row&)>;

    CRowLookup(RowAt rowAt, KeyOf keyOf) : m_rowAt(std::move(rowAt)), m_keyOf(std::move(keyOf)) {}

    // Null when no row of the "count" rows has the key.
    const Row* Find(const Key& key, int count)
    {
        if (count <= 0)
            return nullptr;
        const Row* first = m_rowAt(0);
        const Row* last = m_rowAt(count - 1);
        if (count != m_nCount || first != m_pFirst || last != m_pLast) {
            m_index.clear();
            m_index.reserve(count);
            // Backwards, so the first row with a key is the one kept.
            for (int i = count - 1; i >= 0; --i)
                m_index.insert(m_keyOf(*m_rowAt(i)), i);
            m_nCount = count;
            m_pFirst = first;
            m_pLast = last;
        }
        const auto found = m_index.constFind(key);
        if (found == m_index.constEnd())
            return nullptr;
        const Row* row = m_rowAt(found.value());
        if (m_keyOf(*row) == key)
            return row;
        // A key changed in place: build again.
        Reset();
        return Find(key, count);
    }
    // The next Find builds the index again. Needed after a key changed in a
    // cached row: a key that moved to a row is not in the index until then.
    void Reset() { m_nCount = -1; }

private:
    RowAt m_rowAt;
    KeyOf m_keyOf;
    QHash<Key, int> m_index;
    int m_nCount = -1;
    const Row* m_pFirst = nullptr;
    const Row* m_pLast = nullptr;
};
