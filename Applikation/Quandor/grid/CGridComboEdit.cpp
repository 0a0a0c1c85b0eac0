#include "CGridComboEdit.h"

#include "CGridComboList.h"
#include "GridKeyMap.h"

#include <QInputMethodEvent>

CGridComboEdit::CGridComboEdit(CGridComboList* list, const QString& initialText)
    : QLineEdit(list), m_pList(list), m_strInitText(initialText)
{
    setObjectName(QStringLiteral("CGridComboEdit"));
}

bool CGridComboEdit::event(QEvent* event)
{
    if (GridKeyMap::ClaimEndingKeys(event, [this](QKeyEvent* press) { keyPressEvent(press); }))
        return true;
    return QLineEdit::event(event);
}

void CGridComboEdit::keyPressEvent(QKeyEvent* event)
{
    if (m_pList->HandleEditingKey(event))
        return;
    const Qt::KeyboardModifiers modifiers = GridKeyMap::ModifiersOf(event);
    if (modifiers & Qt::AltModifier) {
        event->ignore();
        return;
    }
    const auto press = [this](QKeyEvent* typed) { QLineEdit::keyPressEvent(typed); };
    if (m_filter.Type(*this, event, press) == CCellTextFilter::Typed::NoText)
        press(event);
}

void CGridComboEdit::inputMethodEvent(QInputMethodEvent* event)
{
    m_filter.Commit(event, [this](QInputMethodEvent* filtered) { QLineEdit::inputMethodEvent(filtered); });
}

void CGridComboEdit::focusOutEvent(QFocusEvent* event)
{
    QLineEdit::focusOutEvent(event);
    m_pList->OnFocusLeft(event->reason());
}
