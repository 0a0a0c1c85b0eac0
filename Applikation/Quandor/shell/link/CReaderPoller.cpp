#include "CReaderPoller.h"

#include "CLinkStatus.h"
#include "CReaderChannel.h"
#include "CReaderFrame.h"
#include "CReaderLinkObserver.h"

#include <algorithm>

namespace {

const QByteArray& PollFrame()
{
    static const QByteArray frame = CReaderFrame::Build('C', "T", CReaderFrame::FramedMode);
    return frame;
}

} // namespace

CReaderPoller::CReaderPoller(CReaderChannel& channel, CLinkStatus& status)
    : m_channel(channel)
    , m_status(status)
{
}

void CReaderPoller::SetTiming(const CLinkTiming& timing)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_timing = timing;
    m_memory.SetWindow(timing.lateReplyMs);
}

void CReaderPoller::Prepare()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_stop = false;
    m_running = false;
    m_parked = false;
    m_queue.clear();
    ClearFlight();
    m_lease = 0;
    m_learnReports.clear();
    m_tags.clear();
    m_tagAwaiting = 0;
    m_memory.Clear();
    m_memory.SetWindow(m_timing.lateReplyMs);
    m_probation = CReaderChannel::kProbationSuspects;
    m_held.clear();
    m_heldSeen = 0;
}

void CReaderPoller::Stop()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_stop = true;
    ++m_generation;
    m_queue.clear();
    ClearFlight();
    m_lease = 0;
    m_learnReports.clear();
    m_tags.clear();
    m_tagAwaiting = 0;
    m_changed.notify_all();
}

bool CReaderPoller::Begin()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_stop)
        return false;
    m_running = true;
    m_readyAt = m_lastActivity = Clock::now();
    m_changed.notify_all();
    return true;
}

bool CReaderPoller::IsRunning() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_running && !m_stop;
}

void CReaderPoller::Loop(int readerType, CReaderLinkObserver* observer, quint64 connection)
{
    const bool framed = CLinkStatus::IsFramed(readerType);
    int firstByteMs = 0;
    int listenMs = 0;
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        // The reader settles before the first poll; a caller that takes the
        // link or queues a command meanwhile need not wait for it (its own
        // time runs from its call).
        m_changed.wait_for(lock, std::chrono::milliseconds(m_timing.pollSpacingMs),
                           [this] { return m_stop || Paused() || !m_queue.empty(); });
        m_readyAt = Clock::now();
        firstByteMs = m_timing.firstByteMs;
        listenMs = m_timing.listenMs;
    }

    int reads = 0;
    bool lostReported = false;
    for (;;) {
        Step step;
        {
            std::unique_lock<std::mutex> lock(m_mutex);
            step = NextStep(lock, framed);
        }
        if (step.stop)
            break;
        if (framed && !lostReported && m_channel.IsLost()) {
            // A transfer found the line dead: no need to count empty reads.
            lostReported = true;
            if (observer)
                observer->LinkLost(connection);
            continue;
        }
        if (step.tagTicket) {
            const bool isMaster = step.tag == m_status.MasterTransponder();
            if (observer)
                observer->TagRead(step.tagTicket, step.tag, isMaster);
            else
                TagHandled(step.tagTicket);
            continue;
        }
        if (!step.write.isEmpty())
            (void)m_channel.Send(step.write); // a failed write shows as a missing reply
        if (!step.read)
            continue;

        const CReaderChannel::Reading reading =
            m_channel.ReadFrame(step.listen ? listenMs : firstByteMs, step.listen);
        bool reportLost = false;
        {
            std::unique_lock<std::mutex> lock(m_mutex);
            if (reading.anyByte)
                m_lastActivity = Clock::now();
            if (framed && m_paramDialogOpen)
                reads = 0;
            else
                reads += reading.readCalls;
            if (reading.complete) {
                reads = 0;
                lostReported = false;
                if (framed)
                    OnFramedReply(reading.body);
                else
                    OnPlainFrame(reading.body);
            } else if (framed && reads >= m_timing.linkLostReads && !lostReported) {
                lostReported = true;
                reportLost = true;
            }
            if (reading.closed) {
                // Only Stop() closes the port under a running loop; wait for it
                // rather than spin on a port that is gone.
                m_changed.wait_for(lock, std::chrono::milliseconds(100), [this] { return m_stop; });
            }
        }
        if (reportLost && observer)
            observer->LinkLost(connection);
    }

    std::lock_guard<std::mutex> lock(m_mutex);
    m_running = false;
    m_parked = false;
    m_changed.notify_all();
}

