#include "CReaderChannel.h"

#include "CFrameReceiver.h"
#include "CReaderFrame.h"

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
    m_memory.Clear();
    m_memory.SetWindow(m_timing.lateReplyMs);
    m_roundTripCount = 0;
    m_silent = false;
    m_heard = false;
    m_careful = false;
    m_probation = kProbationSuspects;
    m_lost = false;
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
    m_memory.SetWindow(timing.lateReplyMs);
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

void CReaderChannel::SettleLocked()
{
    if (m_overdueFrame.isEmpty())
        return;
    CFrameReceiver receiver;
    for (int read = 0; read < kMaxBytesPerExchange; ++read) {
        const Clock::time_point now = Clock::now();
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(m_overdueUntil - now);
        if (left.count() <= 0)
            break;
        unsigned char byte = 0;
        const CSerialPort::ReadResult result = m_port.ReadByte(byte, int(left.count()));
        if (result != CSerialPort::ReadResult::Byte)
            break;
        m_silent = false;
        m_heard = true;
        if (receiver.Feed(byte) == CFrameReceiver::Step::Complete) {
            // The late reply: nobody's any more, and a copy of it is not
            // the next command's either.
            m_memory.Remember(receiver.Body(), Clock::now());
            m_careful = true;
            break;
        }
    }
    m_overdueFrame.clear();
}

QByteArray CReaderChannel::Exchange(const QByteArray& frame, quint64 epoch)
{
    std::lock_guard<std::mutex> line(m_lineMutex);
    if (!m_port.IsOpen() || (epoch != kAnyEpoch && epoch != m_epoch) || m_lost)
        return QByteArray();
    if (!m_overdueFrame.isEmpty() && frame == m_overdueFrame && m_heard) {
        // A repeat: the earlier try's late reply is its answer. Nothing is
        // purged, a reply already under way must not be cut.
        const QByteArray late = ReadAnswerLocked(frame, m_overdueSentAt, m_overdueUntil);
        m_overdueFrame.clear();
        if (!late.isEmpty() || m_lost || !m_port.IsOpen())
            return late;
    } else if (frame == m_overdueFrame) {
        // A line that never spoke has no late reply to wait for.
        m_overdueFrame.clear();
    } else {
        SettleLocked();
    }
    DrainLocked();
    const Clock::time_point sentAt = Clock::now();
    if (!m_silent) {
        m_silent = true;
        m_silentSince = sentAt;
    }
    if (!m_port.Write(frame)) {
        // An open port that refuses the bytes has hung up.
        if (m_port.IsOpen())
            m_lost = true;
        return QByteArray();
    }
    const QByteArray reply =
        ReadAnswerLocked(frame, sentAt, sentAt + std::chrono::milliseconds(m_timing.exchangeLimitMs));
    if (reply.isEmpty() && m_port.IsOpen() && !m_lost) {
        m_overdueFrame = frame;
        m_overdueSentAt = sentAt;
        m_overdueUntil = Clock::now() + std::chrono::milliseconds(m_timing.lateReplyMs);
    }
    return reply;
}

std::chrono::milliseconds CReaderChannel::ConfirmSpanLocked() const
{
    int slowest = 0;
    for (int i = 0; i < std::min(m_roundTripCount, kRoundTrips); ++i)
        slowest = std::max(slowest, m_roundTripMs[i]);
    // Twice the slowest answer of late and a little: a reply that is merely
    // slow must not be taken for missing while a copy waits, and a reader
    // whose replies repeat in content (acknowledgements, two equal events)
    // must not pay much for it.
    int span = 2 * slowest + kConfirmMarginMs;
    // On a line known to deliver copies a held frame is far more often a
    // copy: the answer it stands in for gets time to come.
    if (m_careful)
        span = std::max(4 * slowest + kConfirmMarginMs, m_timing.replyByteMs / 40);
    return std::chrono::milliseconds(std::min(span, m_timing.replyByteMs));
}

void CReaderChannel::DrainLocked()
{
    // What came since the last answer is nobody's; a whole frame among it
    // shows a line that delivers more than it was asked for.
    CFrameReceiver receiver;
    for (int read = 0; read < kMaxBytesPerExchange; ++read) {
        unsigned char byte = 0;
        if (m_port.ReadByte(byte, 0) != CSerialPort::ReadResult::Byte)
            break;
        m_silent = false;
        m_heard = true;
        if (receiver.Feed(byte) == CFrameReceiver::Step::Complete)
            m_careful = true;
    }
    m_port.Purge(true, true);
}

void CReaderChannel::NoteSilenceLocked(Clock::time_point now)
{
    const auto lostAfter = std::chrono::milliseconds(qint64(m_timing.linkLostReads) * m_timing.firstByteMs);
    // A line that never spoke is being probed (the search), not lost.
    if (m_heard && m_silent && now - m_silentSince >= lostAfter)
        m_lost = true;
}

QByteArray CReaderChannel::TakeLocked(const QByteArray& body, Clock::time_point sentAt, bool timed)
{
    const Clock::time_point now = Clock::now();
    m_memory.Remember(body, now);
    if (timed) {
        const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(now - sentAt).count();
        m_roundTripMs[m_roundTripCount % kRoundTrips] = int(std::min<qint64>(ms, m_timing.replyByteMs));
        ++m_roundTripCount;
    }
    return body;
}

