#pragma once

#include "CLinkTiming.h"
#include "CReplyJudge.h"
#include "CReplyMemory.h"

#include <QByteArray>
#include <QString>

#include <chrono>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>

class CReaderChannel;
class CLinkStatus;
class CReaderLinkObserver;

// The online polling of the reader link and the hand-over between it and
// the threads that send commands.
//
// While a reader is online the link's thread runs Loop(): it polls a framed
// reader about twice a second for a presented tag, listens to a plain
// reader's unasked reports, and writes the commands that other threads
// queue with Submit(), handing each reply back to the caller that sent its
// frame.
//
// What holds, whatever the timing:
// - a command and its reply travel together in one request object: a
//   caller gets the reply to its own frame, "CRC_ERROR" for it, or nothing;
//   never a poll answer, an unasked report or another caller's reply;
// - a reply is known by its form: a framed reader echoes the command's
//   letter (a poll answer starts "FFC"); a plain reader's unasked report is
//   'R' or 'M' and a transponder number, and any other frame that comes
//   while a plain command waits is its reply;
// - a frame is written only when no reply is in flight; a caller that gave
//   up before its frame went out takes the frame back; one that gave up
//   after it went out leaves the line blocked until that reply is in (and
//   thrown away) or the late-reply window (2000 ms) has passed since it
//   gave up; a reply that
//   comes while its caller still waits reaches that caller, however late;
// - unasked frames take their own path: tags go to the observer one at a
//   time (TagHandled() releases the next), also the tags that came while a
//   command waited; the reports of a Wren that learns its master go to
//   WaitMasterReport();
// - a transfer's lease (BeginLease) waits until the frame in flight is
//   resolved and the loop has stopped touching the port; it exists once at
//   a time, may be released on any thread, and is cancelled by Stop();
// - a caller that repeats the frame of a command that gave up takes that
//   command's late reply as its own; the frame goes out again only when
//   nothing came in the late-reply window;
// - a frame equal to a reply taken lately (a copy, see CReplyMemory) is
//   judged as on the direct path (CReplyJudge): held back while a command
//   waits until the frames that come, or the time, show which is the
//   answer; a copy of a poll answer never shows its tag a second time;
// - a line that a direct command found lost is reported lost as soon as
//   the loop may touch the port again (framed readers);
//   the direct exchanges made under it are counted (BeginLeasedExchange),
//   so the loop stays off the port until the last one has ended;
// - every wait ends at Stop().
class CReaderPoller
{
public:
    enum class LeaseAnswer { Granted, NoReader, TransferRunning };

    static constexpr int kMaxPendingTags = 32;

    CReaderPoller(CReaderChannel& channel, CLinkStatus& status);

    // The poll spacing, quiet time, late-reply window and lost-link count
    // (see CLinkTiming); set while no loop runs.
    void SetTiming(const CLinkTiming& timing);

    // --- the owner's side
    // Clears everything for a new connection.
    void Prepare();
    // Ends the loop and every wait; cancels the lease and all requests.
    void Stop();
    // Marks the poller online, so Submit() and leases are accepted; false
    // when Stop() came first.
    bool Begin();
    // The polling loop, on the link's thread; returns after Stop().
    void Loop(int readerType, CReaderLinkObserver* observer, quint64 connection);
    bool IsRunning() const;

    // --- the callers' side
    // Queues a frame and waits up to timeoutMs for its reply; empty when
    // none came or no reader is online.
    QByteArray Submit(const QByteArray& frame, int timeoutMs);
    // Takes the port away from the loop for a transfer; on Granted, ticket
    // names the lease.
    LeaseAnswer BeginLease(quint64& ticket);
    // Gives the lease back; a ticket that is not the lease does nothing.
    void EndLease(quint64 ticket);
    bool IsLeased() const;
    // A direct exchange under the lease ticket: false (and nothing to end)
    // when that lease is not held any more.
    bool BeginLeasedExchange(quint64 ticket);
    void EndLeasedExchange();
    void TagHandled(quint64 ticket);
    void SetMasterLearn(bool on);
    QByteArray WaitMasterReport(int timeoutMs);
    void SetParamDialogOpen(bool open);

private:
    using Clock = std::chrono::steady_clock;

    struct Request {
        enum State { Queued, Sent, Done, Abandoned };
        QByteArray frame;
        char letter = 0; // of a framed command; 0 for a plain one
        char echo = 0;   // the first data character a framed reply echoes
        State state = Queued;
        QByteArray reply;
        Clock::time_point deadline; // the caller's
        // Sends of the frame, by this caller or by callers before it that
        // gave up, whose answers have not come.
        int sends = 0;
        Clock::time_point abandonedAt;
        // A repeat that took over the flight of its abandoned earlier try:
        // sent again at this time unless the late reply came first.
        bool adopted = false;
        Clock::time_point resendAt;
    };
    enum class Flight { None, Poll, Request };

    // One step of the loop, chosen under the lock.
    struct Step {
        bool stop = false;
        bool read = false;
        bool listen = false; // a read while nothing is in flight
        bool look = false;   // a read of only what has arrived already
        QByteArray write;
        QString tag;
        quint64 tagTicket = 0;
    };

    Step NextStep(std::unique_lock<std::mutex>& lock, bool framed);
    bool Paused() const { return m_lease != 0 || m_leasedExchanges > 0; }
    void OnFramedReply(const QByteArray& body);
    // A reply of the form the command in flight awaits: handed over, or
    // held back as a possible copy.
    void OnRequestReply(const QByteArray& body);
    // The command in flight is answered.
    void DeliverAnswer(const QByteArray& body);
    // The held tag answer, now known to be the poll's answer.
    void DeliverHeldTag();
    // A frame that came for nobody: what it may be a copy of is used up.
    void DropStray(const QByteArray& body, Clock::time_point now);
    std::chrono::milliseconds HoldSpan() const;
    // How long a possible copy of an earlier reply waits for another answer
    // on a line not known to repeat its replies.
    std::chrono::milliseconds ShortSpan() const;
    // Until when a request's held frames wait for the answer.
    Clock::time_point AnswerBy(const Request& request, Clock::time_point sentAt) const;
    void OnPlainFrame(const QByteArray& body);
    void Deliver(const QByteArray& reply);
    void ClearFlight();
    void QueueTag(const QByteArray& number);

    CReaderChannel& m_channel;
    CLinkStatus& m_status;

    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    CLinkTiming m_timing;
    quint64 m_generation = 0; // bumped by Stop(): waits of an old connection end
    bool m_stop = false;
    bool m_running = false;
    bool m_parked = false;
    std::deque<std::shared_ptr<Request>> m_queue;
    Flight m_flight = Flight::None;
    std::shared_ptr<Request> m_flightRequest;
    Clock::time_point m_lastActivity;
    Clock::time_point m_flightSentAt; // when the frame in flight went out
    Clock::time_point m_readyAt;
    quint64 m_lease = 0;
    int m_leasedExchanges = 0;
    quint64 m_nextTicket = 0;
    bool m_paramDialogOpen = false;
    bool m_masterLearn = false;
    std::deque<QByteArray> m_learnReports;
    std::deque<QByteArray> m_tags;
    CReplyMemory m_memory;   // replies and tag answers taken lately
    CReplyJudge m_judge;     // of the command in flight
    // What has arrived was read since the time to judge a held frame came.
    bool m_lookedLast = false;
    QByteArray m_heldTag;    // a possible copy of a tag answer, held while a poll waits
    Clock::time_point m_heldTagUntil;
    quint64 m_tagAwaiting = 0;
};
