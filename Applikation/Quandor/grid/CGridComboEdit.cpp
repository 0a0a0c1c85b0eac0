#include "CGridComboEdit.h"

#include "CGridComboList.h"
#include "GridKeyMap.h"

CGridComboEdit::CGridComboEdit(CGridComboList* list, const QString& initialText)
    : CCellLineEdit(list), m_pList(list), m_strInitText(initialText)
{
    setObjectName(QStringLiteral("CGridComboEdit"));
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
    if (!TypeText(event))
        QLineEdit::keyPressEvent(event);
}

void CGridComboEdit::focusOutEvent(QFocusEvent* event)
{
    QLineEdit::focusOutEvent(event);
    m_pList->OnFocusLeft(event->reason());
}