QByteArray CReaderChannel::ReadAnswerLocked(const QByteArray& frame, Clock::time_point sentAt,
                                            Clock::time_point deadline)
{
    const char letter = CReaderFrame::FramedLetter(frame);
    const char echo = CReaderFrame::FramedEcho(frame);
    CFrameReceiver receiver;
    int skipped = 0;
    // A frame equal to a reply taken lately, held until it is known to be
    // the answer rather than a copy; how often it came in this wait.
    QByteArray candidate;
    int candidateSeen = 0;
    Clock::time_point confirmBy;
    // A frame with the command's letter but another form: the caller's
    // failed try, unless the answer proper still comes.
    QByteArray stray;
    Clock::time_point strayBy;
    for (int read = 0; read < kMaxBytesPerExchange; ++read) {
        const Clock::time_point now = Clock::now();
        Clock::time_point limit = candidate.isEmpty() ? deadline : std::min(deadline, confirmBy);
        if (!stray.isEmpty())
            limit = std::min(limit, strayBy);
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(limit - now).count();
        if (left <= 0) {
            if (!candidate.isEmpty())
                return TakeHeldLocked(candidate, candidateSeen);
            return stray;
        }
        unsigned char byte = 0;
        const int wait = int(std::min<qint64>(left, m_timing.replyByteMs));
        const CSerialPort::ReadResult result = m_port.ReadByte(byte, wait);
        if (result == CSerialPort::ReadResult::Closed)
            return QByteArray();
        if (result == CSerialPort::ReadResult::Timeout) {
            const Clock::time_point after = Clock::now();
            NoteSilenceLocked(after);
            if (m_lost)
                return QByteArray();
            if (candidate.isEmpty() && stray.isEmpty() && wait >= m_timing.replyByteMs)
                return QByteArray(); // a whole byte time without a byte
            continue;
        }
        m_silent = false;
        m_heard = true;
        if (receiver.Feed(byte) != CFrameReceiver::Step::Complete)
            continue;
        const QByteArray body = receiver.Body();
        if (letter && CReaderFrame::IsFramedReplyTo(letter, body) && !CReaderFrame::IsFramedReplyTo(letter, echo, body)) {
            // A sign that replies go astray on this line.
            m_careful = true;
            if (stray.isEmpty()) {
                stray = body;
                strayBy = std::max(Clock::now(), sentAt + ConfirmSpanLocked());
            }
            continue;
        }
        const bool answer =
            letter ? CReaderFrame::IsFramedReplyTo(letter, echo, body) : !body.startsWith('R');
        if (!answer) {
            // A frame of the line's own form that nobody asked for: a copy,
            // or the late reply of another command.
            if (letter ? body.startsWith("FF") : !body.startsWith('R'))
                m_careful = true;
            if (++skipped > kMaxSkippedReports)
                return candidate.isEmpty() ? stray : TakeHeldLocked(candidate, candidateSeen);
            continue;
        }
        const Clock::time_point arrived = Clock::now();
        const int pending = (m_careful || m_probation > 0) ? m_memory.Pending(body, arrived) : 0;
        if (pending == 0) {
            // Not a copy of anything: the answer. What was held was a copy.
            for (int i = 0; i < candidateSeen; ++i)
                m_memory.Consume(candidate);
            if (candidateSeen > 0)
                m_careful = true;
            return TakeLocked(body, sentAt, true);
        }
        if (candidate.isEmpty()) {
            candidate = body;
            candidateSeen = 1;
            confirmBy = std::max(arrived, sentAt + ConfirmSpanLocked());
            continue;
        }
        if (body == candidate) {
            // More of them than there can be copies: one is the answer.
            if (++candidateSeen > pending)
                return TakeHeldLocked(candidate, candidateSeen);
            continue;
        }
        // Two different frames that both may be copies: the one whose
        // original is older is the copy, the other answers.
        m_careful = true;
        if (m_memory.OldestAge(body, arrived) < m_memory.OldestAge(candidate, arrived)) {
            for (int i = 0; i < candidateSeen; ++i)
                m_memory.Consume(candidate);
            candidate = body;
            candidateSeen = 1;
            return TakeHeldLocked(candidate, candidateSeen);
        }
        m_memory.Consume(body);
    }
    return candidate.isEmpty() ? QByteArray() : TakeHeldLocked(candidate, candidateSeen);
}

QByteArray CReaderChannel::TakeHeldLocked(const QByteArray& candidate, int seen)
{
    // One of the equal frames is the answer, the others were copies.
    for (int i = 1; i < seen; ++i)
        m_memory.Consume(candidate);
    if (seen > 1)
        m_careful = true;
    else if (!m_careful && m_probation > 0)
        --m_probation; // nothing else came: it was an answer
    return TakeLocked(candidate, Clock::time_point(), false);
}

bool CReaderChannel::Send(const QByteArray& frame)
{
    std::lock_guard<std::mutex> line(m_lineMutex);
    SettleLocked();
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
        m_silent = false;
        m_heard = true;
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
