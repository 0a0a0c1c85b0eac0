#pragma once

#include "CLinkLease.h"
#include "CLinkTiming.h"

#include <QMessageBox>
#include <QObject>
#include <QPointer>
#include <QString>

#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

class CAppContext;
class CDataProgressDlg;
class CLanguageHandler;
class CReaderLink;
class CThreadMailbox;

// The frame every transfer with a reader runs in: reading events, fetching
// and writing all data, the plain reader's list. A transfer supplies its
// body (what the worker does, from the values it captured at its start)
// and its end handler; the frame does everything else, the same way for
// all of them:
//
// - one transfer at a time in the whole program: Start() refuses while
//   another run is active, and Active() tells the main frame and the views
//   to grey or refuse their commands meanwhile;
// - the link's lease: taken by the worker before the body runs, so the UI
//   thread never waits for the poll in flight; every direct command of the
//   body goes through it (SendFramed); it is released on every end;
// - the worker is a std::thread that is always joined, on every end;
// - message boxes of the worker (Box) go through the stop-aware hand-over
//   to the UI thread, so a join never waits for a box nobody answers;
// - progress goes into a CDataProgressDlg made for this run, queued from
//   the worker, and the window is destroyed at every end;
// - the wait cursor shows while the run is active, as a scope.
//
// Two ways out:
// - the normal end: the body returns; on the UI thread the frame joins,
//   destroys the progress window, releases the lease, drops the cursor and
//   then sends the owner the end message (the body's result as wParam, its
//   end flags as lParam); the owner shows its notice there;
// - the teardown (Stop(): the owner goes, the view changes, the program
//   ends, or StopActive()): the stop flag is set, every wait of the worker
//   ends, the worker is joined, the same duties are done, and the owner's
//   teardown callback re-reads what the run changed, silently. No end
//   message, no notice.
//
// Every operation but the worker's own (IsStopping, SendFramed, SendPlain,
// Settle, Standing, Box, Progress..., Pause) belongs to the UI thread.
class CTransferRun : public QObject
{
    Q_OBJECT

public:
    // What the worker reports besides its result (lParam of the end message).
    enum EndFlag : int {
        EndNormal = 0,
        // The run stopped before its transfer began (no answer, nothing to
        // do); the owner shows no closing notice.
        EndBeforeStart = 1,
    };

    struct Body
    {
        // Runs on the worker once the lease is held; returns the end
        // message's wParam. *endFlags starts as EndNormal.
        std::function<qint64(CTransferRun& run, int* endFlags)> work;
        // Runs on the worker instead of work when the lease was refused.
        std::function<qint64(CTransferRun& run, int* endFlags)> leaseRefused;
        // The end message posted to the owner (a CWindowMessage type).
        int endMessage = 0;
        // UI thread, after a teardown: re-read what the run changed. No
        // boxes, no notices.
        std::function<void()> teardown;
        // Show the wait cursor while the run is active.
        bool waitCursor = true;
    };

    // The context's main window anchors the progress window and shows the
    // wait cursor; without one, neither.
    CTransferRun(CReaderLink& link, CAppContext* context, QObject* owner);
    ~CTransferRun() override;

    CTransferRun(const CTransferRun&) = delete;
    CTransferRun& operator=(const CTransferRun&) = delete;

    // Refuses a command that would start another transfer or change the
    // data of the one that runs.
    static constexpr unsigned int kTransferRunsText = 253;

    // --- UI thread
    // The run that is active in the program, or null.
    static CTransferRun* Active();
    // Ends the active run as a teardown (the tree before it replaces the
    // view or closes the link for good).
    static void StopActive();

    // A new progress window for this run, centred on the main window and
    // shown: its bar 0..upper (at least 0..1, a 0..0 bar is a busy
    // animation) and its text. Call before Start().
    void OpenProgress(CLanguageHandler* language, int upper, const QString& text);
    CDataProgressDlg* Progress() const;

