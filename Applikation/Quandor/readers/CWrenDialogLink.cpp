#include "CWrenDialogLink.h"

#include "CAppContext.h"
#include "CReaderLink.h"
#include "CTransferRun.h"
#include "CUiMessage.h"
#include "CWrenSettings.h"
#include "CReaderFrame.h"
#include "CWindowMessage.h"

#include <CLanguageHandler.h>

#include <QDialog>
#include <QKeyEvent>

CWrenDialogLink::CWrenDialogLink(QDialog* dialog, CAppContext* context, CLanguageHandler* language, int message,
                                 int delayMs)
    : m_pContext(context)
    , m_pLanguage(language)
    , m_nMessage(message)
{
    m_timer.setSingleShot(true);
    m_timer.setInterval(delayMs);
    QObject::connect(&m_timer, &QTimer::timeout, dialog, [dialog, message] { CWindowMessage::Post(dialog, message); });
}

bool CWrenDialogLink::Taken(CAppContext& context)
{
    CReaderLink* link = context.Link();
    if (!CTransferRun::Active() && !(link && link->IsLinkTaken()))
        return false;
    CLanguageHandler* language = context.Language();
    CUiMessage::Show(language ? language->GetLangItem(CTransferRun::kTransferRunsText) : QString(),
                     QMessageBox::Information);
    return true;
}

CReaderLink* CWrenDialogLink::ReaderLink() const
{
    return m_pContext ? m_pContext->Link() : nullptr;
}

QString CWrenDialogLink::Text(unsigned int number) const
{
    return m_pLanguage ? m_pLanguage->GetLangItem(number) : QString();
}

void CWrenDialogLink::ShowBox(unsigned int text, QMessageBox::Icon icon) const
{
    CUiMessage::Show(Text(text), icon);
}

QString CWrenDialogLink::Send(char letter, const QString& data) const
{
    return m_pContext ? m_pContext->SendAndWait(letter, data, CReaderFrame::PlainMode) : QString();
}

bool CWrenDialogLink::Acknowledged(char letter, const QString& data) const
{
    return CReaderFrame::IsPlainAck(Send(letter, data).toLatin1());
}

bool CWrenDialogLink::SendSettings(const CWrenSettings& settings, const QString& switchTime) const
{
    return settings.SendTo([this](char letter, const QString& data) { return Send(letter, data); }, switchTime);
}

bool CWrenDialogLink::FirstShow()
{
    const bool first = !m_bShown;
    m_bShown = true;
    return first;
}

bool CWrenDialogLink::IsMessage(const QEvent* event) const
{
    return static_cast<int>(event->type()) == m_nMessage;
}

bool CWrenDialogLink::CloseOnEnter(QDialog& dialog, const QKeyEvent* event)
{
    if (event->key() != Qt::Key_Return && event->key() != Qt::Key_Enter)
        return false;
    dialog.accept();
    return true;
}
