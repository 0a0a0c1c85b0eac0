#pragma once

#include "GridConstants.h"

#include <QString>
#include <Qt>

// What starts an edit, or ends one: either a key (a VK_ code, with
// VK_LBUTTON for a click or F2 and VK_DELETE for the Delete key) or text the
// user typed. The two never share one number: a typed "." is the character
// ".", not the Delete key whose code happens to be 46, and a typed "!" is no
// Page Up. Enter, Backspace and Space typed on a cell arrive as the
// characters "\r", "\b" and " ".
class CGridEditKey
{
public:
    CGridEditKey() = default;

    static CGridEditKey Key(int code, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        CGridEditKey key;
        key.m_code = code;
        key.m_modifiers = modifiers;
        return key;
    }
    static CGridEditKey Char(const QString& text)
    {
        CGridEditKey key;
        key.m_text = text;
        return key;
    }

    bool IsNone() const { return m_code == 0 && m_text.isEmpty(); }
    bool IsKey() const { return m_code != 0; }
    bool IsChar() const { return m_code == 0 && !m_text.isEmpty(); }
    // The key's code; 0 for typed text.
    int KeyCode() const { return m_code; }
    // The typed text; empty for a key.
    const QString& Text() const { return m_text; }
    Qt::KeyboardModifiers Modifiers() const { return m_modifiers; }

    bool operator==(const CGridEditKey& other) const
    {
        return m_code == other.m_code && m_text == other.m_text && m_modifiers == other.m_modifiers;
    }
    bool operator!=(const CGridEditKey& other) const { return !(*this == other); }

private:
    int m_code = 0;
    QString m_text;
    Qt::KeyboardModifiers m_modifiers = Qt::NoModifier;
};
