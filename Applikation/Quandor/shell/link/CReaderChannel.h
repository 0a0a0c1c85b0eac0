#pragma once

#include "CSerialPort.h"

#include <QByteArray>
#include <QString>

#include <mutex>

// The port of the reader link and the exchanges on it. One exchange (a
// command and its reply, or one turn of the polling thread) holds the line
// at a time, so two threads can never interleave their bytes.
//
// Shutdown() closes the port at once, even under a thread that waits for a
// reply, and refuses every later Open() until Arm(): a search thread that
// was about to reopen the port when the user went offline cannot bring it
// back.
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

    // Longest an exchange may read before it gives up on a babbling line.
    static constexpr int kMaxBytesPerExchange = 1024;
    // Unasked 'R' reports skipped while a direct command waits for its answer.
    static constexpr int kMaxSkippedReports = 5;
    // Time a direct command waits for each byte of its reply.
    static constexpr int kReplyByteTimeoutMs = 2000;

    bool Open(const QString& devicePath, quint8 baudSelector);
    void Close();
    void Shutdown();
    void Arm();
    bool IsOpen() const { return m_port.IsOpen(); }
    unsigned BaudRate() const { return m_port.BaudRate(); }
    QString LastError() const { return m_port.LastError(); }

    // A direct command: purges both directions, writes the frame and reads
    // the answer, each byte within 2000 ms. Complete frames that start with
    // 'R' are unasked transponder reports of a plain reader and are skipped.
    // Returns the text between STX and EOT, or empty when no complete
    // answer came.
    QByteArray Exchange(const QByteArray& frame);

    // The polling thread's steps: purge what was received, then write.
    bool Send(const QByteArray& frame);
    // Reads one frame: the first byte within firstByteTimeoutMs, every
    // byte after STX within 2000 ms; a wait without a byte ends the reading.
    Reading ReadFrame(int firstByteTimeoutMs);

    void Purge();

private:
    std::mutex m_lifeMutex;   // orders Open against Shutdown
    bool m_shut = false;
    std::mutex m_lineMutex;   // one exchange on the line at a time
    CSerialPort m_port;
};
