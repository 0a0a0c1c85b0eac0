#include "CRecordsetRegistry.h"

#include <algorithm>

void CRecordsetRegistry::Add(CRecordset* set, quint64 thread)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_sets.emplace_back(set, thread);
}

void CRecordsetRegistry::Remove(CRecordset* set)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_sets.erase(std::remove_if(m_sets.begin(), m_sets.end(), [set](const auto& e) { return e.first == set; }),
                 m_sets.end());
}

void CRecordsetRegistry::NoteUse(CRecordset* set, quint64 thread)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    for (auto& e : m_sets) {
        if (e.first == set)
            e.second = thread;
    }
}

std::vector<CRecordset*> CRecordsetRegistry::SetsOf(quint64 thread) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    std::vector<CRecordset*> sets;
    for (const auto& e : m_sets) {
        if (e.second == thread)
            sets.push_back(e.first);
    }
    return sets;
}
