#include "CReaderLink.h"

#include "CComPorts.h"
#include "CReaderFrame.h"
#include "CReaderSearch.h"
#include "CRegistryKey.h"

#include <system_error>
#include <utility>

namespace {

// The link whose thread this is, set for the thread's whole life: unlike
// a comparison with the thread's id it cannot race the join of a thread
// that is ending.
thread_local const CReaderLink* t_linkOfThread = nullptr;

} // namespace

CReaderLink::CReaderLink(CLanguageHandler* language, CReaderLinkObserver* observer, const CLinkTiming& timing)
    : m_language(language)
    , m_observer(observer)
    , m_poller(m_channel, m_status)
    , m_timing(timing)
{
    m_status.SetReaderName(QStringLiteral("---"));
    m_channel.SetTiming(timing);
    m_poller.SetTiming(timing);
}

CReaderLink::~CReaderLink()
{
    ClosePort();
    std::lock_guard<std::mutex> control(m_controlMutex);
    if (m_thread.joinable())
        m_thread.join();
}

void CReaderLink::SetObserver(CReaderLinkObserver* observer)
{
    m_observer.store(observer);
}

void CReaderLink::SetPortOpener(PortOpener opener)
{
    std::lock_guard<std::mutex> control(m_controlMutex);
    m_portOpener = std::move(opener);
}

bool CReaderLink::SetTiming(const CLinkTiming& timing)
{
    std::lock_guard<std::mutex> control(m_controlMutex);
    if (m_threadActive.load() || m_channel.IsOpen())
        return false;
    {
        std::lock_guard<std::mutex> lock(m_timingMutex);
        m_timing = timing;
    }
    m_channel.SetTiming(timing);
    m_poller.SetTiming(timing);
    return true;
}

CLinkTiming CReaderLink::Timing() const
{
    std::lock_guard<std::mutex> lock(m_timingMutex);
    return m_timing;
}

bool CReaderLink::OnLinkThread() const
{
    return t_linkOfThread == this;
}

bool CReaderLink::IsSearching() const
{
    return m_searching.load();
}

quint32 CReaderLink::StoredComPort()
{
    const CRegistryKey key;
    quint32 port = 0;
    if (!key.ReadDWord(&port, CRegistryKey::CurrentUser, kProgramKey, QStringLiteral("nAktCOM")) || ValidComPort(port) != port) {
        port = kDefaultComPort;
        key.WriteDWord(port, CRegistryKey::CurrentUser, kProgramKey, QStringLiteral("nAktCOM"));
    }
    return port;
}

CReaderLink::ConnectResult CReaderLink::Connect(quint32 comPort)
{
    std::lock_guard<std::mutex> control(m_controlMutex);
    // Two searches would share one port, and a search would pull the port
    // from under the reader online.
    if (m_threadActive.load()) {
        if (!m_poller.IsRunning())
            return ConnectSearching;
        return m_poller.IsLeased() ? ConnectTransferRunning : ConnectOnline;
    }
    if (m_channel.IsOpen())
        return ConnectPortInUse;
    if (m_thread.joinable())
        m_thread.join(); // a search that failed and ended by itself

    comPort = ValidComPort(comPort);
    m_status.SetComPort(comPort);
    m_status.SetSessionString(CReaderSearch::MakeSessionString());
    m_status.SetIdentification(QString());
    m_status.SetReaderName(QStringLiteral("---"));
    // Resolved here rather than on the thread: the settings are read on
    // the caller's thread only.
    m_devicePath = CComPorts::DevicePath(int(comPort));
    PortOpener open = m_portOpener;
    if (!open)
        open = [this](const QString& portName, quint8 baudSelector) { return OpenPort(portName, baudSelector); };

    const quint64 connection = m_connection.load() + 1;
    m_connection.store(connection);
    m_stop.store(false);
    m_poller.Prepare();
    m_channel.Arm();
    m_threadActive.store(true);
    m_searching.store(true);
    try {
        m_thread = std::thread(&CReaderLink::Run, this, connection, comPort, std::move(open));
    } catch (const std::system_error&) {
        m_threadActive.store(false);
        m_searching.store(false);
        return ConnectThreadFailed;
    }
    return ConnectStarted;
}

void CReaderLink::Run(quint64 connection, quint32 comPort, PortOpener open)
{
    t_linkOfThread = this;
    CReaderLinkObserver* const observer = m_observer.load();

    CReaderSearch search(m_channel, std::move(open), m_status, m_stop, m_language, observer);
    CSearchOutcome outcome = search.Run(comPort);
    outcome.connection = connection;
    const int readerType = m_status.Read().readerType;

    // Polling is under way before anyone hears of the success, so a view
    // that asks the reader at once is served.
    if (outcome.success && !m_poller.Begin()) {
        outcome.success = false;
        outcome.cancelled = true;
        m_channel.Close();
        m_status.SetDisconnected();
    }
    m_searching.store(false);
    if (observer)
        observer->SearchFinished(outcome);
    if (outcome.success)
        m_poller.Loop(readerType, observer, connection);

    t_linkOfThread = nullptr;
    m_threadActive.store(false);
}

