#include "CReaderChannel.h"

#include "CReaderFrame.h"

#include <algorithm>

namespace {

// Longest single wait, so a caller that gives up is heard soon.
constexpr int kWaitSliceMs = 50;

CLineMatcher::Bounds BoundsOf(const CLinkTiming& timing)
{
    return CLineMatcher::Bounds{timing.lateReplyMs, timing.copyGapMs};
}

} // namespace

bool CReaderChannel::Open(const QString& devicePath, quint8 baudSelector)
{
    std::lock_guard<std::mutex> life(m_lifeMutex);
    if (m_shut)
        return false;
    // Under the line lock: an exchange never sees the port change under it.
    std::lock_guard<std::mutex> line(m_lineMutex);
    ++m_epoch;
    m_matcher = CLineMatcher(BoundsOf(m_timing));
    m_receiver.Reset();
    m_frameStartedAt = -1;
    m_openedAt = Clock::now();
    m_lastByteAt = 0;
    m_silent = false;
    m_heard = false;
    m_lost = false;
    m_outOfStep = 0;
    m_vouched = 0;
    m_standing = 0;
    m_deliveries = 0;
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
    m_matcher = CLineMatcher(BoundsOf(timing));
}

CLinkTiming CReaderChannel::Timing() const
{
    std::lock_guard<std::mutex> line(m_lineMutex);
    return m_timing;
}

quint64 CReaderChannel::Epoch() const
{
    return m_epoch.load();
}

void CReaderChannel::BeginSession()
{
    std::lock_guard<std::mutex> line(m_lineMutex);
    m_matcher.BeginSession();
}

CReaderChannel::Ms CReaderChannel::NowLocked() const
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - m_openedAt).count();
}

int CReaderChannel::Wait(Ms from, Ms until, int cap)
{
    if (until == CLineMatcher::kNever)
        return cap;
    return int(std::clamp<Ms>(until - from, 0, cap));
}

void CReaderChannel::NoteOutcomeLocked(const CLineMatcher::Outcome& outcome)
{
    Q_UNUSED(outcome);
    m_outOfStep = m_matcher.OutOfStepCount();
    m_vouched = m_matcher.VouchedThrough();
    m_standing = m_matcher.Standing();
    m_deliveries = m_matcher.Deliveries();
}

void CReaderChannel::NoteSilenceLocked(Ms now)
{
    const Ms lostAfter = Ms(m_timing.linkLostReads) * m_timing.firstByteMs;
    // A line that never spoke is being probed (the search), not lost.
    if (m_heard && m_silent && now - m_silentSince >= lostAfter)
        m_lost = true;
}

CLineMatcher::Outcome CReaderChannel::StepLocked(int waitMs, bool interruptible, std::vector<QByteArray>* reports,
                                                 bool* closed)
{
    unsigned char byte = 0;
    const CSerialPort::ReadResult result = m_port.ReadByte(byte, waitMs, interruptible && !m_receiver.Started());
    const Ms now = NowLocked();
    if (result == CSerialPort::ReadResult::Closed) {
        *closed = true;
        return CLineMatcher::Outcome();
    }
    if (result == CSerialPort::ReadResult::Timeout) {
        // A frame that stalls longer than a reply byte may take is noise.
        if (m_receiver.Started() && now - m_lastByteAt >= m_timing.replyByteMs) {
            m_receiver.Reset();
            m_frameStartedAt = -1;
        }
        NoteSilenceLocked(now);
        const CLineMatcher::Outcome outcome = m_matcher.Tick(now, m_receiver.Started() ? m_frameStartedAt : -1);
        NoteOutcomeLocked(outcome);
        return outcome;
    }
    m_silent = false;
    m_heard = true;
    m_lastByteAt = now;
    ++m_bytes;
    if (byte == static_cast<unsigned char>(CReaderFrame::STX))
        m_frameStartedAt = now;
    if (m_receiver.Feed(byte) != CFrameReceiver::Step::Complete) {
        // Bytes outside a frame are garbage; time goes on all the same.
        if (m_receiver.Started())
            return CLineMatcher::Outcome();
        const CLineMatcher::Outcome outcome = m_matcher.Tick(now);
        NoteOutcomeLocked(outcome);
        return outcome;
    }
    const QByteArray body = m_receiver.Body();
    const Ms startedAt = m_frameStartedAt < 0 ? now : m_frameStartedAt;
    m_frameStartedAt = -1;
    if (CReaderFrame::IsPlainReport(body)) {
        // A plain reader's unasked report: never an answer.
        if (reports && reports->size() < size_t(kMaxReports))
            reports->push_back(body);
        return CLineMatcher::Outcome();
    }
    const CLineMatcher::Outcome outcome = m_matcher.Frame(body, startedAt, now);
    NoteOutcomeLocked(outcome);
    return outcome;
}

