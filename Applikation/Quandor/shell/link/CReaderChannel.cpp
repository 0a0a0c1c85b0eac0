#include "link/CReaderChannel.h"

#include "link/CFrameReceiver.h"
#include "link/CReaderFrame.h"

#include <algorithm>

bool CReaderChannel::Open(const QString& devicePath, quint8 baudSelector)
{
    std::lock_guard<std::mutex> life(m_lifeMutex);
    if (m_shut)
        return false;
    // Under the line lock: an exchange never sees the port change under it.
    std::lock_guard<std::mutex> line(m_lineMutex);
    ++m_epoch;
    m_overdueFrame.clear();
    return m_port.OpenDevice(devicePath, baudSelector);
}

void CReaderChannel::Close()
{
    m_port.Close();
}

void CReaderChannel::Shutdown()
{
    std::lock_guard<std::mutex> life(m_lifeMutex);
    m_shut = true;
    m_port.Close();
}

void CReaderChannel::Arm()
{
    std::lock_guard<std::mutex> life(m_lifeMutex);
    m_shut = false;
}

void CReaderChannel::SetTiming(const CLinkTiming& timing)
{
    std::lock_guard<std::mutex> line(m_lineMutex);
    m_timing = timing;
}

CLinkTiming CReaderChannel::Timing() const
{
    std::lock_guard<std::mutex> line(m_lineMutex);
    return m_timing;
}

quint64 CReaderChannel::Epoch() const
{
    std::lock_guard<std::mutex> line(m_lineMutex);
    return m_epoch;
}

void CReaderChannel::SettleLocked(const QByteArray& frame)
{
    if (m_overdueFrame.isEmpty())
        return;
    if (frame != m_overdueFrame) {
        CFrameReceiver receiver;
        for (int read = 0; read < kMaxBytesPerExchange; ++read) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(m_overdueUntil - Clock::now());
            if (left.count() <= 0)
                break;
            unsigned char byte = 0;
            const CSerialPort::ReadResult result = m_port.ReadByte(byte, int(left.count()));
            if (result != CSerialPort::ReadResult::Byte)
                break;
            if (receiver.Feed(byte) == CFrameReceiver::Step::Complete)
                break; // the late reply: nobody's any more
        }
    }
    m_overdueFrame.clear();
}

QByteArray CReaderChannel::Exchange(const QByteArray& frame, quint64 epoch)
{
    std::lock_guard<std::mutex> line(m_lineMutex);
    if (!m_port.IsOpen() || (epoch != kAnyEpoch && epoch != m_epoch))
        return QByteArray();
    SettleLocked(frame);
    m_port.Purge(true, true);
    // A failed write shows as a missing answer, which every caller checks.
    (void)m_port.Write(frame);
    const QByteArray reply = ReadReplyLocked(frame);
    if (reply.isEmpty() && m_port.IsOpen()) {
        m_overdueFrame = frame;
        m_overdueUntil = Clock::now() + std::chrono::milliseconds(m_timing.lateReplyMs);
    }
    return reply;
}

QByteArray CReaderChannel::ReadReplyLocked(const QByteArray& frame)
{
    const char letter = CReaderFrame::FramedLetter(frame);
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(m_timing.exchangeLimitMs);
    CFrameReceiver receiver;
    int skipped = 0;
    for (int read = 0; read < kMaxBytesPerExchange; ++read) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0)
            return QByteArray();
        unsigned char byte = 0;
        if (m_port.ReadByte(byte, int(std::min<qint64>(left, m_timing.replyByteMs))) != CSerialPort::ReadResult::Byte)
            return QByteArray();
        if (receiver.Feed(byte) != CFrameReceiver::Step::Complete)
            continue;
        const QByteArray& body = receiver.Body();
        const bool answer = letter ? CReaderFrame::IsFramedReplyTo(letter, body) : !body.startsWith('R');
        if (answer)
            return body;
        if (++skipped > kMaxSkippedReports)
            return QByteArray();
    }
    return QByteArray();
}

bool CReaderChannel::Send(const QByteArray& frame)
{
    std::lock_guard<std::mutex> line(m_lineMutex);
    SettleLocked(frame);
    m_port.Purge(true, false);
    return m_port.Write(frame);
}

CReaderChannel::Reading CReaderChannel::ReadFrame(int firstByteTimeoutMs, bool listening)
{
    std::lock_guard<std::mutex> line(m_lineMutex);
    Reading reading;
    CFrameReceiver receiver;
    while (reading.readCalls < kMaxBytesPerExchange) {
        unsigned char byte = 0;
        const bool started = receiver.Started();
        const CSerialPort::ReadResult result =
            m_port.ReadByte(byte, started ? m_timing.replyByteMs : firstByteTimeoutMs, listening && !started);
        ++reading.readCalls;
        if (result == CSerialPort::ReadResult::Closed) {
            reading.closed = true;
            break;
        }
        if (result == CSerialPort::ReadResult::Timeout)
            break;
        reading.anyByte = true;
        if (receiver.Feed(byte) == CFrameReceiver::Step::Complete) {
            reading.complete = true;
            reading.body = receiver.Body();
            break;
        }
    }
    return reading;
}

void CReaderChannel::Purge()
{
    std::lock_guard<std::mutex> line(m_lineMutex);
    m_port.Purge(true, true);
}