int CReaderLink::ClosePort()
{
    if (OnLinkThread()) {
        // From inside a report: stop only; whoever joins the thread later
        // finishes the close.
        m_stop.store(true);
        m_poller.Stop();
        m_channel.Shutdown();
        m_status.SetDisconnected();
        return 1;
    }
    std::lock_guard<std::mutex> control(m_controlMutex);
    if (!m_channel.IsOpen() && !m_threadActive.load()) {
        if (m_thread.joinable())
            m_thread.join();
        return 1;
    }
    m_stop.store(true);
    m_poller.Stop();
    m_channel.Shutdown();
    if (m_thread.joinable())
        m_thread.join();
    m_status.SetDisconnected();
    return 1;
}

int CReaderLink::OpenPort(const QString& portName, quint8 baudSelector)
{
    if (OnLinkThread()) {
        // The search opening its connection's port. No control lock:
        // ClosePort() holds it while it joins this thread. Nor Arm(): a
        // ClosePort() under way has shut the channel, which then refuses
        // this open.
        if (CComPorts::NumberFromName(portName) != int(m_status.Read().comPort))
            return 0;
        return m_channel.Open(m_devicePath, baudSelector) ? 1 : 0;
    }
    std::lock_guard<std::mutex> control(m_controlMutex);
    // Reopening the port under the search or the polling would change its
    // speed, or drop what is on the line, under them.
    if (m_threadActive.load())
        return 0;
    const QString path = CComPorts::DevicePath(portName);
    if (path.isEmpty())
        return 0;
    m_channel.Arm();
    return m_channel.Open(path, baudSelector) ? 1 : 0;
}

QString CReaderLink::SendCommand(const CLinkLease& lease, char letter, const QString& data, quint8 mode,
                                 quint64* delivery, int windowMs)
{
    if (delivery)
        *delivery = 0;
    if (mode != CReaderFrame::FramedMode && mode != CReaderFrame::PlainMode)
        return QString();
    if (!lease.IsGranted())
        return QString();
    // The line's owner sends it, inside the lease's session; a lease of an
    // earlier connection is nobody's now.
    const CReaderPoller::DirectReply reply =
        m_poller.SubmitDirect(lease.Ticket(), CReaderFrame::Build(letter, data.toLatin1(), mode), windowMs);
    if (delivery)
        *delivery = reply.delivery;
    return QString::fromLatin1(reply.body);
}

bool CReaderLink::Settle(const CLinkLease& lease)
{
    return lease.IsGranted() && m_poller.SettleLease(lease.Ticket());
}

bool CReaderLink::OutOfStep(const CLinkLease& lease, quint64* vouchedThrough) const
{
    return lease.IsGranted() && m_poller.LeaseOutOfStep(lease.Ticket(), vouchedThrough);
}

QString CReaderLink::SendCommand(char letter, const QString& data, quint8 mode)
{
    if (mode != CReaderFrame::FramedMode && mode != CReaderFrame::PlainMode)
        return QString();
    quint64 epoch = 0;
    {
        std::lock_guard<std::mutex> control(m_controlMutex);
        if (m_threadActive.load() || !m_channel.IsOpen())
            return QString();
        epoch = m_channel.Epoch();
    }
    return QString::fromLatin1(m_channel.Exchange(CReaderFrame::Build(letter, data.toLatin1(), mode), epoch));
}

QString CReaderLink::SendAndWait(char letter, const QString& data, int mode)
{
    const QByteArray frame = CReaderFrame::Build(letter, data.toLatin1(), mode);
    if (frame.isEmpty())
        return QString();
    return QString::fromLatin1(m_poller.Submit(frame, Timing().queuedReplyMs));
}

int CReaderLink::VerifyChecksum(const QString& reply)
{
    return CReaderFrame::VerifyChecksum(reply);
}

CLinkLease CReaderLink::TakeLink()
{
    quint64 ticket = 0;
    switch (m_poller.BeginLease(ticket)) {
    case CReaderPoller::LeaseAnswer::Granted:
        // The poller is parked and the port stays at this opening until the
        // connection ends.
        return CLinkLease(ticket, m_channel.Epoch());
    case CReaderPoller::LeaseAnswer::TransferRunning:
        return CLinkLease(CLinkLease::TransferRunning);
    case CReaderPoller::LeaseAnswer::NoReader:
        break;
    }
    return CLinkLease(m_searching.load() ? CLinkLease::Searching : CLinkLease::NoReader);
}

void CReaderLink::ReleaseLink(const CLinkLease& lease)
{
    if (lease.IsGranted())
        m_poller.EndLease(lease.Ticket());
}

bool CReaderLink::IsLinkTaken() const
{
    return m_poller.IsLeased();
}

void CReaderLink::TagHandled(quint64 ticket)
{
    m_poller.TagHandled(ticket);
}

void CReaderLink::SetMasterLearn(bool on)
{
    m_poller.SetMasterLearn(on);
}

QString CReaderLink::WaitMasterReport(int timeoutMs)
{
    return QString::fromLatin1(m_poller.WaitMasterReport(timeoutMs));
}

void CReaderLink::SetParamDialogOpen(bool open)
{
    m_poller.SetParamDialogOpen(open);
}

QString CReaderLink::BuildClockString()
{
    return CReaderSearch::BuildClockString();
}

QString CReaderLink::BuildClockString(const QDateTime& now)
{
    return CReaderSearch::BuildClockString(now);
}
