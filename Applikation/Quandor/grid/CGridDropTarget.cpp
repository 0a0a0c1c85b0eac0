#include "CGridDropTarget.h"

#include "CGridCtrl.h"

#include <QDragEnterEvent>
#include <QDragLeaveEvent>
#include <QDragMoveEvent>
#include <QDropEvent>

namespace
{

// One registration at a time in the whole program: the window system's
// registration is not re-entrant.
bool g_registering = false;

Qt::DropAction DropActionOf(int effect)
{
    if (effect & DROPEFFECT_MOVE)
        return Qt::MoveAction;
    if (effect & DROPEFFECT_COPY)
        return Qt::CopyAction;
    return Qt::IgnoreAction;
}

// A drag answered with an effect: the event is taken with that action, or
// left to the window system, which then shows the no-drop cursor.
void Answer(QDropEvent* event, int effect)
{
    const Qt::DropAction action = DropActionOf(effect);
    if (action == Qt::IgnoreAction || !(event->possibleActions() & action)) {
        event->setDropAction(Qt::IgnoreAction);
        event->ignore();
        return;
    }
    event->setDropAction(action);
    event->accept();
}

}  // namespace

CGridDropTarget::~CGridDropTarget()
{
    Revoke();
}

bool CGridDropTarget::Register(QWidget* window)
{
    if (m_bRegistered || g_registering)
        return false;
    g_registering = true;
    struct Guard
    {
        ~Guard() { g_registering = false; }
    } guard;
    auto* grid = qobject_cast<CGridCtrl*>(window);
    if (!grid)
        return false;
    m_pGridCtrl = grid;
    grid->viewport()->setAcceptDrops(true);
    m_bRegistered = grid->viewport()->acceptDrops();
    return m_bRegistered;
}

void CGridDropTarget::Revoke()
{
    if (m_bRegistered && m_pGridCtrl)
        m_pGridCtrl->viewport()->setAcceptDrops(false);
    m_bRegistered = false;
}

CGridCtrl* CGridDropTarget::GetGrid() const
{
    return m_pGridCtrl.data();
}

bool CGridDropTarget::IsOwnWindow(QWidget* window) const
{
    return m_bRegistered && m_pGridCtrl && window && window == m_pGridCtrl->viewport();
}

int CGridDropTarget::OnDragEnter(QWidget* window, const QMimeData* data, Qt::KeyboardModifiers keys, QPoint point)
{
    if (!IsOwnWindow(window))
        return DROPEFFECT_NONE;
    return m_pGridCtrl->OnDragEnter(window, data, keys, point);
}

int CGridDropTarget::OnDragOver(QWidget* window, const QMimeData* data, Qt::KeyboardModifiers keys, QPoint point)
{
    if (!IsOwnWindow(window))
        return DROPEFFECT_NONE;
    return m_pGridCtrl->OnDragOver(window, data, keys, point);
}

void CGridDropTarget::OnDragLeave(QWidget* window)
{
    if (IsOwnWindow(window))
        m_pGridCtrl->OnDragLeave();
}

bool CGridDropTarget::OnDrop(QWidget* window, const QMimeData* data, int dropEffect, QPoint point)
{
    if (!IsOwnWindow(window))
        return false;
    return m_pGridCtrl->OnDrop(window, data, dropEffect, point);
}

void CGridDropTarget::HandleEvent(QWidget* window, QEvent* event)
{
    switch (event->type()) {
    case QEvent::DragEnter:
    case QEvent::DragMove: {
        auto* drag = static_cast<QDragMoveEvent*>(event);
        const QPoint point = drag->position().toPoint();
        const int effect = event->type() == QEvent::DragEnter
                               ? OnDragEnter(window, drag->mimeData(), drag->modifiers(), point)
                               : OnDragOver(window, drag->mimeData(), drag->modifiers(), point);
        Answer(drag, effect);
        break;
    }
    case QEvent::DragLeave:
        OnDragLeave(window);
        event->accept();
        break;
    case QEvent::Drop: {
        auto* drop = static_cast<QDropEvent*>(event);
        const int effect = drop->dropAction() == Qt::MoveAction ? DROPEFFECT_MOVE
                           : drop->dropAction() == Qt::CopyAction ? DROPEFFECT_COPY
                                                                  : DROPEFFECT_NONE;
        if (OnDrop(window, drop->mimeData(), effect, drop->position().toPoint()))
            drop->acceptProposedAction();
        else
            Answer(drop, DROPEFFECT_NONE);
        break;
    }
    default:
        break;
    }
}
