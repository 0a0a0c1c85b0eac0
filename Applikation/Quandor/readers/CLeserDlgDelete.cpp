#include "CLeserDlg.h"

#include "CFerrold_Handler.h"
#include "CGridCtrl.h"
#include "CReaderDeleter.h"
#include "CtblLeser.h"

void CLeserDlg::OnDeleteEntry()
{
    CFerrold_Handler* db = GetDBHandler();
    CGridCtrl* grid = GetGrid();
    if (!db || !grid || IsTransferRunning())
        return;
    // Readers are taken by their IDs: the rows shown may be sorted, and a
    // reader that cannot be deleted must not shift the others.
    CtblLeser* readers = db->Get_Ptr_To_tblLeser();
    std::vector<qint32> ids;
    for (int row : SelectedRows()) {
        const int dataRow = grid->GetDataRow(row);
        const int index = (dataRow >= 0 ? dataRow : row) - 1;
        if (index >= 0 && index < readers->GetAnz_Leser())
            ids.push_back(readers->Get_Leser(index)->ID_Leser);
    }
    CReaderDeleter deleter(*db, &Context());
    deleter.busyFlag = &m_bBusy;
    deleter.refill = [this] { FillGrid(kGridId, kColumns); };
    deleter.DeleteChosen(ids);
}

void CLeserDlg::OnDeleteAllEntries()
{
    CFerrold_Handler* db = GetDBHandler();
    if (!db || IsTransferRunning())
        return;
    CReaderDeleter deleter(*db, &Context());
    deleter.busyFlag = &m_bBusy;
    deleter.refill = [this] { FillGrid(kGridId, kColumns); };
    deleter.DeleteEverything();
}
