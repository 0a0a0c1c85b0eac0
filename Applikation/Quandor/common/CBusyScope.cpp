#include "CBusyScope.h"

#include "CAppContext.h"
#include "CUiMessage.h"

#include <QApplication>

CBusyScope::CBusyScope(CAppContext* context)
    : m_context(context)
{
    if (m_context)
        m_context->BeginBusy();
}

CBusyScope::~CBusyScope()
{
    if (m_context)
        m_context->EndBusy();
}

QMessageBox::StandardButton CBusyScope::Show(const QString& text, QMessageBox::Icon icon,
                                             QMessageBox::StandardButtons buttons,
                                             QMessageBox::StandardButton defaultButton)
{
    NormalCursor cursor;
    return CUiMessage::Show(text, icon, buttons, nullptr, QString(), defaultButton);
}

bool CBusyScope::ConfirmDestructive(const QString& text)
{
    return Show(text, QMessageBox::Question, QMessageBox::Yes | QMessageBox::No, QMessageBox::No) == QMessageBox::Yes;
}

CBusyScope::NormalCursor::NormalCursor()
    : m_bSet(QApplication::overrideCursor() != nullptr)
{
    if (m_bSet)
        QApplication::setOverrideCursor(Qt::ArrowCursor);
}

CBusyScope::NormalCursor::~NormalCursor()
{
    if (m_bSet)
        QApplication::restoreOverrideCursor();
}
