#pragma once

#include "CGridEditKey.h"
#include "GridConstants.h"

#include <QKeyEvent>

#include <functional>

// Between Qt's keys and the VK_ codes in which the grid and its editors
// remember keys.
namespace GridKeyMap
{

// The VK_ code of a Qt key that the editing keys know; 0 for any other.
inline int VirtualKeyOf(int qtKey)
{
    switch (qtKey) {
    case Qt::Key_Backspace:
        return VK_BACK;
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
        return VK_TAB;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        return VK_RETURN;
    case Qt::Key_Escape:
        return VK_ESCAPE;
    case Qt::Key_PageUp:
        return VK_PRIOR;
    case Qt::Key_PageDown:
        return VK_NEXT;
    case Qt::Key_End:
        return VK_END;
    case Qt::Key_Home:
        return VK_HOME;
    case Qt::Key_Left:
        return VK_LEFT;
    case Qt::Key_Up:
        return VK_UP;
    case Qt::Key_Right:
        return VK_RIGHT;
    case Qt::Key_Down:
        return VK_DOWN;
    case Qt::Key_Delete:
        return VK_DELETE;
    case Qt::Key_F2:
        return VK_F2;
    default:
        return 0;
    }
}

inline Qt::Key QtKeyOf(int vk)
{
    switch (vk) {
    case VK_BACK:
        return Qt::Key_Backspace;
    case VK_TAB:
        return Qt::Key_Tab;
    case VK_RETURN:
        return Qt::Key_Return;
    case VK_ESCAPE:
        return Qt::Key_Escape;
    case VK_SPACE:
        return Qt::Key_Space;
    case VK_PRIOR:
        return Qt::Key_PageUp;
    case VK_NEXT:
        return Qt::Key_PageDown;
    case VK_END:
        return Qt::Key_End;
    case VK_HOME:
        return Qt::Key_Home;
    case VK_LEFT:
        return Qt::Key_Left;
    case VK_UP:
        return Qt::Key_Up;
    case VK_RIGHT:
        return Qt::Key_Right;
    case VK_DOWN:
        return Qt::Key_Down;
    case VK_DELETE:
        return Qt::Key_Delete;
    case VK_F2:
        return Qt::Key_F2;
    default:
        return Qt::Key_unknown;
    }
}

// Modifiers as the editing keys read them; Shift+Tab arrives as Backtab.
inline Qt::KeyboardModifiers ModifiersOf(const QKeyEvent* event)
{
    Qt::KeyboardModifiers modifiers = event->modifiers() & ~Qt::KeypadModifier;
    if (event->key() == Qt::Key_Backtab)
        modifiers |= Qt::ShiftModifier;
    return modifiers;
}

// Keys after which an ended edit moves on to the next cell.
inline bool MovesEditOn(int vk)
{
    switch (vk) {
    case VK_TAB:
    case VK_PRIOR:
    case VK_NEXT:
    case VK_END:
    case VK_HOME:
    case VK_LEFT:
    case VK_UP:
    case VK_RIGHT:
    case VK_DOWN:
        return true;
    default:
        return false;
    }
}

// The VK_ code of a key that ends an open editor's edit, else 0: Tab, Enter
// and Escape always; the arrows and page keys when the edit was begun by a
// key (exitOnArrows) or with Ctrl. Alt keys never end it.
inline int EndingKey(const QKeyEvent* event, bool exitOnArrows)
{
    const Qt::KeyboardModifiers modifiers = ModifiersOf(event);
    if (modifiers & Qt::AltModifier)
        return 0;
    const int key = VirtualKeyOf(event->key());
    switch (key) {
    case VK_PRIOR:
    case VK_NEXT:
    case VK_LEFT:
    case VK_UP:
    case VK_RIGHT:
    case VK_DOWN:
        return exitOnArrows || (modifiers & Qt::ControlModifier) ? key : 0;
    case VK_TAB:
    case VK_RETURN:
    case VK_ESCAPE:
        return key;
    default:
        return 0;
    }
}

// A key press that gives an editor what "key" stands for: the key itself,
// or the typed text (a typed "\r" is the Enter key). Null for nothing.
inline QKeyEvent* NewKeyPress(const CGridEditKey& key)
{
    if (key.IsKey()) {
        const Qt::Key qtKey = QtKeyOf(key.KeyCode());
        if (qtKey == Qt::Key_unknown)
            return nullptr;
        return new QKeyEvent(QEvent::KeyPress, qtKey, key.Modifiers());
    }
    if (key.IsChar()) {
        if (key.Text() == QLatin1String("\r"))
            return new QKeyEvent(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier, key.Text());
        return new QKeyEvent(QEvent::KeyPress, 0, Qt::NoModifier, key.Text());
    }
    return nullptr;
}

// Text that a key press types: printable characters only (no control
// characters, no DEL that some keyboards send with Delete).
inline bool IsTypedText(const QString& text)
{
    if (text.isEmpty())
        return false;
    for (const QChar c : text) {
        if (c.unicode() < 0x20 || c.unicode() == 0x7F || c.category() == QChar::Other_Control)
            return false;
    }
    return true;
}

// The keys that end an edit belong to the open editor: before any shortcut
// of the window, and Tab before the focus chain moves on. True when the
// event was taken; a Tab press then goes to "pressTab".
inline bool ClaimEndingKeys(QEvent* event, const std::function<void(QKeyEvent*)>& pressTab)
{
    if (event->type() == QEvent::ShortcutOverride) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Escape || key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Tab
            || key == Qt::Key_Backtab) {
            event->accept();
            return true;
        }
    } else if (event->type() == QEvent::KeyPress) {
        auto* press = static_cast<QKeyEvent*>(event);
        if ((press->key() == Qt::Key_Tab || press->key() == Qt::Key_Backtab)
            && !(press->modifiers() & (Qt::ControlModifier | Qt::AltModifier))) {
            pressTab(press);
            return true;
        }
    }
    return false;
}

}  // namespace GridKeyMap
