// The reader list's transfers with the connected reader: their commands,
// their start and their end. The frame they run in is CTransferRun.
#include "CLeserDlg.h"

#include "CDialogRunner.h"
#include "CEventDateFilter.h"
#include "CFerrold_Handler.h"
#include "CAppContext.h"
#include "CReaderLink.h"
#include "CReadEventsDlg.h"
#include "CReadEventsJob.h"
#include "CReaderModel.h"
#include "CShowMessage.h"
#include "CTransferJob.h"
#include "CTransferRun.h"
#include "CUiMessage.h"
#include "CtblEvents.h"
#include "CtblLeser.h"
#include "CWindowMessage.h"

#include <CLanguageHandler.h>

namespace {

constexpr unsigned int kReadingText1 = 188;
constexpr unsigned int kReadingText2 = 189;
constexpr unsigned int kEventsReadText = 200;
constexpr unsigned int kNoWorkerText = 227;

// The highest event number read without asking the reader; -1 for models
// without events.
int fixedLastEvent(int modelCode)
{
    const CReaderModel::Facts* facts = CReaderModel::ByModelCode(static_cast<CReaderModel::ModelCode>(modelCode));
    return facts ? facts->lastEventNumber : -1;
}

} // namespace

bool CLeserDlg::IsTransferRunning() const
{
    return m_pTransfer && m_pTransfer->IsActive();
}

void CLeserDlg::StopTransfer()
{
    if (m_pTransfer)
        m_pTransfer->Stop();
}

bool CLeserDlg::TransferEvent(QEvent* event)
{
    switch (static_cast<int>(event->type())) {
    case CWindowMessage::WM_READ_EVENTS:
        OnReadEventsRun();
        return true;
    case CWindowMessage::WM_EVENTS_READ: {
        const auto* message = static_cast<const CWindowMessage*>(event);
        OnReadEventsDone(message->wParam, static_cast<int>(message->lParam));
        return true;
    }
    case CWindowMessage::WM_WRITE_ALL_DATA:
        OnWriteAllDataRun();
        return true;
    case CWindowMessage::WM_WRITE_ALL_DONE:
        OnWriteAllDone(static_cast<const CWindowMessage*>(event)->wParam);
        return true;
    case CWindowMessage::WM_FETCH_ALL_DONE:
        OnFetchAllDone(static_cast<int>(static_cast<const CWindowMessage*>(event)->lParam));
        return true;
    default:
        return false;
    }
}

void CLeserDlg::OnReadEvents()
{
    // One transfer at a time; the menu greys the command meanwhile.
    if (CTransferRun::Active())
        return;
    CReadEventsDlg dialog(GetLanguage());
    if (CDialogRunner::DoModal(dialog) != QDialog::Accepted)
        return;
    m_bDateFilter = dialog.m_bDateFilter ? 1 : 0;
    m_bReadToPointer = dialog.m_bReadToPointer ? 1 : 0;
    m_strDateFrom = dialog.m_strDateFrom;
    m_strDateTo = dialog.m_strDateTo;
    CWindowMessage::Post(this, CWindowMessage::WM_READ_EVENTS);
}

int CLeserDlg::OnReadEventsRun()
{
    CReaderLink* link = Context().Link();
    CFerrold_Handler* db = GetDBHandler();
    if (CTransferRun::Active() || !link || !db)
        return 0;

    // The reader of the clicked row, by its ID; a row deleted since then
    // leaves the events without a reader, as a name found nowhere would.
    CReadEventsJob::Params params;
    params.readerName = m_strClickedReaderName;
    CtblLeser* readers = db->Get_Ptr_To_tblLeser();
    for (int i = 0; i < readers->GetAnz_Leser(); ++i) {
        if (readers->Get_Leser(i)->ID_Leser == m_nClickedReaderID) {
            params.readerId = m_nClickedReaderID;
            break;
        }
    }
    params.readToPointer = m_bReadToPointer != 0;
    params.fixedLastEvent = fixedLastEvent(m_nClickedModelCode);
    params.filter = CEventDateFilter(m_bDateFilter != 0, m_strDateFrom, m_strDateTo);
    params.database = db->GetDatabase();
    auto job = std::make_shared<CReadEventsJob>(params, GetLanguage());

    m_pReadEvents = job;
    m_pTransfer = std::make_unique<CTransferRun>(*link, &Context(), this);
    m_pTransfer->OpenProgress(GetLanguage(), params.readToPointer ? 1 : params.fixedLastEvent,
                              QStringLiteral("\n") + Text(kReadingText1) + QStringLiteral("\n") + Text(kReadingText2));
    if (!m_pTransfer->Start(CTransferJob::BodyFor(job, CWindowMessage::WM_EVENTS_READ,
                                                  [this, job] { AfterEventsStored(job->Stored()); })))
        CUiMessage::Show(Text(kNoWorkerText), QMessageBox::Critical);
    return 0;
}

int CLeserDlg::OnReadEventsDone(qint64 stored, int endFlags)
{
    if (endFlags & CTransferRun::EndBeforeStart)
        return 0;
    AfterEventsStored(static_cast<int>(stored));
    CLanguageHandler* language = GetLanguage();
    CShowMessage notice(language ? language->GetLangItem(kEventsReadText, stored) : QString());
    CDialogRunner::DoModal(notice);
    return 0;
}

void CLeserDlg::AfterEventsStored(int stored)
{
    // The events view shows the cache as it is when it is selected: rows
    // stored by a run must be in it, whatever ended the run.
    if (stored <= 0)
        return;
    if (CFerrold_Handler* db = GetDBHandler())
        db->Get_Ptr_To_tblEvents()->_Requery();
}
