#include "CUiPump.h"

#include <QCoreApplication>
#include <QEvent>
#include <QWidget>

CUiPump::CUiPump(int intervalMs)
    : m_intervalMs(intervalMs)
{
    m_clock.start();
}

CUiPump::~CUiPump() = default;

void CUiPump::Pump()
{
    if (m_clock.elapsed() >= m_intervalMs)
        PumpNow();
}

void CUiPump::PumpNow()
{
    // A box shown by the work runs a loop of its own: no pump inside it.
    if (m_pumping)
        return;
    m_pumping = true;
    QCoreApplication::instance()->installEventFilter(this);
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    QCoreApplication::instance()->removeEventFilter(this);
    m_pumping = false;
    m_clock.restart();
}

bool CUiPump::eventFilter(QObject* watched, QEvent* event)
{
    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseMove:
    case QEvent::Wheel:
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::Shortcut:
    case QEvent::ShortcutOverride:
    case QEvent::ContextMenu:
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd:
    case QEvent::TabletPress:
    case QEvent::TabletRelease:
    case QEvent::TabletMove:
    case QEvent::DragEnter:
    case QEvent::DragMove:
    case QEvent::Drop:
        return true;
    case QEvent::Close:
        // A window's close box; the closing the work does itself comes
        // after the pump.
        if (qobject_cast<QWidget*>(watched)) {
            event->ignore();
            return true;
        }
        return false;
    default:
        return false;
    }
}