CReaderChannel::Result CReaderChannel::Transact(const QByteArray& frame, int windowMs,
                                                const std::function<bool()>& giveUp,
                                                std::vector<QByteArray>* reports, quint64 epoch)
{
    std::lock_guard<std::mutex> line(m_lineMutex);
    Result result;
    if (!m_port.IsOpen() || (epoch != kAnyEpoch && epoch != m_epoch) || m_lost || frame.isEmpty())
        return result;
    bool closed = false;
    // What the line owes comes first: a frame goes out only when the
    // matcher can still tell its answer.
    for (;;) {
        const Ms now = NowLocked();
        const Ms gate = m_matcher.GateUntil(frame, now);
        if (gate <= now && !m_receiver.Started())
            break;
        if (giveUp && giveUp()) {
            result.kind = Result::NoAnswer;
            return result;
        }
        const CLineMatcher::Outcome outcome =
            StepLocked(m_receiver.Started() ? m_timing.replyByteMs : Wait(now, gate, kWaitSliceMs), false, reports, &closed);
        if (outcome.verdict == CLineMatcher::Verdict::OutOfStep) {
            result.kind = Result::OutOfStep;
            return result;
        }
        if (closed || m_lost)
            return result;
    }
    const Ms sentAt = NowLocked();
    // Only a framed reader is known lost by its silence; a plain one
    // answers what it likes.
    if (!m_silent && CReaderFrame::FramedLetter(frame)) {
        m_silent = true;
        m_silentSince = sentAt;
    }
    if (!m_port.Write(frame)) {
        // An open port that refuses the bytes has hung up: no answer, and
        // the silence counts towards a lost line.
        if (m_port.IsOpen())
            result.kind = Result::NoAnswer;
        return result;
    }
    m_matcher.Sent(frame, NowLocked(), windowMs);
    for (;;) {
        const Ms now = NowLocked();
        const int wait = m_receiver.Started() ? m_timing.replyByteMs : Wait(now, m_matcher.NextWake(), kWaitSliceMs);
        const CLineMatcher::Outcome outcome = StepLocked(wait, false, reports, &closed);
        switch (outcome.verdict) {
        case CLineMatcher::Verdict::Delivered:
            result.kind = Result::Answer;
            result.body = outcome.body;
            result.corrupt = outcome.why == CLineMatcher::Why::Corrupt;
            result.delivery = outcome.delivery;
            return result;
        case CLineMatcher::Verdict::Failed:
            result.kind = Result::NoAnswer;
            return result;
        case CLineMatcher::Verdict::OutOfStep:
            result.kind = Result::OutOfStep;
            return result;
        default:
            break;
        }
        if (closed || m_lost) {
            m_matcher.Cancel(NowLocked());
            return result;
        }
        if (giveUp && giveUp() && !m_receiver.Started()) {
            const CLineMatcher::Outcome cancelled = m_matcher.Cancel(NowLocked());
            NoteOutcomeLocked(cancelled);
            result.kind = Result::NoAnswer;
            return result;
        }
    }
}

QByteArray CReaderChannel::Exchange(const QByteArray& frame, quint64 epoch)
{
    int window = 0;
    {
        std::lock_guard<std::mutex> line(m_lineMutex);
        window = m_timing.replyByteMs;
    }
    const Result result = Transact(frame, window, nullptr, nullptr, epoch);
    return result.kind == Result::Answer ? result.body : QByteArray();
}

void CReaderChannel::Listen(int ms, std::vector<QByteArray>* reports)
{
    std::lock_guard<std::mutex> line(m_lineMutex);
    if (!m_port.IsOpen())
        return;
    const Ms until = NowLocked() + ms;
    bool closed = false;
    for (;;) {
        const Ms now = NowLocked();
        if (now >= until && !m_receiver.Started())
            return;
        const int wait = m_receiver.Started() ? m_timing.replyByteMs
                                              : Wait(now, std::min(until, m_matcher.NextWake()), ms);
        const bool idle = !m_receiver.Started();
        const quint64 bytes = m_bytes;
        StepLocked(wait, true, reports, &closed);
        if (closed)
            return;
        // Called back early: the owner has other work.
        if (idle && m_bytes == bytes && NowLocked() < now + wait)
            return;
    }
}

bool CReaderChannel::Settle(const std::function<bool()>& giveUp, std::vector<QByteArray>* reports)
{
    std::lock_guard<std::mutex> line(m_lineMutex);
    const quint64 before = m_matcher.OutOfStepCount();
    bool closed = false;
    for (;;) {
        if (!m_port.IsOpen() || m_lost)
            return false;
        const Ms now = NowLocked();
        m_matcher.Tick(now);
        NoteOutcomeLocked(CLineMatcher::Outcome());
        if (m_matcher.OutOfStepCount() != before)
            return false;
        const Ms settled = m_matcher.SettledAt();
        if (now >= settled && !m_receiver.Started() && !m_matcher.InResync())
            return true;
        if (giveUp && giveUp())
            return false;
        StepLocked(m_receiver.Started() ? m_timing.replyByteMs
                                        : Wait(now, std::min(settled, m_matcher.NextWake()), kWaitSliceMs),
                   false, reports, &closed);
        if (closed)
            return false;
    }
}

void CReaderChannel::LearnHabit(const std::function<bool()>& giveUp)
{
    std::lock_guard<std::mutex> line(m_lineMutex);
    bool closed = false;
    while (m_port.IsOpen() && m_matcher.LineHabit() == CLineMatcher::Habit::Unknown && !m_lost) {
        const Ms now = NowLocked();
        const Ms wake = m_matcher.NextWake();
        // Nothing left whose copy could tell.
        if (wake == CLineMatcher::kNever && !m_receiver.Started())
            return;
        if (giveUp && giveUp())
            return;
        StepLocked(m_receiver.Started() ? m_timing.replyByteMs : Wait(now, wake, kWaitSliceMs), false, nullptr,
                   &closed);
        if (closed)
            return;
    }
}

void CReaderChannel::Purge()
{
    std::lock_guard<std::mutex> line(m_lineMutex);
    bool closed = false;
    for (int i = 0; i < 4096 && m_port.IsOpen(); ++i) {
        const quint64 before = m_bytes;
        StepLocked(0, false, nullptr, &closed);
        if (closed || m_bytes == before)
            return;
    }
}
