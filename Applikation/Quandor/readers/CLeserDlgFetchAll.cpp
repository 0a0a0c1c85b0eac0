// Fetching all data from the clicked reader into the transponders.
#include "CLeserDlg.h"

#include "CBusyScope.h"
#include "CDialogRunner.h"
#include "CFerrold_Handler.h"
#include "CFetchAllJob.h"
#include "CFetchedListStore.h"
#include "CGridCtrl.h"
#include "CAppContext.h"
#include "CReaderLink.h"
#include "CReaderModel.h"
#include "CNotice.h"
#include "CShowMessage.h"
#include "CTransferJob.h"
#include "CTransferRun.h"
#include "CUiMessage.h"
#include "CtblLeser.h"
#include "CWindowMessage.h"

#include <CLanguageHandler.h>

namespace {

constexpr unsigned int kReadingListText = 181;
constexpr unsigned int kMarkedText1 = 185;
constexpr unsigned int kMarkedText2 = 186;
constexpr unsigned int kFetchedText = 173;
constexpr unsigned int kNoWorkerText = 322;
constexpr unsigned int kWriteAgainText = 363;

} // namespace

void CLeserDlg::OnFetchAllData()
{
    const CReaderModel::Facts* model = ClickedModelWhenIdle();
    if (!model)
        return;
    if (!model->framed) {
        OpenPlainList(PlainFetch);
        return;
    }
    CReaderLink* link = Context().Link();
    CFerrold_Handler* db = GetDBHandler();
    if (!link || !db)
        return;

    // The clicked reader by its ID (a row deleted meanwhile is reader 0).
    m_nFetchReaderID = 0;
    bool marked = false;
    CtblLeser* readers = db->Get_Ptr_To_tblLeser();
    for (int i = 0; i < readers->GetAnz_Leser(); ++i) {
        if (readers->Get_Leser(i)->ID_Leser == m_nClickedReaderID) {
            m_nFetchReaderID = m_nClickedReaderID;
            marked = readers->Get_Leser(i)->UpdateOK != 0;
            break;
        }
    }
    // The reader holds data the database has not sent yet: fetching
    // replaces what the database knows of it.
    if (marked && !CBusyScope::ConfirmDestructive(Text(kMarkedText1) + QStringLiteral("\n") + Text(kMarkedText2)))
        return;

    auto job = std::make_shared<CFetchAllJob>(GetLanguage());
    m_pFetchAll = job;
    m_pTransfer = std::make_unique<CTransferRun>(*link, &Context(), this);
    m_pTransfer->OpenProgress(GetLanguage(), 1, QStringLiteral("\n") + Text(kReadingListText));
    // Stopped before the end: the database stays as it was.
    if (!m_pTransfer->Start(CTransferJob::BodyFor(job, CWindowMessage::WM_FETCH_ALL_DONE, [] {})))
        CUiMessage::Show(Text(kNoWorkerText), QMessageBox::Critical);
}

int CLeserDlg::OnFetchAllDone(int endFlags)
{
    CFerrold_Handler* db = GetDBHandler();
    const std::shared_ptr<CFetchAllJob> job = std::exchange(m_pFetchAll, nullptr);
    if ((endFlags & CTransferRun::EndBeforeStart) || !job || !job->Complete() || !db)
        return 0;

    CFetchedListStore store(*db);
    const CFetchedListStore::Plan plan = CFetchedListStore::Match(*db->Get_Ptr_To_tblTransponder(), job->Fetched(),
                                                                  QString::number(m_nFetchReaderID));
    QString error;
    bool kept = false;
    switch (store.Store(plan, m_nFetchReaderID, &error, &kept)) {
    case CFetchedListStore::Result::OpenFailed:
        CNotice::ShowOpenFailure();
        return 0;
    case CFetchedListStore::Result::Failed:
        CNotice::ShowDatabaseError(error);
        return 0;
    case CFetchedListStore::Result::Stored:
        break;
    }
    if (kept)
        AfterWriteAll(true); // the stored mark shown
    else if (CGridCtrl* grid = GetGrid())
        grid->Refresh();
    CShowMessage notice(kept ? Text(kFetchedText) + QStringLiteral("\n") + Text(kWriteAgainText) : Text(kFetchedText),
                        nullptr, kept ? CShowMessage::Error : CShowMessage::Done);
    CDialogRunner::DoModal(notice);
    return 0;
}
