#pragma once

#include <QByteArray>
#include <QHash>

#include <chrono>
#include <deque>

// The replies a link has taken lately, and the frames that may still follow
// each of them. Some readers and converters send a reply twice, the copy a
// while after the first; the event and slot replies carry no number, so a
// copy would pass for the answer to the next command. A command that was
// sent again because its first try got no answer in time may be answered
// twice as well. A frame equal to a remembered reply is therefore suspect
// while the window after that reply lasts.
//
// Each taken reply stands for one frame that may follow it: a copy, which
// only a line that delivers copies sends. A reply to a command sent more
// than once stands for one more, the answer of the earlier try, which
// follows whatever the line; that one is owed. Consume() uses up one
// open frame when it comes, the oldest first.
class CReplyMemory
{
public:
    using Clock = std::chrono::steady_clock;

    static constexpr int kMaxRemembered = 8192;

    void SetWindow(int windowMs) { m_window = std::chrono::milliseconds(windowMs); }
    std::chrono::milliseconds Window() const { return m_window; }
    void Clear();

    // A reply taken at `at`; owed: answers of earlier tries of its command
    // that may still come.
    void Remember(const QByteArray& reply, Clock::time_point at, int owed = 0);
    // Frames equal to reply that may still come (copies and owed answers).
    int Pending(const QByteArray& reply, Clock::time_point now);
    // Only the owed ones: they come on any line.
    int Owed(const QByteArray& reply, Clock::time_point now);
    // When the oldest open frame equal to reply stops being expected (its
    // reply's time plus the window); now when none is open.
    Clock::time_point OpenUntil(const QByteArray& reply, Clock::time_point now);
    // How long ago the oldest open frame's reply came: the older, the
    // likelier a frame equal to it is that frame rather than an answer.
    Clock::duration OldestAge(const QByteArray& reply, Clock::time_point now) const;
    // One frame equal to reply came and was dropped: true when it was an
    // owed answer, false for a copy or a frame nothing stood for.
    bool Consume(const QByteArray& reply);

private:
    struct Entry {
        QByteArray reply;
        Clock::time_point at;
        bool owed = false;
        bool consumed = false;
    };
    // The open entries of one reply text, oldest first, by number.
    struct Open {
        std::deque<quint64> numbers;
        int owed = 0;
    };
    void Expire(Clock::time_point now);
    const Entry& At(quint64 number) const { return m_entries[size_t(number - m_first)]; }
    Entry& At(quint64 number) { return m_entries[size_t(number - m_first)]; }

    std::chrono::milliseconds m_window{2000};
    std::deque<Entry> m_entries; // oldest first
    quint64 m_first = 0;         // the number of m_entries.front()
    QHash<QByteArray, Open> m_open;
};
