#pragma once

#include "CFrameReceiver.h"
#include "CLineMatcher.h"
#include "CLinkTiming.h"
#include "CSerialPort.h"

#include <QByteArray>
#include <QString>

#include <atomic>
#include <chrono>
#include <functional>
#include <mutex>
#include <vector>

// The port of the reader link, with the one matcher of each opening
// (CLineMatcher). Only the line's owner talks through it: the link's
// thread while a connection runs (the search, the polls, queued commands,
// a transfer's direct commands alike), or the caller of a port opened
// directly. It reads every frame that comes, also between commands, and
// never purges what it has not read: what the line sends is evidence the
// matcher counts.
//
// Shutdown() closes the port at once, even under a thread that waits for a
// reply, and refuses every later Open() until Arm(). Every opening of the
// port has a number of its own (Epoch()); an exchange meant for another
// opening fails at once.
//
// The line counts as lost once the port refuses the bytes of a command (it
// hung up) or no byte at all has come for as long as the lost-link count
// lasts (linkLostReads reads of firstByteMs) while something was owed.
class CReaderChannel
{
public:
    struct Result {
        enum Kind {
            Answer,    // body answers the command (corrupt: its checksum fails)
            NoAnswer,  // none within its window, or the caller gave up
            OutOfStep, // the line left the fault model; the line falls quiet
            Closed     // the port is closed, lost, or of another opening
        };
        Kind kind = Closed;
        QByteArray body;
        bool corrupt = false;
        quint64 delivery = 0;
    };

    // Any opening: for the owner, which opens the port itself.
    static constexpr quint64 kAnyEpoch = 0;
    // Unasked reports kept for the owner between two of its calls.
    static constexpr int kMaxReports = 32;

    void SetTiming(const CLinkTiming& timing);
    CLinkTiming Timing() const;

    bool Open(const QString& devicePath, quint8 baudSelector);
    void Close();
    void Shutdown();
    void Arm();
    bool IsOpen() const { return m_port.IsOpen(); }
    quint64 Epoch() const;
    bool IsLost() const { return m_lost.load(); }
    unsigned BaudRate() const { return m_port.BaudRate(); }
    QString LastError() const { return m_port.LastError(); }

    // One command: waits until the matcher lets it go, writes it, and
    // reads until its answer, its window's end (windowMs), an out-of-step,
    // or giveUp() (checked between reads; the caller gave up or the owner
    // stops). Unasked plain reports that come meanwhile go to *reports.
    Result Transact(const QByteArray& frame, int windowMs, const std::function<bool()>& giveUp,
                    std::vector<QByteArray>* reports, quint64 epoch = kAnyEpoch);
    // The same for a port opened directly: the reply's text, or empty.
    QByteArray Exchange(const QByteArray& frame, quint64 epoch = kAnyEpoch);
    // Reads what comes for up to ms (at once back at Interrupt() while no
    // frame has begun), feeding the matcher.
    void Listen(int ms, std::vector<QByteArray>* reports);
    // Reads until the line has stood quiet through every late window or
    // giveUp(); true when it stayed in step meanwhile.
    bool Settle(const std::function<bool()>& giveUp, std::vector<QByteArray>* reports);
    // Reads until the matcher knows whether the line repeats its replies
    // (at most a copy's gap after the first reply), or giveUp(): until then
    // a command whose answer could equal a reply's copy must wait, longer
    // than a queued caller may.
    void LearnHabit(const std::function<bool()>& giveUp);
    // Calls a listening read back at once (any thread, no lock).
    void Interrupt() { m_port.Interrupt(); }
    // Reads what has arrived, feeding the matcher (the protocol's purge:
    // nothing unread is thrown away).
    void Purge();

    // The matcher's count of out-of-steps on this opening, and the
    // deliveries it vouches for after the last one (any thread).
    quint64 OutOfStepCount() const { return m_outOfStep.load(); }
    quint64 VouchedThrough() const { return m_vouched.load(); }
    // On a line in step: the deliveries that stand as of the last input
    // (CLineMatcher::Standing).
    quint64 Standing() const { return m_standing.load(); }
    quint64 Deliveries() const { return m_deliveries.load(); }
    // A transfer's session begins (see CLineMatcher::BeginSession).
    void BeginSession();

private:
    using Clock = std::chrono::steady_clock;
    using Ms = CLineMatcher::Ms;

    Ms NowLocked() const;
    // Reads one byte within waitMs and feeds it; the matcher's verdict on a
    // completed frame, or Tick()'s on a wait without one.
    CLineMatcher::Outcome StepLocked(int waitMs, bool interruptible, std::vector<QByteArray>* reports, bool* closed);
    void NoteOutcomeLocked(const CLineMatcher::Outcome& outcome);
    void NoteSilenceLocked(Ms now);
    static int Wait(Ms from, Ms until, int cap);

    std::mutex m_lifeMutex;   // orders Open against Shutdown
    bool m_shut = false;
    mutable std::mutex m_lineMutex; // the owner's, for each of its calls
    // Written under the line lock, read without it: a caller must not wait
    // for the owner's listening to learn the opening.
    std::atomic<quint64> m_epoch{0};
    CLinkTiming m_timing;           // guarded by the line lock
    CLineMatcher m_matcher;
    CFrameReceiver m_receiver;
    Ms m_frameStartedAt = -1; // the STX of the frame under way
    Ms m_lastByteAt = 0;
    quint64 m_bytes = 0;
    Clock::time_point m_openedAt = Clock::now();
    bool m_silent = false;
    bool m_heard = false;
    Ms m_silentSince = 0;
    std::atomic<bool> m_lost{false};
    std::atomic<quint64> m_outOfStep{0};
    std::atomic<quint64> m_vouched{0};
    std::atomic<quint64> m_standing{0};
    std::atomic<quint64> m_deliveries{0};
    CSerialPort m_port;
};
