#include "CReplyMemory.h"

#include <algorithm>

void CReplyMemory::Clear()
{
    m_first += m_entries.size();
    m_entries.clear();
    m_open.clear();
}

void CReplyMemory::Expire(Clock::time_point now)
{
    while (!m_entries.empty() && (now - m_entries.front().at > m_window || m_entries.size() > size_t(kMaxRemembered))) {
        const Entry& front = m_entries.front();
        if (!front.consumed) {
            // Entries open in the order they were made: the oldest of its
            // text is this one.
            auto it = m_open.find(front.reply);
            if (it != m_open.end()) {
                it->numbers.pop_front();
                if (front.owed)
                    --it->owed;
                if (it->numbers.empty())
                    m_open.erase(it);
            }
        }
        m_entries.pop_front();
        ++m_first;
    }
}

void CReplyMemory::Remember(const QByteArray& reply, Clock::time_point at, int owed)
{
    Expire(at);
    owed = std::max(0, owed);
    Open& open = m_open[reply];
    // The answers of the earlier tries come before a copy, if one comes.
    for (int i = 0; i <= owed; ++i) {
        open.numbers.push_back(m_first + m_entries.size());
        m_entries.push_back(Entry{reply, at, i < owed, false});
    }
    open.owed += owed;
}

int CReplyMemory::Pending(const QByteArray& reply, Clock::time_point now)
{
    Expire(now);
    auto it = m_open.constFind(reply);
    return it == m_open.constEnd() ? 0 : int(it->numbers.size());
}

int CReplyMemory::Owed(const QByteArray& reply, Clock::time_point now)
{
    Expire(now);
    auto it = m_open.constFind(reply);
    return it == m_open.constEnd() ? 0 : it->owed;
}

CReplyMemory::Clock::time_point CReplyMemory::OpenUntil(const QByteArray& reply, Clock::time_point now)
{
    Expire(now);
    auto it = m_open.constFind(reply);
    if (it == m_open.constEnd())
        return now;
    return At(it->numbers.front()).at + m_window;
}

CReplyMemory::Clock::duration CReplyMemory::OldestAge(const QByteArray& reply, Clock::time_point now) const
{
    auto it = m_open.constFind(reply);
    if (it == m_open.constEnd())
        return Clock::duration::zero();
    return now - At(it->numbers.front()).at;
}

bool CReplyMemory::Consume(const QByteArray& reply)
{
    auto it = m_open.find(reply);
    if (it == m_open.end())
        return false;
    Entry& entry = At(it->numbers.front());
    entry.consumed = true;
    if (entry.owed)
        --it->owed;
    it->numbers.pop_front();
    if (it->numbers.empty())
        m_open.erase(it);
    return entry.owed;
}
