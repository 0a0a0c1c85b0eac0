#pragma once

#include "CLinkLease.h"
#include "CLinkStatus.h"
#include "CLinkTiming.h"
#include "CReaderChannel.h"
#include "CReaderLinkObserver.h"
#include "CReaderPoller.h"
#include "CReaderSearch.h"

#include <QDateTime>
#include <QString>

#include <atomic>
#include <mutex>
#include <thread>

class CLanguageHandler;

// The serial link to one reader, without any window: the navigation tree
// view owns one for the whole program run and forwards its link operations
// to it. It holds the port, the state of the connected reader, and the one
// thread of a connection, which first searches for and identifies the
// reader and then polls it until the port is closed.
//
// Any thread may call any operation. The thread is always joined: by
// ClosePort(), by the next Connect() after a failed search, and by the
// destructor, so nothing it uses is freed under it.
class CReaderLink
{
public:
    // What Connect() did, or why it did nothing.
    enum ConnectResult {
        ConnectStarted,         // the search runs; SearchFinished() follows
        ConnectOnline,          // a reader is online already: nothing started
        ConnectSearching,       // a search runs already; its SearchFinished() follows
        ConnectTransferRunning, // a reader is online and a transfer holds the link
        ConnectPortInUse,       // the port was opened directly (OpenPort)
        ConnectThreadFailed     // the thread could not be started (texts 101, 102)
    };

    static constexpr quint32 kDefaultComPort = 256;

    explicit CReaderLink(CLanguageHandler* language = nullptr, CReaderLinkObserver* observer = nullptr,
                         const CLinkTiming& timing = CLinkTiming());
    ~CReaderLink();

    CReaderLink(const CReaderLink&) = delete;
    CReaderLink& operator=(const CReaderLink&) = delete;

    // Set before the first Connect().
    void SetObserver(CReaderLinkObserver* observer);
    // How a search opens the port (by its name "COM<n>" and baud selector);
    // called on the link's thread, and ending in this link's OpenPort(),
    // which opens the connection's port there. Without one the search calls
    // OpenPort() itself. Taken by the next Connect().
    using PortOpener = CReaderSearch::PortOpener;
    void SetPortOpener(PortOpener opener);
    // The link's times (see CLinkTiming). Changed only while no connection
    // runs and the port is closed; false (nothing changed) otherwise.
    bool SetTiming(const CLinkTiming& timing);
    CLinkTiming Timing() const;

    // A stored port number outside 1 to 256 becomes 256 (and the caller
    // writes it back).
    static quint32 ValidComPort(quint32 stored) { return stored >= 1 && stored <= 256 ? stored : kDefaultComPort; }

    // The chosen port, "nAktCOM" under the program key; a missing value or
    // one outside 1 to 256 is replaced by 256, which is written back.
    static quint32 StoredComPort();

    // Starts the search on port comPort (see ValidComPort): a fresh session
    // string, identification emptied, reader name "---", then the thread.
    // Only from a closed port with no connection; otherwise nothing is
    // started and the result says why.
    ConnectResult Connect(quint32 comPort);
    // The same on the stored port.
    ConnectResult Connect() { return Connect(StoredComPort()); }
    // Ends the connection: stops and joins the thread, closes the port,
    // reader type none, no connected port. Nothing goes on the line after
    // it returns. Always 1.
    int ClosePort();
    // Opens "COM<n>" directly (1: 57200 baud, 2: 9600, other: the driver's
    // rate); 1 = open. For a direct conversation without a search; refused
    // (0) while a connection (search or polling) runs. On the link's own
    // thread it opens the port of the connection (and no other), as the
    // search does.
    int OpenPort(const QString& portName, quint8 baudSelector);