    // Starts the worker. False when another run is active, this run has
    // been used, or the thread cannot be started; nothing is left behind
    // then (the progress window is destroyed).
    bool Start(Body body);
    // The teardown described above; nothing when the run is not active.
    void Stop();
    // Started and not yet ended.
    bool IsActive() const { return m_state == State::Running; }
    // The lease is held (tests).
    bool HoldsLease() const { return m_leaseHeld.load(); }

    // --- the worker's side
    bool IsStopping() const { return m_stop.load(); }
    // Why the lease was given or refused (the refusal's reason for a
    // body's leaseRefused).
    CLinkLease::Answer LeaseAnswer() const { return m_lease.Why(); }
    const std::atomic<bool>* StopFlag() const { return &m_stop; }
    // The link's times, as they were when the run was made.
    const CLinkTiming& Timing() const { return m_timing; }
    // A framed command under the run's lease: the reply between STX and
    // EOT, checksum included, or "". *delivery: the reply's number on the
    // line, to tell after an out-of-step whether it stands.
    QString SendFramed(char letter, const QString& data, quint64* delivery = nullptr);
    // The same in plain frames (a Wren's, a Tern's), each answer awaited as
    // long as a queued command's (the plain list's commands are queued ones
    // in their Part).
    QString SendPlain(char letter, const QString& data, quint64* delivery = nullptr);
    // The line went out of step during the run: its replies could not all
    // be matched to their commands. *vouchedThrough: the deliveries up to
    // this number stand.
    bool OutOfStep(quint64* vouchedThrough = nullptr) const;
    // A transfer's success: waits until the line has stood quiet through
    // the late window of the last reply; true when it stayed in step all
    // through the run.
    bool Settle();
    // The end of a run whose replies stand one by one (read events, a plain
    // reader's list): settles, unless the run is stopped, its line lost or
    // out of step already, and returns the deliveries up to which the
    // replies stand: all of them when the line settled, else those the
    // line vouches for by now. *outOfStep: the line went out of step.
    quint64 Standing(bool* outOfStep);
    // The text a transfer ends with when the line went out of step.
    static constexpr unsigned int kOutOfStepText = 370;
    // A message box on the UI thread (caption text 74); NoButton when the
    // run is stopped meanwhile (the box then closes).
    QMessageBox::StandardButton Box(const QString& text, QMessageBox::Icon icon);
    void ProgressRange(int upper);
    void ProgressPos(int position);
    void ProgressText(const QString& text);
    // The line is known lost: a transfer ends through its failure path at
    // once instead of using up its tries.
    bool LineLost() const;
    // Waits ms milliseconds; false as soon as the run is stopped.
    bool Pause(int ms);

protected:
    bool event(QEvent* event) override;

private:
    enum class State { Idle, Running, Ended };

    QString Send(char letter, const QString& data, quint8 mode, quint64* delivery, int windowMs);
    void RunWorker();
    void OnWorkerDone();
    void EndDuties();

    CReaderLink& m_link;
    CAppContext* m_context;
    const CLinkTiming m_timing;
    QPointer<QObject> m_owner;
    Body m_body;
    State m_state = State::Idle;
    std::thread m_thread;
    std::atomic<bool> m_stop{false};
    // Written by the worker before its body runs, read by the UI thread
    // only after the join.
    CLinkLease m_lease{CLinkLease::NoReader};
    std::atomic<bool> m_leaseHeld{false};
    QPointer<CDataProgressDlg> m_progress;
    // The same window for the worker, fixed before it starts; the window
    // is destroyed only after the join.
    CDataProgressDlg* m_workerProgress = nullptr;
    // The worker's end travels to the UI thread through it.
    CThreadMailbox* m_mailbox;
    bool m_cursor = false;

    // Results of the worker, read after the join.
    qint64 m_result = 0;
    int m_endFlags = EndNormal;

    std::mutex m_pauseMutex;
    std::condition_variable m_pauseWake;

    static CTransferRun* s_active;
};