CReaderPoller::Step CReaderPoller::NextStep(std::unique_lock<std::mutex>& lock, bool framed)
{
    for (;;) {
        Step step;
        if (m_stop) {
            step.stop = true;
            return step;
        }
        const Clock::time_point now = Clock::now();

        // Unasked tags go out one at a time, before anything else.
        if (m_tagAwaiting == 0 && !m_tags.empty()) {
            m_tagAwaiting = ++m_nextTicket;
            step.tagTicket = m_tagAwaiting;
            step.tag = QString::fromLatin1(m_tags.front());
            m_tags.pop_front();
            return step;
        }

        // A held frame that nothing else came to replace is the answer.
        if (!m_held.isEmpty() && now >= m_heldUntil)
            DeliverHeld();

        // A reply that will not come any more. A command's reply is awaited
        // as long as its caller waits, and a while after; a poll is given up
        // only when something else needs the line, since unanswered polls
        // are what the count towards a lost link is made of.
        if (m_flight == Flight::Request && m_flightRequest->state == Request::Abandoned
            && now - m_flightRequest->abandonedAt >= std::chrono::milliseconds(m_timing.lateReplyMs))
            ClearFlight();
        if (m_flight == Flight::Request && m_flightRequest->adopted && now >= m_flightRequest->resendAt
            && !Paused()) {
            // Nothing came for the earlier try: the repeat goes out now.
            m_flightRequest->adopted = false;
            m_lastActivity = now;
            step.write = m_flightRequest->frame;
            step.read = true;
            return step;
        }
        const bool quiet = now - m_lastActivity >= std::chrono::milliseconds(m_timing.quietMs);
        if (m_flight == Flight::Poll && quiet && (Paused() || (framed && m_paramDialogOpen)))
            ClearFlight();

        if (Paused()) {
            if (m_flight != Flight::None) {
                step.read = true; // resolve the reply in flight first
                return step;
            }
            m_parked = true;
            m_changed.notify_all();
            m_changed.wait(lock, [this] { return m_stop || !Paused(); });
            m_parked = false;
            m_readyAt = Clock::now();
            continue;
        }

        if (m_flight != Flight::None) {
            step.read = true;
            return step;
        }
        if (!m_queue.empty()) {
            m_flightRequest = m_queue.front();
            m_queue.pop_front();
            m_flightRequest->state = Request::Sent;
            m_flight = Flight::Request;
            m_lastActivity = now;
            step.write = m_flightRequest->frame;
            step.read = true;
            return step;
        }
        if (!framed) {
            step.read = step.listen = true; // a plain reader reports by itself
            return step;
        }
        if (m_paramDialogOpen || m_tagAwaiting != 0) {
            m_changed.wait(lock);
            continue;
        }
        const Clock::time_point due = m_readyAt + std::chrono::milliseconds(m_timing.pollSpacingMs);
        if (now < due) {
            m_changed.wait_until(lock, due);
            continue;
        }
        m_flight = Flight::Poll;
        m_lastActivity = now;
        step.write = PollFrame();
        step.read = true;
        return step;
    }
}

std::chrono::milliseconds CReaderPoller::HoldSpan() const
{
    // Long against a reply's own latency, short against the poll spacing.
    return std::chrono::milliseconds(std::max(2, m_timing.pollSpacingMs / 5));
}

bool CReaderPoller::Suspect(const QByteArray& body, Clock::time_point now)
{
    // As on the direct path: equal replies are held back on a line that has
    // shown copies, and the first few on any other.
    if (!m_channel.IsCareful() && m_probation <= 0)
        return false;
    return m_memory.Pending(body, now) > 0;
}

void CReaderPoller::OnRequestReply(const QByteArray& body, const QByteArray& handed)
{
    const Clock::time_point now = Clock::now();
    if (Suspect(body, now)) {
        if (m_held.isEmpty()) {
            m_held = body;
            m_heldHanded = handed;
            m_heldSeen = 1;
            m_heldPoll = false;
            m_heldUntil = now + HoldSpan();
            m_changed.notify_all();
            return;
        }
        if (body == m_held) {
            if (++m_heldSeen > m_memory.Pending(body, now))
                DeliverHeld();
            return;
        }
        m_memory.Consume(body); // the copy of another reply
        m_channel.NoteStrayFrame();
        return;
    }
    if (!m_held.isEmpty()) {
        for (int i = 0; i < m_heldSeen; ++i)
            m_memory.Consume(m_held);
        m_held.clear();
        m_heldSeen = 0;
        m_channel.NoteStrayFrame();
    }
    m_memory.Remember(body, now);
    Deliver(handed);
    ClearFlight();
    m_readyAt = now;
}

