#include "CReplyMemory.h"

void CReplyMemory::Clear()
{
    m_entries.clear();
    m_counts.clear();
}

void CReplyMemory::Expire(Clock::time_point now)
{
    while (!m_entries.empty() && (now - m_entries.front().at > m_window || m_entries.size() > size_t(kMaxRemembered))) {
        const Entry& front = m_entries.front();
        // A consumed reply has left the count already.
        auto it = front.consumed ? m_counts.end() : m_counts.find(front.reply);
        if (it != m_counts.end() && --it.value() <= 0)
            m_counts.erase(it);
        m_entries.pop_front();
    }
}

void CReplyMemory::Remember(const QByteArray& reply, Clock::time_point at)
{
    Expire(at);
    m_entries.push_back(Entry{reply, at, false});
    ++m_counts[reply];
}

int CReplyMemory::Pending(const QByteArray& reply, Clock::time_point now)
{
    Expire(now);
    return m_counts.value(reply, 0);
}

CReplyMemory::Clock::duration CReplyMemory::OldestAge(const QByteArray& reply, Clock::time_point now) const
{
    for (const Entry& entry : m_entries) {
        if (!entry.consumed && entry.reply == reply)
            return now - entry.at;
    }
    return Clock::duration::zero();
}

void CReplyMemory::Consume(const QByteArray& reply)
{
    auto it = m_counts.find(reply);
    if (it == m_counts.end())
        return;
    if (--it.value() <= 0)
        m_counts.erase(it);
    // The oldest one is the one whose copy is due first.
    for (Entry& entry : m_entries) {
        if (!entry.consumed && entry.reply == reply) {
            entry.consumed = true;
            break;
        }
    }
}
