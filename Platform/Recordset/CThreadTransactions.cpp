#include "CThreadTransactions.h"

quint64 CThreadTransactions::Begin(quint64 thread, std::unique_ptr<CLockWait::Step> ownStep)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    Entry& entry = m_running[thread];
    entry = Entry();
    entry.serial = ++m_lastSerial;
    entry.began = std::chrono::steady_clock::now();
    entry.step = std::move(ownStep);
    return entry.serial;
}

quint64 CThreadTransactions::Serial(quint64 thread) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    const auto it = m_running.find(thread);
    return it == m_running.end() ? 0 : it->second.serial;
}

int CThreadTransactions::ElapsedMs(quint64 thread) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    const auto it = m_running.find(thread);
    if (it == m_running.end())
        return 0;
    return int(std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - it->second.began)
                   .count());
}

void CThreadTransactions::MarkLost(quint64 thread)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    const auto it = m_running.find(thread);
    if (it != m_running.end())
        it->second.lost = true;
}

bool CThreadTransactions::IsLost(quint64 thread) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    const auto it = m_running.find(thread);
    return it != m_running.end() && it->second.lost;
}

void CThreadTransactions::Spoil(quint64 thread, const QString& reason)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    const auto it = m_running.find(thread);
    if (it != m_running.end() && it->second.spoiled.isEmpty())
        it->second.spoiled = reason;
}

QString CThreadTransactions::Spoiled(quint64 thread) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    const auto it = m_running.find(thread);
    return it == m_running.end() ? QString() : it->second.spoiled;
}

void CThreadTransactions::ClearSpoiled(quint64 thread)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    const auto it = m_running.find(thread);
    if (it != m_running.end())
        it->second.spoiled.clear();
}

CThreadTransactions::Ended CThreadTransactions::End(quint64 thread)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    Ended ended;
    const auto it = m_running.find(thread);
    if (it == m_running.end())
        return ended;
    ended.lost = it->second.lost;
    ended.step = std::move(it->second.step);
    m_running.erase(it);
    return ended;
}
