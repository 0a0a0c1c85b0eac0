#pragma once

#include "CSerialPort.h"
#include "CLineHabit.h"
#include "CLinkTiming.h"
#include "CReplyMemory.h"

#include <QByteArray>
#include <QString>

#include <atomic>
#include <chrono>
#include <mutex>

// The port of the reader link and the exchanges on it. One exchange (a
// command and its reply, or one step of the polling thread) holds the line
// at a time, so two threads can never interleave their bytes.
//
// Shutdown() closes the port at once, even under a thread that waits for a
// reply, and refuses every later Open() until Arm(): a search thread that
// was about to reopen the port when the user went offline cannot bring it
// back.
//
// Every opening of the port has a number of its own (Epoch()). An exchange
// that names the opening it was meant for fails at once on any other, so a
// command of one connection never goes out on the next.
//
// Every reply belongs to the command that asked for it:
// - a command takes only a frame of its own form (for a framed command the
//   letter and the echo of its first data character, for a plain one the
//   kind of reply its letter gets);
// - a reply that has not come when its command gives up may still come. A
//   repeat of the same command on a line that has spoken first waits out
//   that reply's time: a late reply to the earlier try is its answer, and
//   the frame goes out again only when nothing came (and then the earlier
//   try's answer is owed: it may still come after the new one). The next
//   command of another kind waits until the late reply is in (and throws
//   it away) or its time has passed;
// - some lines deliver a reply twice, the copy a while later. A frame
//   equal to a reply taken lately is judged by CReplyJudge: on a line
//   known to deliver copies by counting the frames that come, elsewhere by
//   a short wait for another answer (see CLineHabit for what the line is
//   known to do).
// The line counts as lost once the port refuses the bytes of a command (it
// hung up) or no byte at all has come for as long as the polling thread's
// lost-link count lasts (linkLostReads reads of firstByteMs); from then on
// every exchange fails at once, until the next opening.
class CReaderChannel
{
public:
    struct Reading {
        bool complete = false; // STX and EOT seen
        bool anyByte = false;
        bool closed = false;   // the port is closed
        int readCalls = 0;     // one per byte read or time-out
        QByteArray body;
    };

    // Any opening: for the link's own thread, which opens the port itself.
    static constexpr quint64 kAnyEpoch = 0;
    // Longest an exchange may read before it gives up on a babbling line.
    static constexpr int kMaxBytesPerExchange = 1024;
    // Unasked reports (and replies of another form) skipped while a direct
    // command waits for its answer.
    static constexpr int kMaxSkippedReports = 5;
    // The times of every exchange (reply byte, whole exchange, late reply);
    // set while no exchange runs.
    void SetTiming(const CLinkTiming& timing);
    CLinkTiming Timing() const;

    bool Open(const QString& devicePath, quint8 baudSelector);
    void Close();
    void Shutdown();
    void Arm();
    bool IsOpen() const { return m_port.IsOpen(); }
    // The number of the current opening; a new one at each Open().
    quint64 Epoch() const;
    // The line was found lost (see above); any thread.
    bool IsLost() const { return m_lost.load(); }
    // What the line of this opening has shown of frames nobody asked for;
    // the polling thread judges by it and adds what it sees.
    CLineHabit& Habit() { return m_habit; }
    unsigned BaudRate() const { return m_port.BaudRate(); }
    QString LastError() const { return m_port.LastError(); }

    // A direct command: purges both directions, writes the frame and reads
    // the answer, each byte within 2000 ms and all of it within 4000 ms
    // (at the default timing).
    // Frames that cannot be the answer are skipped: unasked 'R' reports,
    // and for a framed command every frame that does not carry its letter.
    // Returns the text between STX and EOT, or empty when no complete
    // answer came or the port is not the opening epoch names.
    QByteArray Exchange(const QByteArray& frame, quint64 epoch = kAnyEpoch);

    // The polling thread's steps: purge what was received, then write.
    bool Send(const QByteArray& frame);
    // Reads one frame: the first byte within firstByteTimeoutMs, every
    // byte after STX within the reply-byte time; a wait without a byte ends
    // the reading.
    // A listening read ends also at Interrupt() while no frame has begun.
    Reading ReadFrame(int firstByteTimeoutMs, bool listening = false);
    // Calls a listening read back at once (any thread, no lock).
    void Interrupt() { m_port.Interrupt(); }

    void Purge();

    // The polling thread's answers count towards the confirm span as the
    // direct commands' do: ms from the sending to the answer.
    void NoteRoundTrip(qint64 ms);
    // How long a possible copy waits for another answer on a line not known
    // to deliver copies: twice the slowest recent answer and a little; zero
    // while no answer was timed on this opening.
    std::chrono::milliseconds ConfirmSpan() const;

    // Bytes read after the time to judge is up, to take in what had
    // arrived: a little more than the longest reply.
    static constexpr int kLastLookBytes = 64;

private:
    using Clock = std::chrono::steady_clock;

    struct Answer {
        QByteArray body;
        bool answer = false; // false: nothing, or a frame of another form
    };

    // Waits out the reply of a command that gave up; it is nobody's.
    void SettleLocked();
    // Reads the answer to frame, sent at sentAt, until deadline; timed: the
    // answer's round trip counts towards the confirm span.
    Answer ReadAnswerLocked(const QByteArray& frame, Clock::time_point sentAt, Clock::time_point deadline, bool timed);
    // How long a possible copy waits for another answer, from the sending,
    // on a line not known to deliver copies, for a direct command.
    std::chrono::milliseconds DirectConfirmSpan() const;
    // A wait without a byte: counts towards the lost line.
    void NoteSilenceLocked(Clock::time_point now);
    // A frame that came for nobody: a copy or the owed answer of an earlier
    // try uses up what it stands for.
    void DropStrayLocked(const QByteArray& body, Clock::time_point now);
    // Reads out and drops what came unasked, then purges both directions.
    void DrainLocked();
    static constexpr int kConfirmMarginMs = 2;

    std::mutex m_lifeMutex;   // orders Open against Shutdown
    bool m_shut = false;
    mutable std::mutex m_lineMutex; // one exchange on the line at a time
    quint64 m_epoch = 0;            // guarded by the line lock
    CLinkTiming m_timing;           // guarded by the line lock
    QByteArray m_overdueFrame;      // the last command that got no answer
    int m_overdueSends = 0;         // its sends whose answer has not come
    Clock::time_point m_overdueSentAt;
    Clock::time_point m_overdueUntil;
    CReplyMemory m_memory;          // replies taken lately
    CLineHabit m_habit;
    static constexpr int kRoundTrips = 32;
    // The answers' round trips, from the direct commands and the polling
    // thread alike; capped at the reply-byte time.
    mutable std::mutex m_roundTripMutex;
    int m_roundTripMs[kRoundTrips] = {};
    int m_roundTripCount = 0;
    int m_roundTripCapMs = CLinkTiming().replyByteMs;
    bool m_silent = false;          // no byte since the first unanswered write
    bool m_heard = false;           // any byte came on this opening
    Clock::time_point m_silentSince;
    std::atomic<bool> m_lost{false};
    CSerialPort m_port;
};
