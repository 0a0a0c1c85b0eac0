#include "CTurnQueue.h"

#include <chrono>

bool CTurnQueue::Take(quint64 thread, int waitMs)
{
    std::unique_lock<std::mutex> lock(m_mutex);
    if (m_owner == thread) {
        ++m_depth;
        return true;
    }
    const quint64 ticket = m_nextTicket++;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(waitMs);
    const bool mine = m_changed.wait_until(lock, deadline, [&] { return m_serving == ticket && m_owner == 0; });
    if (!mine) {
        if (m_serving == ticket)
            ServeNext();
        else
            m_abandoned.insert(ticket);
        return false;
    }
    m_owner = thread;
    m_depth = 1;
    return true;
}

void CTurnQueue::Give(quint64 thread)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_owner != thread || --m_depth > 0)
        return;
    m_owner = 0;
    ServeNext();
}

void CTurnQueue::ServeNext()
{
    ++m_serving;
    while (m_abandoned.erase(m_serving))
        ++m_serving;
    m_changed.notify_all();
}