    // A direct command (modes 1 and 2) of the transfer that holds lease,
    // sent by the line's owner: its reply's first byte awaited 2000 ms
    // (each further byte as long); the one matcher of the line decides
    // which frame is its answer. Returns the reply between STX and EOT, or
    // "". Fails at once, without touching the port, when the lease was not
    // granted, has been released or was cancelled by ClosePort, also after
    // a reconnect.
    // *delivery: the reply's number among the deliveries of the port's
    // opening (0 for none), to tell which replies stand after an
    // out-of-step (OutOfStep()).
    // windowMs: another answer window than the direct one (0: 2000 ms), for
    // a command whose Part waits as long as for a queued one.
    QString SendCommand(const CLinkLease& lease, char letter, const QString& data, quint8 mode,
                        quint64* delivery = nullptr, int windowMs = 0);
    // A transfer's end: waits until the line has stood quiet through the
    // late window of the lease's last reply; true when it stayed in step
    // all through the lease, so every reply was its command's own.
    bool Settle(const CLinkLease& lease);
    // The line went out of step during the lease: its replies could not
    // all be matched. *vouchedThrough: the deliveries up to this number
    // stand, after an out-of-step as on a line still in step (a run that
    // ends without waiting for the quiet line keeps only those).
    bool OutOfStep(const CLinkLease& lease, quint64* vouchedThrough = nullptr) const;
    // The same on a port opened directly with OpenPort(); "" while a
    // connection runs: then only the holder of a lease talks to the reader.
    QString SendCommand(char letter, const QString& data, quint8 mode);
    // A queued command (modes 1, 2, 3) handed to the polling thread:
    // the reply, "CRC_ERROR" for a framed reply with a bad checksum, or ""
    // after the queued-reply time (3000 ms) or when no reader is online.
    QString SendAndWait(char letter, const QString& data, int mode);
    static int VerifyChecksum(const QString& reply);

    // The lease of a transfer (see CLinkLease): takes the port from the
    // polling thread, after the reply in flight, for direct commands until
    // ReleaseLink(). Refused with the reason while a search runs, when no
    // reader is online, or while another transfer holds the link. May be
    // released on another thread; closing the port cancels it.
    CLinkLease TakeLink();
    // Gives the lease back; a lease that is no longer held changes nothing.
    void ReleaseLink(const CLinkLease& lease);
    bool IsLinkTaken() const;

    // The owner has shown the tag of TagRead(ticket); the link may poll on.
    void TagHandled(quint64 ticket);
    // The Wren settings dialog teaches a new master: while on, a plain
    // reader's 11-character reports wait in WaitMasterReport() instead of
    // showing as tags.
    void SetMasterLearn(bool on);
    // The next report while learning, or "" after timeoutMs.
    QString WaitMasterReport(int timeoutMs);
    // While the Wren settings dialog is open a framed reader is not polled
    // and no lost link is reported.
    void SetParamDialogOpen(bool open);

    static QString BuildClockString();
    static QString BuildClockString(const QDateTime& now);

    // State, for the status bar and the views: the reader, its port and
    // names, all from one moment.
    CLinkStatus::Snapshot Status() const { return m_status.Read(); }
    bool IsPortOpen() const { return m_channel.IsOpen(); }
    void SetReaderName(const QString& name) { m_status.SetReaderName(name); }
    void SetMasterTransponder(const QString& number) { m_status.SetMasterTransponder(number); }
    bool IsPollingRunning() const { return m_poller.IsRunning(); }
    // The line of the current connection was found lost by a direct
    // command (it hung up, or stayed silent as long as the lost-link count
    // lasts): every later direct command fails at once.
    bool IsLineLost() const { return m_channel.IsLost(); }
    bool IsSearching() const;
    // Counts connections; a report carries the number of its connection.
    quint64 ConnectionId() const { return m_connection.load(); }

private:
    void Run(quint64 connection, quint32 comPort, PortOpener open);
    bool OnLinkThread() const;

    CLanguageHandler* m_language;
    std::atomic<CReaderLinkObserver*> m_observer;
    CLinkStatus m_status;
    CReaderChannel m_channel;
    CReaderPoller m_poller;

    std::mutex m_controlMutex; // Connect and ClosePort, one at a time
    mutable std::mutex m_timingMutex;
    CLinkTiming m_timing; // guarded by m_timingMutex
    PortOpener m_portOpener; // guarded by m_controlMutex
    // The device of the connection's port: written by Connect() before the
    // thread starts, read on the thread.
    QString m_devicePath;
    std::thread m_thread;
    std::atomic<bool> m_threadActive{false};
    std::atomic<bool> m_searching{false};
    std::atomic<bool> m_stop{false};
    std::atomic<quint64> m_connection{0};
};
