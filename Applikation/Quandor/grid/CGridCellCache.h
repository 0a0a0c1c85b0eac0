#pragma once

#include <QtGlobal>

#include <functional>
#include <memory>
#include <unordered_map>
#include <vector>

class CGridCellBase;

// The display copies of a virtual grid, one per displayed position, keyed at
// full width (CCellID::Key). Copies that go out of use (a stale cache, a
// trimmed position, a replaced cell) are retired rather than deleted: a cell
// operation or an owner's handler may still be running on one, so the grid
// frees the retired cells only when no cell is in use.
class CGridCellCache
{
public:
    CGridCellCache();
    ~CGridCellCache();

    CGridCellBase* Find(quint64 key) const;
    // Stores the cell under the key; a cell already there is retired.
    CGridCellBase* Insert(quint64 key, std::unique_ptr<CGridCellBase> cell);
    void Remove(quint64 key);

    // The next lookup starts from an empty cache.
    void MarkStale() { m_bStale = true; }
    bool IsStale() const { return m_bStale; }
    // Empties the cache when it is stale.
    void DropIfStale();
    // Retires every entry that "keep" refuses.
    void RetireUnless(const std::function<bool(quint64 key)>& keep);
    void ForEach(const std::function<void(CGridCellBase&)>& visit) const;

    void Retire(std::unique_ptr<CGridCellBase> cell);
    bool HasRetired() const { return !m_retired.empty(); }
    void ReleaseRetired();

    std::size_t Size() const { return m_cells.size(); }
    std::size_t RetiredCount() const { return m_retired.size(); }

private:
    std::unordered_map<quint64, std::unique_ptr<CGridCellBase>> m_cells;
    std::vector<std::unique_ptr<CGridCellBase>> m_retired;
    bool m_bStale = false;
};
