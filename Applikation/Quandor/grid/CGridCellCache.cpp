#include "CGridCellCache.h"

#include "CGridCellBase.h"

CGridCellCache::CGridCellCache() = default;
CGridCellCache::~CGridCellCache() = default;

CGridCellBase* CGridCellCache::Find(quint64 key) const
{
    const auto it = m_cells.find(key);
    return it == m_cells.end() ? nullptr : it->second.get();
}

CGridCellBase* CGridCellCache::Insert(quint64 key, std::unique_ptr<CGridCellBase> cell)
{
    CGridCellBase* stored = cell.get();
    auto& slot = m_cells[key];
    if (slot)
        Retire(std::move(slot));
    slot = std::move(cell);
    return stored;
}

void CGridCellCache::Remove(quint64 key)
{
    const auto it = m_cells.find(key);
    if (it == m_cells.end())
        return;
    Retire(std::move(it->second));
    m_cells.erase(it);
}

void CGridCellCache::DropIfStale()
{
    if (!m_bStale)
        return;
    m_bStale = false;
    m_retired.reserve(m_retired.size() + m_cells.size());
    for (auto& entry : m_cells)
        m_retired.push_back(std::move(entry.second));
    m_cells.clear();
}

void CGridCellCache::RetireUnless(const std::function<bool(quint64 key)>& keep)
{
    for (auto it = m_cells.begin(); it != m_cells.end();) {
        if (keep(it->first)) {
            ++it;
        } else {
            Retire(std::move(it->second));
            it = m_cells.erase(it);
        }
    }
}

void CGridCellCache::ForEach(const std::function<void(CGridCellBase&)>& visit) const
{
    for (const auto& entry : m_cells)
        visit(*entry.second);
}

void CGridCellCache::Retire(std::unique_ptr<CGridCellBase> cell)
{
    if (cell)
        m_retired.push_back(std::move(cell));
}

void CGridCellCache::ReleaseRetired()
{
    // Swap first: a cell's destructor must never find the list half freed.
    std::vector<std::unique_ptr<CGridCellBase>> retired;
    retired.swap(m_retired);
}
