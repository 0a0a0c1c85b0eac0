#include "link/CReaderChannel.h"

#include "link/CFrameReceiver.h"

bool CReaderChannel::Open(const QString& devicePath, quint8 baudSelector)
{
    std::lock_guard<std::mutex> life(m_lifeMutex);
    if (m_shut)
        return false;
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

QByteArray CReaderChannel::Exchange(const QByteArray& frame)
{
    std::lock_guard<std::mutex> line(m_lineMutex);
    if (!m_port.IsOpen())
        return QByteArray();
    m_port.Purge(true, true);
    // A failed write shows as a missing answer, which every caller checks.
    (void)m_port.Write(frame);

    CFrameReceiver receiver;
    int skipped = 0;
    for (int read = 0; read < kMaxBytesPerExchange; ++read) {
        unsigned char byte = 0;
        if (m_port.ReadByte(byte, kReplyByteTimeoutMs) != CSerialPort::ReadResult::Byte)
            return QByteArray();
        if (receiver.Feed(byte) != CFrameReceiver::Step::Complete)
            continue;
        if (!receiver.Body().startsWith('R'))
            return receiver.Body();
        if (++skipped > kMaxSkippedReports)
            return QByteArray();
    }
    return QByteArray();
}

bool CReaderChannel::Send(const QByteArray& frame)
{
    std::lock_guard<std::mutex> line(m_lineMutex);
    m_port.Purge(true, false);
    return m_port.Write(frame);
}

CReaderChannel::Reading CReaderChannel::ReadFrame(int firstByteTimeoutMs)
{
    std::lock_guard<std::mutex> line(m_lineMutex);
    Reading reading;
    CFrameReceiver receiver;
    while (reading.readCalls < kMaxBytesPerExchange) {
        unsigned char byte = 0;
        const int timeout = receiver.Started() ? kReplyByteTimeoutMs : firstByteTimeoutMs;
        const CSerialPort::ReadResult result = m_port.ReadByte(byte, timeout);
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
