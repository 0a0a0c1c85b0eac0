#pragma once

#include "CSerialPort.h"
#include "link/CLinkTiming.h"

#include <QByteArray>
#include <QString>

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
// A reply that has not come when its command gives up may still come. The
// next command of another kind waits until that reply is in (and throws it
// away) or the time for it has passed, so a late reply never reaches the
// wrong caller. A repeat of the same command does not wait: a late reply to
// the first try answers the second as well.
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

private:
    using Clock = std::chrono::steady_clock;

    // Waits out the reply of a command that gave up, unless frame repeats it.
    void SettleLocked(const QByteArray& frame);
    QByteArray ReadReplyLocked(const QByteArray& frame);

    std::mutex m_lifeMutex;   // orders Open against Shutdown
    bool m_shut = false;
    mutable std::mutex m_lineMutex; // one exchange on the line at a time
    quint64 m_epoch = 0;            // guarded by the line lock
    CLinkTiming m_timing;           // guarded by the line lock
    QByteArray m_overdueFrame;      // the last command that got no answer
    Clock::time_point m_overdueUntil;
    CSerialPort m_port;
};
