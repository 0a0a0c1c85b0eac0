#include "CReaderPoller.h"

#include "CLinkStatus.h"
#include "CReaderChannel.h"
#include "CReaderFrame.h"
#include "CReaderLinkObserver.h"

#include <algorithm>

namespace {

using Clock = std::chrono::steady_clock;

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
}

void CReaderPoller::Prepare()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_stop = false;
    m_running = false;
    m_parked = false;
    m_queue.clear();
    m_lease = 0;
    m_sessionTicket = 0;
    m_learnReports.clear();
    m_tags.clear();
    m_tagAwaiting = 0;
}

void CReaderPoller::Stop()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_stop = true;
    ++m_generation;
    m_queue.clear();
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
    CLinkTiming timing;
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        timing = m_timing;
        // The reader settles before the first poll; a caller that takes the
        // link or queues a command meanwhile need not wait for it.
        m_changed.wait_for(lock, std::chrono::milliseconds(timing.pollSpacingMs),
                           [this] { return m_stop || m_lease != 0 || !m_queue.empty(); });
    }
    Clock::time_point nextPoll = Clock::now();
    bool lostReported = false;
    std::vector<QByteArray> reports;
    const auto stopped = [this] {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_stop;
    };
    for (;;) {
        std::shared_ptr<Request> job;
        bool poll = false;
        bool beginSession = false;
        quint64 tagTicket = 0;
        QString tag;
        int listenMs = timing.listenMs;
        {
            std::unique_lock<std::mutex> lock(m_mutex);
            if (m_stop)
                break;
            const Clock::time_point now = Clock::now();
            if (m_tagAwaiting == 0 && !m_tags.empty()) {
                // Unasked tags go out one at a time, before anything else.
                m_tagAwaiting = tagTicket = ++m_nextTicket;
                tag = QString::fromLatin1(m_tags.front());
                m_tags.pop_front();
            } else if (m_lease != 0) {
                // Commands queued before the lease was asked for go first.
                auto queued = std::find_if(m_queue.begin(), m_queue.end(), [](const auto& r) {
                    return r->kind == Request::Queued && r->state == Request::Waiting;
                });
                if (m_sessionTicket != m_lease && queued != m_queue.end()) {
                    job = *queued;
                    m_queue.erase(queued);
                    job->state = Request::Running;
                } else if (m_sessionTicket != m_lease) {
                    beginSession = true;
                } else {
                    auto it = std::find_if(m_queue.begin(), m_queue.end(), [&](const auto& r) {
                        return r->ticket == m_lease && r->state == Request::Waiting;
                    });
                    if (it != m_queue.end()) {
                        job = *it;
                        m_queue.erase(it);
                        job->state = Request::Running;
                    } else if (!m_parked) {
                        m_parked = true;
                        m_changed.notify_all();
                    }
                }
            } else {
                m_parked = false;
                while (!m_queue.empty() && !job) {
                    std::shared_ptr<Request> next = m_queue.front();
                    m_queue.pop_front();
                    if (next->kind == Request::Queued && next->state == Request::Waiting) {
                        job = next;
                        job->state = Request::Running;
                    }
                }
                if (!job && framed && !m_paramDialogOpen && m_tagAwaiting == 0) {
                    if (now >= nextPoll)
                        poll = true;
                    else
                        listenMs = int(std::max<qint64>(
                            1, std::chrono::duration_cast<std::chrono::milliseconds>(nextPoll - now).count()));
                }
            }
        }
        if (tagTicket) {
            const bool isMaster = tag == m_status.Read().masterTransponder;
            if (observer)
                observer->TagRead(tagTicket, tag, isMaster);
            else
                TagHandled(tagTicket);
            continue;
        }
        if (beginSession) {
            // The transfer's own deliveries are judged from here on.
            m_channel.BeginSession();
            std::lock_guard<std::mutex> lock(m_mutex);
            m_sessionTicket = m_lease;
            m_sessionOutOfStep = m_channel.OutOfStepCount();
            continue;
        }
        if (job) {
            Run(*job, framed);
        } else if (poll) {
            const CReaderChannel::Result result =
                m_channel.Transact(PollFrame(), timing.replyByteMs, stopped, &reports);
            if (result.kind == CReaderChannel::Result::Answer && !result.corrupt && !result.body.contains("NOTAG")
                && result.body.size() == 16) {
                std::lock_guard<std::mutex> lock(m_mutex);
                QueueTag(result.body.mid(4, 10));
            }
            nextPoll = Clock::now() + std::chrono::milliseconds(timing.pollSpacingMs);
        } else {
            m_channel.Listen(listenMs, &reports);
        }
        Route(reports);
        bool dialogOpen = false;
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            dialogOpen = m_paramDialogOpen;
        }
        if (framed && !lostReported && !dialogOpen && m_channel.IsLost()) {
            lostReported = true;
            if (observer)
                observer->LinkLost(connection);
        }
        if (!m_channel.IsOpen() || m_channel.IsLost()) {
            // A port that is gone or hung up: wait for Stop() rather than spin.
            std::unique_lock<std::mutex> lock(m_mutex);
            m_changed.wait_for(lock, std::chrono::milliseconds(100), [this] { return m_stop; });
        }
    }

    std::lock_guard<std::mutex> lock(m_mutex);
    m_running = false;
    m_parked = false;
    m_changed.notify_all();
}

