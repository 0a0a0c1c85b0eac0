// Writing all data the database holds for the clicked reader into it.
#include "CLeserDlg.h"

#include "CAppContext.h"
#include "CDBException.h"
#include "CDialogRunner.h"
#include "CFerrold_Handler.h"
#include "CGridCtrl.h"
#include "CReaderLink.h"
#include "CReaderModel.h"
#include "CNotice.h"
#include "CSendWrenDlg.h"
#include "CShowMessage.h"
#include "CTransferJob.h"
#include "CTransferRun.h"
#include "CUiMessage.h"
#include "CWriteAllJob.h"
#include "CtblLeser.h"
#include "CWindowMessage.h"

#include <CLanguageHandler.h>

namespace {

constexpr unsigned int kWritingText = 184;
constexpr unsigned int kNoWorkerText = 238;
constexpr unsigned int kWrittenText = 240;
constexpr unsigned int kWriteAgainText = 363;

// The text that refuses too many transponders for the model; 0 for a
// model "write all" does not send to.
unsigned int limitText(CReaderModel::ModelCode code)
{
    switch (code) {
    case CReaderModel::ModelCode::Kite: return 214;
    case CReaderModel::ModelCode::Heron: return 215;
    case CReaderModel::ModelCode::Egret: return 236;
    default: return 0;
    }
}

} // namespace

const CReaderModel::Facts* CLeserDlg::ClickedModelWhenIdle() const
{
    // One transfer at a time; the menu greys the commands meanwhile.
    if (CTransferRun::Active())
        return nullptr;
    return CReaderModel::ByModelCode(static_cast<CReaderModel::ModelCode>(m_nClickedModelCode));
}

void CLeserDlg::OnWriteAllData()
{
    const CReaderModel::Facts* model = ClickedModelWhenIdle();
    if (!model)
        return;
    if (model->framed)
        CWindowMessage::Post(this, CWindowMessage::WM_WRITE_ALL_DATA);
    else
        OpenPlainList(PlainWrite);
}

void CLeserDlg::OpenPlainList(PlainListMode mode)
{
    CSendWrenDlg::Run(*this, int(mode), m_nClickedReaderID);
}

int CLeserDlg::OnWriteAllDataRun()
{
    CReaderLink* link = Context().Link();
    CFerrold_Handler* db = GetDBHandler();
    // One transfer at a time: a second request is ignored.
    if (CTransferRun::Active() || !link || !db)
        return 0;

    // The clicked reader by its ID, with that row's own settings: names may
    // repeat, and another reader's data must never reach this one. What is
    // sent is read from the stored rows now, not from this PC's caches: a
    // change another PC stored since they were read must reach the reader.
    CReaderPayload stored;
    try {
        stored = CReaderPayload::Read(db->GetDatabase(), m_nClickedReaderID, CReaderPayload::Form::Framed);
    } catch (const CDBException& e) {
        CNotice::ShowDatabaseError(e.m_strError);
        return 0;
    }
    CWriteAllJob::Params params = CWriteAllJob::FromPayload(stored, m_nClickedReaderID);
    params.database = db->GetDatabase();

    const auto code = static_cast<CReaderModel::ModelCode>(m_nClickedModelCode);
    const CReaderModel::Facts* model = CReaderModel::ByModelCode(code);
    if (!model || !model->framed || limitText(code) == 0)
        return 0;
    if (params.transponders.size() > model->maxWriteTransponders) {
        CUiMessage::Show(Text(limitText(code)), QMessageBox::Critical);
        return 0;
    }

    auto job = std::make_shared<CWriteAllJob>(params, GetLanguage());
    m_pWriteAll = job;
    m_pTransfer = std::make_unique<CTransferRun>(*link, &Context(), this);
    m_pTransfer->OpenProgress(GetLanguage(), job->EntryCount(), QStringLiteral("\n") + Text(kWritingText));
    if (!m_pTransfer->Start(CTransferJob::BodyFor(job, CWindowMessage::WM_WRITE_ALL_DONE,
                                                  [this, job] { AfterWriteAll(job->MarkCleared() || job->MarkKept()); })))
        CUiMessage::Show(Text(kNoWorkerText), QMessageBox::Critical);
    return 0;
}

int CLeserDlg::OnWriteAllDone(qint64 written)
{
    const bool kept = m_pWriteAll && m_pWriteAll->MarkKept();
    AfterWriteAll(m_pWriteAll && (m_pWriteAll->MarkCleared() || kept));
    CLanguageHandler* language = GetLanguage();
    QString text = language ? language->GetLangItem(kWrittenText, written) : QString();
    if (kept)
        text += QStringLiteral("\n") + Text(kWriteAgainText);
    CShowMessage notice(text, nullptr, kept ? CShowMessage::Error : CShowMessage::Done);
    CDialogRunner::DoModal(notice);
    return 0;
}

void CLeserDlg::AfterWriteAll(bool markStored)
{
    CFerrold_Handler* db = GetDBHandler();
    if (!markStored || !db)
        return;
    CtblLeser* readers = db->Get_Ptr_To_tblLeser();
    const int before = readers->GetAnz_Leser();
    EndGridEdit();
    readers->_Requery();
    if (readers->GetAnz_Leser() != before)
        FillGrid(kGridId, kColumns);
    else if (CGridCtrl* grid = GetGrid())
        grid->Refresh();
}
