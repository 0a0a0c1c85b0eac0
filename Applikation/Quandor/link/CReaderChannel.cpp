#include "CReaderChannel.h"

#include "CFrameReceiver.h"
#include "CReaderFrame.h"
#include "CReplyJudge.h"

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
    m_overdueSends = 0;
    m_memory.Clear();
    m_memory.SetWindow(m_timing.lateReplyMs);
    m_habit.Reset();
    {
        std::lock_guard<std::mutex> lock(m_roundTripMutex);
        m_roundTripCount = 0;
        m_roundTripCapMs = m_timing.replyByteMs;
    }
    m_silent = false;
    m_heard = false;
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
    std::lock_guard<std::mutex> lock(m_roundTripMutex);
    m_roundTripCapMs = timing.replyByteMs;
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
            // The late reply: nobody's any more. A copy of it is not the
            // next command's either, nor are the answers of the other
            // sends of its command.
            m_memory.Remember(receiver.Body(), Clock::now(), m_overdueSends - 1);
            break;
        }
    }
    m_overdueFrame.clear();
    m_overdueSends = 0;
}

QByteArray CReaderChannel::Exchange(const QByteArray& frame, quint64 epoch)
{
    std::lock_guard<std::mutex> line(m_lineMutex);
    if (!m_port.IsOpen() || (epoch != kAnyEpoch && epoch != m_epoch) || m_lost)
        return QByteArray();
    // Earlier sends of this frame whose answers may still come.
    int earlierSends = 0;
    if (!m_overdueFrame.isEmpty() && frame == m_overdueFrame && m_heard) {
        // A repeat: the earlier try's late reply is its answer. Nothing is
        // purged, a reply already under way must not be cut.
        const Answer late = ReadAnswerLocked(frame, m_overdueSentAt, m_overdueUntil, false);
        earlierSends = m_overdueSends;
        m_overdueFrame.clear();
        m_overdueSends = 0;
        if (late.answer)
            m_memory.Remember(late.body, Clock::now(), earlierSends - 1);
        if (!late.body.isEmpty() || m_lost || !m_port.IsOpen())
            return late.body;
    } else if (frame == m_overdueFrame) {
        // A line that never spoke has no late reply to wait for.
        m_overdueFrame.clear();
        m_overdueSends = 0;
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
    const Answer reply =
        ReadAnswerLocked(frame, sentAt, sentAt + std::chrono::milliseconds(m_timing.exchangeLimitMs), true);
    if (reply.answer)
        m_memory.Remember(reply.body, Clock::now(), earlierSends);
    if (reply.body.isEmpty() && m_port.IsOpen() && !m_lost) {
        m_overdueFrame = frame;
        m_overdueSends = earlierSends + 1;
        m_overdueSentAt = sentAt;
        m_overdueUntil = Clock::now() + std::chrono::milliseconds(m_timing.lateReplyMs);
    }
    return reply.body;
}

void CReaderChannel::NoteRoundTrip(qint64 ms)
{
    std::lock_guard<std::mutex> lock(m_roundTripMutex);
    m_roundTripMs[m_roundTripCount % kRoundTrips] = int(std::clamp<qint64>(ms, 0, m_roundTripCapMs));
    ++m_roundTripCount;
}

std::chrono::milliseconds CReaderChannel::ConfirmSpan() const
{
    std::lock_guard<std::mutex> lock(m_roundTripMutex);
    if (m_roundTripCount == 0)
        return std::chrono::milliseconds(0);
    int slowest = 0;
    for (int i = 0; i < std::min(m_roundTripCount, kRoundTrips); ++i)
        slowest = std::max(slowest, m_roundTripMs[i]);
    // Twice the slowest answer of late and a little: a reply that is merely
    // slow must not be taken for missing while a copy waits, and a reader
    // whose replies repeat in content (acknowledgements, two equal events)
    // must not pay much for it.
    return std::chrono::milliseconds(std::min(2 * slowest + kConfirmMarginMs, m_roundTripCapMs));
}

std::chrono::milliseconds CReaderChannel::DirectConfirmSpan() const
{
    // Before any answer was timed a direct command waits only the margin.
    return std::max(ConfirmSpan(), std::chrono::milliseconds(kConfirmMarginMs));
}

void CReaderChannel::DropStrayLocked(const QByteArray& body, Clock::time_point now)
{
    // A frame equal to a reply taken lately is its copy (unless an earlier
    // try's answer was owed): a line that repeats its replies. Anything
    // else is the late reply of a command given up, which shows nothing.
    if (m_memory.Pending(body, now) > 0 && !m_memory.Consume(body))
        m_habit.NoteExtra();
}

void CReaderChannel::DrainLocked()
{
    // What came since the last answer is nobody's.
    CFrameReceiver receiver;
    for (int read = 0; read < kMaxBytesPerExchange; ++read) {
        unsigned char byte = 0;
        if (m_port.ReadByte(byte, 0) != CSerialPort::ReadResult::Byte)
            break;
        m_silent = false;
        m_heard = true;
        if (receiver.Feed(byte) == CFrameReceiver::Step::Complete)
            DropStrayLocked(receiver.Body(), Clock::now());
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

CReaderChannel::Answer CReaderChannel::ReadAnswerLocked(const QByteArray& frame, Clock::time_point sentAt,
                                                        Clock::time_point deadline, bool timed)
{
    const char letter = CReaderFrame::FramedLetter(frame);
    const char echo = CReaderFrame::FramedEcho(frame);
    const char plainLetter = CReaderFrame::PlainLetter(frame);
    CReplyJudge judge(m_memory, m_habit);
    // A fresh command's answer is due within the reply time; a repeat
    // awaits the earlier try's until its late window ends.
    judge.Start(sentAt, timed ? std::min(deadline, sentAt + std::chrono::milliseconds(m_timing.replyByteMs)) : deadline,
                DirectConfirmSpan());
    CFrameReceiver receiver;
    int skipped = 0;
    // A frame with the command's letter but another form: the caller's
    // failed try, unless the answer proper still comes.
    QByteArray stray;
    Clock::time_point strayBy;
    int lateBytes = 0;
    const auto decide = [&](Clock::time_point now) {
        if (judge.IsHolding()) {
            const QByteArray held = judge.Settle(now);
            if (!held.isEmpty())
                return Answer{held, true};
        }
        return Answer{stray, false};
    };
    for (int read = 0; read < kMaxBytesPerExchange; ++read) {
        const Clock::time_point now = Clock::now();
        Clock::time_point limit = judge.IsHolding() ? judge.HoldUntil(now) : deadline;
        if (!stray.isEmpty())
            limit = std::min(limit, strayBy);
        const qint64 left = std::chrono::duration_cast<std::chrono::milliseconds>(limit - now).count();
        // When the time is up, what had arrived by then is read before the
        // judgement: a program that looks late must not miss an answer that
        // is waiting (nor the end of a frame that had begun).
        const bool timeUp = left <= 0;
        if (timeUp && lateBytes > kLastLookBytes)
            return decide(now);
        const int wait = timeUp ? (receiver.Started() ? m_timing.replyByteMs : 0)
                                : int(std::min<qint64>(left, m_timing.replyByteMs));
        unsigned char byte = 0;
        const CSerialPort::ReadResult result = m_port.ReadByte(byte, wait);
        if (result == CSerialPort::ReadResult::Closed)
            return Answer();
        if (result == CSerialPort::ReadResult::Timeout) {
            const Clock::time_point after = Clock::now();
            if (timeUp)
                return decide(after);
            NoteSilenceLocked(after);
            if (m_lost)
                return Answer();
            if (!judge.IsHolding() && stray.isEmpty() && wait >= m_timing.replyByteMs)
                return Answer(); // a whole byte time without a byte
            continue;
        }
        if (timeUp)
            ++lateBytes;
        m_silent = false;
        m_heard = true;
        if (receiver.Feed(byte) != CFrameReceiver::Step::Complete)
            continue;
        const QByteArray body = receiver.Body();
        const Clock::time_point arrived = Clock::now();
        if (letter && CReaderFrame::IsFramedReplyTo(letter, body) && !CReaderFrame::IsFramedReplyTo(letter, echo, body)) {
            // The reply of a related command: nobody awaits it here.
            DropStrayLocked(body, arrived);
            if (stray.isEmpty()) {
                stray = body;
                strayBy = std::max(arrived, sentAt + DirectConfirmSpan());
            }
            continue;
        }
        const bool answer = letter ? CReaderFrame::IsFramedReplyTo(letter, echo, body)
                                   : !body.startsWith('R') && CReaderFrame::PlainReplyFits(plainLetter, body);
        if (!answer) {
            // A frame of the line's own form that nobody asked for: a copy,
            // or the late reply of another command. Unasked reports are the
            // plain reader's own business.
            if (letter ? body.startsWith("FF") : !body.startsWith('R'))
                DropStrayLocked(body, arrived);
            if (++skipped > kMaxSkippedReports)
                return decide(arrived);
            continue;
        }
        if (judge.Offer(body, arrived)) {
            if (!timed)
                return Answer{judge.Answer(), true};
            NoteRoundTrip(std::chrono::duration_cast<std::chrono::milliseconds>(arrived - sentAt).count());
            return Answer{judge.Answer(), true};
        }
    }
    return decide(Clock::now());
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
