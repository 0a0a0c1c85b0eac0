#pragma once

#include <QByteArray>
#include <QHash>

#include <chrono>
#include <deque>

// The replies a link has taken lately, so that a second copy of one is
// known when it comes. Some readers and converters send a reply twice, the
// copy a while after the first; the event and slot replies carry no number,
// so a copy would pass for the answer to the next command. A frame equal to
// a reply taken within the window is therefore suspect: it is the answer
// only when nothing else comes for the command. Each remembered reply
// stands for at most one copy: Consume() uses it up.
class CReplyMemory
{
public:
    using Clock = std::chrono::steady_clock;

    static constexpr int kMaxRemembered = 8192;

    void SetWindow(int windowMs) { m_window = std::chrono::milliseconds(windowMs); }
    void Clear();

    void Remember(const QByteArray& reply, Clock::time_point at);
    // The number of remembered replies equal to this one whose copy may
    // still come.
    int Pending(const QByteArray& reply, Clock::time_point now);
    bool IsSuspect(const QByteArray& reply, Clock::time_point now) { return Pending(reply, now) > 0; }
    // One copy of reply came and was dropped.
    void Consume(const QByteArray& reply);

private:
    struct Entry {
        QByteArray reply;
        Clock::time_point at;
        bool consumed = false;
    };
    void Expire(Clock::time_point now);

    std::chrono::milliseconds m_window{2000};
    std::deque<Entry> m_entries;
    QHash<QByteArray, int> m_counts; // entries per reply text, consumed ones excluded
};
