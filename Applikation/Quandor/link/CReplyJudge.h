#pragma once

#include "CLineHabit.h"
#include "CReplyMemory.h"

#include <QByteArray>

#include <algorithm>
#include <chrono>
#include <vector>

// Which of the frames that come while one command waits is its answer.
// The caller offers only frames of the answer's form (letter, echo, the
// reply's kind); what is left to tell is the answer from a frame equal to
// a reply taken lately (see CReplyMemory): a copy of that reply, or the
// answer of an earlier try of its command.
//
// - A frame that equals no open frame is the answer; what was held before
//   it were frames that follow earlier replies.
// - More frames of one text than can follow earlier replies: one of them
//   is the answer.
// - Otherwise the frame is held. On a line that delivers copies, and for
//   the owed answers of earlier tries, the hold lasts as long as the answer
//   itself is awaited: the frames that come decide, not how soon they come,
//   and only a frame lost on the line leaves the choice to the time. On
//   other lines a held frame is the answer when nothing else has come
//   within a short span after the command was sent.
//
// Time is judged by what had arrived: the caller reads what is waiting on
// the line before it calls Settle() at HoldUntil(), so a program that looks
// late does not take a copy for an answer that was already there.
class CReplyJudge
{
public:
    using Clock = std::chrono::steady_clock;

    CReplyJudge(CReplyMemory& memory, CLineHabit& habit);

    // A new command, sent at sentAt, whose answer is awaited until
    // answerBy; shortSpan: how long after sentAt a held frame waits on a
    // line not known to deliver copies.
    void Start(Clock::time_point sentAt, Clock::time_point answerBy, std::chrono::milliseconds shortSpan);
    // A new caller awaits the same answer until answerBy.
    void ExtendTo(Clock::time_point answerBy) { m_answerBy = std::max(m_answerBy, answerBy); }
    // A frame of the answer's form came at `at`: true when the answer is
    // known (Answer()).
    bool Offer(const QByteArray& body, Clock::time_point at);
    bool IsHolding() const { return !m_held.empty(); }
    // When the held frames are judged by time: the deadline when nothing is
    // held.
    Clock::time_point HoldUntil(Clock::time_point now);
    // The time is up (and what had arrived was offered): the held frame
    // that is most likely the answer; empty when nothing is held.
    QByteArray Settle(Clock::time_point now);
    const QByteArray& Answer() const { return m_answer; }

private:
    struct Held {
        QByteArray text;
        int seen = 0;
    };
    // Frames equal to text that may follow earlier replies, by the line's
    // habit: all of them on a line that delivers copies, else the owed
    // answers of earlier tries, or on probation any.
    int Expected(const QByteArray& text, Clock::time_point now);
    // A held text that came more often than it can follow earlier replies.
    bool Resolve(Clock::time_point now);
    void Take(size_t index);
    // count frames equal to text were not the answer.
    void Drop(const QByteArray& text, int count);
    void TakeFresh(const QByteArray& body);

    CReplyMemory& m_memory;
    CLineHabit& m_habit;
    Clock::time_point m_sentAt;
    Clock::time_point m_answerBy;
    std::chrono::milliseconds m_shortSpan{0};
    std::vector<Held> m_held;
    Clock::time_point m_firstHeldAt;
    bool m_long = false; // the hold waits for frames, not for the short span
    QByteArray m_answer;
};
