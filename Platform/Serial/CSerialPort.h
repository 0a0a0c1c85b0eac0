#pragma once

#include <QByteArray>
#include <QString>

#include <atomic>
#include <mutex>

// One serial port, opened exclusively, raw 8N1, with per-call time-outs.
//
// Every operation may be called from any thread. Close() may be called
// while another thread waits inside ReadByte() or Write(): it wakes that
// thread, waits until it has left the device, and only then releases the
// file number (Linux hands a freed number to the next open at once, and a
// thread still holding the old one would then read or write a stranger's
// file).
class CSerialPort
{
public:
    // Baud selectors of the program's OpenPort.
    static constexpr quint8 kBaud57200 = 1;
    static constexpr quint8 kBaud9600 = 2;

    enum class ReadResult {
        Byte,     // one byte was read
        Timeout,  // nothing came in time (also a line that has hung up)
        Closed    // the port is closed, or was closed during the wait
    };

    CSerialPort();
    ~CSerialPort();

    CSerialPort(const CSerialPort&) = delete;
    CSerialPort& operator=(const CSerialPort&) = delete;

    // Opens "COM<n>" at the selected speed (1: 57200, 2: 9600, any other:
    // the rate the driver reports). Never creates a file; refuses anything
    // that is not a terminal and a port that another program holds. A port
    // already open is closed first.
    bool Open(const QString& portName, quint8 baudSelector);
    bool OpenDevice(const QString& devicePath, quint8 baudSelector);
    void Close();
    bool IsOpen() const { return m_open.load(); }

    // Waits up to timeoutMs for one byte. A line that has hung up (an
    // unplugged adapter) gives Timeout only after the whole time-out, so a
    // caller's read loop keeps its pace instead of spinning. An
    // interruptible wait also ends, as a time-out, at Interrupt().
    ReadResult ReadByte(unsigned char& byte, int timeoutMs, bool interruptible = false);
    // Ends the interruptible wait under way, or else the next one, at once:
    // a thread that listens at leisure is called back to other work.
    void Interrupt();
    // Writes all of data within 10 ms plus 10 ms per byte; false when the
    // port is closed, the time ran out or the device failed.
    bool Write(const QByteArray& data);
    // Discards received (and/or unsent) bytes.
    void Purge(bool receive, bool transmit);

    // The input rate the driver reports; 0 when closed.
    unsigned BaudRate() const;
    QString DevicePath() const;
    // Why the last Open failed.
    QString LastError() const;

private:
    bool OpenLocked(const QString& devicePath, quint8 baudSelector);
    void CloseLocked();
    // Sleeps for up to timeoutMs unless Close() wakes it; true when woken.
    bool SleepUnlessClosed(int timeoutMs);

    mutable std::mutex m_mutex; // held while the file number is in use
    int m_fd = -1;
    int m_wakeFd = -1;          // eventfd, signalled by Close()
    int m_interruptFd = -1;     // eventfd, signalled by Interrupt()
    std::atomic<bool> m_open{false};
    QString m_path;
    QString m_lastError;
};
