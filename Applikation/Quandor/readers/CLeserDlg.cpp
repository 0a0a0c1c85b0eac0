#include "CLeserDlg.h"

#include "CFerrold_Handler.h"
#include "CGridCellButton.h"
#include "CGridCellCheck.h"
#include "CGridCtrl.h"
#include "CLeftTreeView.h"
#include "CReadEventsJob.h"
#include "CReaderModel.h"
#include "CTransferRun.h"
#include "link/CWindowMessage.h"
#include "CtblLeser.h"
#include "GridRecords.h"

namespace {

// Columns 1 to 7: title text (0: none) and width.
constexpr unsigned int kTitles[] = {20, 31, 58, 28, 30, 29, 0};
constexpr int kWidths[] = {30, 45, 80, 155, 130, 50, 80};

const CtblLeser::structLeser* readerAt(CFerrold_Handler* db, int dataRow)
{
    CtblLeser* readers = db ? db->Get_Ptr_To_tblLeser() : nullptr;
    if (!readers || dataRow < 1 || dataRow > readers->GetAnz_Leser())
        return nullptr;
    return readers->Get_Leser(dataRow - 1);
}

} // namespace

CLeserDlg::CLeserDlg(QWidget* parent)
    : CGridBaseDlg(parent)
{
    setObjectName(QStringLiteral("CLeserDlg"));
    SetHeading(14, QString());
    // The view is first shown with every reader, before anyone reloads it.
    CLeserDlg::FillGrid(kGridId, kColumns);
}

CLeserDlg::~CLeserDlg()
{
    StopTransfer();
}

int CLeserDlg::Reload(int)
{
    CLeftTreeView* tree = GetTreeView();
    if (tree)
        tree->m_bIdentifyRequest = false;
    CFerrold_Handler* db = GetDBHandler();
    if (!db)
        return 1;
    CtblLeser* readers = db->Get_Ptr_To_tblLeser();
    readers->_Requery();
    SetHeading(14, QString());
    FillGrid(kGridId, kColumns);
    if (tree) {
        tree->SetReaderName(QStringLiteral("---"));
        const int type = tree->ReaderType();
        if (type != 0 && type != 3) {
            for (int i = 0; i < readers->GetAnz_Leser(); ++i) {
                if (readers->Get_Leser(i)->Seriennummer == tree->Identification()) {
                    tree->SetReaderName(readers->Get_Leser(i)->Bezeichnung);
                    break;
                }
            }
        }
    }
    return 1;
}

int CLeserDlg::OnReaderDetected()
{
    CLeftTreeView* tree = GetTreeView();
    const bool asked = m_bIdentifyRequest || (tree && tree->m_bIdentifyRequest);
    m_bIdentifyRequest = false;
    if (tree)
        tree->m_bIdentifyRequest = false;
    if (asked)
        ++m_nIdentifyCount;
    return 0;
}

bool CLeserDlg::event(QEvent* event)
{
    if (static_cast<int>(event->type()) == CWindowMessage::WM_IDENTIFY_READER) {
        OnReaderDetected();
        return true;
    }
    if (TransferEvent(event))
        return true;
    return CGridBaseDlg::event(event);
}

void CLeserDlg::SetColumnTitles()
{
    CGridBaseDlg::SetColumnTitles();
    if (CGridCtrl* grid = GetGrid()) {
        for (int col = 1; col <= 6; ++col)
            grid->SetColumnTitle(col, Text(kTitles[col - 1]));
        grid->Refresh();
    }
}

void CLeserDlg::FillGrid(quint32 gridId, int columns)
{
    // The rows are about to show other records: an open edit is stored
    // for the record it was typed on first.
    EndGridEdit();
    CFerrold_Handler* db = GetDBHandler();
    if (!db)
        return;
    InitGrid(QStringLiteral("03"), gridId, columns, db->Get_Ptr_To_tblLeser()->GetAnz_Leser() + 1);
    CGridCtrl* grid = GetGrid();
    if (!grid)
        return;
    for (int col = 1; col <= 7; ++col)
        SetupColumn(col, Text(kTitles[col - 1]), kWidths[col - 1], true, col != 4);
    grid->SetColumnCellType(2, &CGridCellCheck::GetThisClass());
    grid->SetColumnCellType(7, &CGridCellButton::GetThisClass());
    ResetSortState();
    LoadGridLayout(QStringLiteral("03"));
    grid->Refresh();
}

void CLeserDlg::OnGetCellText(GRID_DISPINFO* info)
{
    const CtblLeser::structLeser* reader = info && info->row >= 1 ? readerAt(GetDBHandler(), info->dataRow) : nullptr;
    if (!reader)
        return;
    switch (info->column) {
    case 1: info->valueText = QString::number(reader->nNr); break;
    case 2: info->valueText = QString::number(reader->UpdateOK); break;
    case 3: info->valueText = Text(14) + QStringLiteral(": ") + reader->LeserTyp; break;
    case 4: info->valueText = reader->Bezeichnung; break;
    case 5: info->valueText = reader->Seriennummer; break;
    case 6: info->valueText = reader->Adresse; break;
    case 7: info->valueText = Text(59); break;
    default: break;
    }
}

void CLeserDlg::OnGetCellColor(GRID_DISPINFO* info)
{
    if (!info || info->row < 1 || info->column < 1 || info->column == 4 || info->column > 7)
        return;
    if (info->column == 7) {
        const CtblLeser::structLeser* reader = readerAt(GetDBHandler(), info->dataRow);
        if (!reader || !CReaderModel::IsTern(reader->LeserTyp))
            return;
    }
    SetCellColors(true, info, 0xB9B9B9, 0);
}