void CReaderPoller::DeliverHeld()
{
    const QByteArray held = m_held;
    const QByteArray handed = m_heldHanded;
    const bool poll = m_heldPoll;
    for (int i = 1; i < m_heldSeen; ++i)
        m_memory.Consume(held);
    if (m_heldSeen > 1)
        m_channel.NoteStrayFrame();
    else if (m_probation > 0)
        --m_probation;
    m_held.clear();
    m_heldSeen = 0;
    m_memory.Remember(held, Clock::now());
    if (poll) {
        if (CReaderFrame::HasValidChecksum(held) && held.size() == 16)
            QueueTag(held.mid(4, 10));
        if (m_flight == Flight::Poll) {
            ClearFlight();
            m_readyAt = Clock::now();
        }
        return;
    }
    if (m_flight == Flight::Request) {
        Deliver(handed);
        ClearFlight();
        m_readyAt = Clock::now();
    }
}

void CReaderPoller::OnFramedReply(const QByteArray& body)
{
    const bool valid = CReaderFrame::HasValidChecksum(body);
    const bool pollAnswer = CReaderFrame::IsPollAnswer(body);
    const bool noTag = body.contains("NOTAG");

    if (m_flight == Flight::Request
        && CReaderFrame::IsFramedReplyTo(m_flightRequest->letter, m_flightRequest->echo, body)) {
        // "No tag" is never handed over: a command answered this way waits
        // out its time.
        if (noTag) {
            ClearFlight();
            m_readyAt = Clock::now();
            return;
        }
        OnRequestReply(body, valid ? body : QByteArray("CRC_ERROR"));
        return;
    }
    if (!pollAnswer) {
        if (body.startsWith("FF"))
            m_channel.NoteStrayFrame();
        return; // the late reply of a command that gave up: nobody's
    }

    const Clock::time_point now = Clock::now();
    const bool tag = valid && !noTag && body.size() == 16;
    if (tag && m_memory.Pending(body, now) > 0) {
        // The same tag answer again: a copy unless it answers the poll in
        // flight and nothing else does.
        if (m_flight == Flight::Poll && m_held.isEmpty()) {
            m_held = body;
            m_heldSeen = 1;
            m_heldPoll = true;
            m_heldUntil = now + HoldSpan();
            m_changed.notify_all();
        } else {
            m_memory.Consume(body);
            m_channel.NoteStrayFrame();
        }
        return;
    }
    if (m_heldPoll && !m_held.isEmpty() && m_flight == Flight::Poll) {
        // Another answer came: the held one was the copy.
        m_memory.Consume(m_held);
        m_held.clear();
        m_heldSeen = 0;
        m_channel.NoteStrayFrame();
    }
    // A tag is shown whenever it comes: a framed reader reports it once.
    if (tag) {
        m_memory.Remember(body, now);
        QueueTag(body.mid(4, 10));
    }
    if (m_flight == Flight::Poll) {
        ClearFlight();
        m_readyAt = now;
    }
}

void CReaderPoller::OnPlainFrame(const QByteArray& body)
{
    if (CReaderFrame::IsPlainReport(body)) {
        // An unasked report: the new master while the Wren learns one, else
        // a presented tag; never a command's reply.
        if (m_masterLearn) {
            if (m_learnReports.size() < size_t(kMaxPendingTags))
                m_learnReports.push_back(body);
            m_changed.notify_all();
        } else {
            QueueTag(body.mid(1, 10));
        }
        return;
    }
    if (m_flight == Flight::Request)
        OnRequestReply(body, body);
    else
        m_channel.NoteStrayFrame(); // a reply nobody waits for
}

void CReaderPoller::Deliver(const QByteArray& reply)
{
    if (m_flightRequest && m_flightRequest->state == Request::Sent) {
        m_flightRequest->reply = reply;
        m_flightRequest->state = Request::Done;
        m_changed.notify_all();
    }
}

