#include "CReplyJudge.h"

#include <algorithm>

CReplyJudge::CReplyJudge(CReplyMemory& memory, CLineHabit& habit)
    : m_memory(memory)
    , m_habit(habit)
{
}

void CReplyJudge::Start(Clock::time_point sentAt, Clock::time_point answerBy, std::chrono::milliseconds shortSpan)
{
    m_sentAt = sentAt;
    m_answerBy = answerBy;
    m_shortSpan = shortSpan;
    m_held.clear();
    m_long = false;
    m_answer.clear();
}

int CReplyJudge::Expected(const QByteArray& text, Clock::time_point now)
{
    if (m_habit.DeliversCopies())
        return m_memory.Pending(text, now);
    // Elsewhere copies are not counted on: the owed answers of earlier
    // tries are, or else (on probation) any equal reply makes a frame
    // suspect for the short span.
    const int owed = m_memory.Owed(text, now);
    if (owed > 0)
        return owed;
    return m_habit.OnProbation() ? m_memory.Pending(text, now) : 0;
}

bool CReplyJudge::Offer(const QByteArray& body, Clock::time_point at)
{
    if (Expected(body, at) == 0) {
        TakeFresh(body);
        return true;
    }
    auto it = std::find_if(m_held.begin(), m_held.end(), [&](const Held& h) { return h.text == body; });
    if (it == m_held.end()) {
        if (m_held.empty())
            m_firstHeldAt = at;
        m_held.push_back(Held{body, 1});
    } else {
        ++it->seen;
    }
    return Resolve(at);
}

bool CReplyJudge::Resolve(Clock::time_point now)
{
    for (size_t i = 0; i < m_held.size(); ++i) {
        if (m_held[i].seen > Expected(m_held[i].text, now)) {
            Take(i);
            return true;
        }
    }
    return false;
}

CReplyJudge::Clock::time_point CReplyJudge::HoldUntil(Clock::time_point now)
{
    if (m_held.empty())
        return m_answerBy;
    m_long = m_habit.DeliversCopies();
    for (const Held& h : m_held)
        m_long = m_long || m_memory.Owed(h.text, now) > 0;
    if (!m_long)
        return std::min(m_answerBy, std::max(m_firstHeldAt, m_sentAt + m_shortSpan));
    return m_answerBy;
}

QByteArray CReplyJudge::Settle(Clock::time_point now)
{
    if (m_held.empty())
        return QByteArray();
    (void)HoldUntil(now);
    // Of frames that all may follow earlier replies, the one whose reply
    // is the oldest is the likeliest to be such a frame; the youngest is
    // taken.
    size_t pick = 0;
    for (size_t i = 1; i < m_held.size(); ++i) {
        if (m_memory.OldestAge(m_held[i].text, now) < m_memory.OldestAge(m_held[pick].text, now))
            pick = i;
    }
    if (m_long)
        m_habit.NoteMissed(); // a frame it was expected to repeat did not come again
    else if (m_held.size() == 1 && m_held.front().seen == 1)
        m_habit.PassProbation();
    Take(pick);
    return m_answer;
}

void CReplyJudge::Drop(const QByteArray& text, int count)
{
    // An owed answer of an earlier try was expected on any line; anything
    // else shows a line that delivers more than it was asked for.
    for (int k = 0; k < count; ++k) {
        if (!m_memory.Consume(text))
            m_habit.NoteExtra();
    }
}

void CReplyJudge::Take(size_t index)
{
    for (size_t i = 0; i < m_held.size(); ++i)
        Drop(m_held[i].text, i == index ? m_held[i].seen - 1 : m_held[i].seen);
    m_answer = m_held[index].text;
    m_held.clear();
}

void CReplyJudge::TakeFresh(const QByteArray& body)
{
    for (const Held& h : m_held)
        Drop(h.text, h.seen);
    m_held.clear();
    m_answer = body;
}
