#include "CBusyScope.h"

#include "CMainFrame.h"
#include "CQuandorApp.h"
#include "CUiMessage.h"

#include <QApplication>

CBusyScope::CBusyScope(CMainFrame* frame)
    : m_frame(frame)
{
    if (m_frame)
        m_frame->m_nBusy = 1;
    if (CQuandorApp* app = CQuandorApp::Instance())
        app->BeginWaitCursor();
}

CBusyScope::~CBusyScope()
{
    if (m_frame)
        m_frame->m_nBusy = 0;
    if (CQuandorApp* app = CQuandorApp::Instance())
        app->EndWaitCursor();
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
