#include "CTransferRun.h"

#include "CDataProgressDlg.h"
#include "CAppContext.h"
#include "CThreadMailbox.h"
#include "CUiMessage.h"
#include "CReaderFrame.h"
#include "CReaderLink.h"

#include "CDBException.h"

#include <QApplication>
#include <QCoreApplication>
#include <QEvent>
#include <QScreen>

#include "CWindowMessage.h"

#include <algorithm>
#include <chrono>
#include <limits>
#include <system_error>

namespace {

// The worker's end, posted by the run to itself so that the end duties run
// from the event loop and never inside the mailbox's delivery.
const QEvent::Type kWorkerDone = static_cast<QEvent::Type>(QEvent::registerEventType());

void centreOnMainWindow(QWidget* window, CAppContext* context)
{
    QWidget* anchor = context ? context->MainWindow() : nullptr;
    const QRect area = anchor ? anchor->frameGeometry()
                              : (QGuiApplication::primaryScreen() ? QGuiApplication::primaryScreen()->availableGeometry()
                                                                  : QRect());
    if (area.isValid())
        window->move(area.center() - window->rect().center());
}

} // namespace

CTransferRun* CTransferRun::s_active = nullptr;

CTransferRun::CTransferRun(CReaderLink& link, CAppContext* context, QObject* owner)
    : m_link(link)
    , m_context(context)
    , m_timing(link.Timing())
    , m_owner(owner)
    , m_mailbox(new CThreadMailbox(this))
{
}

CTransferRun::~CTransferRun()
{
    Stop();
    if (m_progress)
        m_progress->DestroyWindow();
}

CTransferRun* CTransferRun::Active()
{
    return s_active;
}

void CTransferRun::StopActive()
{
    if (s_active)
        s_active->Stop();
}

void CTransferRun::OpenProgress(CLanguageHandler* language, int upper, const QString& text)
{
    if (m_progress)
        m_progress->DestroyWindow();
    auto* progress = new CDataProgressDlg(language);
    progress->SetRange(0, std::max(1, upper));
    progress->SetPos(0);
    progress->SetText(text);
    centreOnMainWindow(progress, m_context);
    progress->show();
    m_progress = progress;
}

CDataProgressDlg* CTransferRun::Progress() const
{
    return m_progress.data();
}

bool CTransferRun::Start(Body body)
{
    if (m_state != State::Idle || s_active || !body.work) {
        if (m_progress)
            m_progress->DestroyWindow();
        return false;
    }
    m_body = std::move(body);
    m_stop = false;
    m_workerProgress = m_progress.data();
    try {
        m_thread = std::thread([this] { RunWorker(); });
    } catch (const std::system_error&) {
        if (m_progress)
            m_progress->DestroyWindow();
        return false;
    }
    m_state = State::Running;
    s_active = this;
    if (m_body.waitCursor) {
        if (m_context) {
            m_context->BeginWaitCursor();
            m_cursor = true;
        }
    }
    return true;
}

void CTransferRun::RunWorker()
{
    int flags = EndNormal;
    qint64 result = 0;
    try {
        m_lease = m_link.TakeLink();
        m_leaseHeld = m_lease.IsGranted();
        if (!m_lease.IsGranted()) {
            if (m_body.leaseRefused)
                result = m_body.leaseRefused(*this, &flags);
            else
                flags = EndBeforeStart;
        } else if (!IsStopping()) {
            result = m_body.work(*this, &flags);
        }
    } catch (const CDBException& e) {
        Box(e.m_strError, QMessageBox::Warning);
    } catch (const std::exception& e) {
        Box(QString::fromLocal8Bit(e.what()), QMessageBox::Critical);
    }
    m_result = result;
    m_endFlags = flags;
    // Whatever the UI does with it, the worker is done after this.
    m_mailbox->Post([this] { QCoreApplication::postEvent(this, new QEvent(kWorkerDone)); });
}

