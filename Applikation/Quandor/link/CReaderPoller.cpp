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
    , m_judge(m_memory, channel.Habit())
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
    m_heldTag.clear();
    m_lookedLast = false;
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
            const bool isMaster = step.tag == m_status.Read().masterTransponder;
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
            m_channel.ReadFrame(step.look ? 0 : step.listen ? listenMs : firstByteMs, step.listen);
        bool reportLost = false;
        {
            std::unique_lock<std::mutex> lock(m_mutex);
            if (reading.anyByte) {
                m_lastActivity = Clock::now();
                m_lookedLast = false; // more may be waiting: look again
            }
            // A look waits for nothing, so an empty one says nothing of a
            // silent line.
            if (framed && m_paramDialogOpen)
                reads = 0;
            else if (!step.look)
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

        // A held frame is judged once its time is up and what had arrived
        // by then was read: a loop that looks late must not take a copy for
        // an answer that is already waiting.
        const bool requestHolds = m_flight == Flight::Request && m_judge.IsHolding() && now >= m_judge.HoldUntil(now);
        const bool tagHolds = !m_heldTag.isEmpty() && now >= m_heldTagUntil;
        if (requestHolds || tagHolds) {
            if (!m_lookedLast) {
                m_lookedLast = true;
                step.read = step.look = true;
                return step;
            }
            m_lookedLast = false;
            if (requestHolds)
                DeliverAnswer(m_judge.Settle(now));
            if (tagHolds)
                DeliverHeldTag();
        }

        // A reply that will not come any more. A command's reply is awaited
        // as long as its caller waits, and a while after; a poll is given up
        // only when something else needs the line, since unanswered polls
        // are what the count towards a lost link is made of.
        if (m_flight == Flight::Request && m_flightRequest->state == Request::Abandoned
            && now - m_flightRequest->abandonedAt >= std::chrono::milliseconds(m_timing.lateReplyMs))
            ClearFlight();
        if (m_flight == Flight::Request && m_flightRequest->adopted && now >= m_flightRequest->resendAt
            && !m_judge.IsHolding() && !Paused()) {
            // Nothing came for the earlier try: the repeat goes out now.
            // Its judge knows the earlier try's answer may still come.
            m_flightRequest->adopted = false;
            ++m_flightRequest->sends;
            m_judge.Start(now, AnswerBy(*m_flightRequest, now), ShortSpan());
            m_lastActivity = now;
            m_flightSentAt = now;
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
        const bool request = !m_queue.empty();
        if (!request) {
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
        }
        // Sending clears what the line holds, so what came since the last
        // answer is read first: the answer to a poll that a copy of an
        // earlier answer had settled may carry a tag, reported only once.
        if (!m_lookedLast) {
            m_lookedLast = true;
            step.read = step.look = true;
            return step;
        }
        m_lookedLast = false;
        if (request) {
            m_flightRequest = m_queue.front();
            m_queue.pop_front();
            m_flightRequest->state = Request::Sent;
            m_flightRequest->sends = 1;
            m_judge.Start(now, AnswerBy(*m_flightRequest, now), ShortSpan());
            m_flight = Flight::Request;
            m_lastActivity = now;
            m_flightSentAt = now;
            step.write = m_flightRequest->frame;
            step.read = true;
            return step;
        }
        m_flight = Flight::Poll;
        m_lastActivity = now;
        m_flightSentAt = now;
        step.write = PollFrame();
        step.read = true;
        return step;
    }
}

CReaderPoller::Clock::time_point CReaderPoller::AnswerBy(const Request& request, Clock::time_point sentAt) const
{
    // A held frame is judged while its caller still waits, so that the
    // answer reaches it; the answer itself is due within the reply time.
    return std::min(request.deadline - HoldSpan(), sentAt + std::chrono::milliseconds(m_timing.replyByteMs));
}

std::chrono::milliseconds CReaderPoller::HoldSpan() const
{
    // Long against a reply's own latency, short against the poll spacing.
    return std::chrono::milliseconds(std::max(2, m_timing.pollSpacingMs / 5));
}

std::chrono::milliseconds CReaderPoller::ShortSpan() const
{
    // As for the direct commands, the reader's own answers set it: a reader
    // whose replies repeat in content (acknowledgements) must not wait the
    // whole hold span for each of its first equal replies.
    const std::chrono::milliseconds span = m_channel.ConfirmSpan();
    return span.count() > 0 ? std::min(span, HoldSpan()) : HoldSpan();
}

void CReaderPoller::DropStray(const QByteArray& body, Clock::time_point now)
{
    // A frame equal to a reply taken lately is its copy (unless an earlier
    // try's answer was owed): a line that repeats its replies. Anything
    // else is the late reply of a command given up, which shows nothing.
    if (m_memory.Pending(body, now) > 0 && !m_memory.Consume(body))
        m_channel.Habit().NoteExtra();
}

