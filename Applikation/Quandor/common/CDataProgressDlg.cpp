#include "CDataProgressDlg.h"

#include "CFontScale.h"
#include "CThreadMailbox.h"

#include <CLanguageHandler.h>

#include <QCloseEvent>
#include <QIcon>
#include <QLabel>
#include <QPainter>
#include <QPixmap>
#include <QProgressBar>
#include <QThread>

#include <algorithm>

namespace {

constexpr unsigned int kCaptionText = 115;

// The window on the original dialog grid (210 by 62 dialog units of an
// 8-point dialog font) in pixels.
constexpr int kWidth = 315;
constexpr int kHeight = 101;
const QRect kTextArea(10, 11, 294, 63);
const QRect kBarArea(10, 75, 294, 15);

QIcon progressIcon()
{
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setPen(QColor(0x40, 0x40, 0x40));
    painter.setBrush(Qt::white);
    painter.drawRect(0, 5, 15, 6);
    painter.fillRect(1, 6, 9, 5, QColor(0x00, 0x78, 0xD7));
    return QIcon(pixmap);
}

} // namespace

CDataProgressDlg::CDataProgressDlg(CLanguageHandler* language, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint)
    , m_language(language)
    , m_text(new QLabel(this))
    , m_bar(new QProgressBar(this))
    , m_mailbox(new CThreadMailbox(this))
{
    setObjectName(QStringLiteral("CDataProgressDlg"));
    setAttribute(Qt::WA_DeleteOnClose);
    setModal(false);
    const CFontScale scale(this);
    setFixedSize(scale.Width(kWidth), scale.Height(kHeight));
    setWindowTitle(m_language ? m_language->GetLangItem(kCaptionText) : QString());
    setWindowIcon(progressIcon());

    m_text->setObjectName(QStringLiteral("1032"));
    m_text->setGeometry(scale.Rect(kTextArea));
    m_text->setAlignment(Qt::AlignCenter);
    m_text->setWordWrap(true);
    m_text->setFrameStyle(QFrame::Panel | QFrame::Sunken);

    m_bar->setObjectName(QStringLiteral("1034"));
    m_bar->setGeometry(scale.Rect(kBarArea));
    m_bar->setTextVisible(false);
    m_bar->setRange(0, 100);
    m_bar->setValue(0);
}

CDataProgressDlg::~CDataProgressDlg() = default;

void CDataProgressDlg::SetRange(int lower, int upper)
{
    {
        std::lock_guard<std::mutex> lock(m_pendingMutex);
        m_pending.range = true;
        m_pending.lower = lower;
        m_pending.upper = upper;
    }
    ScheduleUpdate();
}

void CDataProgressDlg::SetPos(int position)
{
    {
        std::lock_guard<std::mutex> lock(m_pendingMutex);
        m_pending.position = true;
        m_pending.pos = position;
    }
    ScheduleUpdate();
}

void CDataProgressDlg::SetText(const QString& text)
{
    {
        std::lock_guard<std::mutex> lock(m_pendingMutex);
        m_pending.text = true;
        m_pending.label = text;
    }
    ScheduleUpdate();
}

void CDataProgressDlg::ScheduleUpdate()
{
    if (QThread::currentThread() == thread()) {
        ApplyPending();
        return;
    }
    // One queued update at a time: values that arrive before it runs ride
    // along with it.
    if (!m_updateQueued.exchange(true))
        m_mailbox->Post([this] { ApplyPending(); });
}

void CDataProgressDlg::ApplyPending()
{
    Pending pending;
    {
        std::lock_guard<std::mutex> lock(m_pendingMutex);
        pending = std::move(m_pending);
        m_pending = Pending();
        m_updateQueued = false;
    }
    if (pending.range)
        m_bar->setRange(pending.lower, std::max(pending.lower, pending.upper));
    // A position outside the range stops at its end, as a progress bar
    // should, instead of being dropped.
    if (pending.position)
        m_bar->setValue(std::clamp(pending.pos, m_bar->minimum(), m_bar->maximum()));
    if (pending.text)
        m_text->setText(pending.label);
}

void CDataProgressDlg::DestroyWindow()
{
    if (QThread::currentThread() != thread()) {
        deleteLater();
        return;
    }
    delete this;
}

void CDataProgressDlg::closeEvent(QCloseEvent* event)
{
    // The window manager's close button and Alt+F4 arrive spontaneously;
    // only the owner's own close() ends the window.
    if (event->spontaneous()) {
        event->ignore();
        return;
    }
    // Not QDialog's handler: that would ask reject(), which refuses.
    event->accept();
}

void CDataProgressDlg::reject()
{
}