void CReaderPoller::ClearFlight()
{
    if (!m_held.isEmpty() && !m_heldPoll && m_flight == Flight::Request) {
        // Its command is over: what was held is nobody's answer now.
        m_held.clear();
        m_heldSeen = 0;
    }
    m_flight = Flight::None;
    m_flightRequest.reset();
    m_changed.notify_all();
}

void CReaderPoller::QueueTag(const QByteArray& number)
{
    if (m_tags.size() < size_t(kMaxPendingTags))
        m_tags.push_back(number);
}

QByteArray CReaderPoller::Submit(const QByteArray& frame, int timeoutMs)
{
    std::unique_lock<std::mutex> lock(m_mutex);
    if (!m_running || m_stop || frame.isEmpty())
        return QByteArray();
    const quint64 generation = m_generation;
    auto request = std::make_shared<Request>();
    request->frame = frame;
    request->letter = CReaderFrame::FramedLetter(frame);
    request->echo = CReaderFrame::FramedEcho(frame);
    if (m_flight == Flight::Request && m_flightRequest->state == Request::Abandoned && m_flightRequest->frame == frame) {
        // A repeat of a command that gave up: its late reply is this
        // caller's answer, so it waits for that before sending again.
        request->state = Request::Sent;
        request->adopted = true;
        request->resendAt = m_flightRequest->abandonedAt + std::chrono::milliseconds(m_timing.lateReplyMs);
        m_flightRequest = request;
    } else {
        m_queue.push_back(request);
    }
    m_changed.notify_all();
    m_channel.Interrupt();

    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    m_changed.wait_until(lock, deadline, [&] {
        return request->state == Request::Done || m_generation != generation || !m_running;
    });
    if (request->state == Request::Done)
        return request->reply;
    if (request->state == Request::Queued) {
        // Never sent: it leaves the queue, so it cannot go out late.
        m_queue.erase(std::remove(m_queue.begin(), m_queue.end(), request), m_queue.end());
    } else if (request->state == Request::Sent) {
        request->state = Request::Abandoned;
        request->abandonedAt = Clock::now();
        m_changed.notify_all();
    }
    return QByteArray();
}

CReaderPoller::LeaseAnswer CReaderPoller::BeginLease(quint64& ticket)
{
    ticket = 0;
    std::unique_lock<std::mutex> lock(m_mutex);
    if (!m_running || m_stop)
        return LeaseAnswer::NoReader;
    if (m_lease != 0)
        return LeaseAnswer::TransferRunning;
    const quint64 generation = m_generation;
    const quint64 own = ++m_nextTicket;
    m_lease = own;
    m_changed.notify_all();
    m_channel.Interrupt();
    m_changed.wait(lock, [&] { return m_parked || !m_running || m_generation != generation; });
    if (m_generation != generation || !m_running || m_lease != own)
        return LeaseAnswer::NoReader;
    ticket = own;
    return LeaseAnswer::Granted;
}

void CReaderPoller::EndLease(quint64 ticket)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (ticket != 0 && m_lease == ticket) {
        m_lease = 0;
        m_changed.notify_all();
    }
}

bool CReaderPoller::IsLeased() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_lease != 0;
}

bool CReaderPoller::BeginLeasedExchange(quint64 ticket)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (ticket == 0 || ticket != m_lease || m_stop || !m_running)
        return false;
    ++m_leasedExchanges;
    return true;
}

void CReaderPoller::EndLeasedExchange()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_leasedExchanges > 0)
        --m_leasedExchanges;
    m_changed.notify_all();
}

void CReaderPoller::TagHandled(quint64 ticket)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (ticket != 0 && ticket == m_tagAwaiting) {
        m_tagAwaiting = 0;
        m_changed.notify_all();
    }
}

void CReaderPoller::SetMasterLearn(bool on)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_masterLearn = on;
    m_learnReports.clear();
    m_changed.notify_all();
}

QByteArray CReaderPoller::WaitMasterReport(int timeoutMs)
{
    std::unique_lock<std::mutex> lock(m_mutex);
    const quint64 generation = m_generation;
    m_changed.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] {
        return !m_learnReports.empty() || m_generation != generation || !m_running;
    });
    if (m_learnReports.empty())
        return QByteArray();
    const QByteArray report = m_learnReports.front();
    m_learnReports.pop_front();
    return report;
}

void CReaderPoller::SetParamDialogOpen(bool open)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_paramDialogOpen = open;
    m_changed.notify_all();
}

bool CReaderPoller::IsParamDialogOpen() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_paramDialogOpen;
}
