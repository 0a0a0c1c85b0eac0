#pragma once

#include "CLinkTiming.h"

#include <QByteArray>
#include <QString>

#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <vector>

class CReaderChannel;
class CLinkStatus;
class CReaderLinkObserver;

// The owner of an online reader's line: while a reader is online the link's
// thread runs Loop(), and it alone reads and writes the port. It polls a
// framed reader about twice a second for a presented tag, listens to a
// plain reader's unasked reports, and runs the commands other threads hand
// it, one at a time, through the one matcher of the port's opening
// (CReaderChannel): queued commands (Submit) and a transfer's direct ones
// (SubmitDirect) alike.
//
// - A caller gets the reply to its own frame, "CRC_ERROR" for it, or
//   nothing; never a poll answer, an unasked report or another caller's
//   reply. A queued command whose caller gave up before it went out is
//   withdrawn; one that went out leaves its answer owed, and the matcher
//   keeps anything its answer could be mistaken for off the line until it
//   is in or its late window is over.
// - A lease (BeginLease) is an exclusive session in the owner's queue:
//   granted once the command or poll on the line is resolved; then no poll
//   and no queued command goes out, only the holder's direct commands and
//   its settling, until EndLease() or Stop(). It exists once at a time, may
//   be released on any thread, and is cancelled by Stop().
// - Unasked frames take their own path: tags go to the observer one at a
//   time (TagHandled() releases the next); the reports of a Wren that
//   learns its master go to WaitMasterReport().
// - Every wait ends at Stop().
class CReaderPoller
{
public:
    enum class LeaseAnswer { Granted, NoReader, TransferRunning };

    static constexpr int kMaxPendingTags = 32;

    // What a direct command got: its reply ("" for none) and the number of
    // its delivery on the port's opening (0 for none).
    struct DirectReply {
        QByteArray body;
        quint64 delivery = 0;
    };

    CReaderPoller(CReaderChannel& channel, CLinkStatus& status);

    // The poll spacing, reply windows and lost-link count (see
    // CLinkTiming); set while no loop runs.
    void SetTiming(const CLinkTiming& timing);

    // --- the owner's side
    void Prepare();
    void Stop();
    bool Begin();
    void Loop(int readerType, CReaderLinkObserver* observer, quint64 connection);
    bool IsRunning() const;

    // --- the callers' side
    // Queues a frame and waits up to timeoutMs for its reply; empty when
    // none came or no reader is online.
    QByteArray Submit(const QByteArray& frame, int timeoutMs);
    LeaseAnswer BeginLease(quint64& ticket);
    void EndLease(quint64 ticket);
    bool IsLeased() const;
    // A direct command of the lease ticket, its answer awaited windowMs (0:
    // the direct reply window); an empty reply when the lease is not held
    // (any more).
    DirectReply SubmitDirect(quint64 ticket, const QByteArray& frame, int windowMs = 0);
    // Waits until the line has stood quiet through the late window of the
    // lease's last reply; true when it was in step all through the lease.
    bool SettleLease(quint64 ticket);
    // The line went out of step during the lease; *vouched: the deliveries
    // that stand (CLineMatcher::VouchedThrough after it, else Standing).
    bool LeaseOutOfStep(quint64 ticket, quint64* vouched) const;
    void TagHandled(quint64 ticket);
    void SetMasterLearn(bool on);
    QByteArray WaitMasterReport(int timeoutMs);
    void SetParamDialogOpen(bool open);

private:
    struct Request {
        enum Kind { Queued, Direct, Settle };
        enum State { Waiting, Running, Done, Abandoned };
        Kind kind = Queued;
        State state = Waiting;
        QByteArray frame;
        quint64 ticket = 0;
        std::chrono::steady_clock::time_point deadline;
        int windowMs = 0; // a direct command's answer window; 0: the default
        QByteArray reply;
        quint64 delivery = 0;
        bool settled = false;
    };

    void Run(Request& request, bool framed);
    void Route(std::vector<QByteArray>& reports);
    void QueueTag(const QByteArray& number);

    CReaderChannel& m_channel;
    CLinkStatus& m_status;

    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    CLinkTiming m_timing;
    quint64 m_generation = 0; // bumped by Stop(): waits of an old connection end
    bool m_stop = false;
    bool m_running = false;
    bool m_parked = false; // the owner serves the lease, nothing on the line
    std::deque<std::shared_ptr<Request>> m_queue;
    quint64 m_lease = 0;
    quint64 m_sessionTicket = 0;   // the lease whose session the owner began
    quint64 m_sessionOutOfStep = 0; // out-of-steps before it
    quint64 m_nextTicket = 0;
    bool m_paramDialogOpen = false;
    bool m_masterLearn = false;
    std::deque<QByteArray> m_learnReports;
    std::deque<QByteArray> m_tags;
    quint64 m_tagAwaiting = 0;
};
