#include "CGridComboEdit.h"

#include "CGridComboList.h"
#include "GridKeyMap.h"
#include "ValidateText.h"

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
    const QString text = event->text();
    if (!(modifiers & Qt::ControlModifier) && GridKeyMap::IsTypedText(text)) {
        const QString accepted = AcceptedText(text);
        if (accepted == text)
            QLineEdit::keyPressEvent(event);
        else if (!accepted.isEmpty())
            insert(accepted);
        event->accept();
        return;
    }
    QLineEdit::keyPressEvent(event);
}

void CGridComboEdit::inputMethodEvent(QInputMethodEvent* event)
{
    const QString commit = event->commitString();
    const QString accepted = AcceptedText(commit);
    if (accepted == commit) {
        QLineEdit::inputMethodEvent(event);
        return;
    }
    QInputMethodEvent filtered(event->preeditString(), event->attributes());
    filtered.setCommitString(accepted, event->replacementStart(), event->replacementLength());
    QLineEdit::inputMethodEvent(&filtered);
}

void CGridComboEdit::focusOutEvent(QFocusEvent* event)
{
    QLineEdit::focusOutEvent(event);
    m_pList->OnFocusLeft(event->reason());
}

QString CGridComboEdit::AcceptedText(const QString& text) const
{
    if (m_strValidation.isEmpty())
        return text;
    QString accepted;
    for (const QChar c : text) {
        if (ValidateText(QString(c).toUpper(), 4, m_strValidation, 0, 0) == 0)
            accepted += c;
    }
    return accepted;
}
