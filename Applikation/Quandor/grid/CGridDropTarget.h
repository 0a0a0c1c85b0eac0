#pragma once

#include <QPoint>
#include <QPointer>
#include <Qt>

class CGridCtrl;
class QEvent;
class QMimeData;
class QWidget;

// What a drag over a window may do there.
enum : int
{
    DROPEFFECT_NONE = 0,
    DROPEFFECT_COPY = 1,
    DROPEFFECT_MOVE = 2,
};

// Makes a grid a drop target and hands the drag events over its cells to the
// grid's own drag operations. The grid decides what a drop would do; one that
// takes nothing leaves the user with the no-drop cursor.
class CGridDropTarget
{
public:
    CGridDropTarget() = default;
    ~CGridDropTarget();
    CGridDropTarget(const CGridDropTarget&) = delete;
    CGridDropTarget& operator=(const CGridDropTarget&) = delete;

    // False for a window that is not a grid, when this target is registered
    // already, and while another registration is running.
    bool Register(QWidget* window);
    void Revoke();
    bool IsRegistered() const { return m_bRegistered; }
    CGridCtrl* GetGrid() const;

    // The drag events of "window"; only the registered grid's viewport gets
    // past DROPEFFECT_NONE (or, for the leave, anything at all).
    int OnDragEnter(QWidget* window, const QMimeData* data, Qt::KeyboardModifiers keys, QPoint point);
    int OnDragOver(QWidget* window, const QMimeData* data, Qt::KeyboardModifiers keys, QPoint point);
    void OnDragLeave(QWidget* window);
    bool OnDrop(QWidget* window, const QMimeData* data, int dropEffect, QPoint point);

    // Hands a viewport drag event (enter, move, leave, drop) to the matching
    // operation and answers the event with its result.
    void HandleEvent(QWidget* window, QEvent* event);

private:
    bool IsOwnWindow(QWidget* window) const;

    QPointer<CGridCtrl> m_pGridCtrl;
    bool m_bRegistered = false;
};