void CReaderPoller::OnRequestReply(const QByteArray& body)
{
    const Clock::time_point now = Clock::now();
    if (m_judge.Offer(body, now)) {
        // Only an answer the frames decided is timed: one settled when its
        // span ran out would stretch the span it was judged by.
        m_channel.NoteRoundTrip(std::chrono::duration_cast<std::chrono::milliseconds>(now - m_flightSentAt).count());
        DeliverAnswer(m_judge.Answer());
    } else {
        m_changed.notify_all(); // held: the loop judges it in time
    }
}

void CReaderPoller::DeliverAnswer(const QByteArray& body)
{
    if (m_flight != Flight::Request || body.isEmpty())
        return;
    const Clock::time_point now = Clock::now();
    // The answers of the earlier sends of its frame may still come.
    m_memory.Remember(body, now, std::max(0, m_flightRequest->sends - 1));
    const bool framed = m_flightRequest->letter != 0;
    Deliver(framed && !CReaderFrame::HasValidChecksum(body) ? QByteArray("CRC_ERROR") : body);
    ClearFlight();
    m_readyAt = now;
}

void CReaderPoller::DeliverHeldTag()
{
    const QByteArray held = m_heldTag;
    m_heldTag.clear();
    m_memory.Remember(held, Clock::now());
    QueueTag(held.mid(4, 10));
    if (m_flight == Flight::Poll) {
        ClearFlight();
        m_readyAt = Clock::now();
    }
}

void CReaderPoller::OnFramedReply(const QByteArray& body)
{
    const bool valid = CReaderFrame::HasValidChecksum(body);
    const bool pollAnswer = CReaderFrame::IsPollAnswer(body);
    const bool noTag = body.contains("NOTAG");
    const Clock::time_point now = Clock::now();

    if (m_flight == Flight::Request
        && CReaderFrame::IsFramedReplyTo(m_flightRequest->letter, m_flightRequest->echo, body)) {
        // "No tag" is never handed over: a command answered this way waits
        // out its time.
        if (noTag) {
            ClearFlight();
            m_readyAt = now;
            return;
        }
        OnRequestReply(body);
        return;
    }
    if (!pollAnswer) {
        if (body.startsWith("FF"))
            DropStray(body, now);
        return; // the late reply of a command that gave up: nobody's
    }

    const bool tag = valid && !noTag && body.size() == 16;
    if (m_flight != Flight::Poll) {
        // No poll awaits it: a copy, or the late answer of a poll given up.
        // A tag is shown whenever it comes (a framed reader reports it
        // once), but never twice.
        if (tag && m_memory.Pending(body, now) == 0) {
            m_memory.Remember(body, now);
            QueueTag(body.mid(4, 10));
        } else {
            DropStray(body, now);
        }
        return;
    }
    if (tag && m_memory.Pending(body, now) > 0) {
        // The same tag answer again: a copy unless it answers the poll in
        // flight and nothing else does.
        if (m_heldTag.isEmpty()) {
            // On a line known to repeat its replies the poll's own answer
            // decides, as long as a poll is awaited.
            m_heldTag = body;
            m_heldTagUntil = now
                + (m_channel.Habit().DeliversCopies() ? std::chrono::milliseconds(m_timing.quietMs) : HoldSpan());
            m_changed.notify_all();
        } else {
            DropStray(body, now);
        }
        return;
    }
    if (!m_heldTag.isEmpty()) {
        // Another answer came: the held one was the copy.
        DropStray(m_heldTag, now);
        m_heldTag.clear();
    }
    // Every answer is remembered, "no tag" too: its copy then shows a
    // line that repeats its replies.
    m_memory.Remember(body, now);
    m_channel.NoteRoundTrip(std::chrono::duration_cast<std::chrono::milliseconds>(now - m_flightSentAt).count());
    if (tag)
        QueueTag(body.mid(4, 10));
    ClearFlight();
    m_readyAt = now;
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
    if (m_flight == Flight::Request
        && CReaderFrame::PlainReplyFits(CReaderFrame::PlainLetter(m_flightRequest->frame), body))
        OnRequestReply(body);
    else
        DropStray(body, Clock::now()); // a reply nobody waits for
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
    // Its command is over: what was held is nobody's answer now.
    if (m_flight == Flight::Request)
        m_judge.Start(Clock::time_point(), Clock::time_point(), std::chrono::milliseconds(0));
    m_lookedLast = false;
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
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    request->deadline = deadline;
    request->letter = CReaderFrame::FramedLetter(frame);
    request->echo = CReaderFrame::FramedEcho(frame);
    if (m_flight == Flight::Request && m_flightRequest->state == Request::Abandoned && m_flightRequest->frame == frame) {
        // A repeat of a command that gave up: its late reply is this
        // caller's answer, so it waits for that before sending again.
        request->state = Request::Sent;
        request->adopted = true;
        request->sends = m_flightRequest->sends;
        m_judge.ExtendTo(AnswerBy(*request, Clock::now()));
        request->resendAt = m_flightRequest->abandonedAt + std::chrono::milliseconds(m_timing.lateReplyMs);
        m_flightRequest = request;
    } else {
        m_queue.push_back(request);
    }
    m_changed.notify_all();
    m_channel.Interrupt();

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