bool CTransferRun::event(QEvent* event)
{
    if (event->type() == kWorkerDone) {
        OnWorkerDone();
        return true;
    }
    return QObject::event(event);
}

void CTransferRun::EndDuties()
{
    {
        std::lock_guard<std::mutex> lock(m_pauseMutex);
        m_stop = true;
    }
    m_pauseWake.notify_all();
    if (m_thread.joinable())
        m_thread.join();
    m_workerProgress = nullptr;
    if (m_progress)
        m_progress->DestroyWindow();
    if (m_lease.IsGranted())
        m_link.ReleaseLink(m_lease);
    m_lease = CLinkLease(CLinkLease::NoReader);
    m_leaseHeld = false;
    if (m_cursor) {
        m_cursor = false;
        if (m_context)
            m_context->EndWaitCursor();
    }
    m_state = State::Ended;
    if (s_active == this)
        s_active = nullptr;
}

void CTransferRun::OnWorkerDone()
{
    if (m_state != State::Running)
        return;
    EndDuties();
    QPointer<QObject> owner = m_owner;
    const int message = m_body.endMessage;
    const qint64 result = m_result;
    const int flags = m_endFlags;
    // The owner may start the next run, and so replace this object, from
    // its handler: nothing of this object is touched after it.
    if (owner && message) {
        CWindowMessage end(message, static_cast<qintptr>(result), flags);
        QCoreApplication::sendEvent(owner, &end);
    }
}

void CTransferRun::Stop()
{
    if (m_state != State::Running)
        return;
    EndDuties();
    if (m_body.teardown)
        m_body.teardown();
}

QString CTransferRun::SendFramed(char letter, const QString& data, quint64* delivery)
{
    return Send(letter, data, CReaderFrame::FramedMode, delivery, 0);
}

QString CTransferRun::SendPlain(char letter, const QString& data, quint64* delivery)
{
    return Send(letter, data, CReaderFrame::PlainMode, delivery, m_timing.queuedReplyMs);
}

QString CTransferRun::Send(char letter, const QString& data, quint8 mode, quint64* delivery, int windowMs)
{
    if (delivery)
        *delivery = 0;
    if (IsStopping())
        return QString();
    return m_link.SendCommand(m_lease, letter, data, mode, delivery, windowMs);
}

bool CTransferRun::OutOfStep(quint64* vouchedThrough) const
{
    return m_link.OutOfStep(m_lease, vouchedThrough);
}

bool CTransferRun::Settle()
{
    return !IsStopping() && m_link.Settle(m_lease) && !OutOfStep();
}

quint64 CTransferRun::Standing(bool* outOfStep)
{
    const bool settled = !OutOfStep() && !IsStopping() && !LineLost() && Settle();
    quint64 vouched = 0;
    *outOfStep = OutOfStep(&vouched);
    return settled ? std::numeric_limits<quint64>::max() : vouched;
}

bool CTransferRun::LineLost() const
{
    return m_link.IsLineLost();
}

QMessageBox::StandardButton CTransferRun::Box(const QString& text, QMessageBox::Icon icon)
{
    if (IsStopping())
        return QMessageBox::NoButton;
    return CUiMessage::Show(text, icon, QMessageBox::Ok, &m_stop);
}

void CTransferRun::ProgressRange(int upper)
{
    if (CDataProgressDlg* progress = m_workerProgress)
        progress->SetRange(0, std::max(1, upper));
}

void CTransferRun::ProgressPos(int position)
{
    if (CDataProgressDlg* progress = m_workerProgress)
        progress->SetPos(position);
}

void CTransferRun::ProgressText(const QString& text)
{
    if (CDataProgressDlg* progress = m_workerProgress)
        progress->SetText(text);
}

bool CTransferRun::Pause(int ms)
{
    std::unique_lock<std::mutex> lock(m_pauseMutex);
    return !m_pauseWake.wait_for(lock, std::chrono::milliseconds(ms), [this] { return m_stop.load(); });
}