void CReaderPoller::Run(Request& request, bool framed)
{
    std::vector<QByteArray> reports;
    CLinkTiming timing;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        timing = m_timing;
    }
    const quint64 ticket = request.ticket;
    const auto giveUp = [&] {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_stop || request.state == Request::Abandoned || (ticket != 0 && m_lease != ticket);
    };
    QByteArray reply;
    quint64 delivery = 0;
    bool settled = false;
    bool answered = true;
    switch (request.kind) {
    case Request::Queued: {
        const qint64 left =
            std::chrono::duration_cast<std::chrono::milliseconds>(request.deadline - Clock::now()).count();
        const CReaderChannel::Result result =
            m_channel.Transact(request.frame, int(std::max<qint64>(1, left)), giveUp, &reports);
        if (result.kind == CReaderChannel::Result::Answer) {
            reply = result.body;
            if (framed && result.corrupt)
                reply = "CRC_ERROR";
            // "No tag" is never handed over: its caller waits out its time.
            if (framed && result.body.contains("NOTAG"))
                answered = false;
        }
        break;
    }
    case Request::Direct: {
        const int window = request.windowMs > 0 ? request.windowMs : timing.replyByteMs;
        const CReaderChannel::Result result = m_channel.Transact(request.frame, window, giveUp, &reports);
        if (result.kind == CReaderChannel::Result::Answer) {
            reply = result.body;
            delivery = result.delivery;
        }
        break;
    }
    case Request::Settle:
        settled = m_channel.Settle(giveUp, &reports);
        break;
    }
    Route(reports);
    std::lock_guard<std::mutex> lock(m_mutex);
    if (request.kind == Request::Settle)
        settled = settled && m_channel.OutOfStepCount() == m_sessionOutOfStep;
    if (request.state == Request::Running && answered) {
        request.reply = reply;
        request.delivery = delivery;
        request.settled = settled;
        request.state = Request::Done;
    } else if (request.state == Request::Running) {
        request.state = Request::Abandoned; // its caller waits out its own time
    }
    m_changed.notify_all();
}

void CReaderPoller::Route(std::vector<QByteArray>& reports)
{
    if (reports.empty())
        return;
    std::lock_guard<std::mutex> lock(m_mutex);
    for (const QByteArray& report : reports) {
        // The new master while the Wren learns one, else a presented tag.
        if (m_masterLearn) {
            if (m_learnReports.size() < size_t(kMaxPendingTags))
                m_learnReports.push_back(report);
        } else {
            QueueTag(report.mid(1, 10));
        }
    }
    reports.clear();
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
    request->deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    m_queue.push_back(request);
    m_changed.notify_all();
    m_channel.Interrupt();
    m_changed.wait_until(lock, request->deadline,
                         [&] { return request->state == Request::Done || m_generation != generation || !m_running; });
    if (request->state == Request::Done)
        return request->reply;
    if (request->state == Request::Waiting) {
        // Never sent: it leaves the queue, so it cannot go out late.
        m_queue.erase(std::remove(m_queue.begin(), m_queue.end(), request), m_queue.end());
    }
    request->state = Request::Abandoned;
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
    m_parked = false;
    m_changed.notify_all();
    m_channel.Interrupt();
    m_changed.wait(lock, [&] {
        return (m_parked && m_sessionTicket == own) || !m_running || m_generation != generation || m_lease != own;
    });
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
        m_channel.Interrupt();
    }
}

bool CReaderPoller::IsLeased() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_lease != 0;
}

CReaderPoller::DirectReply CReaderPoller::SubmitDirect(quint64 ticket, const QByteArray& frame, int windowMs)
{
    DirectReply answer;
    std::unique_lock<std::mutex> lock(m_mutex);
    if (ticket == 0 || ticket != m_lease || m_stop || !m_running || frame.isEmpty())
        return answer;
    const quint64 generation = m_generation;
    auto request = std::make_shared<Request>();
    request->kind = frame == "settle" ? Request::Settle : Request::Direct;
    request->frame = frame;
    request->ticket = ticket;
    request->windowMs = windowMs;
    m_queue.push_back(request);
    m_changed.notify_all();
    m_channel.Interrupt();
    // The owner bounds the command's time; it gives up at once when the
    // lease goes.
    m_changed.wait(lock, [&] {
        return request->state == Request::Done || m_generation != generation || !m_running
            || (m_lease != ticket && request->state != Request::Running);
    });
    if (request->state == Request::Waiting)
        m_queue.erase(std::remove(m_queue.begin(), m_queue.end(), request), m_queue.end());
    if (request->state != Request::Done)
        return answer;
    answer.body = request->reply;
    answer.delivery = request->delivery;
    if (request->kind == Request::Settle)
        answer.delivery = request->settled ? 1 : 0;
    return answer;
}

bool CReaderPoller::SettleLease(quint64 ticket)
{
    return SubmitDirect(ticket, QByteArrayLiteral("settle")).delivery == 1;
}

bool CReaderPoller::LeaseOutOfStep(quint64 ticket, quint64* vouched) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    const bool outOfStep =
        ticket != 0 && ticket == m_sessionTicket && m_channel.OutOfStepCount() != m_sessionOutOfStep;
    if (vouched)
        *vouched = outOfStep ? m_channel.VouchedThrough() : m_channel.Standing();
    return outOfStep;
}

void CReaderPoller::TagHandled(quint64 ticket)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (ticket != 0 && ticket == m_tagAwaiting) {
        m_tagAwaiting = 0;
        m_changed.notify_all();
        m_channel.Interrupt();
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
    m_channel.Interrupt();
}
